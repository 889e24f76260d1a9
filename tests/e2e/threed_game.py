#!/usr/bin/env python3
"""Runs the 3-D games (header major versions 1 and 2) headless and checks that they load and run.

Each game names every 3-D, matrix, light and GPU state built-in of its version, so it loads only
when all of them are registered; its room creation code prints a few answers.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch


def run(maker, runner, folder, major):
    game = os.path.join(folder, "threed%d.win" % major)
    subprocess.run([maker, game, str(major)], check=True, timeout=30)
    done = run_headless(runner, game, folder, timeout=60, prefix=str(major))
    expected = {"frustum": "0"}
    if major < 2:
        expected.update({"start": "1", "model": "0", "end": "1"})
    else:
        expected.update({"empty": "1", "blendmode": "1", "ambient": "4294967295"})
    label = "version %d, " % major
    return [label + f for f in done.load_failures()] + done.answer_failures(expected, label)


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        failures = run(maker, runner, folder, 1) + run(maker, runner, folder, 2)
    return report(failures, 2 * 5)


if __name__ == "__main__":
    sys.exit(main())
