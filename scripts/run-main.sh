#!/usr/bin/env bash
# The main job: installs what is missing, builds the optimised native build (native-release,
# in build/native-release) and runs the command-line host on the plug-in it built.
#   sudo scripts/run-main.sh
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
jobs=${KESTRANE_JOBS:-2}

if [ "$(id -u)" = 0 ]; then
  scripts/install-deps.sh
else
  echo "run-main: not root: packages are not installed, only used (run with sudo to install them)"
fi
cmake --preset native-release > /dev/null
cmake --build --preset native-release -j "$jobs" --target kestrane
mkdir -p out
kestrane=build/native-release/tools/kestrane/kestrane

# The job itself.
# The built-in demo through the Mastering program, into out/, with the full summary (the
# largest gain reduction per band costs two more passes per band, so plain renders skip it).
"$kestrane" render --gain-reduction
