#!/usr/bin/env python3
"""The runner as a person on Linux meets it: help and version, a clear word when there is no
game or the input recording cannot be used, "@" names left alone outside the game's folder, and
SIGTERM ending a runner that shows a message box within a second, its box process with it.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from headless import headless_env, read

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(command, folder, env, timeout=30):
    return subprocess.run(command, cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, text=True, errors="replace")


def information_options(runner, folder, env):
    for option in ("-help", "--help", "-h"):
        done = run([runner, option], folder, env)
        check(done.returncode == 0 and "Usage:" in done.stdout and "-game FILE" in done.stdout,
              "%s: exit %d, %r" % (option, done.returncode, done.stdout[:200]))
    done = run([runner, "--version"], folder, env)
    check(done.returncode == 0 and done.stdout.startswith("Pell Works Runner v"),
          "--version: exit %d, %r" % (done.returncode, done.stdout))


def failures_before_start(runner, folder, env, plain):
    empty = os.path.join(folder, "empty")
    os.mkdir(empty)
    done = run([runner, "-headless"], empty, env)
    check(done.returncode == 1 and "-game FILE" in done.stderr,
          "no game: exit %d, %r" % (done.returncode, done.stderr))
    bad = os.path.join(folder, "bad.rec")
    with open(bad, "wb") as f:
        f.write(b"abc")
    cases = [(["-playback", os.path.join(folder, "missing.rec")], "Cannot open the input recording"),
             (["-playback", bad], "Not an input recording"),
             (["-record", os.path.join(folder, "no", "such", "x.rec")], "Cannot write the input recording")]
    for extra, words in cases:
        done = run([runner, "-game", plain, "-headless"] + extra, folder, env)
        check(done.returncode == 1 and words in done.stderr,
              "%s: exit %d, %r" % (" ".join(extra), done.returncode, done.stderr))


def at_names_outside_the_game_folder(runner, folder, env, box):
    foreign = os.path.join(folder, "foreign")
    os.mkdir(foreign)
    name = os.path.join(foreign, "me@example.com.txt")
    with open(name, "w") as f:
        f.write("mail")
    run([runner, "-game", box, "-headless"], foreign, env)
    check(os.path.exists(name) and not os.path.exists(os.path.join(foreign, "me")),
          "an @ name in a foreign working folder was moved")


def children_of(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[1][0] != "Z"
    except OSError:
        return False


def sigterm_during_a_message_box(runner, folder, env, box):
    if shutil.which("Xvfb") is None:
        print("SKIP: no Xvfb for the message box")
        return
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x600x24", "-nolisten",
                               "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        display = os.read(read_end, 32).decode().strip()
        os.close(read_end)
        boxed = dict(env)
        boxed["DISPLAY"] = ":" + display
        output = os.path.join(folder, "box-output.txt")
        runner_process = subprocess.Popen([runner, "-game", box, "-output", output], cwd=folder, env=boxed,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while "the box comes next" not in read(output) and time.monotonic() < deadline:
            time.sleep(0.1)
        check("the box comes next" in read(output), "the game never reached its message box")
        time.sleep(0.5)  # the box is up, holding the game (its process too, where the toolkit forks one)
        check(runner_process.poll() is None, "the runner did not wait on its message box")
        shown = children_of(runner_process.pid)
        sent = time.monotonic()
        runner_process.send_signal(signal.SIGTERM)
        try:
            runner_process.wait(timeout=1.0)
        except subprocess.TimeoutExpired:
            runner_process.kill()
            runner_process.wait()
            failures.append("SIGTERM during a message box did not end the runner within a second")
        check(time.monotonic() - sent < 1.0, "the runner took more than a second to end")
        time.sleep(0.2)
        left = [pid for pid in shown if alive(pid)]
        check(not left, "the message box process outlived the runner: %r" % left)
        for pid in left:
            os.kill(pid, signal.SIGKILL)
    finally:
        server.terminate()
        server.wait(timeout=10)


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        subprocess.run([maker, folder], check=True, timeout=30)
        plain, box = os.path.join(folder, "plain.win"), os.path.join(folder, "box.win")
        env = headless_env(folder)
        information_options(runner, folder, env)
        failures_before_start(runner, folder, env, plain)
        at_names_outside_the_game_folder(runner, folder, env, box)
        sigterm_during_a_message_box(runner, folder, env, box)
    for failure in failures:
        print("FAIL:", failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
