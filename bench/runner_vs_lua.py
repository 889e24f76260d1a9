#!/usr/bin/env python3
"""Whole processes side by side: the runner on a game file (headless, no audio) against lua5.4
on the same program, each started afresh, each run pinned to one core. The programs are
bench_opcodes' loop sum (1..10,000,000 as reals) and recursive fib(32) (bench_opcodes' fib(27)
takes about 15 ms, less than a process start varies); a game that only ends
gives the runner's own start and end, which is also shown taken off its times. Prints
min/median/max wall-clock seconds of each and Lua / runner of the medians (higher is better).

Usage: runner_vs_lua.py MAKE_INTERP_GAME RUNNER [REPETITIONS [CPU]]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

LUA = {
    "loop": "local n = 0.0 local i = 1 while not (i > 10000000) do n = n + i i = i + 1 end print(n)",
    "fib": "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end "
           "print(fib(32))",
    "empty": "",
}
EXPECTED = {"loop": "50000005000000", "fib": "2178309", "empty": None}


def timed(command, env, cwd, cpu):
    start = time.perf_counter()
    done = subprocess.run(["taskset", "-c", cpu] + command, env=env, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=300)
    return time.perf_counter() - start, done


def summary(times):
    return "min %.3f  median %.3f  max %.3f" % (min(times), statistics.median(times), max(times))


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    maker, runner = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    repetitions = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    cpu = sys.argv[4] if len(sys.argv) > 4 else "2"
    if not shutil.which("lua5.4") or not shutil.which("taskset"):
        print("skipped: needs lua5.4 (Debian package \"lua5.4\") and taskset")
        return 0
    env = dict(os.environ, ALSOFT_DRIVERS="null")
    env.pop("DISPLAY", None)
    print("load average: %.2f %.2f %.2f; %d repetitions on CPU %s" % (os.getloadavg() + (repetitions, cpu)))
    medians = {}
    with tempfile.TemporaryDirectory() as folder:
        for mode in ("empty", "loop", "fib"):
            game = os.path.join(folder, mode + ".win")
            subprocess.run([maker, game, mode], check=True, timeout=60)
            ours, theirs = [], []
            for _ in range(repetitions):
                output = os.path.join(folder, "out.txt")
                if os.path.exists(output):
                    os.remove(output)
                t, _ = timed([runner, "-game", game, "-headless", "-noaudio", "-output", output], env, folder, cpu)
                with open(output, "rb") as f:
                    text = f.read().decode("utf-8", "replace")
                if EXPECTED[mode] and EXPECTED[mode] not in text:
                    print("the runner gave a wrong result for %s: %s" % (mode, text[-300:]))
                    return 1
                ours.append(t)
                t, done = timed(["lua5.4", "-e", LUA[mode]], env, folder, cpu)
                if EXPECTED[mode] and EXPECTED[mode] not in done.stdout.decode().replace(".0", ""):
                    print("lua5.4 gave a wrong result for %s: %s" % (mode, done.stdout))
                    return 1
                theirs.append(t)
            medians[mode] = (statistics.median(ours), statistics.median(theirs))
            print("%-5s runner  %s" % (mode, summary(ours)))
            print("%-5s lua5.4  %s" % (mode, summary(theirs)))
    print("\nspeed of the runner relative to lua5.4, whole processes, medians (higher is better):")
    start = medians["empty"]
    for mode in ("loop", "fib"):
        ours, theirs = medians[mode]
        print("  %-5s %.3f   without each side's own start and end: %.3f" %
              (mode, theirs / ours, (theirs - start[1]) / max(ours - start[0], 1e-9)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
