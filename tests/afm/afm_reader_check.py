#!/usr/bin/env python3
"""Reads the AFM text that `kestrix FONT font P E afm` writes with fontTools' AFM reader
and checks its metrics against the font as fontTools' own TrueType reader sees it.

Usage: afm_reader_check.py [--tex] KESTRIX FONT PLATFORM ENCODING

With --tex the text comes from `texafm`, whose character lines afmLib reads as written
(a code from 256 up gives a C -1 line to a glyph no lower code reached), whose Ascender and
Descender must be the hhea values, and whose glyph names are fontTools' spellings of the
standard Macintosh names, or uniXXXX of the glyph's lowest Unicode code where the post table
names none; kern pairs whose value comes to 0 are left out.

fontTools.afmLib only knows character lines in the order "C code ; WX w ; N name ; B ...",
while AFM lets the keys after the code come in any order and also has hexadecimal CH
codes. Each character line is therefore put into afmLib's order first (a line that is not
exactly of the expected form fails the check); everything else goes to afmLib as written.
Exit status 0 when every check passes; the failures are listed otherwise.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

from fontTools import afmLib
from fontTools.ttLib import TTFont
from fontTools.ttLib.standardGlyphOrder import standardGlyphOrder

CHAR_LINE = re.compile(
    r"(?:CH <(?P<hex>[0-9a-f]{4})>|C (?P<dec>-1)) ; N (?P<name>\S+) ; "
    r"WX (?P<wx>-?\d+) ; B (?P<box>-?\d+ -?\d+ -?\d+ -?\d+) ;"
)


def afm_scale(value, units_per_em):
    """Font units to thousandths of an em, rounding half away from zero."""
    magnitude = (abs(value) * 1000 + units_per_em // 2) // units_per_em
    return -magnitude if value < 0 else magnitude


def to_afmlib_order(text, failures):
    """Character lines in afmLib's key order; the number of CH lines."""
    lines, ch_lines = [], 0
    for line in text.splitlines():
        if line.startswith("C"):
            m = CHAR_LINE.fullmatch(line)
            if line.startswith(("C ", "CH ")) and m is None:
                failures.append("malformed character line: " + line)
                continue
            if m is not None:
                code = int(m["hex"], 16) if m["hex"] else -1
                ch_lines += m["hex"] is not None
                line = "C %d ; WX %s ; N %s ; B %s ;" % (code, m["wx"], m["name"], m["box"])
        lines.append(line)
    return "\n".join(lines) + "\n", ch_lines


def read_afm(text, failures):
    ordered, ch_lines = to_afmlib_order(text, failures)
    with tempfile.NamedTemporaryFile("w", suffix=".afm", delete=False) as f:
        f.write(ordered)
        path = f.name
    try:
        return afmLib.AFM(path), ch_lines
    finally:
        os.unlink(path)


# fontTools' list of the 258 standard Macintosh names, with the entries where published
# lists disagree set to the names kestrix uses.
MAC_NAMES = list(standardGlyphOrder)
MAC_NAMES[151], MAC_NAMES[159], MAC_NAMES[168], MAC_NAMES[172] = "mu1", "Ohm", "increment", "nbspace"
MAC_NAMES[210], MAC_NAMES[218], MAC_NAMES[250], MAC_NAMES[257] = "applelogo", "overscore", "Idot", "dmacron"


class PostNames:
    """Glyph names straight from the post table's bytes, with no renaming of duplicates
    (fontTools makes names unique; the AFM text gives every glyph its name as stored)."""

    def __init__(self, data, mac_names=None):
        self.mac_names = mac_names or MAC_NAMES
        self.version, = struct.unpack(">I", data[:4])
        self.indices, self.names = [], []
        if self.version == 0x00020000:
            count, = struct.unpack(">H", data[32:34])
            self.indices = list(struct.unpack(">%dH" % count, data[34:34 + 2 * count]))
            at = 34 + 2 * count
            while at < len(data):
                length = data[at]
                self.names.append(data[at + 1:at + 1 + length].decode("ascii"))
                at += 1 + length

    def __call__(self, glyph):
        if glyph == 0:
            return ".notdef"
        if self.version == 0x00010000 and glyph < 258:
            return self.mac_names[glyph]
        if self.version == 0x00020000 and glyph < len(self.indices):
            index = self.indices[glyph]
            if index < 258:
                return self.mac_names[index]
            if index - 258 < len(self.names):
                return self.names[index - 258]
        return ".glyphindex%04x" % glyph

    def named_glyphs(self):
        return len(self.indices)


class TexNames(PostNames):
    """texafm's names: fontTools' spelling of the standard names; for a glyph the post table
    leaves unnamed, uniXXXX of the lowest code the Unicode subtable maps to it."""

    def __init__(self, data, unicode_cmap):
        super().__init__(data, list(standardGlyphOrder))
        self.lowest = {}
        for code, glyph in sorted(unicode_cmap.items()):
            self.lowest.setdefault(glyph, code)

    def __call__(self, glyph):
        name = super().__call__(glyph)
        if name.startswith(".glyphindex") and glyph in self.lowest:
            return "uni%04X" % self.lowest[glyph]
        return name


def tex_alias_code(name):
    """The one code the Adobe Glyph List gives a name (the f-ligatures their presentation
    forms, dotlessj U+0237), or None."""
    from fontTools import agl
    special = {"ff": 0xFB00, "fi": 0xFB01, "fl": 0xFB02, "ffi": 0xFB03, "ffl": 0xFB04,
               "dotlessj": 0x0237}
    if name in special:
        return special[name]
    text = agl.toUnicode(name)
    return ord(text) if len(text) == 1 else None


def glyph_box(font, name):
    glyph = font["glyf"][name]
    if not hasattr(glyph, "xMin"):  # no outline
        return (0, 0, 0, 0)
    return (glyph.xMin, glyph.yMin, glyph.xMax, glyph.yMax)


def english_name(font, platform, encoding, name_id):
    """English: language 0 for Macintosh records, 0x409 for the others."""
    language = 0 if platform == 1 else 0x409
    record = font["name"].getName(name_id, platform, encoding, language)
    return None if record is None else record.toUnicode()


def check(kestrix, font_path, platform, encoding, tex=False):
    failures = []

    def expect(what, got, want):
        if got != want:
            failures.append("%s: AFM has %r, font gives %r" % (what, got, want))

    command = "texafm" if tex else "afm"
    run = subprocess.run([kestrix, font_path, "font", str(platform), str(encoding), command],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return ["kestrix failed (%d): %s" % (run.returncode, run.stderr)]
    if tex:
        with tempfile.NamedTemporaryFile("w", suffix=".afm", delete=False) as f:
            f.write(run.stdout)
        try:
            afm = afmLib.AFM(f.name)
        finally:
            os.unlink(f.name)
        char_lines = re.findall(r"^C (-?\d+) ;", run.stdout, re.M)
        ch_lines = sum(int(c) >= 0 for c in char_lines)
    else:
        afm, ch_lines = read_afm(run.stdout, failures)
        char_lines = re.findall(r"^CH? ", run.stdout, re.M)
    declared = re.search(r"^StartCharMetrics (\d+)$", run.stdout, re.M)
    expect("StartCharMetrics", declared and int(declared[1]), len(char_lines))

    font = TTFont(font_path)
    upem = font["head"].unitsPerEm
    scale = lambda v: afm_scale(v, upem)  # noqa: E731
    name_of = PostNames(font.getTableData("post"))
    best = font["cmap"].getBestCmap() or {}
    if tex:
        name_of = TexNames(font.getTableData("post"),
                           {c: font.getGlyphID(n) for c, n in best.items()})

    # Header values.
    head, post = font["head"], font["post"]
    expect("FontBBox", afm.FontBBox, tuple(scale(v) for v in
                                          (head.xMin, head.yMin, head.xMax, head.yMax)))
    expect("UnderlinePosition", afm.UnderlinePosition, scale(post.underlinePosition))
    expect("UnderlineThickness", afm.UnderlineThickness, scale(post.underlineThickness))
    expect("ItalicAngle", float(afm.ItalicAngle), round(post.italicAngle, 2))
    expect("IsFixedPitch", afm._attrs.get("IsFixedPitch"), "true" if post.isFixedPitch else None)
    for keyword, name_id in (("FontName", 6), ("FullName", 4), ("FamilyName", 1),
                             ("Weight", 2), ("Version", 5)):
        want = english_name(font, platform, encoding, name_id)
        got = afm._attrs.get(keyword)
        expect(keyword, None if got is None else str(got), want)

    # The glyph of each code, and every named glyph that no code reaches, but .notdef.
    cmap = font["cmap"].getcmap(platform, encoding).cmap
    glyph_of_code = {code: font.getGlyphID(name) for code, name in cmap.items()}
    glyph_of_code = {c: g for c, g in glyph_of_code.items() if c != 0xFFFF and g != 0}
    encoded = set(glyph_of_code.values())
    unencoded = {}
    for g in range(1, name_of.named_glyphs()):
        if g not in encoded:
            unencoded.setdefault(name_of(g), g)
    if tex:
        expect("Ascender", afm._attrs.get("Ascender"), scale(font["hhea"].ascent))
        expect("Descender", afm._attrs.get("Descender"), scale(font["hhea"].descent))
        glyph_of_code = {c: g for c, g in glyph_of_code.items() if c < 256}
        # Names are unique: a line that would repeat a name (a second code of a glyph, a
        # glyph whose post name another has) takes a uni or .glyphindex name instead.
        names = {name_of(g) for g in encoded} | set(unencoded)
        extra = {n for n in set(afm._chars) - names
                 if not n.startswith(("uni", ".glyphindex")) and tex_alias_code(n) is None}
        expect("glyph names beyond the font's", extra, set())
        expect("number of names", len(afm._chars), len(char_lines))
    else:
        expect("glyph names", set(afm._chars),
               {name_of(g) for g in encoded} | set(unencoded))
    expect("number of CH lines", ch_lines, len(glyph_of_code))

    # Widths and boxes. afmLib keeps one line per name (the last); its code tells the glyph.
    order = font.getGlyphOrder()
    hmtx = font["hmtx"]
    glyph_of_name = dict(unencoded)
    for g in sorted(encoded, reverse=True):
        glyph_of_name[name_of(g)] = g
    for name, (code, width, box) in afm._chars.items():
        if code >= 0:
            g = glyph_of_code.get(code)
        else:
            g = (glyph_of_name if tex else unencoded).get(name)
            if g is None and tex and name.startswith(".glyphindex"):
                g = int(name[11:15], 16)
            if g is None and tex and tex_alias_code(name) is not None:
                # A second line under the name TeX's encodings give the glyph's code.
                g = font.getGlyphID(best.get(tex_alias_code(name), ".notdef"))
        if g is None:
            failures.append("%s: code %d maps to no glyph" % (name, code))
            continue
        if not tex:
            expect("glyph %d name" % g, name, name_of(g))
        expect(name + " WX", width, scale(hmtx[order[g]][0]))
        expect(name + " B", box, tuple(scale(v) for v in glyph_box(font, order[g])))

    # Horizontal kern pairs of format 0, by the names the AFM text uses.
    pairs = {}
    if "kern" in font:
        for table in font["kern"].kernTables:
            if getattr(table, "format", 0) == 0 and table.coverage & 0x07 == 0x01:
                for (left, right), value in table.kernTable.items():
                    key = (name_of(font.getGlyphID(left)), name_of(font.getGlyphID(right)))
                    if not tex or (scale(value) != 0 and key[0] in afm._chars
                                   and key[1] in afm._chars):
                        pairs.setdefault(key, scale(value))
    expect("number of kern pairs", len(afm._kerning), len(pairs))
    for key in sorted(set(pairs) | set(afm._kerning)):
        expect("KPX %s %s" % key, afm._kerning.get(key), pairs.get(key))
    return failures


def main():
    args = sys.argv[1:]
    tex = args[:1] == ["--tex"]
    if tex:
        args = args[1:]
    if len(args) != 4:
        print(__doc__)
        return 2
    kestrix, font_path = args[0], args[1]
    failures = check(kestrix, font_path, int(args[2]), int(args[3]), tex)
    for failure in failures[:40]:
        print(failure)
    print("%s %s.%s: %d failed" % (os.path.basename(font_path), args[2], args[3],
                                  len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
