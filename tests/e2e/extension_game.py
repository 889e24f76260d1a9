#!/usr/bin/env python3
"""Runs a game with an extension package whose library is the tests' shared object.

The game names the library "hvtestext.dll"; the runner loads "hvtestext.so" from the game's
folder. It loads only when every external_* row it names is registered; its package's script
runs as the game starts, the library's end function as it ends, and its room creation code prints
what the extension functions and a run-time definition answer. A run with "-steam" registers
no external row, so the same game is refused at load; a game whose initialisation function
names nothing ends with the fatal error before it starts.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from headless import read, headless_env


def run(runner, game, folder, extra):
    env = headless_env(folder)
    log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
    for path in (log, errors):
        if os.path.exists(path):
            os.remove(path)
    done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors] + extra,
                          cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    return done, read(errors), read(log)


def main():
    maker, runner, library = sys.argv[1], sys.argv[2], sys.argv[3]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "extension.win")
        subprocess.run([maker, game], check=True, timeout=30)
        shutil.copy(library, os.path.join(folder, "hvtestext.so"))
        done, out, log = run(runner, game, folder, [])
        answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        expected = {"init": "ran", "add": "5", "echo": "h\u00e9llo \u2713", "sum16": "136", "registered": "1",
                    "external": "42"}
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + log:
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        if "library: end 1" not in done.stderr.decode("utf-8", "replace"):
            failures.append("the finalisation function did not run: %r" % done.stderr[-400:])

        missing = os.path.join(folder, "missing.win")
        subprocess.run([maker, missing, "missing-init"], check=True, timeout=30)
        done, out, log = run(runner, missing, folder, [])
        if done.returncode != 1 or "Could not locate initialization function ext_nowhere" not in out:
            failures.append("a missing initialisation function: exit %d, %r" % (done.returncode, out[-400:]))
        if "add=" in out:
            failures.append("the game started without its initialisation function")

        done, out, log = run(runner, game, folder, ["-steam"])
        if "Unable to find function external_define" not in out + log:
            failures.append("a -steam run loaded the game: %r" % (out + log)[-400:])
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 5, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
