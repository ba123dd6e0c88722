#!/usr/bin/python3
"""Checks cmap format 2 (the high-byte mapping of two-byte encodings) against fontTools.

    cmap_format2_check.py KESTRIX SAMPLE_FONT [FORMAT14_FONT]

fontTools adds a 3.2 format 2 subtable with one-byte and two-byte codes, in the manner of
Shift-JIS, to a copy of the sample font. Through it, kestrix's afm must give every code
fontTools reads with the same glyph, list must count the same codes and subHeaders and
name ranges that hold every code, chart must count the same codes, and gen must write the
subtable back byte for byte. With a FORMAT14_FONT, list's line per variation selector must
give the numbers of default and non-default mappings fontTools reads. Exits 77 when
fontTools is missing.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

try:
    from fontTools.ttLib import TTFont
    from fontTools.ttLib.tables._c_m_a_p import CmapSubtable
except ImportError:
    print("fontTools is not installed")
    sys.exit(77)

LEAD_BYTES = [0x81, 0x82, 0x88, 0x9F, 0xE0]

# Names of the standard Macintosh set that fontTools gives other names; kestrix prints the
# font's own.
FONTTOOLS_NAMES = {"overscore": "macron", "increment": "Delta", "Ohm": "Omega", "mu1": "mu",
                   "dmacron": "dcroat", "nbspace": "nonbreakingspace", "Idot": "Idotaccent"}


def fail(message):
    print(message)
    sys.exit(1)


def run(kestrix, *args, cwd=None):
    r = subprocess.run([kestrix, *args], capture_output=True, text=True, errors="replace",
                       cwd=cwd)
    if r.returncode != 0:
        fail(f"kestrix {' '.join(args)}: status {r.returncode}\n{r.stderr}")
    return r.stdout


def build_font(sample, path):
    """A copy of the sample font with a 3.2 format 2 subtable; its mapping as fontTools
    reads it back, code to glyph name."""
    font = TTFont(sample)
    # A name fontTools had to make unique ("periodcentered#1") names two glyphs in the font.
    order = [name for name in font.getGlyphOrder() if "#" not in name]
    mapping = {}
    for code in list(range(0x20, 0x7F)) + list(range(0xA1, 0xE0)):
        mapping[code] = order[(code * 7) % (len(order) - 1) + 1]
    for n, lead in enumerate(LEAD_BYTES):
        # Second bytes 0x40..0x7E and 0x80..0xFC, each lead byte leaving a different gap.
        for low in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            if (low + n) % 11 == 0:
                continue
            mapping[lead << 8 | low] = order[(lead * 31 + low * 13) % (len(order) - 1) + 1]
    subtable = CmapSubtable.newSubtable(2)
    subtable.platformID, subtable.platEncID, subtable.language = 3, 2, 0
    subtable.cmap = mapping
    font["cmap"].tables.append(subtable)
    font.save(path)
    return TTFont(path)["cmap"].getcmap(3, 2).cmap


def raw_subtable(path, platform, encoding):
    data = open(path, "rb").read()
    num_tables = struct.unpack(">H", data[4:6])[0]
    for i in range(num_tables):
        tag, _, offset, _ = struct.unpack(">4sIII", data[12 + 16 * i : 28 + 16 * i])
        if tag != b"cmap":
            continue
        count = struct.unpack(">H", data[offset + 2 : offset + 4])[0]
        for j in range(count):
            p, e, sub = struct.unpack(">HHI", data[offset + 4 + 8 * j : offset + 12 + 8 * j])
            if (p, e) == (platform, encoding):
                start = offset + sub
                length = struct.unpack(">H", data[start + 2 : start + 4])[0]
                return data[start : start + length]
    fail(f"{path}: no cmap {platform}.{encoding}")


def listing_of(text, platform, encoding):
    """The lines of list's section for one subtable, after its heading."""
    heading = f"cmap subtable {platform}.{encoding} ("
    start = next((i for i, l in enumerate(text) if l.startswith(heading)), None)
    if start is None:
        fail(f"list shows no {platform}.{encoding} subtable")
    end = next(i for i in range(start, len(text)) if text[i].startswith("====="))
    return text[start + 1 : end]


def check_afm(kestrix, path, expected):
    afm = run(kestrix, path, "font", "3", "2", "afm")
    got = {int(m.group(1), 16): FONTTOOLS_NAMES.get(m.group(2), m.group(2))
           for m in re.finditer(r"^CH <([0-9a-f]+)> ; N (\S+) ;", afm, re.M)}
    if got != expected:
        missing = sorted(set(expected) - set(got))[:5]
        extra = sorted(set(got) - set(expected))[:5]
        wrong = [c for c in expected if c in got and got[c] != expected[c]][:5]
        fail(f"afm: codes missing {missing}, extra {extra}, other glyphs {wrong}")


def check_list(kestrix, path, expected):
    lines = listing_of(run(kestrix, path, "font", "list").splitlines(), 3, 2)
    if lines[0] != f"Maps {len(expected)} code(s) via subHeaders:":
        fail(f"list: {lines[0]!r}, fontTools maps {len(expected)} codes")
    raw = raw_subtable(path, 3, 2)
    keys = struct.unpack(">256H", raw[6:518])
    subheaders = max(keys) // 8 + 1
    if not lines[1].startswith(f"format=2 length={len(raw)} version=0 subHeaders={subheaders}"):
        fail(f"list: {lines[1]!r}, expected {subheaders} subHeaders of {len(raw)} bytes")
    ranges = []
    at = lines.index("ranges (firstCode lastCode subHeader):")
    for line in lines[at + 1 :]:
        first, last, index = line.split()
        ranges.append((int(first, 16), int(last, 16), int(index)))
    lead_ranges = sorted(r[0] >> 8 for r in ranges if r[0] > 0xFF)
    if lead_ranges != LEAD_BYTES:
        fail(f"list: two-byte ranges start with {lead_ranges}, expected {LEAD_BYTES}")
    for code in expected:
        if not any(first <= code <= last for first, last, _ in ranges):
            fail(f"list: code 0x{code:04x} lies in no listed range")


def check_gen_and_chart(kestrix, path, expected, work):
    run(kestrix, path, "font", "copy.ttf", "gen", cwd=work)
    if raw_subtable(os.path.join(work, "copy.ttf"), 3, 2) != raw_subtable(path, 3, 2):
        fail("gen: the format 2 subtable changed")
    run(kestrix, path, "font", "3", "2", "chart.svg", "chart", cwd=work)
    svg = open(os.path.join(work, "chart.svg"), encoding="utf-8").read()
    if f"{len(expected)} codes mapped" not in svg:
        fail(f"chart: the title does not say {len(expected)} codes mapped")


def check_format14(kestrix, path):
    font = TTFont(path)
    table = next((t for t in font["cmap"].tables if t.format == 14), None)
    if table is None:
        fail(f"{path} has no format 14 subtable")
    expected = []
    for selector in sorted(table.uvsDict):
        pairs = table.uvsDict[selector]
        defaults = sum(1 for _, glyph in pairs if glyph is None)
        expected.append(f"U+{selector:04X} {defaults} {len(pairs) - defaults}")
    lines = listing_of(run(kestrix, path, "font", "list").splitlines(),
                       table.platformID, table.platEncID)
    got = [" ".join(l.split()) for l in lines[2:]]
    if got != expected:
        fail(f"list of format 14: {got[:3]}..., fontTools: {expected[:3]}...")


def main():
    if len(sys.argv) not in (3, 4):
        fail(__doc__)
    kestrix, sample = os.path.abspath(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "format2.ttf")
        expected = build_font(sample, path)
        check_afm(kestrix, path, expected)
        check_list(kestrix, path, expected)
        check_gen_and_chart(kestrix, path, expected, work)
    if len(sys.argv) == 4:
        check_format14(kestrix, sys.argv[3])
    print(f"format 2: {len(expected)} codes agree with fontTools")


if __name__ == "__main__":
    main()
