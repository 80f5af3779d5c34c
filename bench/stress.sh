#!/usr/bin/env bash
# A series data set of more than 2^31 lines (about 46 GB), streamed through a
# named pipe so that it needs no disk, run end to end. The last pair of the
# last block is damaged on purpose: the warning must name its line exactly,
# which only 64-bit counters can. Takes several minutes; not part of CI.
#
#   bench/stress.sh [NODES STEPS]     (default 1000 2200000)
set -euo pipefail
nodes="${1:-1000}"
steps="${2:-2200000}"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="$source_dir/build"
[ -f "$build/CMakeCache.txt" ] || cmake --preset example -S "$source_dir" >/dev/null
cmake --build "$build" --target kasor-max kasor-gen >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkfifo "$work/KASOR.dat"
{
  "$build/kasor-gen" "$nodes" "$steps" 7 | head -c -7  # all but the end marker
  printf 'TS 0 last\r\n'
  for _ in $(seq $((nodes - 1))); do printf '0 0\r\n'; done
  printf '0 bad\r\nENDDS\r\n'
} | tee "$work/KASOR.dat" | wc -c > "$work/bytes" &
# Line of the damaged pair: 3 header lines, every block's header and pairs, the last header.
bad_line=$((3 + steps * (nodes + 1) + 1 + nodes))

cd "$work"
status=0
start=$(date +%s.%N)
/usr/bin/time -v "$build/kasor-max" 2> err.txt || status=$?
end=$(date +%s.%N)
wait
grep -E "Warnung" err.txt || true
elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' err.txt)
rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' err.txt)
lines=$((3 + steps * (nodes + 1) + 1 + nodes + 1))
echo "bytes read        $(cat bytes)"
echo "lines read        $lines (2^31 = 2147483648)"
echo "exit status       $status (4 expected: one damaged pair)"
echo "wall time         $elapsed"
awk -v b="$(cat bytes)" -v s="$start" -v e="$end" 'BEGIN { printf "throughput        %.0f MB/s (the generator feeds the pipe)\n", b / 1e6 / (e - s) }'
echo "peak memory       $rss KiB"
echo "result lines      $(wc -l < KASOR_max.dat) (nodes + 4 = $((nodes + 4)))"
thousands() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/.&/;ta'; }  # 2.202.201.004, as the messages write it
if grep -q "Zeile $(thousands $bad_line): Wert nicht lesbar, Paar von Knoten $(thousands $nodes) " err.txt && [ "$status" = 4 ]; then
  echo "damaged pair reported at line $bad_line: ok"
else
  echo "damaged pair NOT reported at line $bad_line" >&2
  exit 1
fi
