#!/usr/bin/env bash
# Installs what is needed, builds Velmora and starts it: the desktop app when it is built,
# otherwise the command-line encoder on a demo text.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"

if [ -x build/bin/velmora ]; then
  exec build/bin/velmora "$@"
fi
exec build/bin/velmora-cli encode "${1:-Hello from Velmora}"
