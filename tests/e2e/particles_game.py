#!/usr/bin/env python3
"""Runs a game that names every physics_particle_* built-in, in a physics room.

The game loads only when every row it names is registered; its room creation code fills a
particle group, makes and deletes a particle (still counted until the world steps) and reads the
new particle's category back through a buffer.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "particles.win")
        subprocess.run([maker, game], check=True, timeout=30)
        run = run_headless(runner, game, folder)
        # A 40 x 20 pixel box on a 6-pixel lattice holds 7 x 3 particles.
        expected = {"group": "0", "count": "21", "index": "21", "counted": "22", "members": "21",
                    "category": "3", "radius": "4"}
        return report(run.load_failures() + run.answer_failures(expected), len(expected) + 1)


if __name__ == "__main__":
    sys.exit(main())
