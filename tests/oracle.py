#!/usr/bin/env python3
"""Checks kasor-max against an independent computation in exact arithmetic.

usage: oracle.py KASOR_MAX KASOR_GEN

Generates data sets, runs the program on each in a temporary folder, and
recomputes every node's peak here: numbers parsed exactly as fractions and
rounded once to single precision, magnitudes from the exact sum of squares
rounded to double, its root, rounded to single. Each line of the result must
hold the expected pair bit for bit, laid out as the result file is.
"""
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
from fractions import Fraction


def to_single(v: Fraction) -> float:
    """Rounds an exact value to the nearest single (ties to even), as a float."""
    if v == 0:
        return 0.0
    sign = -1 if v < 0 else 1
    a = abs(v)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if Fraction(2) ** e > a:
        e -= 1
    # a in [2^e, 2^(e+1)); 24 significant bits, fewer below the normal range.
    q = max(e, -126) - 23
    scaled = a / Fraction(2) ** q
    n = scaled.numerator // scaled.denominator
    rest = scaled - n
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and n % 2 == 1):
        n += 1
    if n * Fraction(2) ** q >= Fraction(2) ** 128:
        return sign * math.inf
    return sign * float(n * Fraction(2) ** q)


NAN = float("nan")
SPECIAL = re.compile(r"(inf|infinity)|(nan(\([0-9a-z_]*\))?)|1\.#(inf|ind|qnan|snan)0*(e[+-]?[0-9]+)?")
NUMBER = re.compile(r"[0-9]+\.?[0-9]*|\.[0-9]+")


def parse(text: str):
    """The single a number item names, or None for an item that is no number:
    decimals with an exponent after e or d, and the words C runtimes print for
    infinity and NaN, the older Windows forms among them."""
    sign = -1.0 if text[:1] == "-" else 1.0
    t = text[1:] if text[:1] in "+-" else text
    special = SPECIAL.fullmatch(t.lower())
    if special:
        return sign * math.inf if special.group(1) or special.group(4) == "inf" else NAN
    mantissa, _, exponent = t.lower().replace("d", "e").partition("e")
    if not NUMBER.fullmatch(mantissa) or (_ and not re.fullmatch(r"[+-]?[0-9]+", exponent)):
        return None
    return sign * to_single(Fraction(mantissa + ("e" + exponent if _ else "")))


def magnitude(x: float, y: float) -> float:
    if math.isinf(x) or math.isinf(y):
        return math.inf
    s = float(Fraction(x) ** 2 + Fraction(y) ** 2)  # correctly rounded to double
    r = math.sqrt(s)
    return math.inf if math.isinf(r) else to_single(Fraction(r))


CAPACITY = 2_200_000


def node_count(text: str):
    """The count a count line's text names: a whole number from 1 to the
    capacity, blanks and tabs around it allowed; None for anything else."""
    t = text.strip(" \t")
    digits = t[1:] if t[:1] in ("+", "-") else t
    if not digits or any(c not in "0123456789" for c in digits):
        return None
    n = int(t)
    return n if 1 <= n <= CAPACITY else None


def items(text: str):
    return [t for t in re.split(r"[ \t,]+", text) if t]


def expected_peaks(data: str):
    """The count, the peaks and the exit status a clean reading gives: 3 for a
    count line that names no count; 4 for a data set without blocks, whose
    last line of numbers has no line end (it may be cut short), that holds
    values left over after a block (a line that starts with a number where a
    header is looked for), or a pair with a NaN, which is never a peak.
    Blocks must hold their pairs, two numbers each, on as many lines as they
    take."""
    lines = data.splitlines()
    i = 0
    while not lines[i].startswith("ND"):
        i += 1
    count = node_count(lines[i][2:])
    if count is None:
        return None, None, 3
    peaks = [(0.0, 0.0, 0.0)] * (count + 1)
    status = 0
    blocks = 0
    rest = []  # the items of the block's last line after its last pair
    i += 1
    while i < len(lines):
        if rest:
            line, rest = " ".join(rest), []
        else:
            line = lines[i]
            i += 1
            if line.startswith("ENDDS"):
                break
            if line.startswith("TS"):
                blocks += 1
                pending = []
                for node in range(1, count + 1):
                    while len(pending) < 2:
                        pending += items(lines[i])
                        i += 1
                    xs, ys, pending = pending[0], pending[1], pending[2:]
                    x, y = parse(xs), parse(ys)
                    if x != x or y != y:
                        status = 4
                        continue
                    m = magnitude(x, y)
                    if m > peaks[node][0]:
                        peaks[node] = (m, x, y)
                rest = pending
                if i == len(lines) and data[-1] not in "\r\n":
                    status = 4
                continue
        first = items(line)[:1]
        if first and parse(first[0]) is not None:
            status = 4  # values left over after the block
    return count, peaks, 4 if blocks == 0 else status


def bits(v: float) -> int:
    return struct.unpack("<I", struct.pack("<f", v))[0]


OLDER = b"VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n"


def check(kasor_max: str, data: bytes) -> int:
    count, peaks, expected_status = expected_peaks(data.decode())
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "KASOR.dat"), "wb") as f:
            f.write(data)
        with open(os.path.join(folder, "KASOR_max.dat"), "wb") as f:
            f.write(OLDER)
        status = subprocess.run(kasor_max, cwd=folder, stderr=subprocess.DEVNULL).returncode
        if status != expected_status:
            print(f"kasor-max ended with status {status}, not {expected_status}")
            return 1
        with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
            result = f.read()
        if expected_status == 3:
            if result != OLDER:
                print("the older result was not kept")
                return 1
            return 0
        result = result.decode()
    lines = result.split("\r\n")
    if lines[:4] != ["VECTOR", f"ND  {count}", "ST  0", "TS  0.0"] or lines[-1] != "":
        print("header or final line end wrong")
        return 1
    failures = 0
    for node in range(1, count + 1):
        line = lines[3 + node]
        xs, ys = line.split()
        column = line.index(ys, len(xs))
        layout_ok = column % 14 == 0 and len(xs) < column <= len(xs) + 14 and line == line.rstrip()
        _, x, y = peaks[node]
        if not layout_ok or bits(parse(xs)) != bits(x) or bits(parse(ys)) != bits(y):
            failures += 1
            if failures <= 5:
                print(f"node {node}: got {line!r}, expected {x!r} {y!r}")
    if len(lines) != count + 5:
        print("wrong number of lines")
        failures += 1
    return failures


def ties(nodes: int, seed: int) -> bytes:
    """Each node sees its vector again with the components swapped or negated:
    equal magnitudes, of which the first must stay."""
    import random
    rng = random.Random(seed)
    base = [(rng.randint(-999, 999) / 100, rng.randint(-999, 999) / 100) for _ in range(nodes)]
    out = [f"VECTOR\r\nND {nodes}\r\nST 0\r\n"]
    for step in range(6):
        out.append(f"TS 0 {step}.0\r\n")
        for x, y in base:
            a, b = [(x, y), (y, x), (-x, y), (y, -x), (-y, -x), (x / 2, y / 2)][rng.randrange(6)]
            out.append(f"{a:.2f} {b:.2f}\r\n")
    out.append("ENDDS\r\n")
    return "".join(out).encode()


def main() -> int:
    # KASOR_RUNNER: what runs the programs (an emulator, for a cross build), or nothing.
    runner = os.environ.get("KASOR_RUNNER", "").split()
    kasor_max, kasor_gen = runner + [os.path.abspath(sys.argv[1])], runner + [os.path.abspath(sys.argv[2])]
    failures = 0
    for nodes, steps, seed in [(1500, 6, 1), (700, 12, 77), (1, 40, 3)]:
        data = subprocess.run(kasor_gen + [str(nodes), str(steps), str(seed)],
                              check=True, capture_output=True).stdout
        failures += check(kasor_max, data)
    failures += check(kasor_max, ties(3000, 11))
    # The count line, blocks and the last line end, damaged as users meet them.
    data = subprocess.run(kasor_gen + ["400", "5", "9"], check=True, capture_output=True).stdout
    head, rest = data.split(b"\r\nND 400\r\n", 1)
    for count_text in [b"", b" abc", b"X 3", b" 3.5", b" 1e3", b" 2x", b" 0", b" -5", b" +", b" 2200001",
                       b" 2147483648", b" 99999999999", b" 400 ", b"\t+400"]:
        failures += check(kasor_max, head + b"\r\nND" + count_text + b"\r\n" + rest)
    failures += check(kasor_max, head + b"\r\nND 400\r\nST 0\r\n")  # no block
    pairs = data[:data.rindex(b"ENDDS")]
    failures += check(kasor_max, pairs.rstrip(b"\r\n"))  # the last line without its line end
    failures += check(kasor_max, pairs.rstrip(b"\r\n") + b" \t")
    failures += check(kasor_max, data.rstrip(b"\r\n"))  # the end marker without one: clean
    # Values left over in a time step, and NaN: read as they are, never clean.
    step = data.index(b"TS 0 60.0")
    lines = data[step:].split(b"\r\n")
    for changed in [lines[:5] + [lines[4]] + lines[5:],                 # a data line twice
                    lines[:3] + [lines[3] + b" 0.5"] + lines[4:],        # a number too many
                    [lines[0]] + [l.replace(b".", b",") for l in lines[1:401]] + lines[401:],  # decimal commas
                    [lines[0]] + [l + b" 1.5" for l in lines[1:401]] + lines[401:],           # three numbers a line
                    lines[:7] + [b"nan -nan(ind)", b"1.#QNAN 2", b"-1.#IND00 1.#INF"] + lines[10:]]:
        failures += check(kasor_max, data[:step] + b"\r\n".join(changed))
    failures += check(kasor_max, data[:step] + b"\r\n".join(lines[:1] + [b"1.#INF00 0"] + lines[2:]))  # clean
    print("oracle: every node as expected" if failures == 0 else f"oracle: {failures} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
