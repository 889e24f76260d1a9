#!/usr/bin/env python3
"""Runs the shader game headless and checks its output.

The game loads only when every shader, vertex-format and vertex-buffer built-in it names is
registered. Its room creation code prints whether shader 0 (red) and shader 1 (a fragment
program that does not compile) compiled, draws an opaque white sprite through the red shader
onto a surface whose pixels it reads back (red inside the sprite, black outside), and then sets
the broken shader, which ends the game with the fragment-shader compilation report.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "shader.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = headless_env(folder)
        log = os.path.join(folder, "log.txt")
        errors = os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        text = read(errors)
        failures = []
        if "Unable to find function" in text + read(log):
            failures.append("a built-in is missing: %r" % text[-600:])
        start = text.find("shader checks\n")
        lines = text[start:].split("\n")[1:5] if start >= 0 else []
        # compiled, not compiled, red (0x0000FF as 0xBBGGRR) inside the sprite, black outside.
        if lines != ["1", "0", "255", "0"]:
            failures.append("the checks printed %r: %r" % (lines, text[-900:]))
        if "FATAL ERROR in Fragment Shader compilation\n\nShaderName: sh_broken\n\n\n" not in text:
            failures.append("no compilation report for the broken shader: %r" % text[-900:])
        if done.returncode != 1:
            failures.append("the run ended with %d, not 1" % done.returncode)
        for failure in failures:
            print("FAIL:", failure)
        print("%d passed, %d failed" % (1 - min(1, len(failures)), min(1, len(failures))))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
