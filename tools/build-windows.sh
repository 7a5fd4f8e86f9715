#!/bin/sh
# Cross-builds the Windows program on Debian: installs what is missing, builds the x86_64
# and i686 programs (Release) with their help file, and packs each into an installer and
# a zip, in build/windows-<arch>/. The x86_64 build also builds the tests that run under
# Wine (ctest --test-dir build/windows-x86_64).
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh windows
jobs=$(nproc)
for arch in x86_64 i686; do
  tests=OFF
  [ "$arch" = x86_64 ] && tests=ON
  cmake -S . -B "build/windows-$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPUZZLE_BUILD_TESTS=$tests -DPUZZLE_BUILD_BENCH=OFF
  cmake --build "build/windows-$arch" -j"$jobs"
  (cd "build/windows-$arch" && cpack -G "NSIS;ZIP" >/dev/null)
  ls "build/windows-$arch"/brindlewick-puzzle-*-win*.exe "build/windows-$arch"/brindlewick-puzzle-*-win*.zip
done
