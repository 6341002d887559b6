#!/usr/bin/env bash
# Long coverage-guided run of torvane under AFL++, with AddressSanitizer and
# UndefinedBehaviorSanitizer compiled in.
#
#   fuzz/afl.sh [minutes] [build-dir] [out-dir]
#
# Defaults: 30 minutes, build-afl, fuzz/out. The minutes of fuzzing are shared out evenly among
# the option sets below (calibrating the corpus a session inherits comes on top); each set runs
# as its own afl-fuzz session, seeded with the seed corpus plus everything the sessions before it
# found. Findings land in <out-dir>/<set>/default/crashes and .../hangs; fuzz/afl-summary.sh
# prints the figures of a finished run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
build=$(realpath -m "${2:-$root/build-afl}")
out=$(realpath -m "${3:-$root/fuzz/out}")

if ! command -v afl-fuzz >/dev/null || ! command -v afl-clang-fast++ >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq afl++
fi

# An instrumented sanitizer build of the two programs, without the tests.
CC=afl-clang-fast CXX=afl-clang-fast++ cmake -S "$root" -B "$build" -DKEL_SANITIZE=ON \
  -DKEL_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" --target torvane -j2 >/dev/null

# Seeds: every source of the end-to-end cases and the examples, plus fuzz/seeds.
seeds="$out/seeds"
mkdir -p "$seeds"
n=0
while IFS= read -r -d '' f; do
  n=$((n + 1))
  cp "$f" "$seeds/seed$n"
done < <(find "$root/tests/e2e" "$root/examples" "$root/fuzz/seeds" -type f \
  ! -path '*/expected/*' ! -name cmd ! -name filter -print0 | sort -z)

# The option sets; each name is also the session's folder. Every run writes its object file to
# /dev/null, so the fuzzer's input file is the only file it reads.
sets=(plain listing echo stats listing_nop tab0 small_text)
options_of() {
  case $1 in
    plain) echo "" ;;
    listing) echo "-l" ;;
    echo) echo "-s" ;;
    stats) echo "-S" ;;
    listing_nop) echo "-l -n" ;;
    tab0) echo "-t0" ;;
    small_text) echo "-T600" ;;
  esac
}

share=$((minutes * 60 / ${#sets[@]}))
export AFL_SKIP_CPUFREQ=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_NO_UI=1
# AFL_FAST_CAL shortens the calibration of the inherited corpus, which -V does not count.
export AFL_NO_AFFINITY=1 AFL_SKIP_CRASHES=1 AFL_FAST_CAL=1
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:symbolize=0
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
input=$seeds
for set in "${sets[@]}"; do
  # shellcheck disable=SC2046
  afl-fuzz -V "$share" -t 2000 -m none -x "$root/fuzz/torvane.dict" -i "$input" -o "$out/$set" -- \
    "$build/torvane" $(options_of "$set") -o/dev/null @@ > "$out/$set.log" 2>&1 || true
  # The next session starts from everything found so far.
  input="$out/$set.next"
  mkdir -p "$input"
  cp "$seeds"/* "$input"/
  find "$out/$set/default/queue" -maxdepth 1 -type f -name 'id:*' -exec cp {} "$input"/ \;
  seeds=$input
done
"$root/fuzz/afl-summary.sh" "$out"
