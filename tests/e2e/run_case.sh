#!/usr/bin/env bash
# Runs the ploverix binary on one scenario folder in a fresh temporary
# directory and compares, byte for byte, what it printed, the files it left
# and its exit status with the scenario's expectations.
#
# Scenario folder:
#   stdin              what is typed (absent: an empty standard input)
#   files/             files in the working directory before the run
#   setup              optional bash snippet run in the working directory first
#   run-as-nobody      marker: run as uid/gid 65534 (root ignores permissions)
#   stdout-dev-full    marker: standard output is /dev/full (stdout not compared)
#   expected/stdout    exact bytes (CR LF records)
#   expected/stderr    exact bytes, with the working directory written as <dir>
#                      and the traceback rows as the one line <traceback rows>
#   expected/status    the exit status
#   expected/files/    the exact set and bytes of the files after the run
#                      (absent: the files must be exactly those of files/)
set -u
bin=$1
scenario=$2

work=$(mktemp -d)
out=$(mktemp -d)
trap 'rm -rf "$work" "$out"' EXIT
chmod 755 "$work"
if [ -d "$scenario/files" ]; then cp -R "$scenario/files/." "$work/"; fi
if [ -f "$scenario/setup" ]; then (cd "$work" && bash "$scenario/setup"); fi

stdin=/dev/null
[ -f "$scenario/stdin" ] && stdin="$scenario/stdin"
stdout_file="$out/stdout"
[ -e "$scenario/stdout-dev-full" ] && stdout_file=/dev/full

runner=()
if [ -e "$scenario/run-as-nobody" ]; then
  # The build tree may sit below a folder that other users cannot enter.
  mkdir "$out/bin" && cp "$bin" "$out/bin/ploverix" && chmod 755 "$out" "$out/bin"
  bin="$out/bin/ploverix"
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

(cd "$work" && "${runner[@]}" "$bin" <"$stdin" >"$stdout_file" 2>"$out/stderr.raw")
status=$?

# Traceback rows hold addresses and routine names of this build: check their
# layout, then fold them into one line.
header='Image              PC        Routine            Line        Source             '
awk -v header="$header" -v dir="$work" '
  BEGIN { rows = 0 }
  # Columns: image 1-17, PC 20-27, routine 30-46, line 49-58, source from 61.
  function isrow(l) {
    return length(l) > 60 && substr(l, 18, 2) == "  " && substr(l, 20, 8) ~ /^[0-9A-F]+$/ &&
           substr(l, 28, 2) == "  " && substr(l, 47, 2) == "  " && substr(l, 59, 2) == "  "
  }
  function flush() { if (rows > 0) { print "<traceback rows>"; rows = 0 } }
  {
    line = $0
    while ((i = index(line, dir)) > 0) line = substr(line, 1, i - 1) "<dir>" substr(line, i + length(dir))
    if (intable && isrow(line)) { rows++; next }
    flush(); intable = (line == header); print line
  }
  END { flush() }' "$out/stderr.raw" >"$out/stderr"

fail=0
report() { echo "FAIL: $*"; fail=1; }

expected_status=$(cat "$scenario/expected/status")
[ "$status" = "$expected_status" ] || report "exit status $status, expected $expected_status"

if [ ! -e "$scenario/stdout-dev-full" ]; then
  if ! cmp -s "$scenario/expected/stdout" "$out/stdout"; then
    report "stdout differs (expected vs actual):"
    diff <(cat -A "$scenario/expected/stdout") <(cat -A "$out/stdout") | head -40
  fi
fi
if ! cmp -s "$scenario/expected/stderr" "$out/stderr"; then
  report "stderr differs (expected vs actual):"
  diff <(cat -A "$scenario/expected/stderr") <(cat -A "$out/stderr") | head -40
fi

expected_files="$scenario/expected/files"
[ -d "$expected_files" ] || expected_files="$scenario/files"
list() { if [ -d "$1" ]; then (cd "$1" && find . -type f | sort); fi; }
if [ "$(list "$expected_files")" != "$(list "$work")" ]; then
  report "files after the run differ: expected [$(list "$expected_files" | tr '\n' ' ')] got [$(list "$work" | tr '\n' ' ')]"
else
  while IFS= read -r f; do
    if ! cmp -s "$expected_files/$f" "$work/$f"; then
      report "file $f differs (expected vs actual):"
      diff <(cat -A "$expected_files/$f") <(cat -A "$work/$f") | head -40
    fi
  done < <(list "$expected_files")
fi

[ $fail = 0 ] && echo "ok: $(basename "$scenario")"
exit $fail
