#!/usr/bin/python3
"""The GPOS kerning that `afm` writes, beside FontForge's AFM of the same font.

    check_fontforge_kerning.py --kestrix BIN FONT...

Real fonts whose kerning is in GPOS only are the CFF-flavoured URW base 35 (five of them
are checked; FontForge's pairs and ours agree exactly there). Of the TrueType fonts, four kern
pairs in GPOS that their kern table lacks (LiberationSans Regular, Bold, Italic and
BoldItalic of fonts-liberation2); those are checked as installed, and FreeSerif and DejaVuSans
as GPOS-only fonts: a font given as nokern:PATH is checked with its kern table removed (by
fontTools).
Names are compared as fontTools spells them (`afm` keeps the older spelling of a few
standard Macintosh names, such as dmacron for dcroat). Where the two disagree, it is for
reasons of FontForge's, each checked here rather than ignored:

- Values: FontForge truncates toward zero when it scales to 1000 units per em, `afm`
  rounds (afm_scale); a pair both write may differ by 1.
- Scripts: FontForge writes the kern lookups of the Latin script (and DFLT) only.
  LiberationSans (fonts-liberation2) kerns 908 pairs for latn, grek and cyrl in one
  lookup and 1,107 more in a lookup only the Hebrew script uses; FontForge writes the
  908, `afm` all 2,015 (a text engine applies either, depending on the script). So every
  pair of the Latin kern lookups must be in FontForge's AFM, and any other pair of ours
  may be missing there.
- Lookups outside the kern feature: FontForge writes the pairs of every pair lookup,
  also of one that no feature uses (FreeSerif's lookup 42), which no text engine applies
  under `kern`. Every FontForge pair that `afm` lacks must come from such a lookup.
- Class 0 of the second class definition: for FontForge a class subtable does not cover
  a pair whose second glyph is in class 0, and a later subtable of the lookup may kern it;
  a text engine stops at the class subtable, which covers every second glyph of a covered
  first glyph. FreeSerif's lookup 13 has 850 such pairs in FontForge's AFM (aakaradeva
  colon ...) that `afm` does not write. They must be exactly what the lookups give with
  class 0 read FontForge's way.
- Where several kern lookups kern one pair FontForge keeps one value, `afm` the sum (as a
  text engine applies them all). The fonts here have no such pair, which is checked.
"""

import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import check_font as cf  # noqa: E402


def kpx(text):
    pairs = {}
    for line in text.splitlines():
        w = line.split()
        if w and w[0] == "KPX":
            pairs[(w[1], w[2])] = int(w[3])
    return pairs


def other_pair_lookups(gpos):
    kern = set(cf.kern_feature_lookups(gpos))
    return [i for i, l in enumerate(gpos.LookupList.Lookup) if l.LookupType in (2, 9) and i not in kern]


def check(kestrix, font, work):
    from fontTools.ttLib import TTFont

    if font.startswith("nokern:"):
        stripped = TTFont(font[len("nokern:") :])
        del stripped["kern"]
        font = os.path.join(work, "nokern-" + os.path.basename(font))
        stripped.save(font)
    ttfont = TTFont(font)
    order = ttfont.getGlyphOrder()
    spelled = {}
    charset = order if "CFF " in ttfont else None
    for i, name in enumerate(cf.program_names(cf.Sfnt(font), len(order), charset)):
        spelled.setdefault(name, order[i])
    gpos = ttfont["GPOS"].table
    out = subprocess.run([kestrix, font, "font", "3", "1", "afm"], capture_output=True)
    ours = {(spelled[l], spelled[r]): v for (l, r), v in kpx(out.stdout.decode("latin-1")).items()}
    afm = os.path.join(work, os.path.basename(font) + ".afm")
    subprocess.run(["fontforge", "-lang=ff", "-c", "Open($1); Generate($2)", font, afm],
                   capture_output=True, check=True)
    with open(afm, encoding="latin-1") as f:
        theirs = kpx(f.read())

    def named(pairs):
        return {(order[l], order[r]) for (l, r) in pairs}

    failures = []
    latin = cf.kern_feature_lookups(gpos, {"latn", "DFLT"})
    per_lookup = [named(cf.gpos_kerning(ttfont, [i])) for i in cf.kern_feature_lookups(gpos)]
    shared = set.intersection(*per_lookup) if len(per_lookup) > 1 else set()
    missing = named(cf.gpos_kerning(ttfont, latin)) - set(theirs)
    if missing:
        failures.append("%d Latin kern pairs not in FontForge's AFM, e.g. %s" % (len(missing), sorted(missing)[:3]))
    outside = named(cf.gpos_kerning(ttfont, other_pair_lookups(gpos)))
    fontforge_way = named(cf.gpos_kerning(ttfont, class_zero_covers=False))
    extra = set(theirs) - set(ours) - outside - fontforge_way
    if extra:
        failures.append("%d FontForge pairs from no pair lookup, e.g. %s" % (len(extra), sorted(extra)[:3]))
    off = [(p, v, ours[p]) for p, v in theirs.items() if p in ours and abs(ours[p] - v) > 1]
    if off or shared:
        failures.append("values differ by more than 1: %s; pairs of several lookups: %d" % (off[:3], len(shared)))
    common = len(set(theirs) & set(ours))
    print("%s: afm %d pairs, FontForge %d, %d in both" % (font, len(ours), len(theirs), common))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrix", required=True)
    parser.add_argument("fonts", nargs="+")
    args = parser.parse_args()
    failed = False
    with tempfile.TemporaryDirectory(prefix="kestrix-ff-") as work:
        for font in args.fonts:
            if not os.path.exists(font.replace("nokern:", "")):
                print("FAIL %s: not installed" % font)
                failed = True
                continue
            for failure in check(args.kestrix, font, work):
                print("FAIL %s: %s" % (font, failure))
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
