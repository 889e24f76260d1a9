#!/usr/bin/env python3
"""Runs a game that names every interpreter support built-in of the script object runtime.

The game loads only when every row it names is registered; its room creation code prints the
type names that "@@typeof@@" gives a number and an object literal.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "scriptfns.win")
        subprocess.run([maker, game], check=True, timeout=30)
        run = run_headless(runner, game, folder)
        expected = {"number": "number", "object": "object"}
        return report(run.load_failures() + run.answer_failures(expected), len(expected) + 1)


if __name__ == "__main__":
    sys.exit(main())
