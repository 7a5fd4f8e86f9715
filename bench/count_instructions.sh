#!/bin/sh
# Instructions of one slide and of one full repaint, counted by callgrind: unlike times,
# they come out the same on every run.
#   bench/count_instructions.sh [path/to/puzzle_bench]
set -eu
bench=${1:-build/release/bench/puzzle_bench}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if ! valgrind --tool=callgrind --callgrind-out-file="$dir/out" "$bench" --count-instructions >/dev/null 2>"$dir/log"; then
  cat "$dir/log" >&2
  exit 1
fi
# One dump per label, "slide 1920x1080 grid 10 count 256": the whole cost of that many.
for f in "$dir"/out.*; do
  label=$(sed -n 's/^desc: Trigger: Client Request: //p' "$f")
  total=$(sed -n 's/^summary: //p' "$f")
  count=${label##* }
  printf '%-28s %10d instructions each (%d in %d)\n' "${label% count *}" $((total / count)) "$total" "$count"
done
