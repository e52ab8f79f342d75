#!/usr/bin/env bash
# The test command: installs what is missing, then configures, builds and tests every build.
#
#   scripts/test-all.sh                  everything (run as root: it installs packages)
#   scripts/test-all.sh --quick          the native build only
#   scripts/test-all.sh win64 win32      the named stages only (deps always runs first)
#
# Stages, each in build/<preset>:
#   native       Debug, every unit and conformance test (ctest), the LV2 bundle through the
#                LV2 tools (sord_validate, lv2ls, lv2info, lv2apply against kestrane render)
#   native-asan  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   native-tsan  the tests labelled "tsan" (threads at work on one instance) under ThreadSanitizer
#   native-fuzz  the dispatcher fuzzer (clang, libFuzzer, ASan + UBSan), a fixed number of runs
#   x11          the Linux plug-in build/x11/Kestrane.so with its X11 editor, and its tests on an
#                X server started for them (Xvfb, on a free display); the native build's
#                `kestrane snapshot` draws the pictures the editor must show
#   win64        the x86-64 Windows build, every test under wine64
#   win32        the shipped 32-bit Kestrane.dll: the checks on the DLL (label "dll") and the
#                test programs labelled "conformance" or "smoke", whole, under wine's 32-bit
#                loader; where this machine cannot run 32-bit programs, one line says why and
#                only the DLL checks run
#   package      scripts/package.sh from the builds above (building what is missing, and
#                build/native-release for the tool and the manual); the Linux archive a second
#                time with Kestrane.so built anew elsewhere, byte for byte the same; the
#                archives unpacked: the tool's version, the bundle through lv2ls, Kestrane.so's
#                conformance and its editor under Xvfb (without system fonts where possible),
#                each DLL's conformance and golden runs under wine (32-bit where it can run)
# Each stage ends with one summary line; the run ends with "N passed, N failed, N skipped"
# counting test cases over all stages (a stage that does not configure or build counts as one
# failure) and exits non-zero when anything failed. Logs: build/logs/<stage>-*.log.
#
# Environment: KESTRANE_JOBS (default 2) for building and testing; KESTRANE_WINE_ROOT (default
# build/wine) holds this run's wine prefixes, whose wineservers are stopped at the end.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1

jobs=${KESTRANE_JOBS:-2}
all_stages=(native native-asan native-tsan native-fuzz x11 win64 win32 package)
stages=()
for arg in "$@"; do
  case "$arg" in
    --quick) stages+=(native) ;;
    native | native-asan | native-tsan | native-fuzz | x11 | win64 | win32 | package) stages+=("$arg") ;;
    -h | --help)
      sed -n '2,33p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "test-all: unknown argument '$arg' (try --help)" >&2
      exit 2
      ;;
  esac
done
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")

logs=$repo/build/logs
mkdir -p "$logs"
export KESTRANE_WINE_ROOT=${KESTRANE_WINE_ROOT:-$repo/build/wine}
# No one answers prompts here, and the test programs need no display.
exec < /dev/null
unset DISPLAY

total_passed=0
total_failed=0
total_skipped=0
summary=()
run_start=$(date +%s)

elapsed() {
  local s=$(($(date +%s) - $1))
  printf '%dm%02ds' $((s / 60)) $((s % 60))
}

# Stops the wineservers of this run's prefixes (they would linger for two minutes otherwise).
stop_wine() {
  local prefix
  for prefix in "$KESTRANE_WINE_ROOT"/wine64 "$KESTRANE_WINE_ROOT"/wine32; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix timeout 30 /usr/lib/wine/wineserver -k > /dev/null 2>&1
  done
  return 0
}
trap stop_wine EXIT

record() { # stage passed failed skipped note
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
  total_skipped=$((total_skipped + $4))
  local line
  line=$(printf '%-12s %s passed, %s failed, %s skipped  %s' "$1" "$2" "$3" "$4" "$5")
  summary+=("$line")
  echo "== $line"
}

# Runs a step into a log; on failure prints the log's end.
step() { # log command...
  local log=$1
  shift
  if "$@" > "$log" 2>&1; then
    return 0
  fi
  echo "-- failed: $* (last lines of $log)"
  tail -n 60 "$log" | sed 's/^/   /'
  return 1
}

# ctest with the passing lines left out of the console; counts from its closing lines.
ctest_counts() { # log ctest-arguments...
  local log=$1
  shift
  # A failing test shows at most 16 kB of its output (some compare whole files).
  ctest "$@" --output-on-failure --test-output-size-failed 16384 -j "$jobs" > "$log" 2>&1
  local rc=$?
  grep -vE '^ +Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed ' "$log" \
    | grep -vE '^(Internal ctest changing|Test project )' | sed 's/^/   /'
  local total failed skipped
  total=$(sed -n 's/.*tests passed, [0-9]* tests\{0,1\} failed out of \([0-9]*\).*/\1/p' "$log")
  failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of.*/\1/p' "$log")
  skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")
  total=${total:-0}
  failed=${failed:-0}
  # An error outside the tests (a program that cannot be listed, a broken test file).
  if [ "$rc" != 0 ] && [ "$failed" = 0 ]; then
    failed=1
  fi
  counts=("$((total - failed - skipped))" "$failed" "$skipped")
  [ "$rc" = 0 ]
}

stage() { # preset [extra ctest arguments...]
  local preset=$1
  shift
  local start note
  start=$(date +%s)
  echo
  echo "== $preset: configure and build (-j$jobs)"
  if ! step "$logs/$preset-configure.log" cmake --preset "$preset"; then
    record "$preset" 0 1 0 "configure failed"
    return
  fi
  if ! step "$logs/$preset-build.log" cmake --build --preset "$preset" -j "$jobs"; then
    record "$preset" 0 1 0 "build failed after $(elapsed "$start")"
    return
  fi
  note="build $(elapsed "$start")"
  start=$(date +%s)
  echo "== $preset: test"
  ctest_counts "$logs/$preset-test.log" --preset "$preset" "$@"
  record "$preset" "${counts[@]}" "$note, tests $(elapsed "$start")"
}

# The X11 stage: the snapshot command of the native build first (the expected pictures), then
# an X server of the stage's own on a display it picks free (-displayfd), the x11 build and its
# tests with DISPLAY pointing there, and the server stopped again.
x11_stage() {
  echo
  echo "== x11: the native build's snapshot command (-j$jobs)"
  if { [ -f build/native/build.ninja ] || step "$logs/x11-native-configure.log" cmake --preset native; } &&
    step "$logs/x11-snapshot-build.log" cmake --build build/native --target kestrane -j "$jobs"; then
    :
  else
    record x11 0 1 0 "the snapshot command did not build"
    return
  fi
  if ! start_xvfb x11; then
    record x11 0 1 0 "Xvfb did not start (see $logs/x11-xvfb.log)"
    return
  fi
  DISPLAY=":$xvfb_display" KESTRANE_SNAPSHOT="$repo/build/native/tools/kestrane/kestrane" stage x11
  stop_xvfb
  return 0
}

# start_xvfb <stage>: an X server of the stage's own on a display it picks free (-displayfd);
# sets xvfb_pid and xvfb_display, or fails when the server does not come up.
start_xvfb() {
  local fd_file=$logs/$1-display tries=0
  : > "$fd_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$fd_file" > "$logs/$1-xvfb.log" 2>&1 &
  xvfb_pid=$!
  while [ ! -s "$fd_file" ] && [ $tries -lt 100 ] && kill -0 "$xvfb_pid" 2> /dev/null; do
    sleep 0.1
    tries=$((tries + 1))
  done
  xvfb_display=$(tr -dc '0-9' < "$fd_file")
  if [ -z "$xvfb_display" ]; then
    stop_xvfb
    return 1
  fi
  echo "   Xvfb on :$xvfb_display"
}

stop_xvfb() {
  kill "$xvfb_pid" 2> /dev/null
  wait "$xvfb_pid" 2> /dev/null
  return 0
}

# The package stage: scripts/package.sh makes the three archives from the other stages' builds
# (building what is missing); the Linux archive is made a second time with Kestrane.so built
# anew in another folder (build/package-repro) and must be the same bytes; then the archives
# are unpacked (build/package-check) and their products run as a user would run them.
package_stage() {
  local start unpacked passed=0 failed=0 skipped=0 note
  start=$(date +%s)
  echo
  echo "== package: scripts/package.sh (-j$jobs)"
  if ! step "$logs/package-build.log" "$repo/scripts/package.sh"; then
    record package 0 1 0 "scripts/package.sh failed after $(elapsed "$start")"
    return
  fi
  note="packing $(elapsed "$start")"
  local version
  version=$(build/native-release/tools/kestrane/kestrane --version | awk '{print $2}')
  local linux=dist/Kestrane-$version-linux-x86_64.tar.gz
  local x86=dist/Kestrane-$version-windows-x86.zip x64=dist/Kestrane-$version-windows-x64.zip

  # check <name> <command...>: one counted check, its output in build/logs/package-<name>.log.
  check() {
    local name=$1
    shift
    if "$@" > "$logs/package-$name.log" 2>&1; then
      passed=$((passed + 1))
      echo "   ok    $name"
    elif [ $? = 77 ]; then
      skipped=$((skipped + 1))
      echo "   skip  $name: $(tail -n 1 "$logs/package-$name.log")"
    else
      failed=$((failed + 1))
      echo "   FAIL  $name (last lines of $logs/package-$name.log)"
      tail -n 40 "$logs/package-$name.log" | sed 's/^/      /'
    fi
  }
  check archives ls -l "$linux" "$x86" "$x64"
  check reproducible package_twice "$linux"

  unpacked=$repo/build/package-check
  rm -rf "$unpacked"
  mkdir -p "$unpacked"
  tar -xzf "$linux" -C "$unpacked" && unzip -q "$x86" -d "$unpacked" && unzip -q "$x64" -d "$unpacked"
  local lin=$unpacked/Kestrane-$version-linux-x86_64
  local win32_dll=$unpacked/Kestrane-$version-windows-x86/Kestrane.dll
  local win64_dll=$unpacked/Kestrane-$version-windows-x64/Kestrane.dll

  check tool-version grep -qx "kestrane $version" <("$lin/kestrane" --version)
  # The font bound into the binaries may ship only with its copyright notice and its licence.
  check font-licence grep -qF "SIL OPEN FONT LICENSE Version 1.1" \
    "$lin/licenses/Liberation-fonts-OFL-1.1.txt"
  # The tool finds the plug-in beside itself, with no home folder to look in.
  check tool-finds-plugin env -u KESTRANE_PLUGIN HOME=/nonexistent "$lin/kestrane" info
  check lv2ls lv2_listed "$lin"
  check so-conformance so_conformance "$lin"
  check so-editor so_editor "$lin"
  check dll32-conformance wine_conformance 32 "$win32_dll"
  check dll64-conformance wine_conformance 64 "$win64_dll"
  record package "$passed" "$failed" "$skipped" "$note, checks $(elapsed "$start")"
}

# package_twice <archive>: packs the Linux archive again from a Kestrane.so built anew in
# another folder and compares the two archives byte for byte.
package_twice() {
  local first=$logs/package-first.tar.gz
  cp "$1" "$first"
  rm -rf build/package-repro
  KESTRANE_X11_BUILD=build/package-repro "$repo/scripts/package.sh" linux || return 1
  cmp "$first" "$1" || {
    echo "the second build's archive differs; the files that differ:"
    diff <(tar -tvzf "$first") <(tar -tvzf "$1")
    cmp build/x11/Kestrane.so build/package-repro/Kestrane.so
    return 1
  }
  echo "ok: both builds give $(sha256sum < "$1")"
}

# lv2_listed <unpacked>: lv2ls finds the unpacked bundle with LV2_PATH pointing there alone.
lv2_listed() {
  command -v lv2ls > /dev/null || { echo "skipped: no lv2ls (lilv-utils)"; return 77; }
  # grep reads to the end (no -q): under pipefail an early exit would fail lv2ls with SIGPIPE.
  LV2_PATH=$1 lv2ls | tee /dev/stderr | grep -x 'urn:kestrane:lv2:kestrane' > /dev/null
}

# x11_programs <target...>: brings the x11 build's test programs that run against the unpacked
# products up to date (the stage may run alone, after the sources moved on).
x11_programs() {
  cmake --build build/x11 -j "$jobs" --target "$@" > /dev/null
}

# so_conformance <unpacked>: the x11 build's conformance program, whole, against the unpacked
# Kestrane.so.
so_conformance() {
  x11_programs kestrane_shell_conformance || return 1
  KESTRANE_PLUGIN="$1/Kestrane.so" build/x11/tests/shell/kestrane_shell_conformance
}

# so_editor <unpacked>: the unpacked Kestrane.so opens its editor on an X server, and every
# program on both pages shows as the unpacked tool draws it. Where this machine lets a mount
# namespace hide /usr/share/fonts, the run has no system fonts at all, and the tool draws the
# same picture with them hidden as with them there: the text is the products' own.
so_editor() {
  local hide=() out rc picture=(--program Mastering --signal)
  x11_programs kestrane_x11_editor_tests || return 1
  if unshare -m true 2> /dev/null; then
    hide=(unshare -m sh -c 'mount -t tmpfs none /usr/share/fonts && exec "$@"' sh)
    echo "the system fonts are hidden from the run"
    "$1/kestrane" snapshot "$logs/package-with-fonts.png" "${picture[@]}" &&
      "${hide[@]}" "$1/kestrane" snapshot "$logs/package-without-fonts.png" "${picture[@]}" &&
      cmp "$logs/package-with-fonts.png" "$logs/package-without-fonts.png" || return 1
  fi
  start_xvfb package || { echo "Xvfb did not start"; return 1; }
  out=$(DISPLAY=":$xvfb_display" KESTRANE_PLUGIN="$1/Kestrane.so" KESTRANE_SNAPSHOT="$1/kestrane" \
    "${hide[@]}" build/x11/tests/x11/kestrane_x11_editor_tests \
    --gtest_filter='X11Picture.EveryFactoryProgramOnBothPagesShowsAsTheSnapshotDrawsIt' 2>&1)
  rc=$?
  stop_xvfb
  echo "$out"
  [ "$rc" = 0 ] && ! grep -q '\[  SKIPPED \]' <<< "$out" && grep -q '\[  PASSED  \] 1 test' <<< "$out"
}

# wine_conformance <32|64> <dll>: the conformance and golden programs of that Windows build run
# whole under wine against the unpacked DLL; 77 where this machine cannot run 32-bit programs.
wine_conformance() {
  local bits=$1 dll=$2 preset program
  [ "$bits" = 32 ] && preset=win32 || preset=win64
  if [ "$bits" = 32 ] && ! why=$("$repo/scripts/setup-wine32.sh" 2>&1); then
    echo "skipped: ${why##*setup-wine32: }"
    return 77
  fi
  cmake --build "build/$preset" -j "$jobs" --target kestrane_shell_conformance engine_golden_tests \
    || return 1
  for program in tests/shell/kestrane_shell_conformance.exe tests/engine/engine_golden_tests.exe; do
    echo "== $program against $dll"
    KESTRANE_PLUGIN=$dll "$repo/cmake/wine$bits-run.sh" "build/$preset/$program" || return 1
  done
}

echo "== deps"
if [ "$(id -u)" = 0 ]; then
  if ! step "$logs/deps.log" "$repo/scripts/install-deps.sh"; then
    record deps 0 1 0 "scripts/install-deps.sh failed"
  else
    sed 's/^/   /' "$logs/deps.log"
  fi
else
  echo "   not root: packages are not installed, only used (run with sudo to install them)"
fi

for s in "${stages[@]}"; do
  case "$s" in
    win32)
      # Where 32-bit programs cannot run, say so once and run what needs no wine.
      if why=$("$repo/scripts/setup-wine32.sh" 2>&1); then
        echo "   $(tail -n 1 <<< "$why")"
        stage win32
      else
        why=$(tail -n 1 <<< "$why")
        echo "win32: skipped the 32-bit run under wine: ${why#setup-wine32: }"
        stage win32 -L '^dll$'
        record win32-wine 0 0 1 "skipped: ${why#setup-wine32: }"
      fi
      ;;
    native-tsan) stage native-tsan -L '^tsan$' ;;
    x11) x11_stage ;;
    package) package_stage ;;
    *) stage "$s" ;;
  esac
done

echo
echo "== summary ($(elapsed "$run_start"))"
for line in "${summary[@]}"; do
  echo "   $line"
done
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$total_failed" = 0 ]
