#!/usr/bin/env python3
"""Runs the action game (made by e2e_action_game) headless and checks what its events printed.

The game loads only when every action row it names is registered. Its one instance prints
label lines, each followed by the value it read; the non-fatal reports must appear too.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def labelled(text):
    """{label: value} for each label line and the line after it (first occurrence)."""
    lines, values = text.splitlines(), {}
    for i, line in enumerate(lines[:-1]):
        values.setdefault(line, lines[i + 1])
    return values


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    failures = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "action.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log, out = os.path.join(folder, "log.txt"), os.path.join(folder, "out.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", out],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        text = read(log) + read(out) + done.stdout.decode("utf-8", "replace")
        if done.returncode != 0 or "Unable to find function" in text or "done\n" not in text:
            failures.append("the game did not load and run (%d): %r" % (done.returncode, text[-1500:]))
        values = labelled(text)
        expected = {
            "relative score": 10, "relative move y": 107, "score in the nested event": 3,
            "score after the nested event": 13,
            "score in the next event": 100, "stop cell direction": 0, "stop cell speed": 0,
            "no cell speed": 0, "real against text": 0, "abc below abd": 1, "dice of half a side": 1,
            "fewer than two actors": 1, "time line started with 1": 0, "time line started with 0": 1,
        }
        for label, want in expected.items():
            got = values.get(label)
            try:
                ok = got is not None and float(got) == want
            except ValueError:
                ok = False
            if not ok:
                failures.append("%s: got %r, want %r" % (label, got, want))
        try:
            x = float(values.get("random x"))
            if not 0 <= x < 640:
                failures.append("action_move_random left the room: x = %r" % x)
        except (TypeError, ValueError):
            failures.append("no random x")
        if text.count("no more lives\n") != 1:
            failures.append("No More Lives ran %d times, want 1" % text.count("no more lives\n"))
        reports = {"Wrong argument to action_move().": 1, "Cannot compare arguments.": 1,
                   "The particle emitter must first be created.": 2,
                   "Trying to draw a non-existing sprite.": 1}
        for message, least in reports.items():
            if text.count(message) < least:
                failures.append("report %r seen %d times, want %d or more"
                                % (message, text.count(message), least))
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 3 + len(reports), len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
