#!/usr/bin/env python3
"""Reads a memory log on its own terms and prints one line per record.

  NAME <id> <name>
  ALLC 0x<address> <size> <scope name or -> <N> [<function>:<line> ...]
  FREE 0x<address>
  EVNT <text>

Any breach of the format (unknown tag, short record, an id used before its NAME record,
a frame count that disagrees with the record's length) ends the run with exit code 1.
"""
import struct
import sys


def fail(message):
    print("ERROR " + message)
    sys.exit(1)


def main(path):
    data = open(path, "rb").read()
    names = []
    offset = 0

    def name_of(name_id, where):
        if name_id == -1:
            return "-"
        if not 0 <= name_id < len(names):
            fail("%s uses name id %d before its NAME record" % (where, name_id))
        return names[name_id]

    while offset < len(data):
        if offset + 8 > len(data):
            fail("truncated record header at %d" % offset)
        tag = data[offset:offset + 4].decode("ascii", "replace")
        (length,) = struct.unpack_from("<I", data, offset + 4)
        payload = data[offset + 8:offset + 8 + length]
        if len(payload) != length:
            fail("%s record at %d runs past the end" % (tag, offset))
        offset += 8 + length

        if tag == "NAME":
            print("NAME %d %s" % (len(names), payload.decode("utf-8")))
            names.append(payload.decode("utf-8"))
        elif tag == "ALLC":
            if length < 24:
                fail("ALLC record of %d bytes" % length)
            high, low, size, zero, scope, count = struct.unpack_from("<IIIIii", payload, 0)
            if zero != 0:
                fail("ALLC word at offset 12 is %d" % zero)
            if count < 0 or length != 24 + 8 * count:
                fail("ALLC holds %d bytes for %d frames" % (length, count))
            frames = []
            for i in range(count):
                function_id, line = struct.unpack_from("<ii", payload, 24 + 8 * i)
                frames.append("%s:%d" % (name_of(function_id, "ALLC frame"), line))
            print(" ".join(["ALLC", "0x%x" % ((high << 32) | low), str(size),
                            name_of(scope, "ALLC scope"), str(count)] + frames))
        elif tag == "FREE":
            if length != 8:
                fail("FREE record of %d bytes" % length)
            high, low = struct.unpack_from("<II", payload, 0)
            print("FREE 0x%x" % ((high << 32) | low))
        elif tag == "EVNT":
            print("EVNT " + payload.decode("utf-8"))
        else:
            fail("unknown tag %r at %d" % (tag, offset - 8 - length))


if __name__ == "__main__":
    main(sys.argv[1])
