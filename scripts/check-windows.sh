#!/usr/bin/env bash
# Builds kasor-max.exe for Windows with MinGW-w64 and runs the end-to-end
# cases with it under Wine, each in a fresh folder. Installs the cross
# compiler and Wine when they are missing (Debian).
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"

source scripts/checks.sh
install_missing g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool

cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
exe="$source_dir/build-windows/kasor-max.exe"
com="$source_dir/build-windows/kasor-max.com"
# The Linux build, to compare results byte for byte.
[ -f build/CMakeCache.txt ] || cmake --preset example >/dev/null
cmake --build build --target kasor-max kasor-gen >/dev/null

wineboot -i >/dev/null 2>&1

# run FOLDER: kasor-max.exe with FOLDER as its working folder; sets status.
run() {
  status=0
  (cd "$1" && timeout 120 wine "$exe" 2> "$work/err.txt") || status=$?
}
fresh() {
  local folder="$work/case-$1"
  mkdir -p "$folder"
  echo "$folder"
}

ten_lines='VECTOR\nND 2\nST 0\nTS 0 0.0\n1.0 0.0\n0.0 1.0\nTS 0 60.0\n0.0 -2.0\n0.5 0.5\nENDDS\n'
expected='VECTOR\r\nND  2\r\nST  0\r\nTS  0.0\r\n0             -2\r\n0             1\r\n'

d=$(fresh ten-lines)
printf "$ten_lines" > "$d/KASOR.dat"
run "$d"
check "the ten-line example byte for byte" \
  test "$status" = 0 -a "$(od -An -c "$d/KASOR_max.dat")" = "$(printf "$expected" | od -An -c)"

d=$(fresh large)
build/kasor-gen 200000 6 42 > "$d/KASOR.dat"
(cd "$d" && "$source_dir/build/kasor-max" && mv KASOR_max.dat linux.dat)
for way in scalar avx2; do  # each way of reading runs of pairs (avx2 only where the CPU has it)
  KASOR_SIMD=$way run "$d"
  check "a large generated set gives the Linux build's bytes, KASOR_SIMD=$way" \
    test "$status" = 0 -a "$(cmp -s "$d/KASOR_max.dat" "$d/linux.dat" && echo same)" = same
  rm -f "$d/KASOR_max.dat"
done

d=$(fresh damaged)
printf 'ND 3\nTS 0\n1 1\n2 oops\n3 3\nTS 1\n4 4\n' > "$d/KASOR.dat"
run "$d"
check "damaged input: status 4 and a result" \
  test "$status" = 4 -a "$(grep -c . "$d/KASOR_max.dat")" = 7

# Inputs that are no data set: status 3, and an older result kept.
for count_line in 'no count line:VECTOR' 'a count line without a count:ND abc'; do
  d=$(fresh "${count_line%%:*}")
  printf '%s\r\nTS 0\r\n1 1\r\n' "${count_line#*:}" > "$d/KASOR.dat"
  printf 'older\r\n' > "$d/KASOR_max.dat"
  run "$d"
  check "${count_line%%:*}: status 3, the older result kept" \
    test "$status" = 3 -a "$(cat "$d/KASOR_max.dat")" = "$(printf 'older\r\n')"
done

# A decimal comma, and NaN as a Windows C runtime prints it: never status 0.
d=$(fresh left-over)
printf 'ND 2\r\nTS 0\r\n1,5 2,5\r\n0,5 0,5\r\n' > "$d/KASOR.dat"
run "$d"
check "values left over in a time step: status 4 and a warning" \
  test "$status" = 4 -a -n "$(grep -F 'Werte zu viel im 1. Zeitschritt' "$work/err.txt")"
printf 'ND 2\r\nTS 0\r\n1.#INF 2\r\n-1.#IND 1\r\n' > "$d/KASOR.dat"
run "$d"
check "1.#INF is a value, -1.#IND a NaN: status 4" \
  test "$status" = 4 -a "$(sed -n 5p "$d/KASOR_max.dat")" = "$(printf 'inf           2\r')"

# A read-only result is kept; of the files named like temporaries, only
# those a dead run of this program left go.
d=$(fresh read-only)
printf "$ten_lines" > "$d/KASOR.dat"
printf 'older\r\n' > "$d/KASOR_max.dat"
printf 'meine Notizen' > "$d/KASOR_max.dat.tmp5"
: > "$d/KASOR_max.dat.tmp6"
printf 'VECTOR\r\nND' > "$d/KASOR_max.dat.tmp7-ab"
(cd "$d" && wine cmd /c attrib +r KASOR_max.dat)
run "$d"
check "a read-only result: status 2, kept" \
  test "$status" = 2 -a "$(cat "$d/KASOR_max.dat")" = "$(printf 'older\r\n')"
check "the clean-up leaves files it did not write" \
  test "$(ls "$d" | tr '\n' ' ')" = "KASOR.dat KASOR_max.dat KASOR_max.dat.tmp5 "

# Saved as UTF-16, as PowerShell and Notepad's "Unicode" save text.
d=$(fresh utf16)
{ printf '\xff\xfe'; printf "$ten_lines" | iconv -f UTF-8 -t UTF-16LE; } > "$d/KASOR.dat"
run "$d"
check "UTF-16 input gives the bytes of the same text in UTF-8" \
  test "$status" = 0 -a "$(od -An -c "$d/KASOR_max.dat")" = "$(printf "$expected" | od -An -c)"

d=$(fresh unwritable)
printf "$ten_lines" > "$d/KASOR.dat"
mkdir "$d/KASOR_max.dat"
run "$d"
check "unwritable result: status 2, nothing left behind" \
  test "$status" = 2 -a -d "$d/KASOR_max.dat" -a "$(ls "$d" | tr '\n' ' ')" = "KASOR.dat KASOR_max.dat "
check "a folder named KASOR_max.dat is said to be one, as on Linux" grep -qF "(ist ein Ordner)" "$work/err.txt"

d=$(fresh missing)
run "$d"
check "missing input: status 1, no result created" test "$status" = 1 -a -z "$(ls "$d")"

d="$work/Projekte/Überflutung 2026"
mkdir -p "$d"
printf "$ten_lines" > "$d/KASOR.dat"
run "$d"
check "a working folder with umlauts and blanks" \
  test "$status" = 0 -a "$(od -An -c "$d/KASOR_max.dat")" = "$(printf "$expected" | od -An -c)"

# Deep working folders. Wine starts no program in a folder of 260 characters
# or more (it falls back to C:\windows), so 250 is as deep as it can show.
d="$work/Tief"
while [ "$(winepath -w "$d" | tr -d '\n' | wc -c)" -lt 244 ]; do d="$d/Abschnitt"; done
mkdir -p "$d"
printf "$ten_lines" > "$d/KASOR.dat"
run "$d"
check "a working folder of $(winepath -w "$d" | tr -d '\n' | wc -c) characters" \
  test "$status" = 0 -a "$(od -An -c "$d/KASOR_max.dat")" = "$(printf "$expected" | od -An -c)"

# Started from a console (cmd.exe in a terminal): --version, --help and the
# warnings appear there; redirected, they go where they are sent.
winexe=$(winepath -w "$exe")
in_console() {  # in_console FOLDER COMMAND: what a terminal shows of cmd /c COMMAND run in FOLDER
  (cd "$1" && timeout 120 script -qc "wine cmd /c \"$2\"" /dev/null) | tr -d '\r'
}
shows() { in_console "$1" "$2" | grep -qF "$3"; }  # shows FOLDER COMMAND TEXT
d=$(fresh console)
printf 'ND 3\nTS 0\n1 1\n2 oops\n3 3\nTS 1\n4 4\n' > "$d/KASOR.dat"
check "--version on the console" shows "$d" "$winexe --version" "kasor-max 1."
check "--help on the console" shows "$d" "$winexe --help" "Rückgabewerte:"
check "warnings on the console" shows "$d" "$winexe" "Warnung: KASOR.dat, Zeile 4: Wert nicht lesbar, Wertepaar"
redirected() {
  [ -z "$(in_console "$d" "$winexe 2> err.txt")" ] && grep -qF "Warnung: KASOR.dat ist beschädigt" "$d/err.txt"
}
check "warnings redirected from the console to a file" redirected
# Started as a double-click starts it (no console, no standard handles), on
# a screen of its own: a failure or a damaged input shows what standard
# error would have said in a box, a clean run shows nothing. The console
# twin, which cmd.exe starts for "kasor-max", never shows a box: it writes
# the message and returns the status.
Xvfb :97 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
# Wine's server keeps the display it started with: a new one for the screen,
# and after these checks a new one without it, so that no later run can open
# a window that nobody closes.
wineserver -k || true
# double_click FOLDER: kasor-max.exe copied into FOLDER and started from there;
# presses OK on every box. Sets status, and boxes to the texts the boxes showed.
double_click() {
  cp "$exe" "$1/"
  local log="$work/boxes.txt"
  (cd "$1" && DISPLAY=:97 WINEDEBUG=trace+msgbox timeout 120 wine start /wait /unix "$1/kasor-max.exe" 2> "$log") &
  local pid=$!
  while kill -0 $pid 2>/dev/null; do
    for id in $(DISPLAY=:97 xdotool search --name '^(kasor-max|Fehler)$' 2>/dev/null); do
      DISPLAY=:97 xdotool key --window "$id" Return 2>/dev/null || true
    done
    sleep 0.3
  done
  status=0
  wait $pid || status=$?
  boxes=$(grep -o 'MSGBOX_OnInit L".*"' "$log" || true)
  rm -f "$1/kasor-max.exe"
}
d=$(fresh double-click)
printf 'VECTOR\r\nND abc\r\nTS 0\r\n1 1\r\n' > "$d/KASOR.dat"
double_click "$d"
check "double-clicked on a count line without a count: a box with the message, status 3" \
  test "$status" = 3 -a -n "$(printf '%s' "$boxes" | grep -F 'nennt keine Knotenzahl')"
printf "$ten_lines" > "$d/KASOR.dat"
double_click "$d"
check "double-clicked on a clean input: no box, status 0" test "$status" = 0 -a -z "$boxes"
printf 'ND 3\nTS 0\n1 1\n2 oops\n3 3\n' > "$d/KASOR.dat"
double_click "$d"
check "double-clicked on a damaged input: a box with the warnings, status 4" \
  test "$status" = 4 -a -n "$(printf '%s' "$boxes" | grep -F 'ist besch')"
twin() {
  printf 'VECTOR\r\nND abc\r\nTS 0\r\n1 1\r\n' > "$d/KASOR.dat"
  cp "$com" "$d/"
  local out status=0
  out=$(cd "$d" && DISPLAY=:97 WINEDEBUG=trace+msgbox timeout 120 wine cmd /c kasor-max 2>&1) || status=$?
  rm -f "$d/kasor-max.com"
  [ "$status" = 3 ] && printf '%s' "$out" | grep -qF 'nennt keine Knotenzahl' && ! printf '%s' "$out" | grep -q MSGBOX
}
check "the console twin: the message on the console, no box, status 3 to cmd /c" twin
check "the console twin is a console program" \
  sh -c "x86_64-w64-mingw32-objdump -p '$com' | grep -q 'Subsystem.*Windows CUI'"
wineserver -k || true
kill $xvfb 2>/dev/null || true

icon_sizes() {  # the sizes in the icon file, each with the start of its image
  python3 -c '
import struct, sys
d = open(sys.argv[1], "rb").read()
for i in range(struct.unpack("<H", d[4:6])[0]):
    w, _, _, _, _, _, _, offset = struct.unpack("<BBBBHHII", d[6 + 16 * i:22 + 16 * i])
    print(w or 256, "png" if d[offset:offset + 4] == b"\x89PNG" else "bitmap")' "$source_dir/src/run/kasor-max.ico" | tr '\n' ' '
}
check "the icon holds 16, 32 and 48 pixels, and 256 as PNG" \
  test "$(icon_sizes)" = "16 bitmap 32 bitmap 48 bitmap 256 png "

# Killed while writing (as TerminateProcess would), and two runs at once:
# never a damaged result, and no temporary file outlives the next run.
check "runs killed at many points of writing, and two runs at once" \
  python3 tests/kill_harness.py build/kasor-gen wine "$exe"

# A file that grows while it is read: never status 0, never a number cut short.
check "runs on a file that grows while it is read" \
  python3 tests/growing_input.py build/kasor-gen wine "$exe"

echo "windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
