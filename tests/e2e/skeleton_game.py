#!/usr/bin/env python3
"""Runs a game that names every skeleton built-in and holds a skeleton and a vector sprite.

The game loads only when every row it names is registered and both sprites read; its room
creation code prints the number of the skeleton's animations, the first one's name, the vector
sprite's width and what draw_skeleton_time answers.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "skeleton.win")
        subprocess.run([maker, game], check=True, timeout=30)
        run = run_headless(runner, game, folder)
        expected = {"animations": "2", "first": "spin", "vector_width": "40", "drawn": "-1"}
        return report(run.load_failures() + run.answer_failures(expected), len(expected) + 1)


if __name__ == "__main__":
    sys.exit(main())
