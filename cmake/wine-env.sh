# Shared by cmake/wine64-run.sh, cmake/wine32-run.sh and scripts/setup-wine32.sh (sourced, not run).
#
# Runs Windows test programs under wine with no display and no user. Each architecture gets a
# prefix of its own, kept across build trees in ${KESTRANE_WINE_ROOT:-~/.cache/kestrane}/wine64 and
# .../wine32, made once and then reused:
#   - wineboot -i builds it (about 10 s for win64; the 32-bit one takes 20 s under qemu-i386);
#   - the "null" graphics driver: windows, device contexts, BitBlt and SendInput all work without
#     an X server, so GUI tests run headless and no DISPLAY is needed;
#   - crash dialogs off: an unhandled exception prints wine's backtrace to stderr and the program
#     ends with a non-zero code at once (with the dialog on, the crashed program waits forever);
#   - mono and gecko are not installed (nothing here needs .NET or HTML).
# Two ctest jobs may start at once on a fresh machine, so the prefix is made under a lock and
# marked ready only when complete; a half-made prefix (an interrupted run) is made anew.
#
# A persistent wineserver (-p) keeps the prefix's services alive between programs for
# KESTRANE_WINESERVER_LINGER seconds (default 120) after the last one ends: a test program then
# starts in about 0.03 s instead of 0.5 s, which matters when every test case is its own process.
#
# Environment a developer may set:
#   KESTRANE_WINE_ROOT         where the prefixes live (default ~/.cache/kestrane)
#   KESTRANE_WINE_TIMEOUT      seconds one program may run before it is stopped (default 600)
#   KESTRANE_WINESERVER_LINGER seconds the wineserver stays after the last program (default 120)
#   KESTRANE_WINE_DEBUG        WINEDEBUG for the program (default -all, which silences wine's
#                              own fixme/err lines; set e.g. "err+all" to see them)

# Bump when the prefix set-up below changes, so existing prefixes are made anew.
kestrane_wine_setup_version=1

kestrane_wine_die() {
  echo "$kestrane_wine_name: $*" >&2
  exit 1
}

# kestrane_wine_init 64|32: picks the loader and the prefix and sets the environment wine reads.
kestrane_wine_init() {
  kestrane_wine_bits=$1
  kestrane_wine_name=wine${1}-run
  if [ "$1" = 64 ]; then
    kestrane_wine_loader=/usr/lib/wine/wine64
    export WINEARCH=win64
  else
    kestrane_wine_loader=/usr/lib/wine/wine
    export WINEARCH=win32
  fi
  kestrane_wine_server=/usr/lib/wine/wineserver
  local root=${KESTRANE_WINE_ROOT:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/kestrane}
  mkdir -p "$root" || kestrane_wine_die "cannot create $root"
  kestrane_wine_root=$root
  export WINEPREFIX=$root/wine$1
  export WINEDEBUG=${KESTRANE_WINE_DEBUG:--all}
  # No .NET or HTML engine (their installers would ask through a dialog), no menu entries.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # The null graphics driver needs no display; an inherited DISPLAY must not matter either way.
  unset DISPLAY WAYLAND_DISPLAY
}

# The runners' one argument check: a program to run.
kestrane_wine_usage() {
  if [ $# -lt 1 ]; then
    echo "usage: $kestrane_wine_name.sh program.exe [arguments...]" >&2
    exit 2
  fi
}

# The wine loader and its version, or "" when this machine cannot run it (missing, or a 32-bit
# loader on a kernel that neither runs i386 programs itself nor hands them to qemu-i386).
kestrane_wine_version() {
  [ -x "$kestrane_wine_loader" ] || return 1
  "$kestrane_wine_loader" --version 2> /dev/null
}

kestrane_wine_stamp() {
  echo "kestrane-prefix v$kestrane_wine_setup_version $1"
}

# Makes the prefix if it is missing, half-made or from another wine or set-up version.
kestrane_wine_prefix() {
  local version stamp ready=$WINEPREFIX/.kestrane-ready
  version=$(kestrane_wine_version) || kestrane_wine_die "$kestrane_wine_loader cannot run here"
  stamp=$(kestrane_wine_stamp "$version")
  if [ -f "$ready" ] && [ "$(cat "$ready")" = "$stamp" ]; then
    return 0
  fi
  kestrane_wine_lock
  # Another job may have made it while this one waited.
  if ! [ -f "$ready" ] || [ "$(cat "$ready")" != "$stamp" ]; then
    echo "$kestrane_wine_name: creating the wine prefix $WINEPREFIX (once)" >&2
    kestrane_wine_quiet 30 "$kestrane_wine_server" -k || true
    rm -rf "$WINEPREFIX"
    kestrane_wine_quiet 600 "$kestrane_wine_loader" wineboot -i \
      || kestrane_wine_die "wineboot -i failed for $WINEPREFIX"
    kestrane_wine_reg 'HKCU\Software\Wine\Drivers' /v Graphics /d null
    kestrane_wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
    # Wait for the wineserver to write the registry to disk before marking the prefix ready.
    kestrane_wine_quiet 120 "$kestrane_wine_server" -w || true
    echo "$stamp" > "$ready"
  fi
  kestrane_wine_unlock
}

# Starts the persistent wineserver and the prefix's services unless they are running. The
# services (services.exe, winedevice.exe, ...) inherit the standard streams of the program whose
# start launched them and outlive it; had they the test's output pipe, CTest would wait for them
# to end. So a program with no streams starts them first, under the lock, so that a test started
# at the same moment by another job cannot be the one that launches them.
kestrane_wine_server_up() {
  kestrane_wine_lock
  # Exits with 0 when it started a server, with 2 when one is already running for this prefix.
  if kestrane_wine_quiet 30 "$kestrane_wine_server" -p"${KESTRANE_WINESERVER_LINGER:-120}"; then
    kestrane_wine_quiet 120 "$kestrane_wine_loader" cmd.exe /c exit 0 || true
  fi
  kestrane_wine_unlock
}

kestrane_wine_reg() {
  kestrane_wine_quiet 120 "$kestrane_wine_loader" reg add "$@" /f \
    || kestrane_wine_die "could not set $1 in $WINEPREFIX"
}

# One lock per prefix serialises making it and starting its server. Programs started while it is
# held get the lock's descriptor closed (kestrane_wine_quiet): a wineserver that inherited it
# would hold the lock for as long as it lives.
kestrane_wine_lock() {
  local lock=$kestrane_wine_root/wine$kestrane_wine_bits.lock
  exec {kestrane_wine_lock_fd}> "$lock"
  flock -w 900 "$kestrane_wine_lock_fd" || kestrane_wine_die "timed out waiting for $lock"
}

kestrane_wine_unlock() {
  exec {kestrane_wine_lock_fd}>&-
}

# kestrane_wine_quiet <seconds> <command...>: a set-up step with no standard streams and without
# the lock's descriptor, stopped after the given time.
kestrane_wine_quiet() {
  local limit=$1
  shift
  timeout -k 10 "$limit" "$@" < /dev/null > /dev/null 2>&1 {kestrane_wine_lock_fd}>&-
}

# Runs one program (a Unix path to the .exe, then its arguments) and answers with its exit code.
# Carriage returns are taken out of its standard output: the Windows C runtime writes "\r\n", and
# CTest's GoogleTest discovery reads suite names line by line.
# Runs the program once with its output on stdout (carriage returns dropped); sets
# kestrane_wine_printed (bytes of output) and kestrane_wine_millis (run time) and answers with
# the program's exit code.
kestrane_wine_run_once() {
  local limit=$1 started out rc
  shift
  out=$(mktemp "${TMPDIR:-/tmp}/kestrane-wine-out.XXXXXX")
  started=$(date +%s%N)
  timeout -k 10 "$limit" "$kestrane_wine_loader" "$@" | tr -d '\r' | tee "$out"
  rc=${PIPESTATUS[0]}
  kestrane_wine_millis=$(( ($(date +%s%N) - started) / 1000000 ))
  kestrane_wine_printed=$(stat -c %s "$out")
  rm -f "$out"
  return "$rc"
}

kestrane_wine_exec() {
  kestrane_wine_prefix
  kestrane_wine_server_up
  local limit=${KESTRANE_WINE_TIMEOUT:-600} rc
  kestrane_wine_run_once "$limit" "$@"
  rc=$?
  # Very rarely the loader gives up at once: a non-zero code within a second and not one byte
  # of output, where every test program prints its framework's first line. That program never
  # ran, so it is started once more; a program that fails again is reported as it failed.
  if [ "$rc" != 0 ] && [ "$rc" != 124 ] && [ "$rc" != 137 ] && [ "$kestrane_wine_printed" = 0 ] &&
    [ "$kestrane_wine_millis" -lt 1000 ]; then
    echo "$kestrane_wine_name: $(basename "$1") ended with code $rc after" \
      "${kestrane_wine_millis} ms and printed nothing; starting it once more" >&2
    kestrane_wine_run_once "$limit" "$@"
    rc=$?
  fi
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    echo "$kestrane_wine_name: stopped $1 after $limit s" >&2
  elif [ "$rc" != 0 ]; then
    # CTest does not show exit codes, and a program that dies early loses its buffered output.
    echo "$kestrane_wine_name: $(basename "$1") exited with code $rc" >&2
  fi
  return "$rc"
}

# The i386 binfmt_misc entry of qemu, when one is registered and enabled.
kestrane_qemu_i386_registered() {
  local entry=/proc/sys/fs/binfmt_misc/qemu-i386
  [ -f "$entry" ] && head -n 1 "$entry" | grep -qx enabled
}

# Prints why 32-bit wine programs cannot run on this machine and succeeds; fails (prints
# nothing) when they can.
kestrane_wine32_why_not() {
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "the 32-bit wine loader is not installed (wine32:i386; scripts/install-deps.sh)"
  elif /usr/lib/wine/wine --version > /dev/null 2>&1; then
    return 1
  elif kestrane_qemu_i386_registered; then
    echo "the 32-bit wine loader fails to start even under qemu-i386"
  elif ! [ -x /usr/bin/qemu-i386 ]; then
    echo "this kernel cannot run i386 programs and qemu-i386 is not installed"
  else
    echo "this kernel cannot run i386 programs and qemu-i386 is not registered with" \
      "binfmt_misc (run scripts/setup-wine32.sh as root)"
  fi
}
