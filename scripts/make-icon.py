#!/usr/bin/env python3
"""Draws kasor-max's icon, src/run/kasor-max.ico: a vector (a white arrow)
rising out of a grid of nodes, on a dark blue rounded square, at 16, 32 and
48 pixels as bitmaps, and at 256 pixels PNG-compressed, as Windows expects
for that size (Explorer's large icons, and scaling beyond 100 %).

usage: make-icon.py ICO [PNG_256 PNG_32]   (the PNGs only to look at)
"""
import math, struct, sys, zlib

def draw(size):
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    def inside_rounded(x, y, r):
        cx = min(max(x, r), size - r)
        cy = min(max(y, r), size - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    def dist_to_segment(px_, py, ax, ay, bx, by):
        vx, vy = bx - ax, by - ay
        t = max(0, min(1, ((px_ - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
        return math.hypot(px_ - (ax + t * vx), py - (ay + t * vy))
    tail = (7 * s, 25 * s)
    tip = (25 * s, 7 * s)
    head_back = 9 * s
    ux, uy = (tip[0] - tail[0]), (tip[1] - tail[1])
    n = math.hypot(ux, uy); ux /= n; uy /= n
    base = (tip[0] - ux * head_back, tip[1] - uy * head_back)
    wing = 5.5 * s
    left = (base[0] - uy * wing, base[1] + ux * wing)
    right = (base[0] + uy * wing, base[1] - ux * wing)
    def in_triangle(x, y, a, b, c):
        def side(p, q, r): return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
        d1, d2, d3 = side((x, y), a, b), side((x, y), b, c), side((x, y), c, a)
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (neg and pos)
    for y in range(size):
        for x in range(size):
            samples = 0; white = 0; dot = 0
            for sy in range(4):
                for sx in range(4):
                    fx, fy = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
                    if not inside_rounded(fx, fy, 6 * s):
                        continue
                    samples += 1
                    on_shaft = dist_to_segment(fx, fy, tail[0], tail[1], base[0], base[1]) <= 1.6 * s
                    if on_shaft or in_triangle(fx, fy, tip, left, right):
                        white += 1
                    elif size >= 32 and any(math.hypot(fx - gx * s, fy - gy * s) <= 1.2 * s
                                            for gx in (8, 16, 24) for gy in (8, 16, 24)):
                        dot += 1
            if samples == 0:
                continue
            a = samples / 16
            w = white / samples
            d = dot / samples
            bg = (0x1F, 0x4E, 0x79)
            dotc = (0x5B, 0x8F, 0xC0)
            r = bg[0] * (1 - w - d) + 255 * w + dotc[0] * d
            g = bg[1] * (1 - w - d) + 255 * w + dotc[1] * d
            b = bg[2] * (1 - w - d) + 255 * w + dotc[2] * d
            px[y][x] = (round(r), round(g), round(b), round(255 * a))
    return px

def bmp_entry(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for r, g, b, a in px[size - 1 - y] for c in (b, g, r, a)) for y in range(size))
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    return header + rows + mask

def png(px):
    size = len(px)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in px)
    def chunk(kind, data): return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")

sizes = [16, 32, 48, 256]
images = [draw(n) for n in sizes]
entries = [bmp_entry(p) for p in images[:-1]] + [png(images[-1])]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, e in zip(sizes, entries):
    out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(e), offset)
    offset += len(e)
out += b"".join(entries)
open(sys.argv[1], "wb").write(out)
if len(sys.argv) > 3:
    open(sys.argv[2], "wb").write(png(images[-1]))
    open(sys.argv[3], "wb").write(png(images[1]))
