#!/bin/sh
# Builds the game's Debian package, build/release/brindlewick-puzzle_<version>_<arch>.deb,
# and checks it with lintian. Install it with: sudo apt install ./build/release/brindlewick-puzzle_*.deb
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh package
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPUZZLE_BUILD_TESTS=OFF -DPUZZLE_BUILD_BENCH=OFF
cmake --build build/release -j"$(nproc)"
rm -f build/release/brindlewick-puzzle_*.deb
(cd build/release && cpack -G DEB)
lintian --fail-on error build/release/brindlewick-puzzle_*.deb
