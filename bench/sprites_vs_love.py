#!/usr/bin/env python3
"""Side by side, in one run, on one private X server with the same Mesa driver and the same heap
settings for every program:

sprites:  the same scene (20,000 16 x 16 sprites of one texture at scattered positions in a
          640 x 480 window, 120 timed frames) drawn by LOVE 11 (Debian's "love"), by the runner,
          and by a raw GL program (bench_raw_gl_sprites), which draws like LOVE with blending on.
          Prints each side's sprites per second and the ratios runner / raw GL (goal >= 0.95) and
          runner / LOVE (goal >= 1.3). The runner draws opaque sprites with blending off (the
          same pixels); "raw GL, no blend" draws so too, as the ceiling of the scene.
startup:  the time from starting the process to the end of its first presented frame of a
          one-room game (100 sprites), runner against LOVE (goal: runner / LOVE <= 1.0), the raw
          GL program beside them as the floor.

Every program runs pinned to the same cores (--cores), repetitions alternate between the
programs, and each figure is printed as min / median / max over the repetitions; a ratio is a
ratio of medians. The heap settings (--tunables, GLIBC_TUNABLES) are the same for all: without
them glibc trims LOVE's heap after Mesa frees each frame's memory, which costs it page faults
that have nothing to do with drawing.

Usage: sprites_vs_love.py BUILD_FOLDER [--reps N] [--cores LIST] [--only sprites|startup]
                          [--other-runner PROGRAM]
  BUILD_FOLDER holds halvane-runner-bare and bench/ (bench_make_sprite_game, bench_raw_gl_sprites).
  --other-runner times another runner program (an earlier build, say) in the same run.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
COUNT, FRAMES = 20000, 120
STARTUP_COUNT = 100
# Large thresholds: freed memory stays in the heap (no trim, no per-frame mmap of big blocks).
DEFAULT_TUNABLES = "glibc.malloc.trim_threshold=536870912:glibc.malloc.mmap_threshold=33554432"


def start_x_server(cores):
    """A private Xvfb on a free display number; returns (process, ":N")."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["taskset", "-c", cores, "Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number.decode().strip()


def run(command, env, cwd, cores):
    started = time.monotonic()
    done = subprocess.run(["taskset", "-c", cores] + command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=600)
    return started, done.stdout


def figure(pattern, output, what):
    found = re.search(pattern, output)
    if not found:
        raise RuntimeError("%s gave no figure:\n%s" % (what, output[-1500:].decode("utf-8", "replace")))
    return float(found.group(1))


def runner_rate(output_file):
    with open(output_file, "rb") as f:
        stamps = [float(x) for x in re.findall(rb"^(\d+(?:\.\d+)?)\s*$", f.read(), re.M)]
    os.remove(output_file)
    if len(stamps) < 2 or stamps[-1] <= stamps[0]:
        raise RuntimeError("the runner gave no timing: %s" % stamps)
    return COUNT * FRAMES / ((stamps[-1] - stamps[0]) / 1000.0)


def spread(values, unit):
    return "%s / %s / %s %s" % (fmt(min(values)), fmt(statistics.median(values)), fmt(max(values)), unit)


def fmt(value):
    return "%.0f" % value if value >= 100 else "%.1f" % value


def sprites(args, env, folder):
    game = os.path.join(folder, "sprites.win")
    subprocess.run([args.maker, game, str(COUNT)], check=True, timeout=60)
    output = os.path.join(folder, "out.txt")
    rates = {"LOVE": [], "runner": [], "raw GL": [], "raw GL, no blend": []}
    if args.other_runner:
        rates["other runner"] = []
    for _ in range(args.reps):
        _, out = run(["love", os.path.join(HERE, "love")], env, folder, args.cores)
        rates["LOVE"].append(figure(rb"sprites_per_second (\d+)", out, "LOVE"))
        run([args.runner, "-game", game, "-output", output], env, folder, args.cores)
        rates["runner"].append(runner_rate(output))
        if args.other_runner:
            run([args.other_runner, "-game", game, "-output", output], env, folder, args.cores)
            rates["other runner"].append(runner_rate(output))
        _, out = run([args.raw], env, folder, args.cores)
        rates["raw GL"].append(figure(rb"sprites_per_second (\d+)", out, "the raw GL program"))
        _, out = run([args.raw, "-noblend"], env, folder, args.cores)
        rates["raw GL, no blend"].append(figure(rb"sprites_per_second (\d+)", out, "the raw GL program"))
    print("sprites per second (%d sprites, %d frames), min / median / max of %d:" % (COUNT, FRAMES, args.reps))
    for name, values in rates.items():
        print("  %-16s %s" % (name, spread(values, "sprites/s")))
    median = {name: statistics.median(values) for name, values in rates.items()}
    print("  ratio runner / raw GL: %.2f (goal >= 0.95)" % (median["runner"] / median["raw GL"]))
    print("  ratio runner / LOVE:   %.2f (goal >= 1.3)" % (median["runner"] / median["LOVE"]))
    print("  ratio runner / raw GL, no blend: %.2f" % (median["runner"] / median["raw GL, no blend"]))


def startup(args, env, folder):
    game = os.path.join(folder, "startup.win")
    subprocess.run([args.maker, game, str(STARTUP_COUNT), "startup"], check=True, timeout=60)
    times = {"LOVE": [], "runner": [], "raw GL": []}
    if args.other_runner:
        times["other runner"] = []
    runner_env = dict(env, HV_FIRST_FRAME_STAMP="1")
    pattern = rb"first_frame_monotonic (\d+\.\d+)"
    for _ in range(args.reps):
        started, out = run(["love", os.path.join(HERE, "love"), "startup"], env, folder, args.cores)
        times["LOVE"].append((figure(pattern, out, "LOVE") - started) * 1000)
        started, out = run([args.runner, "-game", game], runner_env, folder, args.cores)
        times["runner"].append((figure(pattern, out, "the runner") - started) * 1000)
        if args.other_runner:
            started, out = run([args.other_runner, "-game", game], runner_env, folder, args.cores)
            times["other runner"].append((figure(pattern, out, "the other runner") - started) * 1000)
        started, out = run([args.raw, "-startup"], env, folder, args.cores)
        times["raw GL"].append((figure(pattern, out, "the raw GL program") - started) * 1000)
    print("start to first presented frame (one room, %d sprites), min / median / max of %d:" %
          (STARTUP_COUNT, args.reps))
    for name, values in times.items():
        print("  %-16s %s" % (name, spread(values, "ms")))
    median = {name: statistics.median(values) for name, values in times.items()}
    print("  ratio runner / LOVE time: %.2f (goal <= 1.0)" % (median["runner"] / median["LOVE"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--cores", default=",".join(str(c) for c in sorted(os.sched_getaffinity(0))))
    parser.add_argument("--only", choices=["sprites", "startup"])
    parser.add_argument("--other-runner", help="another runner program to time beside this one")
    parser.add_argument("--tunables", default=DEFAULT_TUNABLES, help="GLIBC_TUNABLES for every program")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    args.runner = os.path.join(build, "halvane-runner-bare")
    args.maker = os.path.join(build, "bench", "bench_make_sprite_game")
    args.raw = os.path.join(build, "bench", "bench_raw_gl_sprites")
    if args.other_runner:
        args.other_runner = os.path.abspath(args.other_runner)
    if not shutil.which("love") or not shutil.which("Xvfb"):
        print("skipped: needs love (Debian package \"love\") and Xvfb")
        return 0
    env = dict(os.environ)
    env.pop("WAYLAND_DISPLAY", None)
    env.setdefault("LIBGL_ALWAYS_SOFTWARE", "1")
    env.setdefault("GALLIUM_DRIVER", "llvmpipe")
    env.setdefault("LP_NUM_THREADS", str(len(args.cores.split(","))))
    env["ALSOFT_DRIVERS"] = "null"
    env["GLIBC_TUNABLES"] = args.tunables
    server, display = start_x_server(args.cores)
    env["DISPLAY"] = display
    try:
        with tempfile.TemporaryDirectory() as folder:
            env["XDG_DATA_HOME"] = os.path.join(folder, "data")
            env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
            env["HOME"] = folder
            print("cores %s, GLIBC_TUNABLES=%s, LP_NUM_THREADS=%s, load average %s" %
                  (args.cores, args.tunables, env["LP_NUM_THREADS"], open("/proc/loadavg").read().split()[:3]))
            if args.only in (None, "sprites"):
                sprites(args, env, folder)
            if args.only in (None, "startup"):
                startup(args, env, folder)
            print("load average at the end %s" % open("/proc/loadavg").read().split()[:3])
    finally:
        server.terminate()
        server.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
