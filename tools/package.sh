#!/usr/bin/env bash
# Builds the Debian package: a Release build of the programs (no tests, no
# benchmarks) in build-release/, installed under /usr, packaged by CPack.
#   tools/package.sh            -> ./romscriber_<version>_<arch>.deb
# Install it with: apt-get install ./romscriber_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DROMSCRIBER_TESTS=OFF -DROMSCRIBER_BENCH=OFF -DROMSCRIBER_FUZZ=OFF -DROMSCRIBER_SANITIZE=OFF \
  >/dev/null
cmake --build build-release -j "$(nproc)"
rm -f build-release/romscriber_*.deb
(cd build-release && cpack -G DEB >/dev/null)

debs=(build-release/romscriber_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single package" >&2; exit 1; }
rm -f romscriber_*.deb
cp "${debs[0]}" .
echo "$(basename "${debs[0]}")"
