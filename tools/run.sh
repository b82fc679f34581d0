#!/usr/bin/env bash
# Builds the programs it opens, and opens the studio on the sample project
# (a copy in build/ejemplo, so that the checkout stays as it is); with
# --window, the range window instead. Tests, benches and fuzzers are not built.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${1:-}" = "--window" ]; then
  shift
  cmake --build build -j "$(nproc)" --target romscriber
  exec build/src/app/romscriber "$@"
fi
cmake --build build -j "$(nproc)" --target romscriber-studio
sample=build/ejemplo
if [ ! -f "$sample/juego.toml" ]; then
  mkdir -p "$sample"
  cp examples/project/juego.sfc examples/project/juego.tbl examples/project/juego.toml "$sample"/
fi
if [ $# -eq 0 ]; then
  set -- "$sample/juego.toml"
fi
exec build/src/studio/romscriber-studio "$@"
