#!/usr/bin/env python3
"""Runs a bytecode game that plays a tone, in a window on a private X server, with OpenAL Soft's
wave back end writing what the game played to a file.

The game's only instance starts one second of a 440 Hz tone in its Create event and ends the
game from its alarm 45 steps later. The run must end with exit status 0, and sox must measure
the tone in the written file.
"""
import os
import re
import subprocess
import sys
import tempfile


def sox_frequency(path):
    """sox's rough frequency of the first channel past any leading silence; 0 when unknown."""
    done = subprocess.run(["sox", path, "-n", "remix", "1", "silence", "1", "0.01", "1%",
                           "trim", "0.05", "0.2", "stat"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=30)
    found = re.search(rb"Rough\s+frequency:\s+(\d+)", done.stdout)
    return int(found.group(1)) if found else 0


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "sound.win")
        subprocess.run([maker, game], check=True, timeout=30)
        wave = os.path.join(folder, "out.wav")
        config = os.path.join(folder, "alsoft.conf")
        with open(config, "w") as f:
            f.write("drivers=wave\n[wave]\nfile=%s\n" % wave)
        env = dict(os.environ)
        env.pop("ALSOFT_DRIVERS", None)
        env.pop("WAYLAND_DISPLAY", None)
        env["ALSOFT_CONF"] = config
        env["XDG_DATA_HOME"] = os.path.join(folder, "data")
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        command = [runner, "-game", game, "-debugoutput", os.path.join(folder, "log.txt"),
                   "-output", os.path.join(folder, "err.txt")]
        if not env.get("DISPLAY"):
            command = ["xvfb-run", "-a"] + command
        done = subprocess.run(command, cwd=folder, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=90)
        failures = []
        if done.returncode != 0:
            failures.append("the run ended with %d: %r" % (done.returncode, done.stderr[-600:]))
        if not os.path.exists(wave) or os.path.getsize(wave) < 44100 * 4 // 2:
            failures.append("the wave back end wrote less than half a second")
        else:
            frequency = sox_frequency(wave)
            if abs(frequency - 440) > 3:
                failures.append("sox measured %d Hz, not 440 Hz" % frequency)
        for failure in failures:
            print("FAIL:", failure)
        print("%d passed, %d failed" % (1 - min(1, len(failures)), min(1, len(failures))))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
