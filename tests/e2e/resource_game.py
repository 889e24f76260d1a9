#!/usr/bin/env python3
"""Runs the resource built-in games (made by e2e_resource_game) headless and checks them.

Both versions must load: every resource built-in they name is known. The legacy version's room
creation code prints label lines, each followed by the value it read; the copy of the data-file
sprite it saved as dup.png is decoded here with zlib and must equal the sprite's rectangle of the
texture page this script wrote.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from headless import read, headless_env

PAGE_W, PAGE_H = 16, 12
RECT = (4, 2, 8, 6)  # x, y, width, height of the sprite on the page


def page_pixel(x, y):
    return (x * 16, y * 20, (x * 7 + y * 13) % 256, 255)


def png_chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, pixel):
    raw = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(png_chunk(b"IDAT", zlib.compress(raw)))
        f.write(png_chunk(b"IEND", b""))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def read_png(path):
    """Width, height and RGBA rows of an 8-bit RGBA, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour == 6 and interlace == 0, header
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], prev[i - 4] if i >= 4 else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]) & 0xFF
        rows.append(line)
        prev = line
    return width, height, rows


def run(maker, runner, folder, page, mode):
    game = os.path.join(folder, mode + ".win")
    subprocess.run([maker, game, page, mode], check=True, timeout=30)
    env = headless_env(folder, mode + "-")
    log, out = os.path.join(folder, mode + "-log.txt"), os.path.join(folder, mode + "-out.txt")
    done = subprocess.run([runner, "-game", game, "-headless", "-debugoutput", log, "-output", out],
                          cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return done.returncode, read(log) + read(out) + done.stdout.decode("utf-8", "replace"), env


def labelled(text):
    """{label: value} for each known label line and the line after it."""
    lines, values = text.splitlines(), {}
    for i, line in enumerate(lines[:-1]):
        values.setdefault(line, lines[i + 1])
    return values


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        page = os.path.join(folder, "page.png")
        write_png(page, PAGE_W, PAGE_H, page_pixel)
        for mode in ("legacy", "layer"):
            code, text, env = run(maker, runner, folder, page, mode)
            if code != 0 or "Unable to find function" in text or "done\n" not in text:
                failures.append("%s game did not load and run (%d): %r" % (mode, code, text[-800:]))
                continue
            if mode != "legacy":
                continue
            values = labelled(text)
            expected = {
                "first tile exists": 1, "second tile x": 10, "background 1 exists": 0,
                "tile of a missing background": -1,
                "obj_b descends from obj_a": 1, "obj_b index": 1, "obj_b type": 0, "script_execute": 42,
                "missing sprite width": -1, "missing font size": 0, "missing object parent": -1,
                "missing path duplicate": 0, "missing room duplicate": -1,
            }
            for label, want in expected.items():
                got = values.get(label)
                try:
                    ok = got is not None and float(got) == want
                except ValueError:
                    ok = False
                if not ok:
                    failures.append("%s: got %r, want %r" % (label, got, want))
            if values.get("obj_a parent before") != values.get("obj_a parent after"):
                failures.append("the refused parent changed obj_a's parent")
            ids = text.split("tile ids\n", 1)[-1].splitlines()[:2]
            if len(ids) != 2 or float(ids[1]) - float(ids[0]) != 1:
                failures.append("tile ids are not consecutive: %r" % ids)
            for message in ("Creating a cycle in the parent relation.", "Background does not exist.",
                            "Trying to execute non-existing script."):
                if message not in text:
                    failures.append("no report %r" % message)
            saved = os.path.join(env["XDG_DATA_HOME"], "resource_test", "dup.png")
            if not os.path.exists(saved):
                failures.append("sprite_save wrote no file: %r" % text[-800:])
                continue
            width, height, rows = read_png(saved)
            x0, y0, w, h = RECT
            if (width, height) != (w, h):
                failures.append("saved size %dx%d, want %dx%d" % (width, height, w, h))
            else:
                for y in range(h):
                    for x in range(w):
                        got = tuple(rows[y][x * 4:x * 4 + 4])
                        if got != page_pixel(x0 + x, y0 + y):
                            failures.append("pixel (%d, %d) is %r, want %r" % (x, y, got, page_pixel(x0 + x, y0 + y)))
                            break
    for failure in failures:
        print("FAIL:", failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
