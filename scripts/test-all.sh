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
all_stages=(native native-asan native-tsan native-fuzz x11 win64 win32)
stages=()
for arg in "$@"; do
  case "$arg" in
    --quick) stages+=(native) ;;
    native | native-asan | native-tsan | native-fuzz | x11 | win64 | win32) stages+=("$arg") ;;
    -h | --help)
      sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'
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
  local fd_file=$logs/x11-display
  : > "$fd_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$fd_file" > "$logs/x11-xvfb.log" 2>&1 &
  local xvfb=$! tries=0
  while [ ! -s "$fd_file" ] && [ $tries -lt 100 ] && kill -0 "$xvfb" 2> /dev/null; do
    sleep 0.1
    tries=$((tries + 1))
  done
  local display
  display=$(tr -dc '0-9' < "$fd_file")
  if [ -z "$display" ]; then
    kill "$xvfb" 2> /dev/null
    record x11 0 1 0 "Xvfb did not start (see $logs/x11-xvfb.log)"
    return
  fi
  echo "   Xvfb on :$display"
  DISPLAY=":$display" KESTRANE_SNAPSHOT="$repo/build/native/tools/kestrane/kestrane" stage x11
  kill "$xvfb" 2> /dev/null
  wait "$xvfb" 2> /dev/null
  return 0
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
