#!/usr/bin/env bash
# Times kasor-max end to end on a generated series data set.
#
#   bench/run.sh [--nodes N] [--steps S] [--runs R] [--cache DIR] [--micro-time SECONDS]
#
# Builds the Release binaries if needed, and the naive yardstick
# (bench/naive_fast_float.cpp: the file mapped, fast_float, no result written;
# built here from Debian's libfast-float-dev when it is installed, never
# installed itself). Generates the data set once into a cache folder outside
# the source tree and warms up. Then R rounds, each running in turn:
#   - kasor-max on one core (taskset -c 0), once for each way of reading
#     runs of pairs that this CPU has (KASOR_SIMD=scalar, avx2);
#   - kasor-max on every core;
#   - the naive loop on one core;
#   - cat FILE > /dev/null, the floor.
# Prints for each the median wall time with the spread (least and most), the
# throughput, and the median of its per-round ratio to the naive loop; then
# peak memory, the memory of reading on 1 to 64 cores (kasor-segments), and
# the micro-benchmarks of the hot loops.
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
cmake --build "$build" --target kasor-max kasor-gen kasor-bench kasor-segments >/dev/null
naive=""
if [ -f /usr/include/fast_float/fast_float.h ]; then
  naive="$build/naive-fast-float"
  if [ ! -x "$naive" ] || [ "$source_dir/bench/naive_fast_float.cpp" -nt "$naive" ]; then
    "${CXX:-c++}" -O3 -std=c++20 "$source_dir/bench/naive_fast_float.cpp" -o "$naive"
  fi
fi

work="$cache/$nodes-$steps"
mkdir -p "$work"
if [ ! -s "$work/KASOR.dat" ]; then
  echo "generating $nodes nodes x $steps steps into $work ..."
  "$build/kasor-gen" "$nodes" "$steps" 1 > "$work/KASOR.dat.part"
  mv "$work/KASOR.dat.part" "$work/KASOR.dat"
fi
bytes=$(stat -c %s "$work/KASOR.dat")

seconds() {  # wall time of one command, in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# The ways this CPU has, as kasor-max's options take them.
ways=(scalar)
grep -qw avx2 /proc/cpuinfo && grep -qw bmi1 /proc/cpuinfo && ways+=(avx2)

names=()
commands=()
for way in "${ways[@]}"; do
  names+=("kasor-max, 1 core, $way")
  commands+=("env KASOR_SIMD=$way taskset -c 0 $build/kasor-max")
done
names+=("kasor-max, $(nproc) cores")
commands+=("$build/kasor-max")
if [ -n "$naive" ]; then
  names+=("naive fast_float loop, 1 core")
  commands+=("taskset -c 0 $naive")
fi
names+=("cat > /dev/null")
commands+=("sh -c 'cat KASOR.dat > /dev/null'")

cd "$work"
cat KASOR.dat > /dev/null
for c in "${commands[@]}"; do eval "$c" >/dev/null; done  # warm-up
times=$(mktemp)
trap 'rm -f "$times"' EXIT
for round in $(seq "$runs"); do
  for i in "${!commands[@]}"; do
    echo "$round $i $(eval seconds "${commands[$i]}")" >> "$times"
  done
done

echo "input: $work/KASOR.dat ($nodes nodes x $steps steps, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB), $runs rounds"
printf '%-34s %8s %17s %9s %9s\n' "" "median" "least .. most" "MB/s" "÷ naive"
naive_index=""
[ -n "$naive" ] && naive_index=$(( ${#commands[@]} - 2 ))
for i in "${!commands[@]}"; do
  awk -v i="$i" -v n="$naive_index" -v b="$bytes" -v name="${names[$i]}" '
    function median(a, k,   j, t, m) {  # sorts a[1..k]
      for (j = 2; j <= k; j++) { t = a[j]; m = j - 1; while (m > 0 && a[m] > t) { a[m + 1] = a[m]; m-- } a[m + 1] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    $2 == i { t[$1] = $3 }
    n != "" && $2 == n { y[$1] = $3 }
    END {
      k = 0; for (r in t) { k++; v[k] = t[r]; if (n != "" && (r in y)) { q++; ratio[q] = t[r] / y[r] } }
      least = v[1]; most = v[1]; for (j = 1; j <= k; j++) { if (v[j] < least) least = v[j]; if (v[j] > most) most = v[j] }
      m = median(v, k)
      printf "%-34s %7.3fs %7.3f .. %.3fs %9.0f", name, m, least, most, b / 1e6 / m
      if (q > 0) printf " %9.2f", median(ratio, q)
      printf "\n"
    }' "$times"
done

peak_rss() { { /usr/bin/time -f "%M" "$@" >/dev/null; } 2>&1 | tail -n 1; }
echo
echo "peak memory: 1 core $(peak_rss taskset -c 0 "$build/kasor-max") KiB, $(nproc) cores $(peak_rss "$build/kasor-max") KiB"
echo "reading on many cores (segments bounded to stay within 256 MiB):"
for cores in 1 2 8 32 64; do echo "  $("$build/kasor-segments" "$work/KASOR.dat" "$cores")"; done

echo
"$build/kasor-bench" --benchmark_min_time="$micro_time"
