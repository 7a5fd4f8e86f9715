#!/bin/sh
# Builds the portable code and its unit tests with Emscripten into build/web-tests/ and runs
# them under node: the third compiler and C++ library (clang 14's libc++ on wasm32, where
# size_t and long are 32 bits wide). Installs what is missing first.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh web
# emcc's optimising link runs acorn, which Debian keeps outside node's own search path.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# The browser host itself is tools/build-web.sh's: this tree holds only the libraries and tests.
emcmake cmake -S . -B build/web-tests -DCMAKE_BUILD_TYPE=Release -DPUZZLE_BUILD_WEB_HOST=OFF \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v node);--no-experimental-fetch"
cmake --build build/web-tests -j2 --target web_tests
ctest --test-dir build/web-tests --output-on-failure -j2
