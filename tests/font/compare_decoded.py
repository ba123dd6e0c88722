#!/usr/bin/python3
"""Compares an sfnt decoded by kestrix with fontTools' reading of the same font.

    compare_decoded.py tables ORIGINAL DECODED
        every table of ORIGINAL (a TrueType/OpenType file) is in DECODED with the same
        bytes; glyf, loca and head (which WOFF2 rebuilds) are compared as fontTools
        decompiles them: every glyph's outline and instructions, and every head field
        but checkSumAdjustment and the flags bit a WOFF2 encoder sets.
    compare_decoded.py face COLLECTION INDEX DECODED
        DECODED holds exactly the tables of font INDEX of COLLECTION, byte for byte, as
        fontTools' TTCollection reads them.
Prints each difference; exit status 1 when there is any.
"""

import sys

from fontTools.ttLib import TTCollection, TTFont

REBUILT = {"glyf", "loca", "head"}


def outline(glyph, glyf):
    glyph.expand(glyf)
    if glyph.isComposite():
        return ("composite", [(c.glyphName, c.x, c.y, c.flags & 0x0003) for c in glyph.components])
    if glyph.numberOfContours == 0:
        return ("empty",)
    coords, ends, flags = glyph.getCoordinates(glyf)
    program = glyph.program.getBytecode() if hasattr(glyph, "program") else b""
    return ("simple", list(coords), list(ends), [f & 1 for f in flags], program,
            (glyph.xMin, glyph.yMin, glyph.xMax, glyph.yMax))


def compare_rebuilt(tag, a, b):
    if tag == "loca":
        return []  # follows from glyf
    if tag == "head":
        fields = [k for k in vars(a[tag]) if k not in ("checkSumAdjustment", "flags", "tableTag")]
        wrong = [k for k in fields if getattr(a[tag], k) != getattr(b[tag], k)]
        if (a[tag].flags ^ b[tag].flags) & ~0x0800:
            wrong.append("flags")
        return ["head.%s" % k for k in wrong]
    ga, gb = a["glyf"], b["glyf"]
    return ["glyf: glyph %s" % n for n in a.getGlyphOrder()
            if outline(ga[n], ga) != outline(gb[n], gb)]


def compare_tables(original, decoded):
    a, b = TTFont(original), TTFont(decoded)
    problems = []
    if sorted(a.reader.keys()) != sorted(b.reader.keys()):
        problems.append("tables %s, decoded %s" % (sorted(a.reader.keys()), sorted(b.reader.keys())))
    for tag in a.reader.keys():
        if tag not in b.reader or a.reader[tag] == b.reader[tag]:
            continue
        if tag in REBUILT:
            problems += compare_rebuilt(tag, a, b)
        else:
            problems.append("table %s differs" % tag)
    return problems


def compare_face(collection, index, decoded):
    a = TTCollection(collection).fonts[index]
    b = TTFont(decoded)
    problems = []
    if sorted(a.reader.keys()) != sorted(b.reader.keys()):
        problems.append("tables %s, decoded %s" % (sorted(a.reader.keys()), sorted(b.reader.keys())))
    problems += ["table %s differs" % t for t in a.reader.keys()
                 if t in b.reader and a.reader[t] != b.reader[t]]
    return problems


def main():
    if sys.argv[1] == "tables":
        problems = compare_tables(sys.argv[2], sys.argv[3])
    else:
        problems = compare_face(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
