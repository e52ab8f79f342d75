#!/usr/bin/env bash
# Installs everything the builds, tests and tools need on a Debian bookworm machine (run as root).
# Idempotent: a second run only checks. Prints one line per step.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: must run as root (apt-get)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Another apt run (an unattended upgrade, a second checkout's test run) may hold the package
# lock for a while: wait for it rather than fail.
apt=(apt-get -o DPkg::Lock::Timeout=600)

native_pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libeigen3-dev libcairo2-dev libfreetype-dev libpng-dev fonts-liberation fonts-liberation2
  libsndfile1-dev sox groff-base bsdextrautils pandoc chromium zip
  lv2-dev lilv-utils sordi
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb libxcb1-dev libxcb-shm0-dev libxcb-xtest0-dev
)

stamp=/var/lib/kestrane-deps.stamp
want="v4 ${native_pkgs[*]}"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  echo "install-deps: already installed"
  exit 0
fi

# i386 packages and bookworm-backports are needed to run the shipped 32-bit DLL (wine32 under qemu-i386).
# grep reads to the end (no -q): under pipefail an early exit could fail dpkg with SIGPIPE.
if ! dpkg --print-foreign-architectures | grep -x i386 > /dev/null; then
  dpkg --add-architecture i386
fi
bp=/etc/apt/sources.list.d/kestrane-backports.list
if [ ! -f "$bp" ]; then
  echo "deb http://deb.debian.org/debian bookworm-backports main" > "$bp"
fi

echo "install-deps: apt-get update"
"${apt[@]}" update -qq
echo "install-deps: installing native, cross and wine packages"
"${apt[@]}" install -y -qq --no-remove "${native_pkgs[@]}" > /dev/null
echo "install-deps: installing qemu-user (backports) and wine32:i386"
if ! "${apt[@]}" install -y -qq --no-remove -t bookworm-backports qemu-user > /dev/null 2>&1; then
  echo "install-deps: qemu-user from bookworm-backports could not be installed; the 32-bit DLL will not run here"
fi
if ! "${apt[@]}" install -y -qq --no-remove wine32:i386 > /dev/null 2>&1; then
  echo "install-deps: wine32:i386 could not be installed; the 32-bit DLL will not run here"
fi
echo "$want" > "$stamp"
echo "install-deps: done"
