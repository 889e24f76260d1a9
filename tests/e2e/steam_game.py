#!/usr/bin/env python3
"""Runs a game with the Steam app id 480 that names every steam_* and iap_* built-in, headless.

The game loads only when every row it names is registered. With no Steam library the start is
logged as failed and the rows answer "not running"; the app id is written beside the program,
so the runner runs from a link (or copy) of itself inside the test's folder. With no store,
iap_activate leaves the store activating until the next asynchronous stage.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "steam.win")
        subprocess.run([maker, game], check=True, timeout=30)
        program = os.path.join(folder, "bin", "runner")
        os.makedirs(os.path.dirname(program))
        try:
            os.link(runner, program)
        except OSError:
            shutil.copy2(runner, program)
        env = headless_env(folder)
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([program, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out, debug = read(errors), read(log)
        answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        expected = {"initialised": "0", "app_id": "-1", "persona": "", "iap_before": "-2", "iap_after": "0"}
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + debug:
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        appid = os.path.join(os.path.dirname(program), "steam_appid.txt")
        with open(appid, "rb") if os.path.exists(appid) else open(os.devnull, "rb") as f:
            if f.read() != b"480":
                failures.append("steam_appid.txt beside the program does not hold exactly 480")
        lines = ["ERROR: Failed to load steam_api.dll error", "Failed LoadSteamLib() call: Error loading steam_api.dll",
                 "SteamInit failed: Error loading steam_api.dll"]
        at = [debug.find(line) for line in lines]
        if -1 in at or at != sorted(at):
            failures.append("the failure lines are not logged in order: %r" % debug[:2000])
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 3, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
