#!/usr/bin/env python3
"""Runs a game that names every maker-prefixed built-in, headless in an 800 x 600 window.

The game loads only when every row it names is registered. Its room creation code prints what
some of them answer (digests checked here against hashlib and base64) and opens a URL, which a
stand-in xdg-open first on PATH writes to a file.
"""
import base64
import hashlib
import os
import stat
import subprocess
import sys
import tempfile
import time

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "maker.win")
        subprocess.run([maker, game], check=True, timeout=30)
        opened = os.path.join(folder, "opened.txt")
        handler = os.path.join(folder, "bin", "xdg-open")
        os.makedirs(os.path.dirname(handler))
        with open(handler, "w") as f:
            f.write('#!/bin/sh\nprintf \'%%s\\n\' "$1" >> "%s"\n' % opened)
        os.chmod(handler, stat.S_IRWXU)
        env = headless_env(folder)
        env["PATH"] = os.path.dirname(handler) + os.pathsep + env.get("PATH", "")
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out = read(errors)
        answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        expected = {
            "md5": hashlib.md5(b"abc").hexdigest(),
            "md5u": hashlib.md5("abc".encode("utf-16-le")).hexdigest(),
            "sha1": hashlib.sha1(b"abc").hexdigest(),
            "base64": base64.b64encode(b"hello").decode(),
            "gui_width": "800", "gui_height": "600", "set_gui": "0", "gui_width_set": "400", "to_gui": "0",
            "surface": "1", "compiled": "1", "domain": "localhost", "url": "0",
        }
        failures = []
        if done.returncode != 0 or "Unable to find function" in out + read(log):
            failures.append("the game did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
        for _ in range(100):
            if read(opened):
                break
            time.sleep(0.05)
        if read(opened) != "https://example.org/maker/game\n":
            failures.append("the URL handler received %r" % read(opened))
        for failure in failures:
            print("FAIL:", failure)
        print("%d checks, %d failed" % (len(expected) + 2, len(failures)))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
