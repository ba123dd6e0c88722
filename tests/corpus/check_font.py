#!/usr/bin/python3
"""Runs kestrix over one real TrueType font and checks what a user relies on.

    check_font.py --kestrix BIN FONT     check one font
    check_font.py --list                 print the fonts to check, one a line

The fonts are every TrueType file under /usr/share/fonts that a Debian package installed
(alternatives links and local files are left out), then the files of the other formats:
the URW base 35 OpenType fonts with CFF outlines, each font of a small collection
(FILE:faceN, loaded with `face`), and WOFF and WOFF2 files made here from corpus fonts
(FILE:woff with fontTools, FILE:woff2 with woff2_compress). For a collection's font the
source is that font of the file; for a web font, the sfnt it decodes to (fontTools for
WOFF, woff2_decompress for WOFF2). For each font:

- `font` loads it, and what it prints on the standard error stream is exactly the set of
  justified warnings computed here from the file itself with fontTools and the raw bytes:
  cmap subtable languages, OS/2 versions the program does not read, a format 3.0 post table,
  more glyph names than the program can encode, and the once-per-run composite-glyph
  notice. Anything else fails the check.
- `list` exits 0, and each name record's line gives the name ID's words and the string
  decoded here from the raw name table (UTF-16BE, Mac Roman), control characters as
  spaces.
- `family` then `gen`: IDs 1, 16 and 21 hold the new family, 4 and 18 the family and
  the record's own style (17, else 2), 6 and 20 the PostScript form of family-style;
  every other record keeps its bytes, none is added, and the count it prints is right.
- `afm` exits 0 for every encoding whose subtable maps characters (formats 0, 4, 6, 12
  and 13), every metrics line has the program's form, the text parses with
  fontTools.afmLib (see for_afmlib), and its CH lines are exactly the codes fontTools
  maps, in order, each with the name of the glyph fontTools maps it to.
- With a GPOS table, the KPX lines of `afm 3 1` are the kern table's pairs and then, after
  the GPOS comment, the pairs that the `kern` feature's pair adjustments kern and no format 0
  kern subtable lists, computed here from fontTools' GPOS objects (see gpos_kerning).
- For the files of the other formats, each afm line also gives fontTools' name of the
  glyph, its advance width scaled, and its box scaled: the glyf header's, or for CFF
  outlines BoundsPen's exact bounds rounded outward (within a unit where the outline has
  fractional points, which FreeType drops); and the afm -> encode -> gen round trip maps
  every code of the afm text to a glyph of the same name.
- `gen` succeeds: the output passes ots-sanitize whenever the source does, reloads with
  the source's messages, every table that is not regenerated is a byte copy of the source
  (head apart from checkSumAdjustment), OS/2 is byte-identical, and every cmap subtable of
  the source is there in the same order with the same mapping as fontTools reads it.
- Round trip: `afm 3 10` (or 3 1 without a 3.10 subtable), fed to `encode` with the same
  platform and encoding, then `gen`: the new subtable maps every code to the glyph the
  source's does, for fonts whose glyph names are unique.
- `gen` to .woff2 and .woff: ots-sanitize accepts the web fonts whenever it accepts
  the direct output, fontTools reads them with the direct output's tables (for WOFF2
  without DSIG, and with glyf, loca and head as WOFF2 rebuilds them), and kestrix
  loading them and writing .ttf gives the direct output's tables again (for WOFF2 the
  same glyphs: contours, points, on-curve flags, components, instructions). A font that
  libwoff2 refuses must be refused by woff2_compress as well. These runs are timed apart:
  Brotli's best compression takes seconds a megabyte.
- `export` of every table, `import` of each back and `gen` again give a font that reloads
  as silently and matches the first output table by table, apart from the zero padding
  that `export` adds and head's checkSumAdjustment.
"""

import argparse
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import time

FONT_ROOT = "/usr/share/fonts"
REGENERATED = {b"cmap", b"name", b"OS/2", b"hhea", b"hmtx"}
MAPPING_FORMATS = {0, 4, 6, 12, 13}
GROUP_FORMATS = {12, 13}
FORMAT4_FULL = re.compile(r"^build_cmap4_subtable: the subtable would take \d+ bytes")
# Files of the other formats: the CFF fonts of this directory, the fonts of this
# collection, and the sources of the web fonts made at test time.
CFF_DIRECTORY = "/usr/share/fonts/opentype/urw-base35"
COLLECTION = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
WEB_SOURCES = [
    "/usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
    "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf",
]
COMPOSITE_NOTICE = re.compile(r"^read_glyph: glyph \d+: warning: composite glyph\(s\) ignored$")


# ------------------------------------------------------------------ which fonts


def is_truetype(path):
    with open(path, "rb") as f:
        return f.read(4) in (b"\x00\x01\x00\x00", b"true")


def packaged(candidates):
    """The paths a Debian package installed, sorted."""
    if not candidates:
        return []
    # dpkg -S names the package of each path it knows and complains about the others.
    out = subprocess.run(["dpkg", "-S"] + sorted(candidates), capture_output=True, text=True)
    owned = set()
    for line in out.stdout.splitlines():
        _, _, path = line.partition(": ")
        owned.add(path.strip())
    return sorted(p for p in candidates if p in owned)


def packaged_fonts():
    candidates = []
    for root, _, files in os.walk(FONT_ROOT):
        for name in files:
            path = os.path.join(root, name)
            if name.lower().endswith(".ttf") and not os.path.islink(path):
                candidates.append(path)
    return [p for p in packaged(candidates) if is_truetype(p)]


def other_format_entries():
    """FILE, FILE:faceN, FILE:woff and FILE:woff2 entries for the other formats."""
    entries = []
    if os.path.isdir(CFF_DIRECTORY):
        otf = [os.path.join(CFF_DIRECTORY, n) for n in sorted(os.listdir(CFF_DIRECTORY)) if n.endswith(".otf")]
        entries += [p for p in packaged([p for p in otf if not os.path.islink(p)]) if open(p, "rb").read(4) == b"OTTO"]
    if packaged([COLLECTION]):
        with open(COLLECTION, "rb") as f:
            count = u32(f.read(12), 8)
        entries += ["%s:face%d" % (COLLECTION, n) for n in range(count)]
    for source in packaged([p for p in WEB_SOURCES if os.path.exists(p)]):
        entries += [source + ":woff", source + ":woff2"]
    return entries


# ------------------------------------------------------------------ raw sfnt access


class Sfnt:
    def __init__(self, path, face=0):
        with open(path, "rb") as f:
            self.data = f.read()
        # A collection's font: its offset table is where the header says; its tables'
        # offsets count from the start of the file, as a single font's do.
        at = u32(self.data, 12 + 4 * face) if self.data[:4] == b"ttcf" else 0
        (self.version, num) = struct.unpack(">IH", self.data[at : at + 6])
        self.tables = []  # (tag, offset, length) in directory order
        for i in range(num):
            entry = at + 12 + 16 * i
            tag, _, offset, length = struct.unpack(">4sIII", self.data[entry : entry + 16])
            self.tables.append((tag, offset, length))

    def table(self, tag):
        for t, offset, length in self.tables:
            if t == tag:
                return self.data[offset : offset + length]
        return None

    def tags(self):
        return [t for t, _, _ in self.tables]


def u16(b, at):
    return struct.unpack(">H", b[at : at + 2])[0]


def u32(b, at):
    return struct.unpack(">I", b[at : at + 4])[0]


# ------------------------------------------------------------------ expectations


def cmap_encodings(sfnt):
    """(platformID, encodingID, format, length, language) per encoding record, with the
    subtable of the first record of each pair, as the program reads them (language None
    for a format without one that the program reads)."""
    cmap = sfnt.table(b"cmap")
    records = []
    first = {}
    for i in range(u16(cmap, 2)):
        p, e, offset = struct.unpack(">HHI", cmap[4 + 8 * i : 12 + 8 * i])
        first.setdefault((p, e), offset)
        at = first[(p, e)]
        fmt = u16(cmap, at)
        if fmt in GROUP_FORMATS:
            records.append((p, e, fmt, u32(cmap, at + 4), u32(cmap, at + 8)))
        elif fmt in MAPPING_FORMATS:
            records.append((p, e, fmt, u16(cmap, at + 2), u16(cmap, at + 4)))
        else:
            records.append((p, e, fmt, None, None))
    return records


def first_composite(ttfont):
    if "glyf" not in ttfont:
        return None
    glyf = ttfont["glyf"]
    for index, name in enumerate(ttfont.getGlyphOrder()):
        if glyf[name].isComposite():
            return index
    return None


def load_messages(sfnt, ttfont):
    """What loading the font must print, and why, in the order the tables are parsed
    (maxp, cmap, name, post, OS/2, hhea, hmtx, head, loca, glyf)."""
    lines, reasons = [], []
    for p, e, fmt, length, language in cmap_encodings(sfnt):
        if language:
            lines.append("Warning: encoding %u.%u: version %d unknown" % (p, e, language))
            reasons.append("cmap %u.%u has language %u" % (p, e, language))
    post = sfnt.table(b"post")
    post_format = u32(post, 0)
    # A CFF font's glyph names come from its charset: a format 3.0 post is no loss.
    if post_format == 0x00030000 and b"CFF " not in sfnt.tags():
        lines.append('do_post: warning: empty 3.0 "post" table, fallback names will be used')
        reasons.append("post is format 3.0: no glyph names")
    elif post_format == 0x00020000 and u16(post, 32) >= 0x8000:
        lines.append(
            "Warning: This font contain more PostScript names (32,767) than I can reliably encode"
        )
        reasons.append("post lists %u glyph names" % u16(post, 32))
    os2 = sfnt.table(b"OS/2")
    if os2 is not None and u16(os2, 0) > 5:
        lines.append("do_os2: version %d of OS/2 table unknown" % u16(os2, 0))
        lines.append("font: no OS/2 table")
        reasons.append("OS/2 is version %u; the program reads versions 0 to 5" % u16(os2, 0))
    composite = first_composite(ttfont)
    if composite is not None:
        lines.append("read_glyph: glyph %d: warning: composite glyph(s) ignored" % composite)
        reasons.append("composite glyphs (the first is glyph %d)" % composite)
    return lines, reasons


# ------------------------------------------------------------------ running kestrix


class Check:
    def __init__(self, kestrix, font, work):
        self.kestrix = kestrix
        self.font = font
        self.work = work
        self.failures = []

    def run(self, *words):
        started = time.monotonic()
        proc = subprocess.run([self.kestrix, *words], cwd=self.work, capture_output=True)
        took = time.monotonic() - started
        err = proc.stderr.decode("latin-1").splitlines()
        return proc.returncode, proc.stdout, err, took

    def fail(self, what):
        self.failures.append(what)

    def expect_status(self, what, status, want, err):
        if status != want:
            self.fail("%s: exit %d, expected %d; stderr:\n    %s" % (what, status, want, "\n    ".join(err[:20])))
            return False
        return True

    def expect_messages(self, what, err, want):
        if err != want:
            extra = [l for l in err if l not in want]
            missing = [l for l in want if l not in err]
            self.fail(
                "%s: unexpected messages\n    extra: %s\n    missing: %s\n    all: %s"
                % (what, extra[:10], missing[:10], err[:20])
            )


CH_LINE = re.compile(r"^CH <([0-9a-f]{4,})> ; N (\S+) ; WX (-?\d+) ;( B -?\d+ -?\d+ -?\d+ -?\d+ ;)?$")
C_LINE = re.compile(r"^C -1 ; N (\S+) ; WX (-?\d+) ;( B -?\d+ -?\d+ -?\d+ -?\d+ ;)?$")


def for_afmlib(text):
    """The AFM text as fontTools.afmLib can read it. afmLib insists on the field order
    C code ; WX ; N ; B of its own writer, while AFM allows any order and the program
    writes N before WX; it has no CH (hexadecimal code) lines; its glyph names may hold
    only letters, digits, "." and "_" (unifont has names such as U+0041), so any other
    character is spelled out; and it reads ASCII only, while name strings are written
    byte for byte."""

    def afmlib_name(name):
        return re.sub(r"[^.A-Za-z0-9_]", lambda m: "_x%02x_" % ord(m.group(0)), name)

    lines = []
    for line in text.splitlines():
        m = CH_LINE.match(line) or C_LINE.match(line)
        if m and line.startswith("CH "):
            code, name, width, box = int(m.group(1), 16), m.group(2), m.group(3), m.group(4)
            line = "C %d ; WX %s ; N %s ;%s" % (code, width, afmlib_name(name), box or "")
        elif m:
            name, width, box = m.group(1), m.group(2), m.group(3)
            line = "C -1 ; WX %s ; N %s ;%s" % (width, afmlib_name(name), box or "")
        elif line.startswith("KPX ") or line.startswith("KPY "):
            word, left, right, value = line.split()
            line = "%s %s %s %s" % (word, afmlib_name(left), afmlib_name(right), value)
        lines.append(line.encode("ascii", "backslashreplace").decode("ascii"))
    return "\n".join(lines) + "\n"


def afm_lines_ok(check, afm_text, p, e, ttfont, path, sfnt):
    from fontTools import afmLib

    codes, code_names, names, pairs = [], [], set(), set()
    for line in afm_text.splitlines():
        if line.startswith("CH ") or line.startswith("C "):
            m = CH_LINE.match(line) or C_LINE.match(line)
            if not m:
                check.fail("afm %u.%u: malformed line %r" % (p, e, line))
                return
            if line.startswith("CH "):
                codes.append(int(m.group(1), 16))
                code_names.append(m.group(2))
                names.add(m.group(2))
            else:
                names.add(m.group(1))
        elif line.startswith("KPX "):
            pairs.add(tuple(line.split()[1:3]))
    with open(path, "w", encoding="ascii") as f:
        f.write(for_afmlib(afm_text))
    try:
        afm = afmLib.AFM(path)
    except Exception as exc:  # afmLib raises its own error type and ValueError
        check.fail("afm %u.%u: fontTools.afmLib cannot parse it: %s" % (p, e, exc))
        return
    if len(afm.chars()) != len(names) or len(afm.kernpairs()) != len(pairs):
        check.fail(
            "afm %u.%u: afmLib reads %d glyphs and %d kern pairs, the text has %d and %d"
            % (p, e, len(afm.chars()), len(afm.kernpairs()), len(names), len(pairs))
        )
    subtable = ttfont["cmap"].getcmap(p, e)
    order = ttfont.getGlyphOrder()
    index = {name: i for i, name in enumerate(order)}
    mapped = mapped_codes(subtable.cmap, index) if subtable else {}
    want = sorted(mapped)
    if codes != want:
        first = next((a, b) for a, b in zip(codes + [None], want + [None]) if a != b)
        check.fail(
            "afm %u.%u: %d CH lines, fontTools maps %d codes (first difference: %s)"
            % (p, e, len(codes), len(want), first)
        )
        return
    program = program_names(sfnt, len(order), order if "CFF " in ttfont else None)
    wrong = [(c, n) for c, n in zip(codes, code_names) if n != program[mapped[c]]]
    if wrong:
        check.fail("afm %u.%u: %d CH lines name another glyph than fontTools maps (first: %s)"
                   % (p, e, len(wrong), wrong[0]))


def mapped_codes(cmap, index):
    """code -> glyph index of what a subtable maps, as the program can: never 0xFFFF,
    never glyph 0."""
    return {c: index[g] for c, g in cmap.items() if c != 0xFFFF and index.get(g, 0) != 0}


# ------------------------------------------------------------------ GPOS kerning


def afm_units(v, units_per_em):
    half = units_per_em // 2
    return (v * 1000 + half) // units_per_em if v >= 0 else -((-v * 1000 + half) // units_per_em)


def kern_feature_lookups(gpos, scripts=None):
    """Indices of the lookups that a `kern` feature used by some script (of `scripts`, or
    any) or language system refers to, in lookup-list order."""
    used = set()
    for record in gpos.ScriptList.ScriptRecord if gpos.ScriptList else []:
        if scripts is not None and record.ScriptTag not in scripts:
            continue
        script = record.Script
        systems = [script.DefaultLangSys] if script.DefaultLangSys else []
        systems += [r.LangSys for r in script.LangSysRecord]
        for system in systems:
            used.update(system.FeatureIndex)
            if system.ReqFeatureIndex != 0xFFFF:
                used.add(system.ReqFeatureIndex)
    features = gpos.FeatureList.FeatureRecord if gpos.FeatureList else []
    lookups = set()
    for i in used:
        if features[i].FeatureTag == "kern":
            lookups.update(features[i].Feature.LookupListIndex)
    return sorted(lookups)


def x_advance(value):
    return getattr(value, "XAdvance", 0) or 0 if value is not None else 0


def gpos_kerning(ttfont, lookups=None, class_zero_covers=True):
    """{(left index, right index): font units}: per lookup the first subtable covering a
    pair gives the first glyph's XAdvance (a class subtable covers every second glyph of
    a covered first glyph); the pair's kerning is the sum over the lookups; zeros dropped."""
    gpos = ttfont["GPOS"].table
    order = ttfont.getGlyphOrder()
    index = {name: i for i, name in enumerate(order)}
    total = {}
    for li in kern_feature_lookups(gpos) if lookups is None else lookups:
        lookup = gpos.LookupList.Lookup[li]
        subtables, kind = lookup.SubTable, lookup.LookupType
        if kind == 9:
            kind = subtables[0].ExtensionLookupType if subtables else 0
            subtables = [s.ExtSubTable for s in subtables]
        if kind != 2:
            continue
        values, closed = {}, set()
        for st in subtables:
            if st.Format == 1:
                for i, name in enumerate(st.Coverage.glyphs):
                    left = index[name]
                    if left in closed:
                        continue
                    for rec in st.PairSet[i].PairValueRecord:
                        values.setdefault((left, index[rec.SecondGlyph]), x_advance(rec.Value1))
            else:
                class1 = st.ClassDef1.classDefs if st.ClassDef1 else {}
                class2 = st.ClassDef2.classDefs if st.ClassDef2 else {}
                members = {}
                for right, name in enumerate(order):
                    members.setdefault(class2.get(name, 0), []).append(right)
                for name in st.Coverage.glyphs:
                    left = index[name]
                    if left in closed:
                        continue
                    if class_zero_covers:
                        closed.add(left)
                    row = st.Class1Record[class1.get(name, 0)].Class2Record
                    for c2, rec in enumerate(row):
                        value = x_advance(rec.Value1)
                        if value and (c2 or class_zero_covers):
                            for right in members.get(c2, []):
                                values.setdefault((left, right), value)
        for pair, value in values.items():
            total[pair] = total.get(pair, 0) + value
    return {pair: value for pair, value in total.items() if value}


GPOS_COMMENT = "Comment Kern pairs from GPOS pair adjustments (kern feature)"


def program_names(sfnt, count, charset=None):
    """Glyph names as the program gives them, from the raw post table: fontTools makes
    duplicate names unique, the program does not. A CFF font's `charset` (fontTools'
    glyph order) names the glyphs the post table does not."""
    from fontTools.ttLib.standardGlyphOrder import standardGlyphOrder

    # The program keeps the older spelling of eight standard Macintosh names.
    standard = list(standardGlyphOrder)
    for i, name in ((151, "mu1"), (159, "Ohm"), (168, "increment"), (172, "nbspace"),
                    (210, "applelogo"), (218, "overscore"), (250, "Idot"), (257, "dmacron")):
        standard[i] = name
    post = sfnt.table(b"post")
    version = u32(post, 0)
    names = list(charset[:count]) if charset else [".glyphindex%04x" % g for g in range(count)]
    if version == 0x00010000:
        names[: min(count, 258)] = standard[: min(count, 258)]
    elif version == 0x00020000:
        n = u16(post, 32)
        indices = [u16(post, 34 + 2 * i) for i in range(n)]
        extra, at = [], 34 + 2 * n
        while at < len(post):
            extra.append(post[at + 1 : at + 1 + post[at]].decode("latin-1"))
            at += 1 + post[at]
        for g, i in enumerate(indices[:count]):
            if i < 258:
                names[g] = standard[i]
            elif i - 258 < len(extra):
                names[g] = extra[i - 258]
    if count:
        names[0] = ".notdef"
    return names


def gpos_kerning_ok(check, afm_text, ttfont, sfnt):
    order = ttfont.getGlyphOrder()
    index = {name: i for i, name in enumerate(order)}
    names = program_names(sfnt, len(order), order if "CFF " in ttfont else None)
    units = ttfont["head"].unitsPerEm
    listed, kern_lines = set(), set()
    if "kern" in ttfont:
        for table in ttfont["kern"].kernTables:
            if getattr(table, "format", None) != 0:
                continue
            for (left, right), value in table.kernTable.items():
                listed.add((index[left], index[right]))
                if table.coverage & 0x07 == 0x01:
                    kern_lines.add((names[index[left]], names[index[right]], afm_units(value, units)))
    want = [(names[l], names[r], afm_units(v, units)) for (l, r), v in sorted(gpos_kerning(ttfont).items())
            if (l, r) not in listed]
    lines = afm_text.splitlines()
    split = lines.index(GPOS_COMMENT) if GPOS_COMMENT in lines else len(lines)

    def pairs(part):
        return [(w[1], w[2], int(w[3])) for w in (l.split() for l in part) if w and w[0] == "KPX"]

    got_kern, got_gpos = pairs(lines[:split]), pairs(lines[split:])
    if set(got_kern) != kern_lines:
        check.fail("afm 3.1: %d KPX lines from kern, fontTools lists %d" % (len(set(got_kern)), len(kern_lines)))
    if got_gpos != want:
        first = next((a, b) for a, b in zip(got_gpos + [None], want + [None]) if a != b)
        check.fail(
            "afm 3.1: %d GPOS KPX lines, fontTools computes %d the kern table lacks (first difference: %s)"
            % (len(got_gpos), len(want), first)
        )


def compare_tables(check, what, source, written, allow_padding):
    """Every table of `written` against `source`, table by table in directory order."""
    if written.tags() != source.tags():
        check.fail("%s: directory %s, expected %s" % (what, written.tags(), source.tags()))
        return
    for tag in source.tags():
        a, b = source.table(tag), written.table(tag)
        if allow_padding and len(b) > len(a) and len(b) - len(a) < 4 and not any(b[len(a) :]):
            b = b[: len(a)]
        if tag == b"head" and len(a) >= 12 and len(b) >= 12:
            a = a[:8] + a[12:]
            b = b[:8] + b[12:]
        if a != b:
            check.fail("%s: table %r differs (%d bytes, expected %d)" % (what, tag.decode("latin-1"), len(b), len(a)))


def cmaps_ok(check, source, written):
    """Every subtable of the source, in order, with fontTools' mapping of it."""
    def subtables(ttfont):
        return [(t.platformID, t.platEncID, t.format, getattr(t, "cmap", None), getattr(t, "uvsDict", None))
                for t in ttfont["cmap"].tables]

    want, got = subtables(source), subtables(written)
    if [w[:3] for w in want] != [g[:3] for g in got]:
        check.fail("gen: cmap subtables %s, expected %s" % ([g[:3] for g in got], [w[:3] for w in want]))
        return
    for w, g in zip(want, got):
        if w != g:
            check.fail("gen: cmap %u.%u (format %u) maps otherwise than the source's" % w[:3])


def truetype_round_trip_ok(check, run, font, sfnt, ttfont, work):
    """afm 3 10 (or 3 1), encode with the same pair, gen: the same mapping, when every glyph
    has its own name."""
    order = ttfont.getGlyphOrder()
    names = program_names(sfnt, len(order))
    if len(set(names)) != len(names):
        return
    pairs = [(t.platformID, t.platEncID) for t in ttfont["cmap"].tables]
    p, e = (3, 10) if (3, 10) in pairs else (3, 1)
    source = ttfont["cmap"].getcmap(p, e)
    if source is None or source.format not in MAPPING_FORMATS:
        return
    afm = os.path.join(work, "round.afm")
    status, out, err = run(font, "font", str(p), str(e), "afm")
    if not check.expect_status("round trip: afm %u.%u" % (p, e), status, 0, err):
        return
    with open(afm, "wb") as f:
        f.write(out)
    written = os.path.join(work, "round.ttf")
    status, _, err = run(font, "font", afm, str(p), str(e), "encode", written, "gen")
    if status != 0 and any(FORMAT4_FULL.search(line) for line in err):
        # The format 4 builder spends a glyphIdArray word on every code; a 16-bit length
        # holds about 32,000 of them.
        return "round trip %u.%u: too many codes for a format 4 subtable" % (p, e)
    if not check.expect_status("round trip: encode %u.%u and gen" % (p, e), status, 0, err):
        return
    from fontTools.ttLib import TTFont

    index = {name: i for i, name in enumerate(order)}
    back = TTFont(written, lazy=True)
    back_index = {name: i for i, name in enumerate(back.getGlyphOrder())}
    # encode takes codes above 0 only: code 0 stands for "no code" in its input.
    want = {c: g for c, g in mapped_codes(source.cmap, index).items() if c != 0}
    got = mapped_codes(back["cmap"].getcmap(p, e).cmap, back_index)
    if got != want:
        diff = sorted(set(got.items()) ^ set(want.items()))[:3]
        check.fail("round trip %u.%u: %d codes mapped, source maps %d (differences: %s)"
                   % (p, e, len(got), len(want), diff))


def ots_accepts(path, work):
    """Whether ots-sanitize accepts the font; the sanitized copy it writes goes into the
    work directory, never beside the font."""
    out = os.path.join(work, "sanitized.ots")
    proc = subprocess.run(["ots-sanitize", path, out], capture_output=True, text=True)
    return proc.returncode == 0, (proc.stdout + proc.stderr).strip()[:400]


def ots_ok(check, what, path, work):
    accepted, why = ots_accepts(path, work)
    if not accepted:
        check.fail("%s: ots-sanitize rejects it: %s" % (what, why))


# ------------------------------------------------------------------ the other formats


class Source:
    """The file kestrix loads (`words` load it) and the sfnt the checks compare with."""

    def __init__(self, entry, work):
        from fontTools.ttLib import TTFont

        path, _, how = entry.partition(":")
        self.words, self.face, self.reference = [path, "font"], 0, path
        self.other_format = bool(how) or open(path, "rb").read(4) == b"OTTO"
        if how.startswith("face"):
            self.face = int(how[4:])
            self.words = [path, str(self.face), "face"]
        elif how == "woff":
            # Saving stamps head.modified with the time unless told not to; the two saves
            # below may fall in different seconds.
            web = TTFont(path, recalcTimestamp=False)
            web.flavor = "woff"
            target = os.path.join(work, "web.woff")
            web.save(target, reorderTables=False)
            decoded = TTFont(target, lazy=True, recalcTimestamp=False)
            decoded.flavor = None
            self.reference = os.path.join(work, "decoded.sfnt")
            decoded.save(self.reference, reorderTables=False)
            self.words = [target, "font"]
        elif how == "woff2":
            # woff2_compress and woff2_decompress write beside their input.
            copy = os.path.join(work, "web" + os.path.splitext(path)[1])
            with open(path, "rb") as a, open(copy, "wb") as b:
                b.write(a.read())
            subprocess.run(["woff2_compress", copy], check=True, capture_output=True)
            target = os.path.join(work, "web.woff2")
            os.replace(os.path.splitext(copy)[0] + ".woff2", target)
            os.remove(copy)
            subprocess.run(["woff2_decompress", target], check=True, capture_output=True)
            self.reference = os.path.join(work, "decoded.sfnt")
            os.replace(os.path.join(work, "web.ttf"), self.reference)
            self.words = [target, "font"]
        self.sfnt = Sfnt(self.reference, self.face)
        self.ttfont = TTFont(self.reference, lazy=True, fontNumber=self.face)

    def standalone(self, work):
        """A file holding just the source font, for ots-sanitize."""
        if self.sfnt.data[:4] != b"ttcf":
            return self.reference
        out = os.path.join(work, "face.sfnt")
        self.ttfont.save(out, reorderTables=False)
        return out


def expected_glyphs(source):
    """(name, advance width, box) of every glyph in font units, from fontTools; boxes of
    CFF outlines come with whether the outline has fractional points."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    sys.dont_write_bytecode = True  # no __pycache__ in the source tree
    from check_cff import FractionPen

    ttfont = source.ttfont
    order = ttfont.getGlyphOrder()
    hmtx = ttfont["hmtx"].metrics
    cff = "glyf" not in ttfont
    names = order if cff else program_names(source.sfnt, len(order))
    glyphs = []
    if cff:
        glyph_set = ttfont.getGlyphSet()
        for gid, name in enumerate(order):
            pen = FractionPen(glyph_set)
            glyph_set[name].draw(pen)
            b = pen.bounds
            box = (math.floor(b[0]), math.floor(b[1]), math.ceil(b[2]), math.ceil(b[3])) if b else (0, 0, 0, 0)
            glyphs.append((names[gid], hmtx[name][0], box, pen.fractional))
    else:
        glyf = ttfont["glyf"]
        for gid, name in enumerate(order):
            g = glyf[name]
            box = tuple(getattr(g, k, 0) for k in ("xMin", "yMin", "xMax", "yMax"))
            glyphs.append((names[gid], hmtx[name][0], box, False))
    return glyphs


def afm_metrics_ok(check, afm_text, p, e, source, glyphs):
    """Each CH line's name, width and box are those of the glyph fontTools maps the code to."""
    units = source.ttfont["head"].unitsPerEm
    index = {name: i for i, name in enumerate(source.ttfont.getGlyphOrder())}
    cmap = source.ttfont["cmap"].getcmap(p, e).cmap
    wrong = []
    for line in afm_text.splitlines():
        m = CH_LINE.match(line)
        if not m or not m.group(4):
            continue
        code = int(m.group(1), 16)
        name, width, box, fractional = glyphs[index[cmap[code]]]
        got_box = [int(v) for v in m.group(4).split()[1:5]]
        want_box = [afm_units(v, units) for v in box]
        slack = afm_units(1, units) + 1 if fractional else 0
        if (m.group(2), int(m.group(3))) != (name, afm_units(width, units)) or any(
            abs(a - b) > slack for a, b in zip(got_box, want_box)
        ):
            wrong.append("%s: want N %s WX %d B %s" % (line, name, afm_units(width, units), want_box))
    if wrong:
        check.fail("afm %u.%u: %d lines differ from fontTools, first: %s" % (p, e, len(wrong), wrong[0]))


def round_trip_ok(check, run, afm_path, p, e, source, glyphs, work):
    """afm -> encode -> gen: the new font's subtable maps each code of the afm text to a
    glyph of the name the text gives (duplicate names resolve to their first glyph)."""
    from fontTools.ttLib import TTFont

    out = os.path.join(work, "round-trip-%u.%u.ttf" % (p, e))
    status, _, err = run(*source.words, afm_path, str(p), str(e), "encode", out, "gen")
    if status != 0 and any(FORMAT4_FULL.search(line) for line in err):
        # As for TrueType fonts: a format 4 subtable holds about 32,000 codes.
        return "round trip %u.%u: too many codes for a format 4 subtable" % (p, e)
    if not check.expect_status("afm %u.%u, encode and gen" % (p, e), status, 0, err):
        return
    written = TTFont(out)
    mapped = written["cmap"].getcmap(p, e)
    order = written.getGlyphOrder()
    index = {name: i for i, name in enumerate(order)}
    wrong = []
    with open(afm_path, encoding="latin-1") as f:
        for line in f:
            m = CH_LINE.match(line.rstrip("\n"))
            if not m:
                continue
            code, name = int(m.group(1), 16), m.group(2)
            if code == 0:  # encoding files skip code 0
                continue
            got = mapped.cmap.get(code) if mapped else None
            if got is None or glyphs[index[got]][0] != name:
                wrong.append("code %04x: %s, want %s" % (code, got, name))
    if wrong:
        check.fail("round trip %u.%u: %d codes map differently, first: %s" % (p, e, len(wrong), wrong[0]))


# ------------------------------------------------------------------ names, family, web fonts

NAME_IDS = [
    "copyright notice", "font family name", "font subfamily name", "unique font ID",
    "full font name (should be family+subfamily)", "version string", "PostScript name",
    "trademark notice", "Manufacturer", "Designer", "Description", "Vendor URL",
    "Designer URL", "License", "License URL", "reserved 15", "Typographic Family",
    "Typographic Subfamily", "Compatible Full", "Sample Text", "PostScript CID findfont name",
    "WWS Family", "WWS Subfamily", "Light Background Palette", "Dark Background Palette",
    "Variations PostScript Name Prefix",
]
NEW_FAMILY = "Acme Web Sans"


def name_records(sfnt):
    """(platform, encoding, language, nameID, bytes) of every name record, in table order."""
    name = sfnt.table(b"name")
    if name is None or len(name) < 6:
        return []
    count, storage = u16(name, 2), u16(name, 4)
    records = []
    for i in range(min(count, (len(name) - 6) // 12)):
        p, e, l, n, length, offset = struct.unpack(">6H", name[6 + 12 * i : 18 + 12 * i])
        records.append((p, e, l, n, name[storage + offset : storage + offset + length]))
    return records


def name_text(platform, data):
    """A name string as Unicode: UTF-16BE for platforms 0 and 3 (a final odd byte dropped,
    a lone surrogate U+FFFD), Mac Roman for platform 1, bytes as Latin-1 otherwise."""
    if platform in (0, 3):
        return data[: len(data) // 2 * 2].decode("utf-16-be", errors="replace")
    return data.decode("mac_roman" if platform == 1 else "latin-1")


def one_line(text):
    return "".join(" " if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F or c in "\u2028\u2029" else c
                   for c in text)


def list_names_ok(check, list_out, sfnt):
    """Each name record's line of the list report: the name ID's words and the text as
    UTF-8 on one line; the lines are UTF-8 whatever the font holds."""
    lines = list_out.split(b"\n")
    heading = re.compile(rb"^Name \d+ \d+ 0x[0-9a-f]{4} \d+:$")
    got = [lines[i + 2] for i, line in enumerate(lines[:-2]) if heading.match(line)]
    want = []
    for p, _, _, n, data in name_records(sfnt):
        words = NAME_IDS[n] if n < len(NAME_IDS) else "unknown name ID %d" % n
        text = one_line(name_text(p, data))
        if p not in (0, 1, 3):  # other platforms' bytes are written as they are
            want.append(words.encode() + b' = "' + text.encode("latin-1") + b'"')
        else:
            want.append(('%s = "%s"' % (words, text)).encode("utf-8"))
    if got != want:
        bad = [(g, w) for g, w in zip(got, want) if g != w][:1] or [(len(got), len(want))]
        check.fail("list: name lines differ from the name table, first: %r" % (bad[0],))


def postscript_form(text):
    return "".join(c for c in text if c.isascii() and (c.isalnum() or c == "-"))[:63]


def family_ok(check, run, source, sfnt, load_lines, work):
    """`family` renames IDs 1, 16, 21 to the family, 4 and 18 to family and style, 6 and
    20 to the PostScript form, in every record that exists; every other record keeps its
    bytes, and the count on the standard error stream is that of the records changed."""
    out = os.path.join(work, "family" + (".otf" if b"CFF " in sfnt.tags() else ".ttf"))
    status, _, err = run(*source.words, NEW_FAMILY, "family", out, "gen")
    if not check.expect_status("family and gen", status, 0, err):
        return
    before, after = name_records(sfnt), name_records(Sfnt(out))
    if [r[:4] for r in before] != [r[:4] for r in after]:
        check.fail("family: the name records are not those of the source")
        return

    def style(record):
        for wanted in (17, 2):
            for p, e, l, n, data in before:
                if (p, e, l, n) == record[:3] + (wanted,):
                    return name_text(p, data)
        return ""

    changed, wrong = 0, []
    for old, new in zip(before, after):
        p, n = old[0], old[3]
        if n in (1, 16, 21):
            want = NEW_FAMILY
        elif n in (4, 18):
            want = NEW_FAMILY + (" " + style(old) if style(old) else "")
        elif n in (6, 20):
            want = postscript_form(NEW_FAMILY + ("-" + style(old) if style(old) else ""))
        else:
            want = None
        if want is None and new[4] != old[4] or want is not None and name_text(p, new[4]) != want:
            wrong.append("%s: %r, want %r" % (old[:4], name_text(p, new[4]), want))
        changed += new[4] != old[4]
    if wrong:
        check.fail("family: %d records wrong, first %s" % (len(wrong), wrong[0]))
    want_err = list(load_lines)
    if b"CFF " in sfnt.tags():
        want_err.append("family: warning: %s: the CFF table's own FontName still holds the old "
                        "name (kestrix does not rewrite CFF)" % source.words[0])
    want_err.append("family: %d name record(s) changed" % changed)
    check.expect_messages("family", err, want_err)


def glyph_outline(glyf, name):
    """What WOFF2 keeps of a glyph: contours, points, on-curve flags, components and
    instructions (it re-encodes flags and coordinates, pads glyphs to 4 bytes and
    recomputes simple glyphs' boxes)."""
    g = glyf[name]
    program = g.program.getBytecode() if hasattr(g, "program") else b""
    if g.isComposite():
        return ("composite", [(c.glyphName, sorted((k, repr(v)) for k, v in vars(c).items() if k != "flags"),
                               c.flags & 0x1E04) for c in g.components], program)
    if g.numberOfContours <= 0:
        return ("empty",)
    return (list(g.coordinates), list(g.endPtsOfContours), [f & 1 for f in g.flags], program)


def web_tables_ok(check, what, direct, tables, woff2):
    """{tag: bytes} of a decoded web font against the direct gen output: the same tables
    and bytes; for WOFF2 without DSIG, and glyf, loca and head as WOFF2 rebuilds them
    (compared apart)."""
    want = [t for t in direct.tags() if not (woff2 and t == b"DSIG")]
    if sorted(tables) != sorted(want):
        check.fail("%s: tables %s, expected %s" % (what, sorted(tables), sorted(want)))
        return
    for tag in want:
        a, b = direct.table(tag), tables[tag]
        if tag == b"head":
            # checkSumAdjustment; for WOFF2 also flags bit 11 and indexToLocFormat
            a, b = a[:8] + a[12:], b[:8] + b[12:]
            if woff2 and len(a) >= 48 and len(b) >= 48:
                a = a[:12] + bytes([a[12] & ~0x08]) + a[13:46] + a[48:]
                b = b[:12] + bytes([b[12] & ~0x08]) + b[13:46] + b[48:]
        elif woff2 and tag in (b"glyf", b"loca"):
            continue
        if a != b:
            check.fail("%s: table %r differs (%d bytes, expected %d)" % (what, tag.decode("latin-1"), len(b), len(a)))


def web_fonts_ok(check, source, sfnt, direct_path, gen_err, load_lines, work):
    """gen to .woff2 and .woff: what ots-sanitize and fontTools accept, decoding (fontTools,
    and kestrix then gen .ttf) to the tables of the direct gen. Returns the reasons for
    what is skipped and the slowest web-font gen, which the time limit does not cover."""
    from fontTools.ttLib import TTFont

    reasons, slowest = [], 0.0
    direct = Sfnt(direct_path)
    glyphs = None
    for kind in ("woff2", "woff"):
        web = os.path.join(work, "gen." + kind)
        status, _, err, took = check.run(*source.words, web, "gen")
        slowest = max(slowest, took)
        woff2 = kind == "woff2"
        if woff2 and status != 0:
            # libwoff2 refuses some fonts; woff2_compress on the direct output must too.
            copy = os.path.join(work, "refused.ttf")
            with open(direct_path, "rb") as a, open(copy, "wb") as b:
                b.write(a.read())
            if subprocess.run(["woff2_compress", copy], capture_output=True).returncode != 0:
                reasons.append("WOFF2: libwoff2 refuses the font (woff2_compress as well)")
                continue
        if not check.expect_status("gen ." + kind, status, 0, err):
            continue
        dsig = ["gen: warning: %s: the DSIG table is left out (WOFF2 re-encodes the glyphs, and "
                "a signature would no longer match)" % web] if woff2 and b"DSIG" in direct.tags() else []
        check.expect_messages("gen ." + kind, err, gen_err + dsig)
        if ots_accepts(direct_path, work)[0]:
            ots_ok(check, "gen ." + kind, web, work)
        try:
            font = TTFont(web)
            if font.flavor != kind:
                check.fail("gen .%s: fontTools reads flavor %r" % (kind, font.flavor))
            tables = {tag.encode("latin-1"): font.reader[tag] for tag in font.reader.keys()}
        except Exception as e:  # fontTools refuses the file
            check.fail("gen .%s: fontTools cannot read it: %s" % (kind, e))
            continue
        web_tables_ok(check, "gen .%s as fontTools decodes it" % kind, direct, tables, woff2)

        back = os.path.join(work, "back-%s.ttf" % kind)
        status, _, err, _ = check.run(web, "font", back, "gen")
        if not check.expect_status("gen .%s, font, gen .ttf" % kind, status, 0, err):
            continue
        not_warning = lambda lines: [l for l in lines if not l.startswith("gen: warning:")]
        check.expect_messages("gen .%s, font, gen .ttf" % kind, not_warning(err), not_warning(gen_err))
        decoded = Sfnt(back)
        web_tables_ok(check, "gen .%s, font, gen .ttf" % kind, direct,
                      {t: decoded.table(t) for t in decoded.tags()}, woff2)
        if woff2 and b"glyf" in direct.tags():
            if glyphs is None:
                direct_glyf = TTFont(direct_path)["glyf"]
                glyphs = [glyph_outline(direct_glyf, n) for n in direct_glyf.glyphOrder]
            back_glyf = TTFont(back)["glyf"]
            got = [glyph_outline(back_glyf, n) for n in back_glyf.glyphOrder]
            if got != glyphs:
                first = next((i for i, (a, b) in enumerate(zip(got, glyphs)) if a != b), len(got))
                check.fail("gen .woff2, font, gen .ttf: glyph %d differs from the direct gen's" % first)
    return reasons, slowest


def check_font(kestrix, font):
    from fontTools.ttLib import TTFont

    slowest, web_slowest = 0.0, 0.0
    with tempfile.TemporaryDirectory(prefix="kestrix-corpus-") as work:
        source = Source(font, work)
        sfnt, ttfont = source.sfnt, source.ttfont
        load_lines, reasons = load_messages(sfnt, ttfont)
        composite_lines = [l for l in load_lines if COMPOSITE_NOTICE.match(l)]
        glyphs = expected_glyphs(source) if source.other_format else None
        check = Check(kestrix, font, work)

        def run(*words):
            nonlocal slowest
            status, out, err, took = check.run(*words)
            slowest = max(slowest, took)
            return status, out, err

        status, _, err = run(*source.words, "pop")
        if check.expect_status("font", status, 0, err):
            check.expect_messages("font", err, load_lines)

        status, out, err = run(*source.words, "list")
        if check.expect_status("list", status, 0, err):
            if not out:
                check.fail("list: nothing on the standard output")
            list_names_ok(check, out, sfnt)
        family_ok(check, run, source, sfnt, load_lines, work)

        seen = set()
        for p, e, fmt, _, _ in cmap_encodings(sfnt):
            if fmt not in MAPPING_FORMATS or (p, e) in seen:
                continue
            seen.add((p, e))
            status, out, err = run(*source.words, str(p), str(e), "afm")
            if check.expect_status("afm %u.%u" % (p, e), status, 0, err):
                path = os.path.join(work, "%u.%u.afm" % (p, e))
                afm_lines_ok(check, out.decode("latin-1"), p, e, ttfont, path, sfnt)
                if (p, e) == (3, 1) and "GPOS" in ttfont:
                    gpos_kerning_ok(check, out.decode("latin-1"), ttfont, sfnt)
                if glyphs is not None:
                    afm_metrics_ok(check, out.decode("latin-1"), p, e, source, glyphs)
                    afm_path = os.path.join(work, "%u.%u.encoding.afm" % (p, e))
                    with open(afm_path, "wb") as f:
                        f.write(out)
                    limit = round_trip_ok(check, run, afm_path, p, e, source, glyphs, work)
                    if limit:
                        reasons.append(limit)

        first = os.path.join(work, "gen1" + (".otf" if b"CFF " in sfnt.tags() else ".ttf"))
        status, _, err = run(*source.words, first, "gen")
        if check.expect_status("gen", status, 0, err):
            web_reasons, web_slowest = web_fonts_ok(check, source, sfnt, first, err, load_lines, work)
            reasons += web_reasons
            if ots_accepts(source.standalone(work), work)[0]:
                ots_ok(check, "gen", first, work)
            status, _, err = run(first, "font", "pop")
            check.expect_messages("reloading the gen output", err, load_lines)
            written = Sfnt(first)
            copied = [t for t in sfnt.tags() if t not in REGENERATED or t == b"OS/2"]
            compare_tables(check, "gen (copied tables and OS/2)", _only(sfnt, copied), _only(written, copied), False)
            cmaps_ok(check, ttfont, TTFont(first, lazy=True))

            export_words, import_words = list(source.words), list(source.words)
            for i, tag in enumerate(sfnt.tags()):
                name = os.path.join(work, "table%02d.bin" % i)
                export_words += ["dup", tag.decode("latin-1"), name, "export"]
                import_words += [tag.decode("latin-1"), name, "import"]
            status, _, err = run(*export_words, "pop")
            if check.expect_status("export of every table", status, 0, err):
                second = os.path.join(work, "gen2.ttf")
                status, _, err = run(*import_words, second, "gen")
                if check.expect_status("import of every table and gen", status, 0, err):
                    status, _, err = run(second, "font", "pop")
                    check.expect_messages("reloading the re-imported font", err, load_lines)
                    compare_tables(check, "export, import and gen", written, Sfnt(second), True)

        if not source.other_format:
            limit = truetype_round_trip_ok(check, run, font, sfnt, ttfont, work)
            if limit:
                reasons.append(limit)

    return check.failures, reasons, slowest, web_slowest


class _only:
    """A view of an Sfnt restricted to some tags (for comparing copied tables only)."""

    def __init__(self, sfnt, tags):
        self._sfnt, self._tags = sfnt, tags

    def tags(self):
        return [t for t in self._sfnt.tags() if t in self._tags]

    def table(self, tag):
        return self._sfnt.table(tag)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--kestrix")
    parser.add_argument("--max-seconds", type=float, default=5.0)
    parser.add_argument("font", nargs="?")
    args = parser.parse_args()
    if args.list:
        for path in packaged_fonts() + other_format_entries():
            print(path)
        return 0
    failures, reasons, slowest, web_slowest = check_font(os.path.abspath(args.kestrix), args.font)
    if slowest > args.max_seconds:
        failures.append("one run took %.1f s (limit %.1f s)" % (slowest, args.max_seconds))
    # Brotli at its best compression takes seconds a megabyte: WOFF2 runs are not limited.
    print("%s: slowest run %.2f s; slowest web-font gen %.2f s" % (args.font, slowest, web_slowest))
    for reason in reasons:
        print("justified warning: %s" % reason)
    for failure in failures:
        print("FAIL %s" % failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
