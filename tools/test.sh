#!/bin/sh
# Installs what is missing, builds with the sanitizers and runs every test.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug
cmake --build build/debug -j"$(nproc)"
ctest --test-dir build/debug --output-on-failure -j"$(nproc)"
