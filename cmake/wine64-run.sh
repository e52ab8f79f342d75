#!/usr/bin/env bash
# Runs one Windows x86-64 program under wine64 and answers with its exit code:
#   cmake/wine64-run.sh build/win64/tests/foo/foo_test.exe --gtest_filter='Suite.*'
# The win64 build's CMAKE_CROSSCOMPILING_EMULATOR, so CTest runs every test program through it.
# The prefix, the headless graphics driver and the timeout are described in wine-env.sh.
set -uo pipefail
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/wine-env.sh"
kestrane_wine_init 64
kestrane_wine_usage "$@"
kestrane_wine_version > /dev/null \
  || kestrane_wine_die "$kestrane_wine_loader is missing or cannot run (scripts/install-deps.sh)"
kestrane_wine_exec "$@"
