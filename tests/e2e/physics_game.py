#!/usr/bin/env python3
"""Runs a physics game ("-game", made by formpack and tools/asm) headless and checks its log.

A box falls in a physics room onto a static ground; the physics contact raises the ball's
collision event, which prints "ball hit the ground" and ends the game with exit code 0.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "physics.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log = os.path.join(folder, "log.txt")
        errors = os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        text, err = read(log), read(errors)
        failures = []
        # show_debug_message writes to the output console ("-output").
        if "ball hit the ground\n" not in err:
            failures.append("the collision event did not run: %r" % err[-600:])
        if done.returncode != 0:
            failures.append("the run ended with %d: %r" % (done.returncode, err[-600:]))
        for failure in failures:
            print("FAIL:", failure)
        print("%d passed, %d failed" % (1 - min(1, len(failures)), min(1, len(failures))))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
