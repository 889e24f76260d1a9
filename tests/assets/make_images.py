#!/usr/bin/env python3
"""Image fixtures for the decoder tests, made without the runner's own code.

  make_images.py make OUTDIR       writes every case as NAME.EXT plus NAME.rgba, the pixels
                                   the file should decode to
  make_images.py decode FILE OUT   writes FILE's pixels as Pillow reads them

A .rgba file is width and height (little-endian 32-bit) then RGBA bytes, rows top-down.
Expected pixels come from Pillow's own decode, except for the hand-made GIFs, whose pixels
follow from how they were built (Pillow composes a first frame smaller than the screen its
own way).
"""
import io
import struct
import sys
import zlib

from PIL import Image


def write_rgba(path, width, height, data):
    with open(path, "wb") as f:
        f.write(struct.pack("<II", width, height))
        f.write(bytes(data))


def pil_rgba(path):
    with Image.open(path) as im:
        im.load()
        if im.mode in ("I", "I;16", "I;16B"):  # 16-bit grey
            # Pillow has no 16-to-8-bit grey conversion that scales; take the high byte.
            grey = [v >> 8 for v in im.getdata()]
            out = Image.new("L", im.size)
            out.putdata(grey)
            im = out
        rgba = im.convert("RGBA")
        return rgba.size, rgba.tobytes()


# ---- PNG written by hand, for layouts Pillow does not write --------------------------------

def png_chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def pack_row(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def make_png(width, height, colour_type, depth, rows, interlace=False, extra=b""):
    """rows: lists of samples (channels already interleaved)."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    raw = bytearray()
    if not interlace:
        for row in rows:
            raw += b"\0" + pack_row(row, depth)
    else:
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                picked = []
                for x in range(x0, width, dx):
                    picked += row_pixel(rows[y], x, channels)
                if picked:
                    raw += b"\0" + pack_row(picked, depth)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlace else 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def row_pixel(row, x, channels):
    return row[x * channels:(x + 1) * channels]


def grey_rows(width, height, depth):
    top = (1 << depth) - 1
    return [[(x * 3 + y * 5) % (top + 1) for x in range(width)] for y in range(height)]


def rgba16_rows(width, height):
    # Samples of the form b * 257 reduce to b whether a decoder rounds or drops the low byte.
    return [[((x * 37 + y * 11 + c * 70) % 256) * 257 for x in range(width) for c in range(4)]
            for y in range(height)]


# ---- GIF written by hand --------------------------------------------------------------------

def lzw_literal(indices):
    """LZW data that only ever sends literal codes, clearing the table well before the code
    width would grow, so every decoder reads it the same way."""
    clear, end, width = 256, 257, 9
    codes = []
    for i, v in enumerate(indices):
        if i % 200 == 0:
            codes.append(clear)
        codes.append(v)
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for c in codes:
        acc |= c << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray([8])
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes(blocks + b"\0")


def colour_table(colours):
    size_bits = max(1, (len(colours) - 1).bit_length())
    padded = colours + [(0, 0, 0)] * ((1 << size_bits) - len(colours))
    return size_bits - 1, b"".join(bytes(c) for c in padded)


def make_gif(screen, global_map, images):
    flags, table = 0, b""
    if global_map:
        bits, table = colour_table(global_map)
        flags = 0x80 | 0x70 | bits
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", screen[0], screen[1], flags, 0, 0) + table)
    for im in images:
        if im.get("transparent") is not None:
            out += bytes([0x21, 0xF9, 4, 1, 0, 0, im["transparent"], 0])
        local_flags, local = 0, b""
        if im.get("local_map"):
            bits, local = colour_table(im["local_map"])
            local_flags = 0x80 | bits
        out += b"\x2c" + struct.pack("<HHHHB", im["left"], im["top"], im["w"], im["h"], local_flags) + local
        out += lzw_literal(im["indices"])
    return bytes(out + b"\x3b")


def compose_gif(screen, global_map, first):
    """What a GIF shows of its first image: transparent outside it, the image's own map inside."""
    w, h = screen
    data = bytearray(w * h * 4)
    colours = first.get("local_map") or global_map
    for y in range(first["h"]):
        for x in range(first["w"]):
            cx, cy = first["left"] + x, first["top"] + y
            if cx >= w or cy >= h:
                continue
            index = first["indices"][y * first["w"] + x]
            r, g, b = colours[index]
            a = 0 if index == first.get("transparent") else 255
            data[(cy * w + cx) * 4:(cy * w + cx) * 4 + 4] = bytes((r, g, b, a))
    return data


# ---- the cases --------------------------------------------------------------------------------

def pattern(width, height, mode):
    im = Image.new(mode, (width, height))
    bands = len(im.getbands())
    im.putdata([tuple((x * 29 + y * 13 + c * 61) % 256 for c in range(bands)) if bands > 1
                else (x * 29 + y * 13) % 256 for y in range(height) for x in range(width)])
    return im


def photo(width, height):
    # Smooth colours, as JPEG expects: exact sameness of two decoders is the point, not the picture.
    im = Image.new("RGB", (width, height))
    im.putdata([((x * 255) // width, (y * 255) // height, ((x + y) * 127) // (width + height))
                for y in range(height) for x in range(width)])
    return im


def palette_image(width, height, colours, bits=None):
    im = Image.new("P", (width, height))
    flat = [v for c in colours for v in c]
    im.putpalette(flat + [0] * (768 - len(flat)))
    im.putdata([(x + y * 3) % len(colours) for y in range(height) for x in range(width)])
    return im


def make_all(outdir):
    files = {}

    def save(name, im, fmt, **options):
        buf = io.BytesIO()
        im.save(buf, fmt, **options)
        files[name] = buf.getvalue()

    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (12, 34, 56), (200, 100, 50)]

    save("rgb8.png", pattern(13, 7, "RGB"), "PNG")
    save("rgba8.png", pattern(13, 7, "RGBA"), "PNG")
    save("palette_trns.png", palette_image(11, 5, colours), "PNG", transparency=bytes([0, 128, 255, 7]))
    save("palette4.png", palette_image(9, 4, colours), "PNG", bits=4)
    save("rgb_key.png", pattern(10, 6, "RGB"), "PNG", transparency=(0, 0, 0))
    save("grey1.png", pattern(19, 5, "L").point(lambda v: 255 if v > 127 else 0).convert("1"), "PNG")
    save("grey8.png", pattern(10, 6, "L"), "PNG")
    save("grey_alpha8.png", pattern(10, 6, "LA"), "PNG")
    grey16 = Image.new("I;16", (7, 5))
    grey16.putdata([((x * 40 + y * 9) % 256) * 257 for y in range(5) for x in range(7)])
    save("grey16.png", grey16, "PNG")
    files["grey2.png"] = make_png(11, 5, 0, 2, grey_rows(11, 5, 2))
    files["grey4.png"] = make_png(9, 6, 0, 4, grey_rows(9, 6, 4))
    files["rgba16.png"] = make_png(6, 5, 6, 16, rgba16_rows(6, 5))
    rgba = pattern(17, 11, "RGBA")
    rgba_rows = [list(rgba.crop((0, y, 17, y + 1)).tobytes()) for y in range(11)]
    files["interlaced_rgba8.png"] = make_png(17, 11, 6, 8, rgba_rows, interlace=True)
    files["interlaced_grey4.png"] = make_png(13, 9, 0, 4, grey_rows(13, 9, 4), interlace=True)
    plte = png_chunk(b"PLTE", b"".join(bytes(c) for c in colours[:4]))
    trns = png_chunk(b"tRNS", bytes([255, 0, 90]))
    files["interlaced_palette2.png"] = make_png(
        10, 10, 3, 2, [[(x + y) % 4 for x in range(10)] for y in range(10)], interlace=True, extra=plte + trns)

    save("colour.jpg", photo(40, 24), "JPEG", quality=90)
    save("grey.jpg", pattern(21, 13, "L"), "JPEG", quality=95)
    save("grey_flat.jpg", Image.new("L", (16, 16), 0x40), "JPEG", quality=95)
    save("progressive.jpg", photo(33, 27), "JPEG", quality=85, progressive=True)
    save("cmyk.jpg", photo(16, 16).convert("CMYK"), "JPEG", quality=95)

    gif_im = palette_image(20, 18, colours)
    save("pil_transparent.gif", gif_im, "GIF", transparency=3)

    save("rgb24.bmp", pattern(5, 3, "RGB"), "BMP")  # 15-byte rows padded to 16
    save("palette8.bmp", palette_image(7, 3, colours), "BMP")
    save("mono1.bmp", pattern(13, 4, "L").point(lambda v: 255 if v > 127 else 0).convert("1"), "BMP")

    for name, data in files.items():
        path = f"{outdir}/{name}"
        with open(path, "wb") as f:
            f.write(data)
        size, pixels = pil_rgba(path)
        write_rgba(f"{outdir}/{name.rsplit('.', 1)[0]}.rgba", size[0], size[1], pixels)

    # GIFs whose first image is small and placed, with its own colour map; a second image and
    # the global map must not show.
    red = [(255, 0, 0)] * 4
    local = [(10, 20, 30), (40, 50, 60), (70, 80, 90), (100, 110, 120), (130, 140, 150)]
    first = {"left": 3, "top": 2, "w": 4, "h": 3, "indices": [i % 5 for i in range(12)], "local_map": local,
             "transparent": 3}
    second = {"left": 0, "top": 0, "w": 9, "h": 7, "indices": [0] * 63}
    gifs = {
        "local_map.gif": ((9, 7), red, [first, second]),
        "no_global_map.gif": ((9, 7), None, [first]),
        "clipped.gif": ((5, 4), red, [first]),  # the image runs past the screen's edge
    }
    for name, (screen, global_map, images) in gifs.items():
        with open(f"{outdir}/{name}", "wb") as f:
            f.write(make_gif(screen, global_map, images))
        write_rgba(f"{outdir}/{name[:-4]}.rgba", screen[0], screen[1], compose_gif(screen, global_map, images[0]))


def main():
    if sys.argv[1] == "make":
        make_all(sys.argv[2])
    elif sys.argv[1] == "decode":
        size, pixels = pil_rgba(sys.argv[2])
        write_rgba(sys.argv[3], size[0], size[1], pixels)


if __name__ == "__main__":
    main()
