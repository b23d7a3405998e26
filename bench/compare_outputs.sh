#!/usr/bin/env bash
# Runs two ploverix binaries on the same mode-2 inputs and compares, byte for
# byte, what each printed, the files each left and its exit status (the
# traceback rows of an error report hold addresses and image names of each
# build, so they are folded into one line first, as the end-to-end tests do).
#
#   compare_outputs.sh [--small|--full] BASELINE CANDIDATE GENERATOR
#
# --full (default): the whole-run benchmark inputs: the first 5 studies of the
#   200 x 200 x 200 files with whole and with fractional counts (the same
#   generator and seeds as run_whole.sh; all 200 studies through the
#   straightforward loops would take over twenty minutes), the everyday
#   50 studies x 2 x 3 in full, and 60 studies x 2 x 3 of counts 0..3 with no
#   zero correction, where studies end the run with math errors.
# --small: the same kinds of input at sizes a test can afford.
set -u
size=--full
case "${1:-}" in --small|--full) size=$1; shift ;; esac
if [ $# -ne 3 ]; then
  echo "usage: compare_outputs.sh [--small|--full] BASELINE CANDIDATE GENERATOR" >&2
  exit 2
fi
for program in "$@"; do
  if [ ! -x "$program" ]; then echo "compare_outputs.sh: no program $program" >&2; exit 2; fi
done
baseline=$(realpath "$1")
candidate=$(realpath "$2")
generate=$(realpath "$3")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name studies-in-file groups genotypes seed kind max studies-run zero-add
if [ "$size" = --full ]; then
  cases=("whole-200 200 200 200 1 integer 1000 5 0.5"
         "fractional-200 200 200 200 2 fractional 1000 5 0.5"
         "everyday 50 2 3 3 integer 1000 50 0.5"
         "failing 60 2 3 4 integer 3 60 0")
else
  cases=("whole-30 20 30 30 1 integer 1000 20 0.5"
         "fractional-30 20 30 30 2 fractional 1000 20 0.5"
         "everyday 50 2 3 3 integer 1000 50 0.5"
         "failing 60 2 3 4 integer 3 60 0"
         "settling 4 120 120 5 integer 1000 4 1e-3")
fi

fold() {
  awk '/^Image +PC +Routine/ { print; intable = 1; next }
       intable && substr($0, 18, 2) == "  " && substr($0, 20, 8) ~ /^[0-9A-F]+$/ {
         if (!shown) print "<traceback rows>"
         shown = 1
         next
       }
       { intable = 0; shown = 0; print }' "$1"
}

run() {  # run BINARY DIR INPUT STUDIES GROUPS GENOTYPES ZEROADD
  mkdir -p "$2"
  cp "$3" "$2/ORGgenotypes.txt"
  printf '2\n%s\n%s\n%s\n%s\n' "$4" "$5" "$6" "$7" >"$2/.stdin"
  (cd "$2" && "$1" <.stdin >.stdout 2>.stderr.raw; echo $? >.status)
  fold "$2/.stderr.raw" >"$2/.stderr"
  rm "$2/.stderr.raw"
}

failed=0
for entry in "${cases[@]}"; do
  read -r name studies groups genotypes seed kind max run_studies zero_add <<<"$entry"
  input="$work/$name.txt"
  "$generate" "$studies" "$groups" "$genotypes" "$seed" "$kind" "$max" >"$input"
  run "$baseline" "$work/$name/baseline" "$input" "$run_studies" "$groups" "$genotypes" "$zero_add"
  run "$candidate" "$work/$name/candidate" "$input" "$run_studies" "$groups" "$genotypes" "$zero_add"
  if diff -r "$work/$name/baseline" "$work/$name/candidate" >"$work/$name.diff"; then
    echo "same: $name ($run_studies studies of $groups x $genotypes, $kind, exit status $(cat "$work/$name/candidate/.status"))"
  else
    echo "DIFFERENT: $name"
    head -20 "$work/$name.diff"
    failed=1
  fi
done
if [ $failed = 0 ]; then echo "all outputs identical"; fi
exit $failed
