#!/usr/bin/env python3
"""Runs a game that names every physics built-in of the world, fixtures, bodies and joints.

The game loads only when every row it names is registered. Its room creation code gives the
room a world, makes a fixture definition, binds it to the room's instances (there are none)
and reads a joint that does not exist, printing each answer after its label.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "physics_rows.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out = read(errors)
        lines = out.splitlines()
        answers = {lines[i]: lines[i + 1] for i in range(len(lines) - 1)}
        expected = {"fixture": "1", "bound": "-1", "joint": "0"}
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + read(log):
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        if "A joint does not exist" not in out + read(log):
            failures.append("the missing joint was not reported: %r" % (out[-800:] + read(log)[-800:]))
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 2, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
