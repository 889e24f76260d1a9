#!/usr/bin/env python3
"""Runs a bytecode game ("-game", made by formpack and tools/asm) headless and checks its log.

The room creation code prints "Hello from bytecode" with show_debug_message and calls a script
that prints "Hello from a script", both to the output console; a headless run ends with exit
code 0 after that code.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "bytecode.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log = os.path.join(folder, "log.txt")
        errors = os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        text, err = read(log), read(errors)
        failures = []
        # show_debug_message writes to the output console ("-output").
        first = err.find("Hello from bytecode\n")
        second = err.find("Hello from a script\n")
        if first < 0 or second < first:
            failures.append("the output lacks the two lines in order: %r" % err[-600:])
        if done.returncode != 0:
            failures.append("the run ended with %d: %r" % (done.returncode, err[-600:]))
        for failure in failures:
            print("FAIL:", failure)
        print("%d passed, %d failed" % (1 - min(1, len(failures)), min(1, len(failures))))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
