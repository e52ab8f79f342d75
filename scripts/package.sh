#!/usr/bin/env bash
# Builds the packages a user downloads into dist/:
#   dist/Kestrane-<version>-windows-x86.zip   the 32-bit Kestrane.dll (build/win32)
#   dist/Kestrane-<version>-windows-x64.zip   the 64-bit Kestrane.dll (build/win64)
# each with the manual (kestrane-manual.html) and INSTALL.txt. The Linux archive joins them once
# the Linux plug-in and its LV2 bundle are built.
#
#   scripts/package.sh
#
# The version is the one the project's CMakeLists sets (read back from `kestrane --version`).
# Each DLL passes the shipped library's checks (tests/dll/check-dll.sh) before it is packed.
# Reproducible: the DLLs carry no link time (ld --no-insert-timestamp), and the archives hold
# their files in sorted order with one fixed time, fixed permissions and no extra fields, so the
# same commit gives the same bytes.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
jobs=${KESTRANE_JOBS:-2}
dist=$repo/dist

say() { echo "package: $*"; }

# The manual and the version, from the optimised native build.
say "building the manual (native-release)"
cmake --preset native-release > /dev/null
cmake --build build/native-release -j "$jobs" --target kestrane kestrane_manual > /dev/null
manual=build/native-release/docs/manual/kestrane-manual.html
version=$(build/native-release/tools/kestrane/kestrane --version | awk '{print $2}')
[ -n "$version" ] || { say "no version from kestrane --version"; exit 1; }

# build_dll <preset> <objdump> <pe format>: builds and checks build/<preset>/Kestrane.dll.
build_dll() {
  local preset=$1 objdump=$2 format=$3 dll=build/$1/Kestrane.dll check name argument
  say "building $dll"
  cmake --preset "$preset" > /dev/null
  cmake --build "build/$preset" -j "$jobs" --target kestrane_plugin > /dev/null
  for check in "format $format" exports imports "version $version" timestamp; do
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
