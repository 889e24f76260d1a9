#!/usr/bin/env python3
"""Runs a game drawn through two views onto a letterboxed application surface, in a window on a
private X server, and checks the screen the game saved from its GUI event.

The 400 x 300 application surface is shown at (100, 0) with size 800 x 600 in the 1000 x 600
window: the bars at either side keep the window colour (black), the room colour (blue) fills
both views, and each instance's red square appears where its view's port puts it (view 0 shows
the room's left half in the right port, view 1 the right half in the left port).
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB or RGBA PNG that is not interlaced."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("unsupported PNG layout %r" % (header,))
    bpp = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def find(folder, name):
    for root, _, files in os.walk(folder):
        if name in files:
            return os.path.join(root, name)
    return None


RED, BLUE, BLACK = (255, 0, 0), (0, 0, 255), (0, 0, 0)
CHECKS = [
    ((50, 300), BLACK, "left bar"),
    ((950, 300), BLACK, "right bar"),
    ((700, 200), RED, "view 0's square in the right port"),
    ((300, 400), RED, "view 1's square in the left port"),
    ((300, 200), BLUE, "no square where an unswapped view would put it"),
    ((500, 50), BLUE, "room colour in view 0"),
    ((150, 550), BLUE, "room colour in view 1"),
    ((101, 300), BLUE, "the surface begins at x 100"),
    ((898, 300), BLUE, "and ends at x 900"),
]


def main():
    maker, runner = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(dir=os.environ.get("HV_TEST_TMP")) as folder:
        game = os.path.join(folder, "views.win")
        subprocess.run([maker, game], check=True, timeout=30)
        env = dict(os.environ)
        env.pop("WAYLAND_DISPLAY", None)
        env["XDG_DATA_HOME"] = os.path.join(folder, "data")
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        command = [runner, "-game", game, "-debugoutput", os.path.join(folder, "log.txt"),
                   "-output", os.path.join(folder, "err.txt")]
        if not env.get("DISPLAY"):
            command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"] + command
        done = subprocess.run(command, cwd=folder, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=90)
        failures = []
        if done.returncode != 0:
            failures.append("the run ended with %d: %r" % (done.returncode, done.stderr[-600:]))
        shot = find(env["XDG_DATA_HOME"], "shot.png")
        if not shot:
            failures.append("the game saved no screenshot")
        else:
            width, height, rows = read_png(shot)
            if (width, height) != (1000, 600):
                failures.append("the screenshot is %dx%d, not 1000x600" % (width, height))
            else:
                for (x, y), expected, what in CHECKS:
                    if rows[y][x] != expected:
                        failures.append("%s: pixel (%d, %d) is %r, not %r" % (what, x, y, rows[y][x], expected))
        for failure in failures:
            print("FAIL:", failure)
        print("%d passed, %d failed" % (1 - min(1, len(failures)), min(1, len(failures))))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
