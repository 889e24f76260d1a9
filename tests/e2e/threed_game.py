#!/usr/bin/env python3
"""Runs the 3-D games (header major versions 1 and 2) headless and checks that they load and run.

Each game names every 3-D, matrix, light and GPU state built-in of its version, so it loads only
when all of them are registered; its room creation code prints a few answers.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def run(maker, runner, folder, major):
    game = os.path.join(folder, "threed%d.win" % major)
    subprocess.run([maker, game, str(major)], check=True, timeout=30)
    env = headless_env(folder)
    log, errors = os.path.join(folder, "log%d.txt" % major), os.path.join(folder, "err%d.txt" % major)
    done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                          cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    out = read(errors)
    answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    expected = {"frustum": "0"}
    if major < 2:
        expected.update({"start": "1", "model": "0", "end": "1"})
    else:
        expected.update({"empty": "1", "blendmode": "1", "ambient": "4294967295"})
    failures = []
    if done.returncode != 0 or "Unable to find function" in out + read(log):
        failures.append("version %d did not load and run (exit %d): %r" % (major, done.returncode, out[-800:]))
    for key, value in expected.items():
        if answers.get(key) != value:
            failures.append("version %d, %s: got %r, expected %r" % (major, key, answers.get(key), value))
    return failures


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        failures = run(maker, runner, folder, 1) + run(maker, runner, folder, 2)
    for failure in failures:
        print("FAIL:", failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
