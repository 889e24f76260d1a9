#!/usr/bin/env python3
"""Runs the test game compiled into the runner headless and checks its logs.

Normal run: the debug log starts with the banner and holds the start-up steps in order up to
"Run_Start\n", byte for byte; the compiled global initialiser runs inside "Script_Prepare() ".
The game then enters its first room (exit 0), or, where no room can be started, ends at once
with "No room to start the game in" and exit status 1.

Error run (HV_STARTUP_GAME=error): a global initialiser raises a run-time error three calls
deep; the error log holds the fatal report with three "called from" lines, newest first, and
the process ends with exit status 1.
"""
import os
import subprocess
import sys
import tempfile

from headless import read, headless_env

BANNER = ("\n***************************************\n"
          "*     Pell Works Runner v1.0(999)[r32908]    *\n"
          "***************************************\t \n")

TAGS = ("HighScore..Game..Math..Graphic..Action..File..Resource..Interaction..3D..Particle..Misc..DS.."
        "Sound..Physics..Gamepad..Buffers..Networking..Shaders..InitPushFunctions...Pell..Fini")

# Lines that appear in this order (others may come between them).
IN_ORDER = [
    "IFF wad found",
    "Get Resolution",
    "Get Header Information",
    "InitHVSFunctions",
    TAGS,
    "Create Window",
    "Init Graphics",
    "GR_D3D_Init()",
    "Background_InitTextures()",
    "Sprite_InitTextures()",
    "Font_InitTextures()",
    "IO Init",
    "Process Messages",
    "Splash!",
    "Start Frame",
    "Part Create Textures",
    "Debug Init Remote Interface",
    "VM Init",
    "Create Score Form",
    "Create Load Form",
    "Create Error Form",
    "Do The Work",
    "LoadGameData()",
    "initialise everything!",
    "PrepareGame()",
]

# From "PrepareGame()" to "Run_Start" nothing else may appear.
PREPARE_BLOCK = [
    "PrepareGame()",
    "Extension_Prepare() ",
    "Code_Constant_Prepare() ",
    "Script_Prepare() ",
    "compiled global initialiser ran",
    "TimeLine_Prepare() ",
    "Object_Prepare() ",
    "Room_Prepare() ",
    "Sound_Prepare() ",
    "InitGraphics() ",
    "Finished PrepareGame() ",
    "Run_Start",
]

HASHES = "#" * 92
DASHES = "-" * 92
REPORT = ("ERROR!!! :: " + HASHES + "\n"
          "FATAL ERROR in\naction number 1\nof Create Event\nfor object <undefined>:\n\n\nthree calls deep\n"
          + HASHES + "\n" + DASHES + "\n"
          "called from - hvs_Script_scr_inner (line 4)\n"
          "called from - hvs_Script_scr_middle (line 7)\n"
          "called from - hvs_GlobalFail (line 12)\n")

failures = []


def fail(text):
    failures.append(text)


def run(game, folder, scenario):
    env = headless_env(folder)
    if scenario:
        env["HV_STARTUP_GAME"] = scenario
    log = os.path.join(folder, scenario + "log.txt")
    errors = os.path.join(folder, scenario + "err.txt")
    done = subprocess.run([game, "-headless", "-debugoutput", log, "-output", errors], cwd=folder, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    if done.stdout:
        fail("headless run wrote to standard output: %r" % done.stdout[:200])
    return done.returncode, read(log), read(errors)


def check_start(code, log, errors):
    if not log.startswith(BANNER):
        fail("the log does not start with the banner")
    lines = log[len(BANNER):].split("\n")
    at = 0
    for expected in IN_ORDER:
        try:
            at = lines.index(expected, at) + 1
        except ValueError:
            fail("missing or out of order: %r" % expected)
            return
    start = at - 1
    block = lines[start:start + len(PREPARE_BLOCK)]
    if block != PREPARE_BLOCK:
        fail("the preparation block reads %r" % block)
    if "\nRun_Start\n" not in log:
        fail("the log lacks \"Run_Start\\n\"")
    if "room creation code ran" in log:
        if code != 0:
            fail("a game that entered its room ended with %d" % code)
    else:
        if code != 1:
            fail("a game with no room to start ended with %d, expected 1" % code)
        if "No room to start the game in\n" not in errors:
            fail("no room, but the error log reads %r" % errors)


def check_error(code, log, errors):
    if code != 1:
        fail("a fatal run-time error ended with %d, expected 1" % code)
    if REPORT not in errors:
        fail("the error log lacks the report; it reads %r" % errors)
    if "Script_Prepare() \ncompiled global initialiser ran\n" not in log:
        fail("the first global initialiser did not run before the failing one")
    if "Run_Start" in log:
        fail("the game started after a fatal error")


def main():
    game = sys.argv[1]
    base = os.environ.get("HV_TEST_TMP") or tempfile.gettempdir()
    os.makedirs(base, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=base, prefix="e2e-startup-") as folder:
        code, log, errors = run(game, folder, "")
        check_start(code, log, errors)
        if failures:
            print("--- log\n" + log + "--- errors\n" + errors)
        before = len(failures)
        code, log, errors = run(game, folder, "error")
        check_error(code, log, errors)
        if len(failures) > before:
            print("--- log (error run)\n" + log + "--- errors (error run)\n" + errors)
    for text in failures:
        print("FAIL: " + text)
    if failures:
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
