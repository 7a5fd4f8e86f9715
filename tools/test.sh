#!/bin/sh
# Installs what is missing, builds with the sanitizers and runs every test.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh test
# The Windows program, cross-built: its own tests run under Wine here, and the end-to-end
# tests of the Linux build drive it too.
tools/build-windows.sh
ctest --test-dir build/windows-x86_64 --output-on-failure
# The browser program's site: the native build's CTest plays it in headless Chromium.
tools/build-web.sh
cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug
cmake --build build/debug -j"$(nproc)"
ctest --test-dir build/debug --output-on-failure -j"$(nproc)"
# The portable code's unit tests again, compiled with Emscripten and run under node.
tools/build-web-tests.sh
# The readers of outside data under libFuzzer, built by clang on their own: each replays its
# corpus, the past findings among it.
tools/fuzz.sh replay
