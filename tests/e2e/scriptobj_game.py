#!/usr/bin/env python3
"""Runs a game in script-object mode that names every interpreter support built-in.

The game loads only when every row it names is registered; its room creation code reads the
standard objects that start-up built through the scope chain and prints their type names, then
calls standard methods through member calls and prints what they answer.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env

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
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "scriptobj.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out = read(errors)
        lines = out.splitlines()
        answers = dict(line.split("=", 1) for line in lines if "=" in line)
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + read(log):
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        for key, value in EXPECTED.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        after = lines[lines.index("instanceof=") + 1] if "instanceof=" in lines[:-1] else None
        if after not in ("1", "true"):
            failures.append("instanceof: got %r, expected true" % after)
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(EXPECTED) + 2, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
