#!/bin/sh
# Installs what is missing, builds the game and starts it.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh play
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPUZZLE_BUILD_TESTS=OFF -DPUZZLE_BUILD_BENCH=OFF
cmake --build build/release -j"$(nproc)"
if [ -x build/release/brindlewick-puzzle ]; then
  exec build/release/brindlewick-puzzle
fi
# Without the desktop host: the start-up screen, rendered to a picture.
build/release/tools/render_screen brindlewick-puzzle.png
echo "Rendered the start-up screen to $(pwd)/brindlewick-puzzle.png"
