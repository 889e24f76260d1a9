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

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "steam.win")
        subprocess.run([maker, game], check=True, timeout=30)
        program = os.path.join(folder, "bin", "runner")
        os.makedirs(os.path.dirname(program))
        try:
            os.link(runner, program)
        except OSError:
            shutil.copy2(runner, program)
        run = run_headless(program, game, folder)
        expected = {"initialised": "0", "app_id": "-1", "persona": "", "iap_before": "-2", "iap_after": "0"}
        failures = run.load_failures() + run.answer_failures(expected)
        appid = os.path.join(os.path.dirname(program), "steam_appid.txt")
        with open(appid, "rb") if os.path.exists(appid) else open(os.devnull, "rb") as f:
            if f.read() != b"480":
                failures.append("steam_appid.txt beside the program does not hold exactly 480")
        lines = ["ERROR: Failed to load steam_api.dll error", "Failed LoadSteamLib() call: Error loading steam_api.dll",
                 "SteamInit failed: Error loading steam_api.dll"]
        at = [run.log.find(line) for line in lines]
        if -1 in at or at != sorted(at):
            failures.append("the failure lines are not logged in order: %r" % run.log[:2000])
        return report(failures, len(expected) + 3)


if __name__ == "__main__":
    sys.exit(main())
