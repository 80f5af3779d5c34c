#!/usr/bin/env bash
# Times kasor-max end to end on a generated series data set.
#
#   bench/run.sh [--nodes N] [--steps S] [--runs R] [--cache DIR] [--micro-time SECONDS]
#
# Builds the Release binaries if needed, generates the data set once into a
# cache folder outside the source tree, runs kasor-max there once to warm up
# and then R times on every core and R times on one (taskset -c 0), and prints
# the median wall times, the throughput, the peak resident memory, and for
# scale the median time of `cat FILE > /dev/null`. Then the micro-benchmarks
# of the hot loops.
set -euo pipefail

nodes=2200000
steps=10
runs=5
cache="${XDG_CACHE_HOME:-$HOME/.cache}/kasor-bench"
micro_time=0.2
while [ $# -gt 0 ]; do
  case "$1" in
    --nodes) nodes="$2"; shift 2 ;;
    --steps) steps="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --cache) cache="$2"; shift 2 ;;
    --micro-time) micro_time="$2"; shift 2 ;;
    *) echo "usage: $0 [--nodes N] [--steps S] [--runs R] [--cache DIR] [--micro-time SECONDS]" >&2; exit 2 ;;
  esac
done

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="$source_dir/build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset example -S "$source_dir" >/dev/null
fi
cmake --build "$build" --target kasor-max kasor-gen kasor-bench >/dev/null

work="$cache/$nodes-$steps"
mkdir -p "$work"
if [ ! -s "$work/KASOR.dat" ]; then
  echo "generating $nodes nodes x $steps steps into $work ..."
  "$build/kasor-gen" "$nodes" "$steps" 1 > "$work/KASOR.dat.part"
  mv "$work/KASOR.dat.part" "$work/KASOR.dat"
fi
bytes=$(stat -c %s "$work/KASOR.dat")

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() {  # wall time of one command, in seconds
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

cd "$work"
cat KASOR.dat > /dev/null
"$build/kasor-max"  # warm-up
all_cores=()
one_core=()
cats=()
for _ in $(seq "$runs"); do
  all_cores+=("$(seconds "$build/kasor-max")")
  one_core+=("$(seconds taskset -c 0 "$build/kasor-max")")
  cats+=("$(seconds sh -c 'cat KASOR.dat > /dev/null')")
done
peak_rss() { { /usr/bin/time -v "$@"; } 2>&1 | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'; }
rss_all=$(peak_rss "$build/kasor-max")
rss_one=$(peak_rss taskset -c 0 "$build/kasor-max")

t_all=$(printf '%s\n' "${all_cores[@]}" | median)
t_one=$(printf '%s\n' "${one_core[@]}" | median)
c=$(printf '%s\n' "${cats[@]}" | median)
awk -v f="$work/KASOR.dat" -v n="$nodes" -v s="$steps" -v b="$bytes" -v r="$runs" -v cores="$(nproc)" \
    -v ta="$t_all" -v t1="$t_one" -v ma="$rss_all" -v m1="$rss_one" -v c="$c" 'BEGIN {
  printf "input              %s (%d nodes x %d steps, %.1f MB)\n", f, n, s, b / 1e6
  printf "kasor-max, 1 core  %.3f s median of %d runs, %.0f MB/s, peak memory %.1f MiB\n", t1, r, b / 1e6 / t1, m1 / 1024
  printf "kasor-max, %d cores %.3f s median of %d runs, %.0f MB/s, peak memory %.1f MiB (%.2f times)\n", cores, ta, r, b / 1e6 / ta, ma / 1024, t1 / ta
  printf "cat > /dev/null    %.3f s median, %.0f MB/s\n", c, b / 1e6 / c
}'

echo
"$build/kasor-bench" --benchmark_min_time="$micro_time"
