#!/usr/bin/env bash
# Builds the packages a user downloads into dist/:
#   dist/Kestrane-<version>-windows-x86.zip     the 32-bit Kestrane.dll (build/win32)
#   dist/Kestrane-<version>-windows-x64.zip     the 64-bit Kestrane.dll (build/win64)
#   dist/Kestrane-<version>-linux-x86_64.tar.gz Kestrane.so with its X11 editor (build/x11), the
#                                               Kestrane.lv2 bundle, the kestrane tool with its
#                                               manual page (build/native-release), the licence of
#                                               the font bound into them (OFL 1.1)
# each with the manual (kestrane-manual.html) and INSTALL.txt.
#
#   scripts/package.sh            build what is missing, then pack all three
#   scripts/package.sh linux      only the Linux archive
#   scripts/package.sh windows    only the two zips
#
# The version is the one the project's CMakeLists sets (read back from `kestrane --version`).
# Each DLL passes the shipped library's checks (tests/dll/check-dll.sh) before it is packed; the
# Linux binaries must not carry the path of the tree they were built in.
# Reproducible: the DLLs carry no link time (ld --no-insert-timestamp); the Linux binaries carry
# no time, no path (optimised builds have no debug information; the tool knows its build's
# plug-in by a relative path; checked below) and a build id that is a hash of their contents;
# the archives hold their files in sorted order with one fixed time (the zips 2000-01-01, the
# tarball the commit's time, SOURCE_DATE_EPOCH), fixed owners and permissions and no extra
# fields, and the tarball is compressed without a name or time (gzip -n). So the same commit
# gives the same bytes.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
jobs=${KESTRANE_JOBS:-2}
dist=$repo/dist
what=${1:-all}
case "$what" in
  all | linux | windows) ;;
  *)
    echo "usage: $0 [linux | windows]" >&2
    exit 2
    ;;
esac

say() { echo "package: $*"; }

# The manual, the version and the command-line tool, from the optimised native build.
say "building the manual (native-release)"
cmake --preset native-release > /dev/null
cmake --build build/native-release -j "$jobs" --target kestrane kestrane_manual \
  kestrane_manual_page > /dev/null
manual=build/native-release/docs/manual/kestrane-manual.html
version=$(build/native-release/tools/kestrane/kestrane --version | awk '{print $2}')
[ -n "$version" ] || { say "no version from kestrane --version"; exit 1; }

# build_dll <preset> <objdump> <pe format>: builds and checks build/<preset>/Kestrane.dll.
build_dll() {
  local preset=$1 objdump=$2 format=$3 dll=build/$1/Kestrane.dll check name argument
  say "building $dll"
  cmake --preset "$preset" > /dev/null
  cmake --build "build/$preset" -j "$jobs" --target kestrane_plugin > /dev/null
  for check in "format $format" exports imports "resources resources" "version $version" \
               timestamp; do
    read -r name argument <<< "$check"
    tests/dll/check-dll.sh "$name" "$objdump" "$dll" ${argument:+"$argument"} > /dev/null \
      || { tests/dll/check-dll.sh "$name" "$objdump" "$dll" ${argument:+"$argument"}; exit 1; }
  done
}

# install_note <bits> <other package>: INSTALL.txt for one Windows package, CRLF line ends.
install_note() {
  sed 's/$/\r/' << EOF_NOTE
Kestrane $version for Windows, $1-bit

Kestrane.dll is a VST 2.x effect plug-in for $1-bit hosts. To install it, copy Kestrane.dll
into your host's VST 2 plug-in folder, usually
  $([ "$1" = 64 ] && echo 'C:\Program Files\VSTPlugins  or  C:\Program Files\Common Files\VST2' \
                  || echo 'C:\Program Files (x86)\VSTPlugins')
or any folder listed in the host's plug-in settings, then let the host rescan its plug-ins.
A $1-bit host needs this $1-bit DLL; for a $([ "$1" = 64 ] && echo 32 || echo 64)-bit host use $2.
Nothing else is needed: the runtime is inside the DLL.

The manual, kestrane-manual.html, opens in any web browser.
EOF_NOTE
}

# make_zip <folder> <archive>: the folder's files under the folder's name, sorted, each with one
# fixed time (zip stores local time: TZ is fixed too) and fixed permissions, without the extra
# fields that would carry owners and exact times.
make_zip() {
  local folder=$1 archive=$2
  find "$folder" -type f -exec chmod 0644 {} +
  find "$folder" -exec touch -h -d '2000-01-01 00:00:00 UTC' {} +
  rm -f "$archive"
  (cd "$(dirname "$folder")" &&
    find "$(basename "$folder")" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -@ "$archive")
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"

windows_packages() {
  local spec preset objdump format arch bits other name
  # preset, objdump, PE format, package architecture, bits, the other package
  for spec in "win32 i686-w64-mingw32-objdump pei-i386 x86 32 x64" \
              "win64 x86_64-w64-mingw32-objdump pei-x86-64 x64 64 x86"; do
    read -r preset objdump format arch bits other <<< "$spec"
    build_dll "$preset" "$objdump" "$format"
    name=Kestrane-$version-windows-$arch
    mkdir -p "$stage/$name"
    cp "build/$preset/Kestrane.dll" "$stage/$name/"
    cp "$manual" "$stage/$name/kestrane-manual.html"
    install_note "$bits" "Kestrane-$version-windows-$other.zip" > "$stage/$name/INSTALL.txt"
    make_zip "$stage/$name" "$dist/$name.zip"
    say "$(cd "$dist" && sha256sum "$name.zip")"
  done
}

# Kestrane.so comes from the x11 build, or from the folder KESTRANE_X11_BUILD names (the test
# command builds it a second time there, to compare the archives of the two builds).
x11_build=${KESTRANE_X11_BUILD:-build/x11}

# The font bound into the Linux binaries is Liberation Sans 2.x under the SIL Open Font License
# 1.1, which lets it be bound into a program that is sold, provided each copy carries the font's
# copyright notice and the licence. Debian's copyright file for the font holds both, whole, in
# its stanza for the font files (the other stanza covers Debian's packaging, none of which ships).
font_copyright=/usr/share/doc/fonts-liberation2/copyright

# font_licence: the font's copyright notice and the full text of its licence, as plain text, from
# the font files' stanza of Debian's copyright file. Fails when the stanza is not the OFL 1.1 or
# the text is not whole.
font_licence() {
  local text
  [ -f "$font_copyright" ] || {
    say "no $font_copyright (Debian: fonts-liberation2; scripts/install-deps.sh installs it)"
    return 1
  }
  # The stanza "Files: *" up to the next "Files:"; its continuation lines lose their leading space
  # and "." stands for an empty line (Debian's copyright format). Debian's copy lost the dashes
  # around "in part or in whole" (they read "?"): they are put back as the licence writes them.
  text=$(awk '
    /^Files:/ { font = ($2 == "*"); next }
    !font { next }
    /^Copyright:/ { print "Copyright:"; next }
    /^License:/ { print ""; next }
    /^ \.$/ { print ""; next }
    /^ / { print substr($0, 2); next }
  ' "$font_copyright" | sed 's/substituting ? in part or in whole ?/substituting -- in part or in whole --/')
  local needed
  for needed in "SIL OPEN FONT LICENSE Version 1.1" "Reserved Font Name Liberation" \
                "PERMISSION & CONDITIONS" "TERMINATION" "DISCLAIMER" "DEALINGS IN THE FONT SOFTWARE."; do
    grep -qF "$needed" <<< "$text" || {
      say "$font_copyright: the font's stanza has no \"$needed\": not the whole OFL 1.1"
      return 1
    }
  done
  grep -q '?' <<< "$text" && { say "$font_copyright: unexpected '?' in the licence text"; return 1; }
  cat << EOF_HEAD
Liberation Sans (regular, bold, italic, bold italic), version 2, is bound into Kestrane.so,
Kestrane.lv2/Kestrane_ui.so and kestrane to draw the editor's text. It is used under the SIL Open
Font License 1.1, whose text follows with the font's copyright notice. The font comes from
https://github.com/liberationfonts (Debian package fonts-liberation2).

EOF_HEAD
  printf '%s\n' "$text"
}

# no_build_paths <file>: fails when a built file names the tree it was built in.
no_build_paths() {
  if grep -qaF "$repo" "$1"; then
    say "$1 names the build tree $repo (reproducible builds carry no paths):"
    strings "$1" | grep -F "$repo" | head -n 5
    exit 1
  fi
}

linux_note() {
  cat << EOF_NOTE
Kestrane $version for Linux (x86-64)

Kestrane.so is a VST 2.x effect plug-in with its editor (an X11 window). Copy it into a folder
your host scans for VST 2.x plug-ins, then let the host rescan:
  ~/.vst  or  ~/.lxvst                  for you alone
  /usr/lib/vst  or  /usr/local/lib/vst  for every user
  mkdir -p ~/.vst && cp Kestrane.so ~/.vst/

Kestrane.lv2 is the same effect as an LV2 plug-in, with the eight programs as presets. Copy the
whole folder:
  ~/.lv2                                for you alone
  /usr/local/lib/lv2                    for every user
  mkdir -p ~/.lv2 && cp -r Kestrane.lv2 ~/.lv2/

kestrane is the command-line tool (kestrane --help; its manual page is kestrane.1):
  mkdir -p ~/.local/bin && cp kestrane ~/.local/bin/
  mkdir -p ~/.local/share/man/man1 && cp kestrane.1 ~/.local/share/man/man1/
It hosts the first Kestrane.so it finds beside itself, in ~/.vst, ~/.lxvst, /usr/local/lib/vst
or /usr/lib/vst; KESTRANE_PLUGIN names another (KESTRANE_PLUGIN=/path/to/Kestrane.so kestrane info).

They need the X11 client library with its shared-memory extension and FreeType (Debian:
libxcb1 libxcb-shm0 libfreetype6); the tool also libsndfile1 and libpng16-16. The C++ runtime
and the font (Liberation Sans, under the SIL Open Font License 1.1; its copyright notice and
licence are in licenses/Liberation-fonts-OFL-1.1.txt) are inside.

The manual, kestrane-manual.html, opens in any web browser.
EOF_NOTE
}

linux_package() {
  local name dir epoch
  say "building $x11_build/Kestrane.so"
  if [ "$x11_build" = build/x11 ]; then
    cmake --preset x11 > /dev/null
  else
    cmake --preset x11 -B "$x11_build" -DKESTRANE_BUILD_TESTS=OFF > /dev/null
  fi
  cmake --build "$x11_build" -j "$jobs" --target kestrane_plugin > /dev/null
  # The LV2 bundle comes from the same build, so it carries the X11 UI; a bundle without its UI
  # is not what the package promises, so its absence stops the packing.
  say "building $x11_build/lv2/Kestrane.lv2"
  cmake --build "$x11_build" -j "$jobs" --target kestrane_lv2_bundle > /dev/null
  if [ ! -f "$x11_build/lv2/Kestrane.lv2/Kestrane_ui.so" ]; then
    say "$x11_build/lv2/Kestrane.lv2 has no Kestrane_ui.so: the x11 build made no LV2 UI"
    exit 1
  fi

  name=Kestrane-$version-linux-x86_64
  dir=$stage/$name
  mkdir -p "$dir/licenses"
  cp "$x11_build/Kestrane.so" "$dir/"
  cp -r "$x11_build/lv2/Kestrane.lv2" "$dir/"
  cp build/native-release/tools/kestrane/kestrane build/native-release/tools/kestrane/kestrane.1 \
    "$dir/"
  cp "$manual" "$dir/kestrane-manual.html"
  linux_note > "$dir/INSTALL.txt"
  font_licence > "$dir/licenses/Liberation-fonts-OFL-1.1.txt"
  local file
  for file in "$dir/Kestrane.so" "$dir"/Kestrane.lv2/*.so "$dir/kestrane"; do
    no_build_paths "$file"
  done

  # The commit's time stands for every file; outside git (an exported tree) a fixed one.
  epoch=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2> /dev/null || echo 946684800)}
  find "$dir" -type d -exec chmod 0755 {} +
  find "$dir" -type f -exec chmod 0644 {} +
  chmod 0755 "$dir/kestrane" "$dir/Kestrane.so" "$dir"/Kestrane.lv2/*.so
  rm -f "$dist/$name.tar.gz"
  tar -C "$stage" --sort=name --format=gnu --mtime="@$epoch" --owner=0 --group=0 \
    --numeric-owner -cf - "$name" | gzip -9 -n > "$dist/$name.tar.gz"
  say "$(cd "$dist" && sha256sum "$name.tar.gz")"
}

case "$what" in
  windows) windows_packages ;;
  linux) linux_package ;;
  *)
    windows_packages
    linux_package
    ;;
esac
