#!/usr/bin/env python3
"""Writes an encoding file for the glyphs of a TrueType font (format 2.0 post table):
glyphs 1 to LIMIT (default: all but .notdef), each named by its post name, glyph g at
code g, or with CODES given at code 1 + (g - 1) % CODES, so that codes repeat. Glyphs with
a standard Macintosh name are named by ".glyphindex" and their index, so no name table is
needed here. The lines come in descending code order.

usage: make_encoding.py font.ttf [LIMIT [CODES]] > out.enc"""
import struct
import sys


def post_names(data):
    num_tables = struct.unpack(">H", data[4:6])[0]
    for i in range(num_tables):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        if tag == b"post":
            break
    else:
        sys.exit("no post table")
    post = data[offset:offset + length]
    if struct.unpack(">I", post[:4])[0] != 0x00020000:
        sys.exit("post table is not format 2.0")
    count = struct.unpack(">H", post[32:34])[0]
    indices = struct.unpack(">%dH" % count, post[34:34 + 2 * count])
    custom, p = [], 34 + 2 * count
    while p < len(post):
        n = post[p]
        custom.append(post[p + 1:p + 1 + n].decode("latin-1"))
        p += 1 + n
    return [None if index < 258 else custom[index - 258] for index in indices]


def main():
    names = post_names(open(sys.argv[1], "rb").read())
    last = int(sys.argv[2]) if len(sys.argv) > 2 else len(names) - 1
    codes = int(sys.argv[3]) if len(sys.argv) > 3 else last
    out = ["StartCharMetrics %d\n" % last]
    for g in range(last, 0, -1):
        code = 1 + (g - 1) % codes
        out.append("CH <%04x> ; N %s ;\n" % (code, names[g] or ".glyphindex%04x" % g))
    out.append("EndCharMetrics\n")
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
