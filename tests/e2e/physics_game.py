#!/usr/bin/env python3
"""Runs a physics game ("-game", made by formpack and tools/asm) headless and checks its log.

A box falls in a physics room onto a static ground; the physics contact raises the ball's
collision event, which prints "ball hit the ground", then the contact's point count, the y of
its first point (on the ground's top face, at 192) and the ball's mass (a 16-pixel square at 10
pixels a metre and density 0.5), and ends the game with exit code 0.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "physics.win")
        subprocess.run([maker, game], check=True, timeout=30)
        run = run_headless(runner, game, folder)
        failures = []
        # show_debug_message writes to the output console ("-output").
        if "ball hit the ground\n" not in run.out:
            failures.append("the collision event did not run: %r" % run.out[-600:])
        else:
            read = run.out.split("ball hit the ground\n", 1)[1].split("\n")[:3]
            try:
                points, contact_y, mass = (float(v) for v in read)
                if points != 2 or abs(contact_y - 192) > 0.5 or abs(mass - 1.28) > 1e-6:
                    failures.append("the phy_ variables read %r" % read)
            except ValueError:
                failures.append("the phy_ variables printed %r" % read)
        if run.returncode != 0:
            failures.append("the run ended with %d: %r" % (run.returncode, run.out[-600:]))
        return report(failures, 2)


if __name__ == "__main__":
    sys.exit(main())
