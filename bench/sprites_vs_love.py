#!/usr/bin/env python3
"""Side by side: the same scene (20,000 16 x 16 sprites at scattered positions in a 640 x 480
window, 120 timed frames) drawn by LOVE 11 (Debian's "love") and by the runner, each in a window
on the same private X server with the same Mesa driver. Prints each side's sprites per second
and the ratio runner / LOVE (target: 1.5 or more).

Usage: sprites_vs_love.py MAKE_SPRITE_GAME RUNNER
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
COUNT, FRAMES = 20000, 120


def run_on_display(command, env, cwd):
    return subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24"] + command, cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)


def main():
    maker, runner = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not shutil.which("love") or not shutil.which("xvfb-run"):
        print("skipped: needs love (Debian package \"love\") and xvfb-run")
        return 0
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env.setdefault("LIBGL_ALWAYS_SOFTWARE", "1")
    env.setdefault("GALLIUM_DRIVER", "llvmpipe")
    env["ALSOFT_DRIVERS"] = "null"
    with tempfile.TemporaryDirectory() as folder:
        env["XDG_DATA_HOME"] = os.path.join(folder, "data")
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        love = run_on_display(["love", os.path.join(HERE, "love")], env, folder)
        found = re.search(rb"sprites_per_second (\d+)", love.stdout)
        if not found:
            print("LOVE gave no figure:", love.stdout[-800:].decode("utf-8", "replace"))
            return 1
        love_rate = int(found.group(1))

        game = os.path.join(folder, "sprites.win")
        subprocess.run([maker, game], check=True, timeout=60)
        output = os.path.join(folder, "out.txt")
        done = run_on_display([runner, "-game", game, "-output", output], env, folder)
        if not os.path.exists(output):
            print("the runner wrote no output:", done.stdout[-800:].decode("utf-8", "replace"))
            return 1
        with open(output, "rb") as f:
            stamps = [int(float(x)) for x in re.findall(rb"^(\d+(?:\.\d+)?)\s*$", f.read(), re.M)]
        if len(stamps) < 2 or stamps[-1] <= stamps[0]:
            print("the runner gave no timing:", stamps)
            return 1
        runner_rate = COUNT * FRAMES / ((stamps[-1] - stamps[0]) / 1000.0)
    print("LOVE   sprites/s: %.0f" % love_rate)
    print("runner sprites/s: %.0f" % runner_rate)
    print("ratio runner / LOVE: %.2f (target >= 1.5)" % (runner_rate / love_rate))
    return 0


if __name__ == "__main__":
    sys.exit(main())
