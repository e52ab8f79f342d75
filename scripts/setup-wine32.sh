#!/usr/bin/env bash
# Makes this machine able to run the shipped 32-bit Kestrane.dll's test programs under wine, then
# proves it by running a small 32-bit program. Safe to run again: it only checks then.
#
#   scripts/setup-wine32.sh               set up if needed, then prove
#   scripts/setup-wine32.sh --force-qemu  route i386 programs through qemu-i386 even where the
#                                         kernel runs them itself (to try the emulated path)
#   scripts/setup-wine32.sh --remove-qemu take the qemu-i386 binfmt_misc entry away again
#
# What works, found on the Debian 12 machines this project builds on (wine 8.0, qemu 10):
#   - wine's 32-bit loader (/usr/lib/wine/wine, from wine32:i386) is an i386 Linux program. A
#     kernel built with IA32 emulation (CONFIG_IA32_EMULATION=y, as here) runs it directly: a
#     WINEARCH=win32 prefix is made in about 8 s and a test program starts in 0.05 s. Nothing
#     else is needed then, and qemu is deliberately not registered, because a binfmt_misc entry
#     takes precedence over the kernel's own ELF loader and would put every i386 program under
#     emulation.
#   - A kernel without IA32 emulation cannot exec it ("Exec format error"). Then qemu-i386 user
#     emulation runs it, registered with binfmt_misc from Debian's
#     /usr/share/qemu/binfmt.d/qemu-i386.conf (flags OPF: the interpreter is opened at
#     registration, credentials and the original argv[0] are kept). Wine starts its own helper
#     processes (services.exe, explorer.exe, winedevice.exe) by exec, so binfmt_misc is needed,
#     not just "qemu-i386 wine prog.exe". Measured this way: the prefix takes 20 to 30 s, a program
#     0.5 s to start, and the conformance suite 5.6 s instead of 0.9 s natively. The wineserver
#     itself is the 64-bit one either way.
#   - Registering needs root and a mountable binfmt_misc; where either is missing, this script
#     says so in one line and exits 1. The test runners then skip (exit 77) with the same reason.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../cmake/wine-env.sh"
kestrane_wine_init 32
kestrane_wine_name=setup-wine32

binfmt=/proc/sys/fs/binfmt_misc
qemu_conf=/usr/share/qemu/binfmt.d/qemu-i386.conf
mode=${1:-}
case "$mode" in
  "" | --force-qemu | --remove-qemu) ;;
  *)
    echo "usage: $0 [--force-qemu | --remove-qemu]" >&2
    exit 2
    ;;
esac

fail() {
  echo "setup-wine32: $*" >&2
  exit 1
}

need_root() {
  [ "$(id -u)" = 0 ] || fail "registering qemu-i386 with binfmt_misc needs root ($1)"
}

mount_binfmt() {
  if ! [ -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2> /dev/null \
      || fail "cannot mount binfmt_misc on $binfmt (no permission in this container?)"
  fi
}

register_qemu() {
  [ -x /usr/bin/qemu-i386 ] \
    || fail "qemu-i386 is not installed (qemu-user; scripts/install-deps.sh)"
  [ -f "$qemu_conf" ] || fail "$qemu_conf is missing (qemu-user-binfmt)"
  need_root "$1"
  mount_binfmt
  if [ -e "$binfmt/qemu-i386" ]; then
    # Registered but switched off: switch it on.
    echo 1 > "$binfmt/qemu-i386" || fail "cannot enable $binfmt/qemu-i386"
  else
    cat "$qemu_conf" > "$binfmt/register" || fail "the kernel refused $qemu_conf"
  fi
  kestrane_qemu_i386_registered || fail "qemu-i386 did not register with binfmt_misc"
}

if [ "$mode" = --remove-qemu ]; then
  if [ -e "$binfmt/qemu-i386" ]; then
    need_root "removing it"
    echo -1 > "$binfmt/qemu-i386" || fail "cannot remove $binfmt/qemu-i386"
    echo "setup-wine32: qemu-i386 removed from binfmt_misc"
  else
    echo "setup-wine32: qemu-i386 was not registered"
  fi
  exit 0
fi

[ -x "$kestrane_wine_loader" ] \
  || fail "the 32-bit wine loader is not installed (wine32:i386; scripts/install-deps.sh)"

if [ "$mode" = --force-qemu ]; then
  kestrane_qemu_i386_registered || register_qemu "--force-qemu"
elif ! kestrane_wine_version > /dev/null; then
  kestrane_qemu_i386_registered \
    && fail "the 32-bit wine loader fails to start even under qemu-i386"
  register_qemu "this kernel cannot run i386 programs itself"
fi
kestrane_wine_version > /dev/null || fail "the 32-bit wine loader still cannot start"

if kestrane_qemu_i386_registered; then
  how="under qemu-i386 (binfmt_misc)"
else
  how="natively (kernel IA32 emulation)"
fi

# The proof: a 32-bit program built here, run in the prefix, its output and exit code checked.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/probe.c" << 'EOF'
#include <stdio.h>
int main(void) {
  printf("pointer bits %u\n", (unsigned)(8 * sizeof(void *)));
  return 42;
}
EOF
i686-w64-mingw32-gcc-posix -O1 -o "$tmp/probe.exe" "$tmp/probe.c" \
  || fail "i686-w64-mingw32-gcc-posix cannot build the probe (scripts/install-deps.sh)"
start=$(date +%s)
out=$("$here/../cmake/wine32-run.sh" "$tmp/probe.exe" 2> "$tmp/stderr")
rc=$?
# The runner names the probe's exit code 42 on stderr; show its other lines (a new prefix).
grep -v 'probe.exe exited with code 42' "$tmp/stderr" >&2
secs=$(($(date +%s) - start))
[ "$rc" = 42 ] && [ "$out" = "pointer bits 32" ] \
  || fail "a 32-bit probe program under wine answered '$out' with exit code $rc (wanted 42)"
echo "setup-wine32: 32-bit Windows programs run $how; prefix $WINEPREFIX; probe took ${secs} s"
