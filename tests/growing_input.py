#!/usr/bin/env python3
"""Runs kasor-max on a large data set that another process appends to while
it is read, as a simulation that is still running does.

usage: growing_input.py KASOR_GEN PROGRAM [ARGUMENT ...]

PROGRAM [ARGUMENT ...] runs kasor-max: its path, or `wine` and the path of the
Windows program.

The appender writes blocks of the pair "9.25e-01 9.25e-01" in pieces of 1 to
300 bytes, so the file mostly ends in the middle of a number. No run may end
with status 0 (the file ends inside a block, if nothing else), the runs that
saw the file change must say so, and no number cut short may reach the
result: cut, that pair reads as 9.25, 9.2 or 9, and no whole number of the
data set is that large.
"""
import os
import random
import subprocess
import sys
import tempfile
import threading
import time

RUNS = 8
PAIR = b"9.25e-01 9.25e-01\r\n"


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def append(path, nodes, stop):
    rng = random.Random(7)
    step = 0
    pending = b""
    with open(path, "ab", buffering=0) as f:
        while not stop.is_set():
            if not pending:
                step += 1
                pending = f"TS {step} 0.0\r\n".encode() + PAIR * nodes
            n = rng.randint(1, 300)
            f.write(pending[:n])
            pending = pending[n:]
            time.sleep(0.0001)


def largest_component(result):
    lines = result.split(b"\r\n")[4:]
    return max((abs(float(v)) for line in lines if line for v in line.split()), default=0.0)


def main():
    kasor_gen = os.path.abspath(sys.argv[1])
    program = [p if os.path.sep not in p else os.path.abspath(p) for p in sys.argv[2:]]
    nodes = 150000
    with tempfile.TemporaryDirectory(prefix="kasor-growing-") as folder:
        path = os.path.join(folder, "KASOR.dat")
        data = subprocess.run([kasor_gen, str(nodes), "12", "5"], check=True, capture_output=True).stdout
        with open(path, "wb") as f:
            f.write(data[:data.rindex(b"ENDDS")])  # a simulation still running has written no end marker
        stop = threading.Event()
        appender = threading.Thread(target=append, args=(path, nodes, stop))
        appender.start()
        changes_seen = 0
        try:
            for run in range(RUNS):
                time.sleep(0.05)
                ran = subprocess.run(program, cwd=folder, capture_output=True)
                err = ran.stderr.decode()
                if ran.returncode != 4:
                    fail(f"run {run}: status {ran.returncode}, not 4\n{err}")
                changes_seen += "KASOR.dat wurde während des Lesens verändert" in err
                with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
                    largest = largest_component(f.read())
                if largest > 6:
                    fail(f"run {run}: a number cut short reached the result ({largest})")
        finally:
            stop.set()
            appender.join()
        if changes_seen == 0:
            fail("no run saw the file change")
        print(f"{RUNS} runs on a file that grew to {os.path.getsize(path)} bytes while they read it, "
              f"{changes_seen} of them saw it change: ok")


if __name__ == "__main__":
    main()
