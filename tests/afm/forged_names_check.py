#!/usr/bin/env python3
"""Glyph names and command-line words that would forge AFM lines are written harmless.

Usage: forged_names_check.py KESTRIX

Builds, with fontTools, an OpenType font with CFF outlines whose charset names a glyph
"x ;" + newline + "KPX A B 999" (a kerning pair in a font without kerning) and another with
a byte above 0x7E, copies it to a file whose name holds a newline, and reads what `afm` and
`texafm` write for it: fontTools.afmLib must find no kerning, every glyph name must be
printable ASCII without blanks or ";" (in `afm`, X for each other byte, the rule post names
are read with, and for ";"; `texafm` names such glyphs uniXXXX after their code instead),
and the command line must stay on its Comment line. Exit status 0 when every check passes.
"""

import os
import re
import subprocess
import sys
import tempfile

from fontTools import afmLib
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen

FORGED = "x ;\nKPX A B 999"
NAMES = [".notdef", "space", "A", "B", FORGED, "caf\u00e9"]
CMAP = {0x20: "space", 0x41: "A", 0x42: "B", 0x78: FORGED, 0xE9: "caf\u00e9"}
# Each byte outside 0x21..0x7E, and each ";", becomes X.
WRITTEN = {FORGED: "xXXXKPXXAXBX999", "caf\u00e9": "cafX"}


def build_font(path):
    def square():
        pen = T2CharStringPen(500, None)
        pen.moveTo((0, 0))
        pen.lineTo((0, 700))
        pen.lineTo((400, 700))
        pen.closePath()
        return pen.getCharString()

    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(NAMES)
    fb.setupCharacterMap(CMAP)
    fb.setupCFF("Forged", {"FullName": "Forged"}, {n: square() for n in NAMES}, {})
    fb.setupHorizontalMetrics({n: (500, 0) for n in NAMES})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "Forged", "styleName": "Regular"})
    fb.setupOS2()
    fb.setupPost()
    fb.save(path)


def main():
    kestrix = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory(prefix="kestrix-forged-") as work:
        font = os.path.join(work, "new\nline.otf")
        build_font(font)
        for command in ("afm", "texafm"):
            words = [kestrix, font, "font", "3", "1", command]
            proc = subprocess.run(words, capture_output=True)
            if proc.returncode != 0:
                failures.append("%s: exit status %d" % (command, proc.returncode))
                continue
            text = proc.stdout.decode("latin-1")
            lines = text.split("\n")
            comment = "Comment " + " ".join(words).replace("\n", " ")
            if lines[2] != comment or not lines[3].startswith("Comment Encoding table"):
                failures.append("%s: the command line left its Comment line: %r"
                                % (command, lines[1:4]))
            names = re.findall(r"; N (\S*) ;", text)
            if command == "afm":
                wanted = sorted(WRITTEN.get(n, n) for n in NAMES[1:])
                if sorted(names) != wanted:
                    failures.append("%s: glyph names %r, not %r" % (command, names, wanted))
            else:
                wanted = sorted(names)
                unusable = [n for n in names if not re.fullmatch(r"[A-Za-z0-9._]+", n)]
                if unusable or "uni0078" not in names or "uni00E9" not in names:
                    failures.append("%s: glyph names %r" % (command, names))
            if any(line.startswith(("KPX", "StartKernData")) for line in lines):
                failures.append("%s: kerning in a font without kerning" % command)
            if command == "texafm":
                path = os.path.join(work, "forged.afm")
                with open(path, "w", encoding="latin-1") as f:
                    f.write(text)
                try:
                    afm = afmLib.AFM(path)
                except (UnicodeDecodeError, afmLib.error) as e:
                    failures.append("afmLib cannot read it: %s" % e)
                    continue
                if afm._kerning:
                    failures.append("afmLib reads kerning: %r" % afm._kerning)
                if sorted(afm._chars) != wanted:
                    failures.append("afmLib reads glyphs %r" % sorted(afm._chars))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
