#!/usr/bin/env python3
"""Kills kasor-max with SIGKILL at many points of its write phase, and
interrupts it with SIGINT (Ctrl-C) at as many.

usage: kill_harness.py KASOR_GEN PROGRAM [ARGUMENT ...]

PROGRAM [ARGUMENT ...] runs kasor-max: its path, or `wine` and the path of the
Windows program, which a kill ends as TerminateProcess would.

After each kill the folder must hold the older result or the complete new
one, and nothing else besides the input and, on Linux, the dead run's
temporary file (Windows deletes it with the run's handles); after the run
that follows, the new result and no temporary file. Then a
run that starts while another is writing must leave that one's temporary file
alone, so that both put their results in place.

Interrupted with SIGINT (on Linux), a run removes its own temporary file
before it ends, says so in one line, and ends as the signal ends a program
(a shell shows 130): the folder holds the older result or the new one, and
nothing else.
"""
import glob
import os
import signal
import subprocess
import sys
import tempfile
import time

OLDER = b"VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n"
POINTS = 21  # from an empty temporary file to a complete one
TRIES = 4  # for a point that a kill overshot


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


def kill_when_written(program, folder, at_least, how=signal.SIGKILL):
    """Starts a run and sends it `how` once its temporary file holds
    `at_least` bytes. Returns the size it was sent at (None when the run ended
    first), the run's return code and what it wrote to standard error."""
    with tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(program, cwd=folder, preexec_fn=on_one_core, stderr=err)
        killed_at = None
        while proc.poll() is None:
            size = temporary_size(folder)
            if size is not None and size >= at_least:
                os.kill(proc.pid, how)
                killed_at = size
                break
        code = proc.wait()
        err.seek(0)
        return killed_at, code, err.read().decode(errors="replace")


def main():
    kasor_gen, program = sys.argv[1], sys.argv[2:]
    on_windows = program[0] == "wine"
    cores = sorted(os.sched_getaffinity(0))
    if len(cores) > 1:
        os.sched_setaffinity(0, set(cores[1:]))
    with tempfile.TemporaryDirectory(prefix="kasor-kill-") as folder:
        with open(os.path.join(folder, "KASOR.dat"), "wb") as f:
            subprocess.run([kasor_gen, "1000000", "2", "3"], stdout=f, check=True)
        subprocess.run(program, cwd=folder, check=True)
        with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
            new = f.read()
        results = (OLDER, new)

        def killed_and_run_again(at_least):
            """Kills a run once its temporary file holds `at_least` bytes,
            checks the folder, and runs the program again to the end."""
            with open(os.path.join(folder, "KASOR_max.dat"), "wb") as f:
                f.write(OLDER)
            killed_at, _, _ = kill_when_written(program, folder, at_least)
            left = check_folder(folder, results, f"killed at {killed_at} bytes")
            if killed_at is not None:
                # Windows deletes the temporary with its handle; Linux cannot, and leaves it to the next run.
                # A kill that found the file empty may have come between its
                # creation and its marking for deletion: then the next run
                # removes it, as it does after a crash of the machine.
                if on_windows and left and killed_at > 0:
                    # Wine's server closes a killed process's handles a moment after it is gone.
                    for _ in range(30):
                        time.sleep(0.1)
                        left = check_folder(folder, results, f"killed at {killed_at} bytes")
                        if not left:
                            break
                    if left:
                        fail(f"killed at {killed_at} bytes, the temporary file outlived the run")
                if not on_windows and not left:
                    fail(f"killed at {killed_at} bytes, yet no temporary file is left")
            after = subprocess.run(program, cwd=folder)
            if after.returncode != 0:
                fail(f"the run after a kill at {killed_at} bytes ended with status {after.returncode}")
            if check_folder(folder, (new,), f"the run after a kill at {killed_at} bytes"):
                fail(f"a temporary file outlived the run after a kill at {killed_at} bytes")
            return killed_at

        hits = []
        for k in range(POINTS):
            at_least = len(new) * k // (POINTS - 1)
            # The watching loop can lose its core for some milliseconds, in which
            # the program writes megabytes: a kill far past its point counts as
            # a kill, and the point is tried again.
            for _ in range(TRIES):
                killed_at = killed_and_run_again(at_least)
                if killed_at is None or killed_at <= at_least + len(new) // 10:
                    break
            if killed_at is not None:
                hits.append(killed_at)
        print(f"killed {len(hits)} of {POINTS} runs while writing, at bytes {hits} of {len(new)}")
        if len(hits) < POINTS // 2 or min(hits, default=1) > len(new) // 10:
            fail("too few kills landed in the write phase")

        if not on_windows:  # Wine turns no SIGINT into a Windows program's Ctrl-C
            hits = []
            for k in range(POINTS):
                at_least = len(new) * k // (POINTS - 1)
                with open(os.path.join(folder, "KASOR_max.dat"), "wb") as f:
                    f.write(OLDER)
                interrupted_at, code, err = kill_when_written(program, folder, at_least, signal.SIGINT)
                when = f"interrupted at {interrupted_at} bytes"
                if check_folder(folder, results, when):
                    fail(f"{when}: its temporary file was left behind")
                if interrupted_at is not None:
                    hits.append(interrupted_at)
                    with open(os.path.join(folder, "KASOR_max.dat"), "rb") as f:
                        in_place = f.read() == new
                    # The one line that answers it: what was stopped, and the older result
                    # kept; or, once the new one had its name, a completed run that says so.
                    if code == 0 and in_place:
                        said = "Hinweis: abgebrochen, als KASOR_max.dat schon neu geschrieben war"
                    elif code == -signal.SIGINT and not in_place:
                        said = "Abgebrochen beim Schreiben; KASOR_max.dat bleibt unverändert."
                    else:
                        fail(f"{when}: ended with {code}, the new result {'' if in_place else 'not '}in place")
                    if said not in err:
                        fail(f"{when}: it said {err!r}")
            print(f"interrupted {len(hits)} of {POINTS} runs while writing, at bytes {hits} of {len(new)}")
            if len(hits) < POINTS // 2:
                fail("too few interruptions landed in the write phase")

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
