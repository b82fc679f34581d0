#!/usr/bin/env bash
# Builds the program and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
if [ -x build/src/app/romscriber ]; then
  exec build/src/app/romscriber "$@"
fi
echo "Built. The window program is not part of this build yet."
