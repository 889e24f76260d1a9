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
import time

from headless import headless_env, read, report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
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
        run = run_headless(runner, game, folder, env)
        expected = {
            "md5": hashlib.md5(b"abc").hexdigest(),
            "md5u": hashlib.md5("abc".encode("utf-16-le")).hexdigest(),
            "sha1": hashlib.sha1(b"abc").hexdigest(),
            "base64": base64.b64encode(b"hello").decode(),
            "gui_width": "800", "gui_height": "600", "set_gui": "0", "gui_width_set": "400", "to_gui": "0",
            "surface": "1", "compiled": "1", "domain": "localhost", "url": "0",
        }
        failures = run.load_failures() + run.answer_failures(expected)
        for _ in range(100):
            if read(opened):
                break
            time.sleep(0.05)
        if read(opened) != "https://example.org/maker/game\n":
            failures.append("the URL handler received %r" % read(opened))
        return report(failures, len(expected) + 2)


if __name__ == "__main__":
    sys.exit(main())
