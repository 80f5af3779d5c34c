#!/usr/bin/env python3
"""Kills kasor-max with SIGKILL at many points of its write phase.

usage: kill_harness.py KASOR_GEN PROGRAM [ARGUMENT ...]

PROGRAM [ARGUMENT ...] runs kasor-max: its path, or `wine` and the path of the
Windows program, which a kill ends as TerminateProcess would.

After each kill the folder must hold the older result or the complete new
one, and nothing else besides the input and perhaps the dead run's temporary
file; after the run that follows, the new result and no temporary file. Then a
run that starts while another is writing must leave that one's temporary file
alone, so that both put their results in place.
"""
import glob
import os
import signal
import subprocess
import sys
import tempfile

OLDER = b"VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n"
POINTS = 21  # from an empty temporary file to a complete one


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def on_one_core():
    # The program then reads and writes on one thread, on a core of its own,
    # and the loop that watches it runs on the other.
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})


def check_folder(folder, results, when):
    names = sorted(os.listdir(folder))
    others = [n for n in names if n not in ("KASOR.dat", "KASOR_max.dat")]
    if any(not n.startswith("KASOR_max.dat.tmp") for n in others):
        fail(f"{when}: unexpected files {others}")
    with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
        if f.read() not in results:
            fail(f"{when}: KASOR_max.dat is neither the older result nor the new one")
    return others


def temporary_size(folder):
    """The size of the one temporary file in `folder`, or None."""
    for name in glob.glob(os.path.join(folder, "KASOR_max.dat.tmp*")):
        try:
            return os.stat(name).st_size
        except FileNotFoundError:
            pass
    return None


def kill_when_written(program, folder, at_least):
    """Starts a run and kills it once its temporary file holds `at_least`
    bytes. Returns the size killed at, or None when the run ended first."""
    proc = subprocess.Popen(program, cwd=folder, preexec_fn=on_one_core, stderr=subprocess.DEVNULL)
    killed_at = None
    while proc.poll() is None:
        size = temporary_size(folder)
        if size is not None and size >= at_least:
            os.kill(proc.pid, signal.SIGKILL)
            killed_at = size
            break
    proc.wait()
    return killed_at


def main():
    kasor_gen, program = sys.argv[1], sys.argv[2:]
    cores = sorted(os.sched_getaffinity(0))
    if len(cores) > 1:
        os.sched_setaffinity(0, set(cores[1:]))
    with tempfile.TemporaryDirectory(prefix="kasor-kill-") as folder:
        with open(os.path.join(folder, "KASOR.dat"), "wb") as f:
            subprocess.run([kasor_gen, "600000", "2", "3"], stdout=f, check=True)
        subprocess.run(program, cwd=folder, check=True)
        with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
            new = f.read()
        results = (OLDER, new)

        hits = []
        for k in range(POINTS):
            at_least = len(new) * k // (POINTS - 1)
            with open(os.path.join(folder, "KASOR_max.dat"), "wb") as f:
                f.write(OLDER)
            killed_at = kill_when_written(program, folder, at_least)
            left = check_folder(folder, results, f"killed at {killed_at} bytes")
            if killed_at is not None:
                hits.append(killed_at)
                if not left:
                    fail(f"killed at {killed_at} bytes, yet no temporary file is left")
            after = subprocess.run(program, cwd=folder)
            if after.returncode != 0:
                fail(f"the run after a kill at {killed_at} bytes ended with status {after.returncode}")
            if check_folder(folder, (new,), f"the run after a kill at {killed_at} bytes"):
                fail(f"a temporary file outlived the run after a kill at {killed_at} bytes")
        print(f"killed {len(hits)} of {POINTS} runs while writing, at bytes {hits} of {len(new)}")
        if len(hits) < POINTS // 2 or min(hits, default=1) > len(new) // 10:
            fail("too few kills landed in the write phase")

        # A run that starts while another writes: held still with its temporary
        # file half written, the writer must find it there when it goes on.
        writer = subprocess.Popen(program, cwd=folder, preexec_fn=on_one_core)
        while writer.poll() is None:
            if (temporary_size(folder) or 0) > 0:
                writer.send_signal(signal.SIGSTOP)
                break
        second = subprocess.run(program, cwd=folder)
        writer.send_signal(signal.SIGCONT)
        if second.returncode != 0 or writer.wait() != 0:
            fail(f"two runs at once ended with statuses {writer.returncode} and {second.returncode}")
        if check_folder(folder, (new,), "two runs at once"):
            fail("two runs at once left a temporary file")
    print("ok")


if __name__ == "__main__":
    main()
