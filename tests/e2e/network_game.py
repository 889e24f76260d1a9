#!/usr/bin/env python3
"""Runs the network game headless and checks that it loads and runs.

The game names every network built-in, so it loads only when all of them are registered; its
room creation code resolves "localhost", makes a UDP socket, turns reliable UDP on for it and
destroys it, printing each answer. Then it opens a server on a free loopback port, connects a
client that sends a packet, and connects a second client: an instance with the networking
event sees the first login, the packet and the second login, in that order.
"""
import os
import socket
import subprocess
import sys
import tempfile

from headless import read, headless_env


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    if os.environ.get("HV_TEST_TMP"):
        os.makedirs(os.environ["HV_TEST_TMP"], exist_ok=True)
    failures = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "network.win")
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        subprocess.run([maker, game, str(port)], check=True, timeout=30)
        log, errors = os.path.join(folder, "log.txt"), os.path.join(folder, "err.txt")
        done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", errors],
                              cwd=folder, env=headless_env(folder), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=60)
        out = read(errors)
        answers = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        if done.returncode != 0 or "Unable to find function" in out + read(log):
            failures.append("did not load and run (exit %d): %r" % (done.returncode, out[-800:]))
        expected = {"resolve": "127.0.0.1", "udp": "0", "config": "0", "destroy": "undefined",
                    "connect": "0", "sent": "15", "connect2": "0"}
        events = [line.split("=", 1)[1] for line in out.splitlines() if line.startswith("event=")]
        if events != ["1", "3", "1"]:
            failures.append("networking events: got %r, expected ['1', '3', '1']" % events)
        for key, value in expected.items():
            if answers.get(key) != value:
                failures.append("%s: got %r, expected %r" % (key, answers.get(key), value))
    for failure in failures:
        print("FAIL:", failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
