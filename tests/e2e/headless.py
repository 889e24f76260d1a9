"""What the end-to-end scripts share: the private environment of a headless runner and its logs."""
import os
import subprocess
import tempfile


def read(path):
    """The text of a log the runner wrote; empty when it wrote none."""
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def headless_env(folder, prefix=""):
    """No display, and per-user folders inside the test's own folder."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_DATA_HOME"] = os.path.join(folder, prefix + "data")
    env["XDG_CONFIG_HOME"] = os.path.join(folder, prefix + "config")
    return env


def scratch():
    """A temporary folder for one test, under HV_TEST_TMP when that is set."""
    base = os.environ.get("HV_TEST_TMP")
    if base:
        os.makedirs(base, exist_ok=True)
    return tempfile.TemporaryDirectory(dir=base)


class HeadlessRun:
    """One headless run of a game: its exit code, output console, debug log and the
    "key=value" lines of the output as a dictionary."""

    def __init__(self, returncode, out, log):
        self.returncode, self.out, self.log = returncode, out, log
        self.answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)

    def load_failures(self):
        """A game that names a missing built-in is refused at load; one that ran ends with 0."""
        if self.returncode != 0 or "Unable to find function" in self.out + self.log:
            return ["the game did not load and run (exit %d): %r" % (self.returncode, self.out[-800:])]
        return []

    def answer_failures(self, expected, label=""):
        return ["%s%s: got %r, expected %r" % (label, key, self.answers.get(key), value)
                for key, value in expected.items() if self.answers.get(key) != value]


def run_headless(runner, game, folder, env=None, timeout=30, prefix=""):
    """Runs the game with -headless in the folder, its consoles written to files there."""
    log = os.path.join(folder, prefix + "log.txt")
    out = os.path.join(folder, prefix + "err.txt")
    done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", out], cwd=folder,
                          env=env if env is not None else headless_env(folder), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout)
    return HeadlessRun(done.returncode, read(out), read(log))


def report(failures, checks):
    """Prints the failures and a count; the exit code of the test."""
    for failure in failures:
        print("FAIL:", failure)
    print("%d checks, %d failed" % (checks, len(failures)))
    return 1 if failures else 0
