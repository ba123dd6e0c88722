#!/usr/bin/env python3
"""Gives the `texafm` text of each font to the AFM readers of other programs
(fontTools.afmLib, matplotlib, groff's afmtodit, afm2tfm, afm2pl) and checks that each
takes the file and reports the characters, widths and kerning pairs kestrix wrote.

Usage: texafm_readers_check.py KESTRIX FONT...   (or --corpus: every corpus font)

Also checks the form every reader relies on: one StartKernData block with one
StartKernPairs list and no Comment lines in it, no zero-valued pair, a header in plain
ASCII with one Notice line, and names unique in the file. TeX's tools see only the glyphs
of their encoding (afm2tfm is given ec.enc, as the README's recipe does; afm2pl the codes
of the file), and their own ligature and kerning programs drop pairs (those with a space or a
digit, those a ligature replaces): every pair they keep must be one kestrix wrote. A reader
whose program is not installed is skipped and named. Prints per reader the fonts read and
the pairs kept (of those between glyphs the reader takes: afm2tfm those T1's ec.enc names, afm2pl
those with codes, groff those it has names for); exit status 0 when
every check passes.
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import afm_readers  # noqa: E402

F_LIGATURES = {"ff", "fi", "fl", "ffi", "ffl"}


def texafm(kestrix, font):
    for platform, encoding in (("3", "1"), ("3", "0"), ("1", "0")):
        done = subprocess.run([kestrix, font, "font", platform, encoding, "texafm"],
                              capture_output=True, text=True, errors="replace")
        if done.returncode == 0:
            return done.stdout
    return None


def form_failures(text):
    failures = []
    header = text[:text.index("StartCharMetrics")]
    if not header.isascii():
        failures.append("header is not plain ASCII")
    if header.count("\nNotice ") > 1:
        failures.append("more than one Notice line")
    if text.count("StartKernData") > 1 or text.count("StartKernPairs") > 1:
        failures.append("more than one kerning block")
    kern = re.search(r"StartKernData\n(.*?)EndKernData\n", text, re.S)
    if kern:
        body = kern[1].splitlines()
        if any(line.startswith("Comment") for line in body):
            failures.append("Comment inside the kerning block")
        declared = sum(int(line.split()[1]) for line in body
                       if line.startswith("StartKernPairs"))
        kpx = [line for line in body if line.startswith("KP")]
        if declared != len(kpx):
            failures.append("StartKernPairs %d, %d pairs" % (declared, len(kpx)))
        if any(line.endswith(" 0") for line in kpx):
            failures.append("a zero-valued pair")
    names = re.findall(r"^C -?\d+ ; WX -?\d+ ; N (\S+) ;", text, re.M)
    if len(names) != len(set(names)):
        failures.append("names repeat")
    return failures


def expected(reader, chars, pairs, got_chars, got_pairs):
    """What the reader must report of kestrix's text."""
    if reader in ("afm2tfm", "afm2pl"):
        encoded = set(got_chars)
        want_chars = {n: w for n, w in chars.items() if n in encoded}
        return want_chars, {k: v for k, v in pairs.items() if {k[0], k[1]} <= encoded}
    if reader == "afmtodit":  # kerns only between glyphs groff has names for
        named = {n for k in got_pairs for n in k}
        return chars, {k: v for k, v in pairs.items() if k[0] in named and k[1] in named}
    return chars, pairs


def check_font(kestrix, font, stats, work):
    text = texafm(kestrix, font)
    if text is None:
        return ["texafm failed"]
    failures = form_failures(text)
    chars, _, pairs, ligatures = afm_readers.parse_texafm(text)
    path = os.path.join(work, "f.afm")
    with open(path, "w") as f:
        f.write(text)
    for reader, read in afm_readers.READERS.items():
        try:
            got = read(path, work)
        except Exception as exc:  # a reader that rejects the file
            failures.append("%s rejects it: %s" % (reader, str(exc)[:200]))
            continue
        if got is None:
            stats[reader] = None
            continue
        got_chars, got_pairs, got_ligatures = got
        want_chars, want_pairs = expected(reader, chars, pairs, got_chars, got_pairs)
        # TeX's tools apply ligature and kerning programs of their own (which drop pairs, or
        # make accented letters kern as their base letters do): every width they give and
        # every pair of kestrix's they keep must be kestrix's, not all of them kept.
        tex = reader in ("afm2tfm", "afm2pl")
        if tex:
            got_chars = {n: w for n, w in got_chars.items() if n in want_chars}
            want_chars = {n: w for n, w in want_chars.items() if n in got_chars}
        if got_chars != want_chars:
            wrong = sorted(set(got_chars.items()) ^ set(want_chars.items()))[:5]
            failures.append("%s: characters differ (%s)" % (reader, wrong))
        kept = {k: v for k, v in got_pairs.items() if k in want_pairs}
        wrong = {k: (v, want_pairs[k]) for k, v in kept.items() if want_pairs[k] != v}
        if wrong or (not tex and kept != want_pairs):
            missing = sorted(set(want_pairs) - set(kept))[:5]
            failures.append("%s: kerning pairs differ (%s, missing %s)"
                            % (reader, sorted(wrong.items())[:5], missing))
        # TeX's tools keep the f-ligatures of the file, in a font that is not fixed pitch
        # (their own programs may replace others, and give a fixed-pitch font none).
        if got_ligatures is not None and "\nIsFixedPitch true" not in text:
            want = {k: v for k, v in ligatures.items()
                    if {k[0], k[1], v} <= set(got_chars) and v in F_LIGATURES}
            if {k: v for k, v in got_ligatures.items() if k in want} != want:
                failures.append("%s: ligatures differ" % reader)
        fonts, kept_pairs, wanted, written = stats.get(reader) or (0, 0, 0, 0)
        stats[reader] = (fonts + 1, kept_pairs + len(kept), wanted + len(want_pairs),
                         written + len(pairs))
    return failures


def corpus_fonts():
    here = os.path.dirname(os.path.abspath(__file__))
    listed = subprocess.run([sys.executable, os.path.join(here, "..", "corpus", "check_font.py"),
                             "--list"], capture_output=True, text=True).stdout.split()
    return [f for f in listed if f.endswith((".ttf", ".otf"))]


def main():
    args = sys.argv[1:]
    if len(args) < 2:
        print(__doc__)
        return 2
    kestrix, fonts = args[0], args[1:]
    if fonts == ["--corpus"]:
        fonts = corpus_fonts()
    stats, failed = {}, 0
    with tempfile.TemporaryDirectory() as work:
        for font in fonts:
            failures = check_font(kestrix, font, stats, work)
            failed += bool(failures)
            for failure in failures[:10]:
                print("%s: %s" % (os.path.basename(font), failure))
    for reader, counts in stats.items():
        if counts is None:
            print("%s: not installed, skipped" % reader)
        else:
            print("%s: %d of %d fonts read; %d pairs kept of %d between glyphs it takes, %d "
                  "written" % ((reader, counts[0], len(fonts)) + counts[1:]))
    print("%d of %d fonts failed" % (failed, len(fonts)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
