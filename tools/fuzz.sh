#!/bin/sh
# Runs every fuzz target (tests/fuzz/) for the given seconds each (or ten million inputs,
# whichever comes first), one after another at the lowest priority, and merges what each
# found into its committed corpus, kept minimal; inputs named finding-* always stay.
# web_pictures is the page's picture reader, in JavaScript: tests/fuzz/web_pictures_fuzz.mjs
# fuzzes it under node the same way, with the page's npm packages (npm ci in shell/web).
#   tools/fuzz.sh [seconds] [target...]     default: 60 seconds, every target
#   tools/fuzz.sh replay                     builds them and replays each corpus once (ctest)
# Builds with clang in build/fuzz. A finding stops the run: its input is left in
# build/fuzz/findings/, to be fixed with a test beside that reader's tests and then
# copied into the target's corpus as finding-<what it was>. Each target's log is
# build/fuzz/logs/<target>.log, its last lines the figures of the run.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"targa orientation metafile bitmap jpeg pixbuf settings web_settings web_pictures"}

tools/install-deps.sh fuzz
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug -DPUZZLE_BUILD_FUZZ=ON \
  -DPUZZLE_BUILD_TESTS=OFF -DPUZZLE_BUILD_BENCH=OFF -DPUZZLE_BUILD_DESKTOP=OFF >/dev/null
# The page's decoders, for the JavaScript target.
[ -d shell/web/node_modules ] || (cd shell/web && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
if [ "$seconds" = replay ]; then
  cmake --build build/fuzz -j"$(nproc)" --target fuzz_targets
  exec ctest --test-dir build/fuzz --output-on-failure -j"$(nproc)"
fi
nice -n 19 cmake --build build/fuzz -j2 --target fuzz_targets

mkdir -p build/fuzz/findings build/fuzz/logs
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
for target in $targets; do
  fuzzer=build/fuzz/tests/fuzz/${target}_fuzz
  corpus=tests/fuzz/corpus/$target
  found=build/fuzz/found/$target
  log=build/fuzz/logs/$target.log
  dict=""
  [ -f "tests/fuzz/$target.dict" ] && dict="-dict=tests/fuzz/$target.dict"
  mkdir -p "$found"
  echo "== $target: $seconds s"
  # New inputs go to $found; the committed corpus is only read.
  status=0
  if [ "$target" = web_pictures ]; then
    # node can't stop itself in a hang: the run is ended from outside, its input left behind.
    timeout $((seconds + 120)) nice -n 19 node tests/fuzz/web_pictures_fuzz.mjs run "$seconds" 10000000 \
      build/fuzz/findings "$found" "$corpus" >"$log" 2>&1 || status=$?
  else
    nice -n 19 "$fuzzer" -max_total_time="$seconds" -runs=10000000 -max_len=16384 -timeout=30 -rss_limit_mb=3072 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" $dict "$found" "$corpus" \
      >"$log" 2>&1 || status=$?
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
  if [ "$status" -ne 0 ]; then
    grep -E "broken promise|ERROR|SUMMARY|Test unit written" "$log" || true
    echo "$target: finding, see $log" >&2
    exit 1
  fi
  # The corpus afresh: the fewest inputs that reach all the committed and the new ones reach.
  minimal=build/fuzz/minimal/$target
  rm -rf "$minimal"
  mkdir -p "$minimal"
  if [ "$target" = web_pictures ]; then
    nice -n 19 node tests/fuzz/web_pictures_fuzz.mjs merge "$minimal" "$corpus" "$found" >>"$log" 2>&1
  else
    nice -n 19 "$fuzzer" -merge=1 -max_len=16384 -timeout=30 -rss_limit_mb=3072 "$minimal" "$corpus" "$found" \
      >>"$log" 2>&1
  fi
  # Past findings stay whether or not they still add coverage: they are the regressions.
  for kept in "$corpus"/finding-*; do
    [ -e "$kept" ] && cp "$kept" "$minimal/"
  done
  rm -rf "$corpus"
  mv "$minimal" "$corpus"
  rm -rf "$found"
  echo "$target: corpus of $(ls "$corpus" | wc -l) inputs"
done
