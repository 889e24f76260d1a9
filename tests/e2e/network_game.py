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

from headless import report, run_headless, scratch


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with scratch() as folder:
        game = os.path.join(folder, "network.win")
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        subprocess.run([maker, game, str(port)], check=True, timeout=30)
        run = run_headless(runner, game, folder, timeout=60)
        expected = {"resolve": "127.0.0.1", "udp": "0", "config": "0", "destroy": "undefined",
                    "connect": "0", "sent": "15", "connect2": "0"}
        failures = run.load_failures() + run.answer_failures(expected)
        events = [line.split("=", 1)[1] for line in run.out.splitlines() if line.startswith("event=")]
        if events != ["1", "3", "1"]:
            failures.append("networking events: got %r, expected ['1', '3', '1']" % events)
    return report(failures, len(expected) + 2)


if __name__ == "__main__":
    sys.exit(main())
