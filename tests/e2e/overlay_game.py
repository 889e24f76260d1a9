#!/usr/bin/env python3
"""Runs a one-room game at room speed 60 with the debug overlay on, in a window on a private X
server, for about two seconds (130 frames), with "-profiledump". The game loads only when every overlay row
it names is registered. Checked: the frame-rate summary printed at exit reports the run's
measured rates (average between 30 and 70), and the profiler's report, rewritten every second
and at the end, has its heading lines and the frame loop's sections.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from headless import headless_env, read


def find(folder, name):
    for root, _, files in os.walk(folder):
        if name in files:
            return os.path.join(root, name)
    return None


def frames_reported(folder):
    report = find(folder, "profile.txt")
    match = re.search(r"Frame Count: +(\d+)", read(report)) if report else None
    return int(match.group(1)) if match else 0


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if shutil.which("Xvfb") is None:
        print("SKIP: no Xvfb")
        return 0
    folder = os.path.abspath("overlay_game.d")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    game = os.path.join(folder, "overlay.win")
    subprocess.run([maker, game], check=True, timeout=30)
    failures = []
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten",
                               "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        display = os.read(read_end, 32).decode().strip()
        os.close(read_end)
        env = headless_env(folder)
        env["DISPLAY"] = ":" + display
        log = os.path.join(folder, "debug.txt")
        output = os.path.join(folder, "output.txt")
        process = subprocess.Popen([runner, "-game", game, "-debugoutput", log, "-output", output, "-profiledump",
                                    "profile.txt", "1"],
                                   cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while "Entering main loop." not in read(log) and time.monotonic() < deadline:
            if process.poll() is not None:
                break
            time.sleep(0.05)
        # About two seconds of frames: the report, rewritten every second, counts them. The
        # summary's rates are tracked after the first 100 frames.
        deadline = time.monotonic() + 20
        while frames_reported(folder) < 130 and process.poll() is None and time.monotonic() < deadline:
            time.sleep(0.2)
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            failures.append("the runner did not end on SIGTERM")
    finally:
        server.terminate()
        server.wait()

    text = read(log)
    if "overlay on" not in read(output):
        failures.append("the game did not run its room creation code:\n" + read(output)[-2000:])
    summary = re.search(r"minFPS, maxFPS, avgFPS\n(-?\d+), (-?\d+), (-?\d+)\n", text)
    if not summary:
        failures.append("no frame-rate summary in the log")
    else:
        low, high, average = (int(v) for v in summary.groups())
        if not 30 <= average <= 70:
            failures.append("average frame rate %d at room speed 60" % average)
        if not 0 < low <= average <= high:
            failures.append("frame rates out of order: %d, %d, %d" % (low, high, average))

    report = find(folder, "profile.txt")
    if report is None:
        failures.append("no profile report")
    else:
        with open(report, "rb") as f:
            lines = f.read().decode().split("\r\n")
        if lines[0] != game + " (Linux)":
            failures.append("report heading %r" % lines[0])
        count = re.fullmatch(r"Frame Count: +(\d+)", lines[1])
        if not count or int(count.group(1)) < 130:
            failures.append("report frame count %r" % lines[1])
        for index, label in ((2, "Frame total ms:"), (3, "Average frame time\\(ms\\):"),
                             (4, "Average step time\\(ms\\):")):
            if not re.fullmatch(label + r" +\d+(\.\d\d)?", lines[index]):
                failures.append("report line %d %r" % (index, lines[index]))
        if lines[5] != "" or lines[6].split() != ["CALL", "MS/FRAME", "MS/CALL", "CALLS/FRAME"]:
            failures.append("report column heading %r" % lines[6])
        names = set()
        for line in lines[7:]:
            if not line:
                continue
            match = re.fullmatch(r"(.{50}) (\d+\.\d{3}) +(\d+\.\d{3}) +(\d+\.\d{3})", line)
            if not match:
                failures.append("report row %r" % line)
                continue
            names.add(match.group(1).rstrip())
        for section in ("[DoAStep]", "[RoomSpeedSync]", "[Start_Frame]", "[End_Frame]", "[GraphicsFlush]"):
            if section not in names:
                failures.append("no %s row in the report" % section)

    if failures:
        print("\n".join(failures))
        print("0 passed, %d failed" % len(failures))
        return 1
    shutil.rmtree(folder, ignore_errors=True)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
