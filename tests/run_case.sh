#!/usr/bin/env bash
# Runs one end-to-end case folder and compares what the run produced with what it expects.
#
# A case folder holds:
#   cmd        the command line, one line: "torvane ARGS..." or "scrubnote ARGS..."
#              (words are split on blanks; no quoting; @ROOT@ stands for the project's root,
#              so a case can assemble a file of examples/ without copying it)
#   stdin      optional: fed to the program's standard input (otherwise /dev/null)
#   filter     optional: a sed script applied to standard output before it is compared
#              (for the few texts that vary from run to run, such as processor time)
#   expected/  stdout   the exact standard output
#              status   the exit status
#              any other file: must exist after the run with exactly this content
#   anything else: input files, copied into a scratch folder where the command runs
#
# Set UPDATE=1 to write the actual results into expected/ instead of comparing.
set -u
torvane_bin=$1
scrubnote_bin=$2
case_dir=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in "$case_dir"/*; do
  base=$(basename "$f")
  case "$base" in expected|cmd|stdin|filter) ;; *) cp -r "$f" "$work/" ;; esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
read -r -a words < <(sed "s|@ROOT@|$root|g" "$case_dir/cmd")
case "${words[0]}" in
  torvane) words[0]=$torvane_bin ;;
  scrubnote) words[0]=$scrubnote_bin ;;
  *) echo "unknown program in cmd: ${words[0]}"; exit 2 ;;
esac

input=/dev/null
[ -f "$case_dir/stdin" ] && input="$case_dir/stdin"
(cd "$work" && timeout 20 "${words[@]}" < "$input" > "$work/.stdout" 2> "$work/.stderr")
status=$?
if [ -f "$case_dir/filter" ]; then
  sed -f "$case_dir/filter" "$work/.stdout" > "$work/.stdout.filtered" && mv "$work/.stdout.filtered" "$work/.stdout"
fi

if [ "${UPDATE:-0}" = 1 ]; then
  mkdir -p "$case_dir/expected"
  cp "$work/.stdout" "$case_dir/expected/stdout"
  echo "$status" > "$case_dir/expected/status"
  for f in "$case_dir"/expected/*; do
    base=$(basename "$f")
    case "$base" in stdout|status) ;; *) [ -f "$work/$base" ] && cp "$work/$base" "$f" ;; esac
  done
  exit 0
fi

fail=0
if [ "$status" != "$(cat "$case_dir/expected/status")" ]; then
  echo "exit status: expected $(cat "$case_dir/expected/status"), got $status"
  fail=1
fi
if [ -s "$work/.stderr" ] && [ ! -f "$case_dir/expected/stderr" ]; then
  echo "unexpected standard error:"; cat "$work/.stderr"; fail=1
fi
for f in "$case_dir"/expected/*; do
  base=$(basename "$f")
  case "$base" in
    status) continue ;;
    stdout) actual="$work/.stdout" ;;
    stderr) actual="$work/.stderr" ;;
    *) actual="$work/$base" ;;
  esac
  if [ ! -f "$actual" ]; then
    echo "missing output file: $base"; fail=1
  elif ! cmp -s "$f" "$actual"; then
    echo "--- $base differs (expected vs actual):"
    diff <(od -c "$f") <(od -c "$actual") | head -40
    fail=1
  fi
done
exit $fail
