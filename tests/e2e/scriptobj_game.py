#!/usr/bin/env python3
"""Runs a game in script-object mode that names every interpreter support built-in.

The game loads only when every row it names is registered; its room creation code reads the
standard objects that start-up built through the scope chain and prints their type names, then
calls standard methods through member calls and prints what they answer.
"""
import os
import subprocess
import sys

from headless import report, run_headless, scratch

EXPECTED = {
    "literal": "object",
    "Object": "function",
    "Array": "function",
    "TypeError": "function",
    "global": "object",
    "resource": "object",
    "constructed": "object",
    "c_red": "number",
    "room": "number",
    "pushed": "4",
    "joined": "3-1-2",
    "upper": "ABC",
    "length": "3",
    "element": "2",
    "product": "10",
}


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "scriptobj.win")
        subprocess.run([maker, game], check=True, timeout=30)
        run = run_headless(runner, game, folder)
        failures = run.load_failures() + run.answer_failures(EXPECTED)
        lines = run.out.splitlines()
        after = lines[lines.index("instanceof=") + 1] if "instanceof=" in lines[:-1] else None
        if after not in ("1", "true"):
            failures.append("instanceof: got %r, expected true" % after)
        return report(failures, len(EXPECTED) + 2)


if __name__ == "__main__":
    sys.exit(main())
