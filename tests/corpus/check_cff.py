#!/usr/bin/python3
"""Checks the CFF reader against fontTools on every CFF-flavoured OpenType font given.

    check_cff.py --dump BIN [FONT...]   check the fonts (all of --list when none given)
    check_cff.py --list                 print the fonts to check, one a line

The fonts are the CFF-flavoured OpenType files ('OTTO') under /usr/share/fonts (the URW
base 35 fonts and unifont's .otf files, among others). BIN (cff_dump) prints, for each glyph, its name and its box in font units. fontTools is
the oracle: the glyph order gives the names, and BoundsPen the exact bounds of each
outline (curve extremes included), rounded outward; a glyph without an outline has the
box 0 0 0 0. Every difference is printed; the exit status is 1 when there is any.

FreeType's CFF loader gives whole font units for every outline point, dropping the
fractions that some charstrings have (Inconsolata's, for one). For a glyph with such
points the box may therefore differ from the exact one by at most one unit; those glyphs
are counted apart. Glyphs with whole-unit points must match exactly.
"""

import argparse
import logging
import math
import os
import subprocess
import sys

from fontTools.pens.boundsPen import BoundsPen
from fontTools.ttLib import TTFont


FONT_ROOT = "/usr/share/fonts"


def cff_fonts():
    found = []
    for root, _, files in os.walk(FONT_ROOT):
        for name in files:
            path = os.path.join(root, name)
            if name.lower().endswith(".otf") and not os.path.islink(path):
                with open(path, "rb") as f:
                    if f.read(4) == b"OTTO":
                        found.append(path)
    return sorted(found)


class FractionPen(BoundsPen):
    """BoundsPen that also notes whether any point has a fractional coordinate."""

    def __init__(self, glyphs):
        super().__init__(glyphs)
        self.fractional = False

    def _note(self, points):
        for x, y in points:
            if x != int(x) or y != int(y):
                self.fractional = True

    def _moveTo(self, pt):
        self._note([pt])
        super()._moveTo(pt)

    def _lineTo(self, pt):
        self._note([pt])
        super()._lineTo(pt)

    def _curveToOne(self, *pts):
        self._note(pts)
        super()._curveToOne(*pts)

    def _qCurveToOne(self, *pts):
        self._note(pts)
        super()._qCurveToOne(*pts)


def expected(path):
    """(gid, name, box, fractional) for every glyph, from fontTools."""
    font = TTFont(path)
    glyphs = font.getGlyphSet()
    for gid, name in enumerate(font.getGlyphOrder()):
        pen = FractionPen(glyphs)
        glyphs[name].draw(pen)
        if pen.bounds is None:
            box = (0, 0, 0, 0)
        else:
            x0, y0, x1, y1 = pen.bounds
            box = (math.floor(x0), math.floor(y0), math.ceil(x1), math.ceil(y1))
        yield gid, name, box, pen.fractional


def check(dump, path):
    run = subprocess.run([dump, path], capture_output=True, text=True)
    if run.returncode != 0:
        print("%s: cff_dump failed: %s" % (path, run.stderr.strip()))
        return 1
    got = [line.split() for line in run.stdout.splitlines()]
    want = list(expected(path))
    wrong = near = 0
    for (gid, name, box, fractional), line in zip(want, got):
        got_name, got_box = line[1], tuple(int(v) for v in line[2:6])
        close = all(abs(a - b) <= 1 for a, b in zip(box, got_box))
        if got_name == name and (got_box == box or (fractional and close)):
            near += got_box != box
            continue
        wrong += 1
        if wrong <= 20:
            print("%s: glyph %d: fontTools %s %s, cff_dump %s %s"
                  % (path, gid, name, box, got_name, got_box))
    if len(got) != len(want):
        print("%s: %d glyphs from fontTools, %d from cff_dump" % (path, len(want), len(got)))
    print("%s: %d glyphs, %d differ, %d with fractional points within one unit"
          % (path, len(want), wrong, near))
    return 1 if wrong or len(got) != len(want) else 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dump")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("fonts", nargs="*")
    args = ap.parse_args()
    logging.getLogger("fontTools").setLevel(logging.ERROR)  # its notes on odd fonts
    if args.list:
        print("\n".join(cff_fonts()))
        return 0
    fonts = args.fonts or cff_fonts()
    if not args.dump or not fonts:
        ap.error("--dump BIN and at least one CFF font are needed")
    failed = 0
    for path in fonts:
        failed |= check(args.dump, path)
    return failed


if __name__ == "__main__":
    sys.exit(main())
