#!/usr/bin/env python3
"""Checks kestrix's SVG charts of cmap subtables.

  chart_check.py structure SVG
      The file is well-formed XML; every glyph definition refers only to definitions
      made before it (so references cannot form a cycle), composites nest at most 16
      deep, and every cell refers to a definition.

  chart_check.py render KESTRIX FONT PLATFORM ENCODING WORKDIR [FIRST LAST]
      Writes the chart with kestrix (with FIRST and LAST, chartrange's chart of those
      codes, and the whole chart is counted too), checks its structure, counts its cells
      against the subtable as fontTools reads it, renders it in headless Chromium and
      samples the screenshot at the cells the layout puts each code in: a mapped code's
      cell is white with ink in it (and ink in the glyph band when its glyph has an
      outline) and none on its left and right edges, whatever the width of its glyph and
      its name; an unmapped code's cell is plain grey. Exits 77 when Chromium or fontTools
      is missing.

  chart_check.py atlas KESTRIX FONT PLATFORM ENCODING WORKDIR
      Writes the HTML atlas, checks that its index lists each block of 256 codes with as
      many codes mapped as fontTools finds there, that each block's section holds that many
      cells, each using a glyph defined once, in the section or in one it names as needed,
      and that Chromium paints cells on its first screen.

  chart_check.py outlines KESTRIX FONT
      For a real font: charts its 3.1 subtable (else the first subtable of format 0, 4
      or 6), checks the structure and the cells, and compares the drawing of every
      mapped glyph with fontTools: a simple glyph's quadratic segments (implied on-curve
      points included) with those fontTools' pen protocol gives, a composite's parts and
      offsets with fontTools' components.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
XLINK_HREF = "{http://www.w3.org/1999/xlink}href"

# The layout constants of src/report/chart.h.
MARGIN, TITLE_HEIGHT, ROW_LABEL_WIDTH = 16, 40, 64
CELL_WIDTH, CELL_HEIGHT, GAP_HEIGHT, COLUMNS = 64, 80, 28, 16
GLYPH_TOP, GLYPH_HEIGHT = 14, 50
MAX_DEPTH = 16


def fail(message):
    print(message)
    sys.exit(1)


def check_structure(path):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as e:
        fail(f"{path}: not well-formed XML: {e}")
    defs = root.find(SVG + "defs")
    if defs is None:
        fail("no <defs>")
    depth = {}
    for d in defs:
        ident = d.get("id")
        if d.tag == SVG + "path":
            depth[ident] = 0
            continue
        if d.tag != SVG + "g":
            continue
        refs = [u.get(XLINK_HREF, "")[1:] for u in d.iter(SVG + "use")]
        missing = [r for r in refs if r not in depth]
        if missing or not refs:
            fail(f"{ident} refers to {missing or 'nothing'} not defined before it")
        depth[ident] = 1 + max(depth[r] for r in refs)
        if depth[ident] > MAX_DEPTH:
            fail(f"{ident} nests {depth[ident]} deep")
    cells = [c for c in root.findall(SVG + "svg")]
    for c in cells:
        for u in c.iter(SVG + "use"):
            if u.get(XLINK_HREF, "")[1:] not in depth:
                fail(f"a cell refers to the undefined {u.get(XLINK_HREF)}")
    return root, cells


def mapped_codes(font, platform, encoding, first=0, last=0x10FFFF):
    """The codes mapped from first to last, the codes drawn, where rows start and whether
    every row is drawn."""
    sub = font["cmap"].getcmap(platform, encoding)
    if sub is None:
        fail(f"fontTools finds no cmap {platform}.{encoding}")
    codes = {c: n for c, n in sub.cmap.items()
             if font.getGlyphID(n) != 0 and first <= c <= last}
    if sub.format == 0:
        return codes, range(max(first, 0), min(last, 255) + 1), 0, True
    if sub.format == 6:
        end = min(sub.firstCode + max(len(sub.glyphIdArray), 1), 0x10000, last + 1)
        return codes, range(max(first, sub.firstCode), end), sub.firstCode, True
    return codes, range(first, last + 1), 0, False


def cell_places(codes, code_range, base, whole_rows):
    """Top left corner of each code's cell, as the chart lays out its rows."""
    if not whole_rows:
        starts = sorted({base + (c - base) // COLUMNS * COLUMNS for c in codes})
    elif len(code_range):
        first_row = base + (code_range.start - base) // COLUMNS * COLUMNS
        starts = list(range(first_row, code_range.stop, COLUMNS))
    else:
        starts = []
    places, y, previous = {}, MARGIN + TITLE_HEIGHT, None
    for row in starts:
        if previous is not None and row != previous + COLUMNS:
            y += GAP_HEIGHT
        for column in range(COLUMNS):
            if row + column in code_range:
                places[row + column] = (MARGIN + ROW_LABEL_WIDTH + column * CELL_WIDTH, y)
        y += CELL_HEIGHT
        previous = row
    if not starts:
        y += GAP_HEIGHT  # the line saying nothing is mapped
    return places, y + MARGIN


def screenshot(svg, png, width, height, workdir):
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("chromium not installed")
        sys.exit(77)
    profile = os.path.join(workdir, "profile")
    subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--force-device-scale-factor=1", f"--user-data-dir={profile}",
                    f"--window-size={width},{height}", f"--screenshot={png}",
                    "file://" + os.path.abspath(svg)],
                   check=True, capture_output=True, timeout=120,
                   env=dict(os.environ, HOME=workdir))


def write_chart(kestrix, font_path, platform, encoding, path, codes=None):
    command = ["chart"] if codes is None else [str(codes[0]), str(codes[1]), "chartrange"]
    run = subprocess.run([kestrix, font_path, "font", str(platform), str(encoding)] +
                         command[:-1] + [path, command[-1]], capture_output=True, text=True)
    if run.returncode != 0:
        fail(f"kestrix failed: {run.stderr}")


def expect_cells(path, count):
    """The chart's title and its cells count `count` codes mapped."""
    root, cells = check_structure(path)
    title = root.find(SVG + "title").text
    if f", {count} code{'s' if count != 1 else ''} mapped" not in title:
        fail(f"{title!r} does not say {count} codes mapped")
    if len(cells) != count:
        fail(f"{len(cells)} mapped cells, fontTools maps {count} codes")
    return root


def render(kestrix, font_path, platform, encoding, workdir, first=None, last=None):
    try:
        from fontTools.ttLib import TTFont
        from PIL import Image
    except ImportError as e:
        print(f"missing: {e}")
        sys.exit(77)
    font = TTFont(font_path)
    svg = os.path.join(workdir, "chart.svg")
    if first is not None:
        whole = os.path.join(workdir, "whole.svg")
        write_chart(kestrix, font_path, platform, encoding, whole)
        expect_cells(whole, len(mapped_codes(font, platform, encoding)[0]))
        write_chart(kestrix, font_path, platform, encoding, svg, (first, last))
        codes, code_range, base, whole_rows = mapped_codes(font, platform, encoding, first, last)
    else:
        write_chart(kestrix, font_path, platform, encoding, svg)
        codes, code_range, base, whole_rows = mapped_codes(font, platform, encoding)
    root = expect_cells(svg, len(codes))
    places, height = cell_places(codes, code_range, base, whole_rows)
    width = 2 * MARGIN + ROW_LABEL_WIDTH + COLUMNS * CELL_WIDTH
    if (root.get("width"), root.get("height")) != (str(width), str(height)):
        fail(f"size {root.get('width')}x{root.get('height')}, layout gives {width}x{height}")

    png = os.path.join(workdir, "chart.png")
    screenshot(svg, png, width, height, workdir)
    image = Image.open(png).convert("RGB")
    pixels = image.load()

    def region(x0, y0, x1, y1):
        return [pixels[x, y] for x in range(x0, x1) for y in range(y0, y1)]

    def ink(p):  # black outlines and grey code text, not the red advance line
        return max(p) < 110

    glyf = font["glyf"] if "glyf" in font else None
    problems = []
    for code in code_range:
        if code not in places:
            continue
        x, y = places[code]
        if code not in codes:
            if any(max(abs(c - 0xD8) for c in p) > 12 for p in region(x + 3, y + 3, x + CELL_WIDTH - 3,
                                                                       y + CELL_HEIGHT - 3)):
                problems.append(f"{code:04X}: unmapped cell not plain grey")
            continue
        if min(pixels[x + CELL_WIDTH - 4, y + 4]) < 240:
            problems.append(f"{code:04X}: mapped cell not white")
        if not any(ink(p) for p in region(x + 2, y + 2, x + CELL_WIDTH - 2, y + CELL_HEIGHT - 2)):
            problems.append(f"{code:04X}: mapped cell blank")
        outline = glyf is not None and glyf[codes[code]].numberOfContours != 0
        band = region(x + 2, y + GLYPH_TOP, x + CELL_WIDTH - 2, y + GLYPH_TOP + GLYPH_HEIGHT)
        if outline and sum(ink(p) for p in band) < 3:
            problems.append(f"{code:04X}: outline of {codes[code]} not drawn")
        # A wide glyph is scaled to fit and a long name shortened: nothing reaches the
        # cell's left and right edges, where the clip would cut it.
        edges = region(x + 1, y + GLYPH_TOP, x + 2, y + CELL_HEIGHT - 1) + \
            region(x + CELL_WIDTH - 2, y + GLYPH_TOP, x + CELL_WIDTH - 1, y + CELL_HEIGHT - 1)
        if any(ink(p) for p in edges):
            problems.append(f"{code:04X}: {codes[code]} reaches the edge of its cell")
    if problems:
        fail("\n".join(problems[:20]))
    print(f"{len(codes)} mapped and {len(places) - len(codes)} unmapped cells as expected")


def path_segments(d):
    """The segments of SVG path data of M, L, Q and Z commands, as a sorted list."""
    segments, start, here = [], None, None
    for op, args in re.findall(r"([MLQZ])([^MLQZ]*)", d):
        v = [float(t) for t in args.split()]
        if op == "M":
            start = here = (v[0], v[1])
        elif op == "L":
            segments.append(("L", here, (v[0], v[1])))
            here = (v[0], v[1])
        elif op == "Q":
            segments.append(("Q", here, (v[0], v[1]), (v[2], v[3])))
            here = (v[2], v[3])
        else:
            segments.append(("L", here, start))
            here = start
    return sorted(s for s in segments if s[0] != "L" or s[1] != s[2])


def fonttools_segments(glyph, glyf):
    from fontTools.pens.basePen import BasePen

    class SegmentPen(BasePen):
        def __init__(self):
            super().__init__(None)
            self.segments = []

        def _moveTo(self, pt):
            self.start = pt

        def _lineTo(self, pt):
            self.segments.append(("L", self._getCurrentPoint(), pt))

        def _qCurveToOne(self, pt1, pt2):
            self.segments.append(("Q", self._getCurrentPoint(), pt1, pt2))

        def _closePath(self):
            self.segments.append(("L", self._getCurrentPoint(), self.start))

    pen = SegmentPen()
    glyph.draw(pen, glyf)
    as_float = lambda s: (s[0],) + tuple((float(p[0]), float(p[1])) for p in s[1:])
    return sorted(as_float(s) for s in pen.segments if s[0] != "L" or s[1] != s[2])


def outlines(kestrix, font_path):
    try:
        from fontTools.ttLib import TTFont
    except ImportError as e:
        print(f"missing: {e}")
        sys.exit(77)
    font = TTFont(font_path)
    if "glyf" not in font or "cmap" not in font:
        print("no glyf or cmap table")
        return
    readable = [t for t in font["cmap"].tables if t.format in (0, 4, 6)]
    if not readable:
        print("no subtable of format 0, 4 or 6")
        return
    sub = font["cmap"].getcmap(3, 1) or readable[0]
    with tempfile.TemporaryDirectory() as workdir:
        svg = os.path.join(workdir, "chart.svg")
        run = subprocess.run([kestrix, font_path, "font", str(sub.platformID),
                              str(sub.platEncID), svg, "chart"], capture_output=True, text=True)
        if run.returncode != 0:
            fail(f"kestrix failed: {run.stderr}")
        root, cells = check_structure(svg)
    codes = mapped_codes(font, sub.platformID, sub.platEncID)[0]
    if len(cells) != len(codes):
        fail(f"{len(cells)} mapped cells, fontTools maps {len(codes)} codes")

    glyf = font["glyf"]
    drawn = {d.get("id"): d for d in root.find(SVG + "defs")}
    painting = {}

    def paints(name, depth=0):  # a part that draws nothing is left out of the chart
        if name not in painting:
            g = glyf[name]
            painting[name] = (bool(fonttools_segments(g, glyf)) if g.numberOfContours > 0 else
                              g.isComposite() and depth < MAX_DEPTH and
                              any(paints(c.glyphName, depth + 1) for c in g.components))
        return painting[name]

    problems = []
    for name in sorted(set(codes.values())):
        glyph, ident = glyf[name], f"g{font.getGlyphID(name)}"
        if glyph.numberOfContours > 0:
            expected = fonttools_segments(glyph, glyf)
            got = path_segments(drawn[ident].get("d")) if ident in drawn else []
            if got != expected:
                problems.append(f"{name}: outline differs")
        elif glyph.isComposite():
            parts = [u for u in drawn[ident]] if ident in drawn else []
            # Point-matched parts (no x and y) are drawn unshifted.
            expected = [(f"g{font.getGlyphID(c.glyphName)}", getattr(c, "x", 0), getattr(c, "y", 0))
                        for c in glyph.components if paints(c.glyphName)]
            got = []
            for u in parts:
                m = re.match(r"matrix\((.*)\)", u.get("transform", ""))
                dx, dy = (m.group(1).split()[4:6] if m else (0, 0))
                got.append((u.get(XLINK_HREF)[1:], int(dx), int(dy)))
            if [g for g in got if g[0] in drawn] != got or got != expected:
                problems.append(f"{name}: parts {got}, fontTools {expected}")
    if problems:
        fail("\n".join(problems[:20]))
    print(f"{len(codes)} cells, {len(set(codes.values()))} glyphs as fontTools draws them")


def atlas(kestrix, font_path, platform, encoding, workdir):
    try:
        from fontTools.ttLib import TTFont
        from PIL import Image
    except ImportError as e:
        print(f"missing: {e}")
        sys.exit(77)
    font = TTFont(font_path)
    codes = mapped_codes(font, platform, encoding)[0]
    per_block = {}
    for c in codes:
        per_block[c // 256 * 256] = per_block.get(c // 256 * 256, 0) + 1
    html_path = os.path.join(workdir, "atlas.html")
    write_chart(kestrix, font_path, platform, encoding, html_path)
    with open(html_path, encoding="utf-8") as f:
        html = f.read()
    index = {int(b, 16): int(n) for b, n in
             re.findall(r'<li><a href="#b([0-9A-F]+)">U\+[0-9A-F]+</a> <span>(\d+)</span></li>', html)}
    if index != per_block:
        wrong = sorted(set(index.items()) ^ set(per_block.items()))[:10]
        fail(f"index and fontTools differ per block (block, count): {wrong}")
    defined = re.findall(r'<(?:path|g) id="(g\d+)"', html)
    if len(defined) != len(set(defined)):
        fail("a glyph is defined more than once")
    defined = set(defined)
    sections = re.findall(r'<section id="b([0-9A-F]+)" data-needs="([b0-9A-F ]*)"(.*?)</section>',
                          html, re.S)
    if [int(b, 16) for b, _, _ in sections] != sorted(per_block):
        fail("the sections are not the blocks of the index, in order")
    # A section shows its cells with the glyphs defined in it and in the sections it needs.
    own = {f"b{b}": set(re.findall(r'<(?:path|g) id="(g\d+)"', body)) for b, _, body in sections}
    for block, needs, body in sections:
        cells = len(re.findall(r"<svg x=", body))
        if cells != per_block[int(block, 16)]:
            fail(f"block {block}: {cells} cells, fontTools maps {per_block[int(block, 16)]}")
        reachable = own[f"b{block}"].union(*(own[n] for n in needs.split()))
        missing = set(re.findall(r'xlink:href="#(g\d+)"', body)) - reachable
        if missing:
            fail(f"block {block} uses {sorted(missing)[:5]}, not defined where it looks")
    png = os.path.join(workdir, "atlas.png")
    screenshot(html_path, png, 1200, 900, workdir)
    image = Image.open(png).convert("RGB")
    # The first screen shows cells: their grey borders or unmapped grey, and glyphs.
    cellish = sum(1 for p in image.getdata()
                  if p == (0xD8, 0xD8, 0xD8) or all(abs(c - 0xBB) <= 10 for c in p))
    if cellish < 4000 or not any(max(p) < 110 for p in image.getdata()):
        fail(f"the atlas's first screen shows no cells ({cellish} cell pixels)")
    print(f"{len(per_block)} blocks, {len(codes)} codes, as fontTools maps them")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "structure":
        check_structure(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "outlines":
        outlines(sys.argv[2], sys.argv[3])
    elif len(sys.argv) in (7, 9) and sys.argv[1] == "render":
        codes = [int(a, 0) for a in sys.argv[7:9]]
        render(sys.argv[2], sys.argv[3], int(sys.argv[4], 0), int(sys.argv[5], 0), sys.argv[6],
               *codes)
    elif len(sys.argv) == 7 and sys.argv[1] == "atlas":
        atlas(sys.argv[2], sys.argv[3], int(sys.argv[4], 0), int(sys.argv[5], 0), sys.argv[6])
    else:
        print(__doc__)
        sys.exit(2)


if __name__ == "__main__":
    main()
