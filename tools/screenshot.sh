#!/usr/bin/env bash
# Makes the README's picture of the studio (the build draws it without a
# screen, on a copy of the sample project) and puts it in docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target romscriber_studio_picture
mkdir -p docs
cp build/docs/studio.png docs/studio.png
echo "docs/studio.png"
