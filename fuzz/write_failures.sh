#!/usr/bin/env bash
# Checks that no failed write is reported as success: every product of torvane and scrubnote is
# sent to a device that refuses all writes (/dev/full), and the run must fail with its error
# status; a run with nothing to write must still succeed.
#
#   fuzz/write_failures.sh <torvane> <scrubnote>
set -u
torvane=$(realpath "$1")
scrubnote=$(realpath "$2")
if [ ! -w /dev/full ]; then
  echo "write failures: /dev/full missing, skipped"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
printf 'start:  addi $1, $0, 5\n        .string "ab"\n' > prog.asm

fail=0
# expect <status> <description> <command...>: runs the command with stdout on /dev/full unless
# the description says otherwise, and compares the exit status.
expect() {
  local want=$1 what=$2
  shift 2
  "$@" < prog.asm > /dev/full 2> stderr
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "write failures: $what: status $got, expected $want"
    fail=1
  fi
}
expect 1 "object file on a full device" "$torvane" -o/dev/full prog.asm
expect 1 "object text on standard output" "$torvane" -f
expect 1 "object text to '-'" "$torvane" -o- prog.asm
expect 1 "listing" "$torvane" -l -oout.hex prog.asm
expect 1 "statistics" "$torvane" -S -oout.hex prog.asm
expect 1 "token echo" "$torvane" -s -oout.hex prog.asm
expect 0 "nothing to write on standard output" "$torvane" -oout.hex prog.asm
expect 255 "scrubnote destination" "$scrubnote" prog.asm /dev/full
if [ "$(cat stderr)" != "unable to write /dev/full " ]; then
  echo "write failures: scrubnote message: $(cat stderr)"
  fail=1
fi
[ $fail = 0 ] && echo "write failures: all refused"
exit $fail
