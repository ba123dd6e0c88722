#!/usr/bin/python3
"""The re-encode census: on every real font file (each TrueType and CFF OpenType file a
Debian package installed under /usr/share/fonts, and each font of a collection), `afm` of
the font's own 3.1 subtable, fed back to `encode 3 1` and written with `gen`, must give a
3.1 subtable with the source's mapping, as fontTools reads both.

    check_reencode.py --kestrix BIN

The afm text names each code's glyph, and encode finds the lowest glyph of that name, so
a code is expected to map to the lowest glyph that has the name of the source's glyph
(names as the program gives them). Prints one line per failing file and a count.
"""

import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_font import FONT_ROOT, Sfnt, mapped_codes, packaged, program_names, u32  # noqa: E402


def census_entries():
    """(path, face or None) of every packaged TrueType, CFF OpenType and collection file."""
    candidates = []
    for root, _, files in os.walk(FONT_ROOT):
        for name in files:
            path = os.path.join(root, name)
            if name.lower().endswith((".ttf", ".otf", ".ttc")) and not os.path.islink(path):
                candidates.append(path)
    entries = []
    for path in packaged(candidates):
        with open(path, "rb") as f:
            head = f.read(12)
        if head[:4] == b"ttcf":
            entries += [(path, face) for face in range(u32(head, 8))]
        elif head[:4] in (b"\0\1\0\0", b"true", b"OTTO"):
            entries.append((path, None))
    return entries


def expected_mapping(ttfont, sfnt):
    """code -> glyph the re-encoded subtable must give; None without a 3.1 subtable."""
    source = ttfont["cmap"].getcmap(3, 1)
    if source is None:
        return None
    order = ttfont.getGlyphOrder()
    index = {name: i for i, name in enumerate(order)}
    cff = "glyf" not in ttfont
    names = program_names(sfnt, len(order), order if cff else None)
    lowest = {}
    for g, name in enumerate(names):
        lowest.setdefault(name, g)
    # encode takes codes above 0 only: code 0 stands for "no code" in its input.
    return {c: lowest[names[g]] for c, g in mapped_codes(source.cmap, index).items() if c != 0}


def reencode(kestrix, path, face, work):
    """The re-encoded font's path, or the reason it could not be made."""
    words = [kestrix, path, "font"] if face is None else [kestrix, path, str(face), "face"]
    afm = subprocess.run(words + ["3", "1", "afm"], capture_output=True)
    if afm.returncode != 0:
        return None, "afm 3 1 failed: " + afm.stderr.decode("latin-1")[-300:]
    afm_path, out = os.path.join(work, "own.afm"), os.path.join(work, "reencoded.ttf")
    if os.path.exists(out):
        os.remove(out)  # gen never overwrites a file
    with open(afm_path, "wb") as f:
        f.write(afm.stdout)
    gen = subprocess.run(words + [afm_path, "3", "1", "encode", out, "gen"], capture_output=True)
    if gen.returncode != 0:
        return None, "encode and gen failed: " + gen.stderr.decode("latin-1")[-300:]
    return out, None


def check(kestrix, path, face, work):
    """None when the file passes, else what went wrong."""
    from fontTools.ttLib import TTFont

    ttfont = TTFont(path, lazy=True, fontNumber=face or 0)
    want = expected_mapping(ttfont, Sfnt(path, face or 0))
    if want is None:
        return None
    out, why = reencode(kestrix, path, face, work)
    if why:
        return why
    written = TTFont(out, lazy=True)
    index = {name: i for i, name in enumerate(written.getGlyphOrder())}
    subtable = written["cmap"].getcmap(3, 1)
    got = mapped_codes(subtable.cmap, index) if subtable else {}
    if got != want:
        diff = sorted(set(got.items()) ^ set(want.items()))[:3]
        return "%d codes mapped, source maps %d (differences: %s)" % (len(got), len(want), diff)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrix", required=True)
    args = parser.parse_args()
    kestrix = os.path.abspath(args.kestrix)
    entries = census_entries()
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kestrix-reencode-") as work:
        for path, face in entries:
            why = check(kestrix, path, face, work)
            if why:
                failures += 1
                print("FAIL %s%s: %s" % (path, "" if face is None else ":face%d" % face, why))
    print("re-encoded %d of %d font files" % (len(entries) - failures, len(entries)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
