#!/usr/bin/env bash
# Checks on the plug-in library as it ships, read from its PE headers with the cross objdump.
#
#   check-dll.sh format    <objdump> <dll> <pei-i386|pei-x86-64>
#   check-dll.sh exports   <objdump> <dll>
#   check-dll.sh imports   <objdump> <dll>
#   check-dll.sh resources <objdump> <dll> <resources-dir>
#   check-dll.sh version   <objdump> <dll> <version>
#   check-dll.sh timestamp <objdump> <dll>
#
# A host finds the plug-in by its one export, `main`; anything more exported is an accident of
# the build (mingw exports every symbol when nothing is marked). The library must load on a bare
# Windows system, so it may import only system DLLs: the compiler's runtime (libgcc_s,
# libstdc++, libwinpthread) is linked in. Its bitmaps are resources inside it, one per line of
# resources/Kestrane.rc, checked once artwork exists in resources/. Its version resource names
# the project's version, as the file's properties show it. Its header carries no link time
# (zero), so that building one commit twice gives the same file.
#
# Exit codes: 0 pass, 1 fail (with the reason), 77 skipped (with the reason; CTest shows it).
set -uo pipefail

check=${1:-}
objdump=${2:-}
dll=${3:-}

fail() {
  echo "FAIL: $*"
  exit 1
}

skip() {
  echo "skipped: $*"
  exit 77
}

[ $# -ge 3 ] || fail "usage: $0 format|exports|imports|resources <objdump> <dll> [argument]"
[ -f "$dll" ] || fail "$dll is not built"
headers=$("$objdump" -p "$dll") || fail "$objdump cannot read $dll"

# Lines of the export name table: "\t[   0] main" up to the blank line that ends it.
exported_names() {
  awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
       on && /^[ \t]*$/ { exit }
       on { sub(/^[ \t]*\[ *[0-9]+\] /, ""); print }' <<< "$headers"
}

# Resource ids of one type (six hex digits: 000002 RT_BITMAP, 000010 RT_VERSION), in decimal,
# from objdump's dump of the resource tree. The tree is printed one level deeper per two spaces:
# type entries, then name entries under them.
resource_ids() {
  awk -v want="$1" '/The \.rsrc Resource Directory section/ { on = 1; next }
       !on { next }
       /^ Resources start at/ { exit }
       /Entry: ID:/ {
         match($0, /^[0-9a-f]+ +/); depth = RLENGTH
         id = $0; sub(/.*Entry: ID: 0x/, "", id); sub(/,.*/, "", id)
         if (typeDepth == 0 || depth == typeDepth) { typeDepth = depth; type = id; next }
         if (depth == typeDepth + 2 && type == want) print id
       }' <<< "$headers" | while read -r hex; do echo $((16#$hex)); done
}

case "$check" in
  format)
    want=${4:?the expected file format}
    got=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
    [ "$got" = "$want" ] || fail "$dll is '$got', wanted '$want'"
    grep -q '^[[:space:]]*DLL$' <<< "$headers" \
      || fail "$dll is not marked as a DLL in its characteristics"
    echo "ok: $(basename "$dll") is a $got DLL"
    ;;
  exports)
    names=$(exported_names | sort | tr '\n' ' ')
    [ "$names" = "main " ] || fail "exports are '${names% }', wanted exactly 'main'"
    echo "ok: exports exactly main"
    ;;
  imports)
    # System DLLs present on every Windows the plug-in targets.
    allowed=" kernel32.dll user32.dll gdi32.dll ole32.dll oleaut32.dll shell32.dll msvcrt.dll"
    allowed+=" advapi32.dll comctl32.dll comdlg32.dll shlwapi.dll winmm.dll msimg32.dll"
    allowed+=" imm32.dll version.dll uxtheme.dll "
    imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<< "$headers" | tr -d '\r')
    [ -n "$imports" ] || fail "no import table found"
    bad=""
    for name in $imports; do
      lower=$(tr '[:upper:]' '[:lower:]' <<< "$name")
      case "$allowed" in
        *" $lower "*) ;;
        *) bad="$bad $name" ;;
      esac
    done
    [ -z "$bad" ] || fail "imports non-system DLLs:$bad (link the runtime statically)"
    echo "ok: imports only system DLLs:" $imports
    ;;
  resources)
    dir=${4:?the resources folder}
    shopt -s nullglob
    art=("$dir"/*.bmp "$dir"/*/*.bmp)
    [ ${#art[@]} -gt 0 ] || skip "no artwork in $dir yet; checked once .bmp files are there"
    "$objdump" -h "$dll" | grep -qE '^ +[0-9]+ \.rsrc ' || fail "$dll has no .rsrc section"
    want=$(sed -n 's/^[[:space:]]*\([0-9][0-9]*\)[[:space:]][[:space:]]*BITMAP[[:space:]].*/\1/p' \
      "$dir/Kestrane.rc" 2> /dev/null | sort -n | tr '\n' ' ')
    have=" $(resource_ids 000002 | sort -n | tr '\n' ' ')"
    missing=""
    for id in $want; do
      case "$have" in *" $id "*) ;; *) missing="$missing $id" ;; esac
    done
    [ -z "$missing" ] || fail "bitmap resources missing from $(basename "$dll"):$missing"
    echo "ok: .rsrc present with bitmaps: ${have# }"
    ;;
  version)
    version=${4:?the expected version}
    [ "$(resource_ids 000010)" = 1 ] || fail "$(basename "$dll") has no version resource"
    # The string table is UTF-16: FileVersion and ProductVersion both read the version.
    strings=$(strings -e l "$dll")
    for key in FileVersion ProductVersion; do
      grep -qxF "$key" <<< "$strings" || fail "the version resource has no $key"
    done
    [ "$(grep -cxF "$version" <<< "$strings")" -ge 2 ] \
      || fail "the version resource does not read $version"
    echo "ok: version resource reads $version"
    ;;
  timestamp)
    stamp=$(grep -m1 '^Time/Date' <<< "$headers" | sed 's/^Time\/Date[[:space:]]*//')
    [ -n "$stamp" ] || fail "no Time/Date in the PE header"
    grep -q '1970' <<< "$stamp" || fail "the PE header carries a link time: $stamp"
    echo "ok: no link time in the PE header ($stamp)"
    ;;
  *)
    fail "unknown check '$check'"
    ;;
esac
