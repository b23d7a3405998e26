#!/usr/bin/env bash
# Whole-run benchmark of ploverix in mode 2:
#   (a) 200 studies x 200 groups x 200 genotypes, whole counts 0..1000
#   (b) the same size, counts with four decimals
#   (c) 50 studies x 2 x 3 (the everyday case), against the start-up of a
#       trivial C++ program measured the same way, side by side
# and, as the baseline, the straightforward loops (ploverix_straightforward)
# on the first 5 studies of the files of (a) and (b), on one core, scaled to
# 200 studies. Zero-add value 0.5 throughout. Prints a Markdown table.
#
#   bench/run_whole.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR is a Release build with the benchmarks (targets ploverix,
# ploverix_straightforward, generate_studies, spawn_timer). The studies files
# (about 100 MB) are made in WORK_DIR (default /tmp/ploverix-whole-run) once.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: run_whole.sh BUILD_DIR [WORK_DIR]" >&2
  exit 2
fi
build=$(realpath "$1")
work=${2:-/tmp/ploverix-whole-run}
ploverix=$build/src/driver/ploverix
straightforward=$build/bench/ploverix_straightforward
generate=$build/bench/generate_studies
timer=$build/bench/spawn_timer
for program in "$ploverix" "$straightforward" "$generate" "$timer"; do
  [ -x "$program" ] || { echo "run_whole.sh: build $program first" >&2; exit 2; }
done
mkdir -p "$work"

[ -s "$work/a.txt" ] || "$generate" 200 200 200 1 integer 1000 >"$work/a.txt"
[ -s "$work/b.txt" ] || "$generate" 200 200 200 2 fractional 1000 >"$work/b.txt"
[ -s "$work/c.txt" ] || "$generate" 50 2 3 3 integer 1000 >"$work/c.txt"

# prepare DIR INPUT STUDIES GROUPS GENOTYPES: a run directory with its input.
prepare() {
  rm -rf "$1" && mkdir -p "$1"
  ln -s "$2" "$1/ORGgenotypes.txt"
  printf '2\n%s\n%s\n%s\n0.5\n' "$3" "$4" "$5" >"$1/stdin"
}

# timed DIR COMMAND...: prints "seconds peak-KB exit-status" of one run.
timed() {
  local dir=$1
  shift
  (cd "$dir" && /usr/bin/time -f "%e %M %x" -o time "$@" <stdin >stdout 2>stderr || true)
  cat "$dir/time" | tail -1
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GB"
echo
echo "| run | ploverix (s) | peak RSS (MB) | exit | straightforward, 5 studies on one core (s) | scaled to 200 (s) | ratio |"
echo "|---|---|---|---|---|---|---|"
for name in a b; do
  prepare "$work/run-$name" "$work/$name.txt" 200 200 200
  read -r seconds kilobytes status < <(timed "$work/run-$name" "$ploverix")
  prepare "$work/base-$name" "$work/$name.txt" 5 200 200
  read -r base _ _ < <(timed "$work/base-$name" taskset -c 0 "$straightforward")
  scaled=$(awk -v b="$base" 'BEGIN { printf "%.0f", b * 40 }')
  ratio=$(awk -v s="$scaled" -v t="$seconds" 'BEGIN { printf "%.0f", s / t }')
  echo "| ($name) 200 x 200 x 200 | $seconds | $((kilobytes / 1024)) | $status | $base | $scaled | ${ratio}x |"
done

prepare "$work/run-c" "$work/c.txt" 50 2 3
read -r seconds kilobytes status < <(timed "$work/run-c" "$ploverix")
echo "| (c) 50 x 2 x 3 | $seconds | $((kilobytes / 1024)) | $status | | | |"

# Start-up: a trivial C++ program against run (c), the same timer, the same
# directory and standard input, alternating, 500 runs each time.
cat >"$work/trivial.cpp" <<'CPP'
#include <iostream>
int main() { std::cout << "hello" << std::endl; return 0; }
CPP
c++ -O2 -o "$work/trivial" "$work/trivial.cpp"
echo
echo "| start-up, median of 500 runs (us) | trivial C++ program | ploverix run (c) | ratio |"
echo "|---|---|---|---|"
for round in 1 2 3; do
  read -r trivial _ < <("$timer" 500 "$work/run-c" "$work/run-c/stdin" "$work/trivial")
  read -r everyday _ < <("$timer" 500 "$work/run-c" "$work/run-c/stdin" "$ploverix")
  echo "| round $round | $trivial | $everyday | $(awk -v a="$everyday" -v b="$trivial" 'BEGIN { printf "%.2f", a / b }') |"
done
