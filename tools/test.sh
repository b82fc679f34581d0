#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the Debian
# package's contents.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMSCRIBER_SANITIZE=ON -DROMSCRIBER_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The Debian package: a Release build in build-release/, then its contents.
tools/package-test.sh
echo "All tests passed."
