#!/bin/bash
# Plants each fault listed in tests/mutations/ in turn, rebuilds the unit tests, runs
# them and tells which faults they caught. The tree is always put back as it was.
#
#   tools/mutate.sh [--check] [--timeout SECONDS] [NAME...]
#
# NAME picks mutations by file name (without .mut); none means all of them. --check only
# tells whether each still applies to the code, without building. The exit status is 0
# only when every fault not marked equivalent was caught, every mutation still applies
# to the code, and none marked equivalent was caught.
set -u
shopt -s nullglob

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2
build=build/mutate
timeout_seconds=""
check_only=""
names=()
while [ $# -gt 0 ]; do
  case $1 in
    --check) check_only=1; shift ;;
    --timeout) timeout_seconds=$2; shift 2 ;;
    -h | --help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) names+=("${1%.mut}"); shift ;;
  esac
done

fail() { echo "mutate: $*" >&2; exit 2; }
for tool in cmake git perl timeout; do
  command -v "$tool" >/dev/null || fail "needs $tool"
done

# --- The list ---------------------------------------------------------------------

# A mutation file holds "key: value" lines: fault (what is planted), file, find and
# replace (exact text; repeat the key for more lines), and optionally
# "occurrence: N of M" (the text is found exactly M times and the Nth is replaced;
# 1 of 1 by default) and "equivalent: why no behaviour can tell it apart".
declare -A m_fault m_file m_find m_replace m_nth m_count m_equivalent
parse() {
  local path=$1 name line key value
  name=$(basename "$path" .mut)
  m_fault[$name]="" m_file[$name]="" m_equivalent[$name]="" m_nth[$name]=1 m_count[$name]=1
  local find_lines=() replace_lines=()
  while IFS= read -r line || [ -n "$line" ]; do
    case $line in '' | '#'*) continue ;; esac
    key=${line%%:*}
    value=${line#*:}
    value=${value# }
    case $key in
      fault) m_fault[$name]=$value ;;
      file) m_file[$name]=$value ;;
      find) find_lines+=("$value") ;;
      replace) replace_lines+=("$value") ;;
      equivalent) m_equivalent[$name]=$value ;;
      occurrence)
        [[ $value =~ ^([0-9]+)\ of\ ([0-9]+)$ ]] || fail "$path: occurrence must read 'N of M'"
        m_nth[$name]=${BASH_REMATCH[1]} m_count[$name]=${BASH_REMATCH[2]} ;;
      *) fail "$path: unknown key '$key'" ;;
    esac
  done <"$path"
  [ -n "${m_fault[$name]}" ] || fail "$path: no fault line"
  [ -f "${m_file[$name]}" ] || fail "$path: no such file '${m_file[$name]}'"
  [ ${#find_lines[@]} -gt 0 ] || fail "$path: nothing to find"
  m_find[$name]=$(printf '%s\n' "${find_lines[@]}")
  m_replace[$name]=$(printf '%s\n' "${replace_lines[@]}")
  [ ${#replace_lines[@]} -gt 0 ] || m_replace[$name]=""
}

all=()
for path in tests/mutations/*.mut; do
  parse "$path"
  all+=("$(basename "$path" .mut)")
done
if [ ${#names[@]} -gt 0 ]; then
  for name in "${names[@]}"; do
    [ -n "${m_file[$name]+set}" ] || fail "no mutation named $name"
  done
  all=("${names[@]}")
fi
[ ${#all[@]} -gt 0 ] || fail "no mutations in tests/mutations"
# Mutations of one file run together: each change of file costs a second compile.
mapfile -t order < <(for name in "${all[@]}"; do printf '%s\t%s\n' "${m_file[$name]}" "$name"; done | sort | cut -f2)

# A run killed outright (SIGKILL, a machine restart) runs no trap: the file it had
# changed is put back from the copy it kept in the build folder, if that copy is still
# what git has.
kept=$build/original
if [ -f "$kept/name" ]; then
  left=$(cat "$kept/name")
  if git show "HEAD:$left" 2>/dev/null | cmp -s - "$kept/file"; then
    cp "$kept/file" "$left" || fail "could not put back $left from $kept/file"
    echo "mutate: put back $left, left changed by a run that was stopped" >&2
  fi
  rm -f "$kept/name"
fi

# Restoring is checked against git, so the files to be mutated must be committed.
for name in "${order[@]}"; do
  git diff --quiet HEAD -- "${m_file[$name]}" || fail "${m_file[$name]} has uncommitted changes: commit them first"
done

# --- Putting the tree back ----------------------------------------------------------

saved=$(mktemp -d)
mutated=""   # the file currently changed, while it is
child=""     # the build or test run in progress
restore() {
  [ -n "$mutated" ] || return 0
  # A fresh time stamp makes the next build compile the original again.
  cp "$kept/file" "$mutated"
  if ! git diff --quiet HEAD -- "$mutated"; then
    echo "mutate: could not restore $mutated; its original is in $kept/file" >&2
    exit 3
  fi
  rm -f "$kept/name"
  mutated=""
}
finish() {
  [ -z "$child" ] || { kill -TERM "$child" 2>/dev/null; wait "$child" 2>/dev/null; }
  restore
  [ -z "$saved" ] || rm -rf "$saved"
}
trap finish EXIT
trap 'echo "mutate: interrupted; the tree is restored" >&2; exit 130' INT TERM HUP

# Runs a command under a time limit, output to a log, in the background so that a
# signal is handled at once.
limited() {
  local limit=$1 log=$2
  shift 2
  timeout -k 10 "$limit" "$@" >"$log" 2>&1 &
  child=$!
  wait "$child"
  local status=$?
  child=""
  return $status
}

apply() {
  FIND=${m_find[$1]} REPLACE=${m_replace[$1]} NTH=${m_nth[$1]} COUNT=${m_count[$1]} perl -0777 -e '
    my ($path) = @ARGV;
    open(my $in, "<", $path) or die; my $text = <$in>; close $in;
    my ($find, $replace) = ($ENV{FIND}, $ENV{REPLACE});
    my @at; my $i = 0;
    while (($i = index($text, $find, $i)) >= 0) { push @at, $i; $i += length $find; }
    exit 1 if @at != $ENV{COUNT} || $ENV{NTH} < 1 || $ENV{NTH} > @at;
    substr($text, $at[$ENV{NTH} - 1], length $find) = $replace;
    open(my $out, ">", $path) or die; print $out $text; close $out;' "${2:-${m_file[$1]}}"
}

if [ -n "$check_only" ]; then
  stale=0
  for name in "${order[@]}"; do
    cp "${m_file[$name]}" "$saved/probe"
    if apply "$name" "$saved/probe"; then outcome=applies; else outcome="not applicable"; stale=$((stale + 1)); fi
    printf '  %-44s %s\n' "$name" "$outcome"
  done
  echo "${#order[@]} mutations, $stale not applicable."
  [ $stale -eq 0 ]
  exit
fi

# --- Build and run --------------------------------------------------------------------

tools/install-deps.sh test || fail "could not install what the tests need"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DPUZZLE_BUILD_DESKTOP=OFF -DPUZZLE_BUILD_BENCH=OFF \
    >"$saved/configure.log" 2>&1 || { cat "$saved/configure.log"; fail "configuring $build failed"; }
fi
build_tests() { limited 1800 "$saved/build.log" cmake --build "$build" -j2 --target puzzle_tests; }
# The slow tests of the Linux store and decoder run last, or first for a fault planted in
# them, so that most faults are caught in seconds.
host_tests='LinuxSettingsFile*:*PixbufDecoder*'
run_pass() {
  limited "$1" "$saved/pass.log" env -C "$build/tests" ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" ./puzzle_tests --gtest_fail_fast --gtest_color=no \
    --gtest_filter="$2"
  local status=$?
  cat "$saved/pass.log" >>"$saved/tests.log"
  return $status
}
run_tests() {
  local first="-$host_tests" second="$host_tests"
  case ${2:-} in shell/linux/*) first=$host_tests second="-$host_tests" ;; esac
  : >"$saved/tests.log"
  run_pass "$1" "$first" && run_pass "$1" "$second"
}
# The first test that failed; for a crash or a timeout, the one that was running.
first_failure() {
  local failed running
  failed=$(grep -m1 -E '^\[  FAILED  \] [A-Za-z_]' "$saved/tests.log" | sed -E 's/^\[  FAILED  \] ([^ ,]+).*/\1/')
  if [ -n "$failed" ]; then echo "$failed"; return; fi
  running=$(grep -E '^\[ RUN      \]' "$saved/tests.log" | tail -1 | sed -E 's/^\[ RUN      \] //')
  if grep -q -E "^\[       OK \] $running" "$saved/tests.log" 2>/dev/null; then
    echo "(after the last test: $(grep -m1 -o -E 'ERROR: [A-Za-z]+Sanitizer: [a-z-]+' "$saved/tests.log" || echo "exit"))"
  else
    echo "$running"
  fi
}

echo "Building the unit tests in $build and running them unchanged..."
build_tests || { tail -30 "$saved/build.log"; fail "the unchanged tree does not build"; }
started=$SECONDS
run_tests 1800 || { tail -30 "$saved/tests.log"; fail "the unit tests fail on the unchanged tree"; }
baseline=$((SECONDS - started))
limit=${timeout_seconds:-$((3 * baseline + 30))}
echo "They pass in ${baseline} s; each mutation gets ${limit} s. ${#order[@]} mutations."

# --- The mutations --------------------------------------------------------------------

declare -A result detail
run_started=$SECONDS
for name in "${order[@]}"; do
  file=${m_file[$name]}
  mkdir -p "$kept"
  cp -p "$file" "$kept/file"
  echo "$file" >"$kept/name"
  mutated=$file
  if ! apply "$name"; then
    mutated=""
    result[$name]="not applicable"
    detail[$name]="the text is not found ${m_count[$name]} time(s) in $file"
  elif ! build_tests; then
    result[$name]="no build"
    detail[$name]=$(grep -m1 -E 'error' "$saved/build.log" | cut -c1-120)
  else
    run_tests "$limit" "$file"
    status=$?
    case $status in
      0) result[$name]="survived"; detail[$name]="" ;;
      124 | 137) result[$name]="timed out"; detail[$name]=$(first_failure) ;;
      *) result[$name]="caught"; detail[$name]=$(first_failure) ;;
    esac
  fi
  restore
  printf '  %-44s %-15s %s\n' "$name" "${result[$name]}" "${detail[$name]}"
done

# --- The table ------------------------------------------------------------------------

caught=0 counted=0 equivalents=0 problems=0
echo
echo "| Mutation | Fault | Result | First failing test |"
echo "|---|---|---|---|"
for path in tests/mutations/*.mut; do
  name=$(basename "$path" .mut)
  [ -n "${result[$name]+set}" ] || continue
  outcome=${result[$name]}
  if [ -n "${m_equivalent[$name]}" ]; then
    equivalents=$((equivalents + 1))
    if [ "$outcome" = survived ]; then
      outcome="equivalent"
      detail[$name]=${m_equivalent[$name]}
    else
      problems=$((problems + 1))
      outcome="$outcome (marked equivalent)"
    fi
  else
    counted=$((counted + 1))
    case $outcome in
      caught | "timed out") caught=$((caught + 1)) ;;
      *) problems=$((problems + 1)) ;;
    esac
  fi
  echo "| $name | ${m_fault[$name]} | $outcome | ${detail[$name]} |"
done
echo
minutes=$(((SECONDS - run_started + 59) / 60))
if [ $counted -gt 0 ]; then
  echo "Caught $caught of $counted ($((100 * caught / counted))%); $equivalents marked equivalent; about $minutes min."
fi
[ $problems -eq 0 ]
