#!/usr/bin/env bash
# Prints the figures of the AFL++ sessions under an output folder of fuzz/afl.sh: executions,
# corpus size, edge coverage, crashes and hangs per option set, and their totals.
set -euo pipefail
out=${1:-$(dirname "$0")/out}
printf '%-12s %10s %7s %9s %8s %6s\n' set execs corpus coverage crashes hangs
total_execs=0 total_crashes=0 total_hangs=0
for stats in "$out"/*/default/fuzzer_stats; do
  set=$(basename "$(dirname "$(dirname "$stats")")")
  get() { sed -n "s/^$1 *: //p" "$stats"; }
  execs=$(get execs_done)
  crashes=$(get saved_crashes)
  hangs=$(get saved_hangs)
  printf '%-12s %10s %7s %9s %8s %6s\n' "$set" "$execs" "$(get corpus_count)" \
    "$(get bitmap_cvg)" "$crashes" "$hangs"
  total_execs=$((total_execs + execs))
  total_crashes=$((total_crashes + crashes))
  total_hangs=$((total_hangs + hangs))
done
printf '%-12s %10s %7s %9s %8s %6s\n' total "$total_execs" - - "$total_crashes" "$total_hangs"
