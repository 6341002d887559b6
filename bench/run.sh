#!/usr/bin/env bash
# Times torvane against GNU as for MIPS on the same generated programs.
#
#   bench/run.sh            # every program, RUNS runs each (default 5; 3 for the largest)
#   RUNS=3 bench/run.sh     # fewer runs
#   UPDATE=1 bench/run.sh   # record the current outputs' checksums as the reference
#
# It installs binutils-mips-linux-gnu when mips-linux-gnu-as is missing, builds torvane in
# Release in build-bench/, generates the programs there (bench/gen.py), runs the two assemblers
# alternately, in rounds over all the programs, and prints for each program the median wall
# time, lines per second, peak memory
# (/usr/bin/time -v) and the ratios torvane / GNU as. Then it checks the object files and
# listings of torvane against bench/checksums.txt, so an optimisation that changes a byte of
# output shows up here. The table is also written to bench/results.txt.
#
# A benchmark, run by hand: nothing here is part of the test suite.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/bench
build=$root/build-bench
work=$build/programs
runs=${RUNS:-5}

if ! command -v mips-linux-gnu-as >/dev/null; then
  echo "installing binutils-mips-linux-gnu" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq binutils-mips-linux-gnu >&2
fi
gas=(mips-linux-gnu-as -mips1 -EB -O0)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKEL_TESTS=OFF >/dev/null
cmake --build "$build" --target torvane -j"$(nproc)" >/dev/null
torvane=$build/torvane
mkdir -p "$work"

# name lines kind runs
programs=(
  "mixed_100k 100000 mixed $runs"
  "mixed_1m 1000000 mixed $runs"
  "mixed_10m 10000000 mixed $(( runs < 3 ? runs : 3 ))"
  "labels_1m 1000000 labels $runs"
)

# Programs are generated once per version of the generator.
gen_sum=$(sha256sum "$bench/gen.py" | cut -c1-16)
generate() { # name lines kind
  local stamp=$work/$1.stamp
  if [[ ! -f $stamp || $(cat "$stamp") != "$gen_sum" ]]; then
    echo "generating $1" >&2
    python3 "$bench/gen.py" "$2" "$3" "$work/$1.asm" "$work/$1.s"
    echo "$gen_sum" >"$stamp"
  fi
}

# Runs a command once; prints "wall_microseconds peak_kib cpu_microseconds" (CPU: user plus
# system time). Its standard output goes to $out_file.
measure() {
  local log=$work/time.log start end
  start=$(date +%s%N)
  if ! /usr/bin/time -v -o "$log" "$@" >"$out_file" 2>"$work/stderr.log"; then
    echo "failed: $*" >&2
    cat "$work/stderr.log" "$out_file" | head -20 >&2
    exit 1
  fi
  end=$(date +%s%N)
  local kib cpu
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {printf "%.0f", s * 1e6}' "$log")
  echo "$(( (end - start) / 1000 )) $kib $cpu"
}

median() { # numbers on standard input
  sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}

results=$work/results.tsv
: >"$results"
# The runs go in rounds, each round running every program that still needs runs once with each
# assembler, so that a machine whose speed drifts while the benchmark runs slows every program
# alike: the targets compare programs with one another, not only the two assemblers.
max_runs=0
for entry in "${programs[@]}"; do
  read -r name lines kind n <<<"$entry"
  generate "$name" "$lines" "$kind"
  : >"$work/$name.tv" ; : >"$work/$name.gas" ; : >"$work/$name.stdout.all"
  (( n > max_runs )) && max_runs=$n
done
for ((i = 1; i <= max_runs; i++)); do
  for entry in "${programs[@]}"; do
    read -r name lines kind n <<<"$entry"
    (( i > n )) && continue
    asm=$work/$name.asm
    # Token texts of all three passes stay in the text buffer: room for three times the source.
    size=$(stat -c %s "$asm")
    text_size=$(( size * 3 + 1000000 ))
    out_file=$work/$name.stdout measure "$torvane" -T$text_size -o"$work/$name.hex" "$asm" >>"$work/$name.tv"
    cat "$work/$name.stdout" >>"$work/$name.stdout.all"
    out_file=/dev/null measure "${gas[@]}" -o "$work/$name.o" "$work/$name.s" >>"$work/$name.gas"
  done
done
for entry in "${programs[@]}"; do
  read -r name lines kind n <<<"$entry"
  if [[ -s $work/$name.stdout.all ]]; then
    echo "torvane printed messages for $name:" >&2
    head -5 "$work/$name.stdout.all" >&2
    exit 1
  fi
  tv_us=$(cut -d' ' -f1 "$work/$name.tv" | median)
  tv_kib=$(cut -d' ' -f2 "$work/$name.tv" | median)
  gas_us=$(cut -d' ' -f1 "$work/$name.gas" | median)
  gas_kib=$(cut -d' ' -f2 "$work/$name.gas" | median)
  tv_cpu=$(cut -d' ' -f3 "$work/$name.tv" | median)
  gas_cpu=$(cut -d' ' -f3 "$work/$name.gas" | median)
  echo "$name $lines $tv_us $tv_kib $gas_us $gas_kib $n $tv_cpu $gas_cpu" >>"$results"
done

# Output checks: the object file of every program and the listing of all but the largest.
sums=$work/checksums.txt
: >"$sums"
for entry in "${programs[@]}"; do
  read -r name lines kind n <<<"$entry"
  echo "$name.hex $(sha256sum <"$work/$name.hex" | cut -d' ' -f1)" >>"$sums"
  if [[ $name != mixed_10m ]]; then
    size=$(stat -c %s "$work/$name.asm")
    "$torvane" -T$(( size * 3 + 1000000 )) -l -o"$work/$name.lst.hex" "$work/$name.asm" >"$work/$name.lst"
    echo "$name.lst $(sha256sum <"$work/$name.lst" | cut -d' ' -f1)" >>"$sums"
    rm -f "$work/$name.lst" "$work/$name.lst.hex"
  fi
done
if [[ ${UPDATE:-0} == 1 || ! -f $bench/checksums.txt ]]; then
  cp "$sums" "$bench/checksums.txt"
  check="recorded as the reference in bench/checksums.txt"
elif diff -u "$bench/checksums.txt" "$sums" >"$work/checksums.diff"; then
  check="object files and listings identical to bench/checksums.txt"
else
  check="OUTPUT CHANGED: see $work/checksums.diff"
fi

cpu=$(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)
{
  echo "Machine: $cpu, $(nproc) CPUs, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo); $(mips-linux-gnu-as --version | head -1)"
  echo "Date: $(date -u +%Y-%m-%d)"
  echo
  echo "Medians of each program's runs. Wall time is what the targets compare; CPU time (user plus"
  echo "system) is shown beside it because other work on the machine stretches wall times."
  echo
  echo "| program | lines | runs | torvane s | torvane lines/s | torvane CPU s | torvane MiB | GNU as s | GNU as lines/s | GNU as CPU s | GNU as MiB | time ratio | CPU ratio | memory ratio |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  awk '{
    printf "| %s | %d | %d | %.3f | %.0f | %.2f | %.1f | %.3f | %.0f | %.2f | %.1f | %.2f | %.2f | %.2f |\n",
      $1, $2, $7, $3 / 1e6, $2 / ($3 / 1e6), $8 / 1e6, $4 / 1024, $5 / 1e6, $2 / ($5 / 1e6),
      $9 / 1e6, $6 / 1024, $3 / $5, ($9 > 0 ? $8 / $9 : 0), $4 / $6
  }' "$results"
  echo
  awk '
    { t[$1] = $3; m[$1] = $4; g[$1] = $5; gm[$1] = $6; l[$1] = $2 }
    function verdict(ok) { return ok ? "met" : "NOT MET" }
    END {
      r = t["mixed_1m"] / g["mixed_1m"]
      printf "Target 1: 1M lines, torvane / GNU as time %.2f (at most 0.50), memory %.1f / %.1f MiB: %s\n",
        r, m["mixed_1m"] / 1024, gm["mixed_1m"] / 1024, verdict(r <= 0.5 && m["mixed_1m"] <= gm["mixed_1m"])
      s = t["mixed_10m"] / t["mixed_1m"]
      printf "Target 2: 10M lines take %.2f x the time of 1M (at most 11): %s\n", s, verdict(s <= 11)
      p = (t["labels_1m"] / l["labels_1m"]) / (t["mixed_1m"] / l["mixed_1m"])
      printf "Target 3: label-heavy time per line %.2f x the ordinary one (at most 1.5): %s\n", p, verdict(p <= 1.5)
    }' "$results"
  echo "Output: $check"
} | tee "$bench/results.txt"
[[ $check != OUTPUT* ]]
