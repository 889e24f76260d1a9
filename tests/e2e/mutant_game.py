#!/usr/bin/env python3
"""Runs mutants of a bytecode game (made by formpack and tools/asm) through the runner headless.

Mutants: single-bit flips of the "CODE" chunk (a fixed sample of them: each run starts the whole
runner, so all of them would take too long), every count field of "VARI", "FUNC", "OBJT",
"ROOM", "SPRT" and "TXTR" set to 0x0FFFFFFF and 0x7FFFFFFF, and every first-occurrence link of
"VARI" and "FUNC" set to -1. Each mutant must end on its own: a clean refusal, a run, or a
hang in the game's own code (cut by the time limit). A signal, a sanitizer report or the
headless crash line is a failure. HV_NO_CRASH_FILTER leaves crashes to the sanitizers.
"""
import concurrent.futures
import os
import random
import struct
import subprocess
import sys
import tempfile

FLIPS = int(os.environ.get("HV_MUTANT_FLIPS", "40"))
CRASH_SIGNS = ("AddressSanitizer", "runtime error:", "Exception detected", "LeakSanitizer")


def chunks(data):
    found, at = {}, 8
    while at + 8 <= len(data):
        tag = data[at:at + 4].decode("latin-1")
        length = struct.unpack_from("<I", data, at + 4)[0]
        found[tag] = (at + 8, length)
        at += 8 + length
    return found


def mutants(data):
    table = chunks(data)
    out = []
    if "CODE" in table:
        start, length = table["CODE"]
        bits = list(range(8 * length))
        random.Random(20261211).shuffle(bits)
        for bit in bits[:FLIPS]:
            m = bytearray(data)
            m[start + bit // 8] ^= 1 << (bit % 8)
            out.append(("CODE bit %d" % bit, bytes(m)))
    counts = {"VARI": (0, 4, 8), "FUNC": (0,), "OBJT": (0,), "ROOM": (0,), "SPRT": (0,), "TXTR": (0,)}
    for tag, fields in counts.items():
        if tag not in table or table[tag][1] < 12:
            continue
        start, _ = table[tag]
        for field in fields:
            for value in (0x0FFFFFFF, 0x7FFFFFFF):
                m = bytearray(data)
                struct.pack_into("<I", m, start + field, value)
                out.append(("%s word %d = %#x" % (tag, field // 4, value), bytes(m)))
    for tag, first, size, link in (("VARI", 12, 20, 16), ("FUNC", 4, 12, 8)):
        if tag not in table:
            continue
        start, length = table[tag]
        count = (length - first) // size if tag == "VARI" else struct.unpack_from("<I", data, start)[0]
        for entry in range(min(count, 16)):
            m = bytearray(data)
            struct.pack_into("<I", m, start + first + entry * size + link, 0xFFFFFFFF)
            out.append(("%s entry %d link -1" % (tag, entry), bytes(m)))
    return out


def run(runner, folder, index, name, data):
    work = os.path.join(folder, "m%d" % index)
    os.makedirs(work)
    game = os.path.join(work, "game.win")
    with open(game, "wb") as f:
        f.write(data)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_DATA_HOME"] = os.path.join(work, "data")
    env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    env["HV_NO_CRASH_FILTER"] = "1"
    errors = os.path.join(work, "err.txt")
    try:
        done = subprocess.run([runner, "-game", game, "-headless", "-noaudio", "-output", errors],
                              cwd=work, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=float(os.environ.get("HV_MUTANT_SECONDS", "20")))
    except subprocess.TimeoutExpired:
        return name, "hang", ""
    text = done.stderr.decode("utf-8", "replace") + done.stdout.decode("utf-8", "replace")
    if done.returncode < 0 or any(sign in text for sign in CRASH_SIGNS):
        return name, "crash", "exit %d: %s" % (done.returncode, text[-1500:])
    return name, "refused" if done.returncode != 0 else "ran", ""


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        original = os.path.join(folder, "game.win")
        subprocess.run([maker, original], check=True, timeout=30)
        with open(original, "rb") as f:
            data = f.read()
        cases = mutants(data)
        tally, crashes = {}, []
        with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
            jobs = [pool.submit(run, runner, folder, i, n, d) for i, (n, d) in enumerate(cases)]
            for job in jobs:
                name, outcome, detail = job.result()
                tally[outcome] = tally.get(outcome, 0) + 1
                if outcome == "crash":
                    crashes.append((name, detail))
        for name, detail in crashes:
            print("FAIL: %s crashed: %s" % (name, detail))
        print("%d mutants: %s" % (len(cases), ", ".join("%s %d" % kv for kv in sorted(tally.items()))))
        return 1 if crashes else 0


if __name__ == "__main__":
    sys.exit(main())
