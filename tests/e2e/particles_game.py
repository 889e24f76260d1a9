#!/usr/bin/env python3
"""Runs a game that names every physics_particle_* built-in, in a physics room.

The game loads only when every row it names is registered; its room creation code fills a
particle group, makes and deletes a particle (still counted until the world steps) and reads the
new particle's category back through a buffer.
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
        game = os.path.join(folder, "particles.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out = read(errors)
        answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + read(log):
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        # A 40 x 20 pixel box on a 6-pixel lattice holds 7 x 3 particles.
        expected = {"group": "0", "count": "21", "index": "21", "counted": "22", "members": "21",
                    "category": "3", "radius": "4"}
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 1, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
