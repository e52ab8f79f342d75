#!/usr/bin/env bash
# Runs one Windows i686 program under wine's 32-bit loader and answers with its exit code:
#   cmake/wine32-run.sh build/win32/tests/shell/kestrane_shell_conformance.exe
# The win32 build's CMAKE_CROSSCOMPILING_EMULATOR.
#
# The 32-bit loader is an i386 Linux program. A kernel with IA32 emulation runs it directly; one
# without needs qemu-i386 registered with binfmt_misc, which scripts/setup-wine32.sh does (as
# root). When neither is there this prints one line saying why and exits with 77, which CTest
# reports as a skipped test (SKIP_RETURN_CODE), never as a pass.
set -uo pipefail
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/wine-env.sh"
kestrane_wine_init 32
kestrane_wine_usage "$@"
if reason=$(kestrane_wine32_why_not); then
  echo "wine32-run: skipped $(basename "$1"): $reason" >&2
  exit 77
fi
kestrane_wine_exec "$@"
