#!/usr/bin/env python3
"""Runs kasor-max on a terminal (a pseudo-terminal of a set width) and reads
what a person would see of its status line.

usage: status_line_terminal.py KASOR_GEN KASOR_MAX

A data set of 21 MB, read in two parts at once, with a damaged pair near its
end: the parts are given up and the file is read again in one pass, which the
line must say. The writing of the result must show on the line too. On a
terminal 30 columns wide, no state of the line may be wider than 29 columns
(it would wrap and leave a fragment behind), and a state cut to fit ends at
a word; messages are whole lines.
"""
import fcntl
import os
import pty
import re
import struct
import subprocess
import sys
import tempfile
import termios


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def on_terminal(program, folder, columns):
    """Runs `program` in `folder` with a terminal `columns` wide as its
    standard output and error; returns its status and what it wrote."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    proc = subprocess.Popen([program], cwd=folder, stdout=slave, stderr=slave, stdin=subprocess.DEVNULL)
    os.close(slave)
    out = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal closes with the program
            break
        if not chunk:
            break
        out += chunk
    os.close(master)
    return proc.wait(), out.decode().replace("\r\n", "\n")  # the terminal's own line ends


def main():
    kasor_gen, kasor_max = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    in_parts = len(os.sched_getaffinity(0)) >= 2
    with tempfile.TemporaryDirectory(prefix="kasor-terminal-") as folder:
        data = subprocess.run([kasor_gen, "100000", "10", "6"], check=True, capture_output=True).stdout
        at = data.index(b"\r\n", len(data) * 9 // 10) + 2
        end = data.index(b"\r\n", at)
        data = data[:at] + b"0.5 kaputt" + data[end:]
        with open(os.path.join(folder, "KASOR.dat"), "wb") as f:
            f.write(data)

        status, out = on_terminal(kasor_max, folder, 100)
        if status != 4:
            fail(f"status {status}, not 4\n{out!r}")
        expected = ["KASOR_max.dat wird geschrieben …", "KASOR_max.dat wird gespeichert …",
                    "Wert nicht lesbar, Wertepaar von Knoten",
                    "KASOR_max.dat geschrieben: 100.000 Knoten, 10 Zeitschritte, 21,0 MB in"]
        if in_parts:
            expected.append("KASOR.dat: beschädigte Stelle gefunden, lese in einem Durchgang neu …")
        for text in expected:
            if text not in out:
                fail(f"the terminal never showed {text!r}:\n{out!r}")

        status, out = on_terminal(kasor_max, folder, 30)
        states = [piece for piece in re.split("\r", out) if "\n" not in piece]
        too_wide = [s for s in states if len(s) > 29]
        if too_wide:
            fail(f"on 30 columns the line was {max(map(len, too_wide))} wide: {too_wide[0]!r}")
        if in_parts and "KASOR.dat: beschädigte …" not in states:
            fail(f"on 30 columns the line did not show the new pass, cut to fit at a word: {states!r}")
    print("the status line on a terminal: ok" + ("" if in_parts else " (one core: read in one pass only)"))


if __name__ == "__main__":
    main()
