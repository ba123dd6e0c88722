#!/usr/bin/env python3
"""The TeX recipe of the README, end to end: texafm, afm2tfm -T ec.enc -v, vptovf, a map
line that embeds the font, and a LaTeX document in T1 encoding typeset with pdflatex.

Usage: pdftex_check.py KESTRIX FONT...

The document sets "office fluffy", "AVAWAY" and every character of ec.enc the font has
(that its Unicode cmap maps).
Checks: no "Missing character" and no glyph pdfTeX cannot find in the font, the font
embedded (pdffonts), the text back from pdftotext, the AV kern in the virtual font, and
the fi and fl ligatures wherever the AFM text gives them. Exit status 0 when every check
passes; 77 when a tool is not installed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from afm_readers import enc_names  # noqa: E402

TOOLS = ("afm2tfm", "vptovf", "pdflatex", "pdffonts", "pdftotext", "kpsewhich", "perl")

# The README's steps: T1 (ec.enc) with TeX's f-ligatures for afm2tfm, and the same vector
# with uniXXXX names for pdfTeX, which finds those through the font's Unicode cmap.
F_LIGATURES = "% LIGKERN f i =: fi ; f l =: fl ; f f =: ff ; ff i =: ffi ; ff l =: ffl ;\n"
UNI_ENC = (r'BEGIN { @u{qw(ff fi fl ffi ffl)} = map { sprintf "FB%02X", $_ } 0 .. 4 } '
           r'if ($ARGV =~ /glyphtounicode/) { $u{$1} //= $2 if '
           r'/^\\pdfglyphtounicode\{(\w+)\}\{([0-9A-F]{4})\}$/; next } '
           r's{/(\w+)}{exists $u{$1} ? "/uni$u{$1}" : "/$1"}ge unless /^%/; print')

DOCUMENT = r"""\documentclass{article}
\usepackage[T1]{fontenc}
\pdfmapfile{+kx.map}
\DeclareFontFamily{T1}{kx}{}
\DeclareFontShape{T1}{kx}{m}{n}{<-> kx}{}
\pagestyle{empty}
\begin{document}
\fontfamily{kx}\selectfont
office fluffy AVAWAY

%s
\end{document}
"""


def run(args, cwd, **kw):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True, errors="replace", **kw)


def font_slots(font, names):
    """The ec.enc slots whose character the font maps (by the Adobe Glyph List, the
    f-ligatures by their presentation forms), but the space."""
    from fontTools import agl
    from fontTools.ttLib import TTFont
    cmap = TTFont(font).getBestCmap()
    slots = []
    for slot, name in enumerate(names):
        text = agl.toUnicode(name)
        if name in LIGATURE_CODES:
            text = chr(LIGATURE_CODES[name])
        if len(text) == 1 and ord(text) in cmap and slot != 32:
            slots.append(slot)
    return slots


LIGATURE_CODES = {"ff": 0xFB00, "fi": 0xFB01, "fl": 0xFB02, "ffi": 0xFB03, "ffl": 0xFB04,
                  "dotlessj": 0x0237}


def check(kestrix, font, work):
    failures = []
    done = run([kestrix, font, "font", "3", "1", "texafm"], work)
    if done.returncode != 0:
        return ["texafm failed: " + done.stderr]
    with open(os.path.join(work, "kx.afm"), "w") as f:
        f.write(done.stdout)
    shutil.copy(font, work)
    ec = run(["kpsewhich", "ec.enc"], work).stdout.strip()
    with open(os.path.join(work, "t1.enc"), "w") as f:
        f.write(F_LIGATURES + open(ec).read())
    made = run(["afm2tfm", "kx.afm", "-T", "t1.enc", "-v", "kx.vpl", "rkx.tfm"], work)
    if made.returncode != 0:
        return ["afm2tfm: " + made.stderr]
    map_line = made.stdout.strip().split("\n")[-1]
    run(["vptovf", "kx.vpl", "kx.vf", "kx.tfm"], work)
    g2u = run(["kpsewhich", "glyphtounicode.tex"], work).stdout.strip()
    with open(os.path.join(work, "t1-uni.enc"), "w") as f:
        f.write(run(["perl", "-ne", UNI_ENC, g2u, "t1.enc"], work).stdout)
    embed = ("<<" if font.endswith(".otf") else "<") + os.path.basename(font)
    with open(os.path.join(work, "kx.map"), "w") as f:
        f.write("%s %s\n" % (map_line.replace("<t1.enc", "<t1-uni.enc"), embed))

    slots = font_slots(font, enc_names(ec))
    body = " ".join(r"\char%d" % c for c in slots)
    with open(os.path.join(work, "doc.tex"), "w") as f:
        f.write(DOCUMENT % body)
    typeset = run(["pdflatex", "-interaction=nonstopmode", "doc.tex"], work)
    log = open(os.path.join(work, "doc.log"), errors="replace").read()
    if typeset.returncode != 0 or not os.path.exists(os.path.join(work, "doc.pdf")):
        return ["pdflatex failed: " + log[-500:]]
    for problem in re.findall(r"Missing character[^\n]*|glyph `[^']*' not found", log):
        failures.append(problem)
    fonts = run(["pdffonts", "doc.pdf"], work).stdout
    psname = done.stdout.split("FontName ", 1)[1].split("\n", 1)[0]
    if not re.search(r"\+%s\s.*\byes\b|^%s\s.*\byes\b" % (re.escape(psname), re.escape(psname)),
                     fonts, re.M):
        failures.append("font not embedded: " + fonts)
    text = unicodedata.normalize("NFKC", run(["pdftotext", "doc.pdf", "-"], work).stdout)
    if "office fluffy AVAWAY" not in text:
        failures.append("pdftotext gives %r" % text[:80])
    vpl = open(os.path.join(work, "kx.vpl"), errors="replace").read()
    if not re.search(r"\(LABEL C A\)(?:(?!\(STOP\)).)*\(KRN C V R -", vpl, re.S):
        failures.append("no AV kern in the virtual font")
    for second in ("i", "l"):
        if not re.search(r"\(LABEL C f\)(?:(?!\(STOP\)).)*\(LIG C %s " % second, vpl, re.S):
            failures.append("no f%s ligature in the virtual font" % second)
    return failures


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    missing = [t for t in TOOLS if not shutil.which(t)]
    if missing:
        print("not installed: " + " ".join(missing))
        return 77
    failed = 0
    for font in sys.argv[2:]:
        with tempfile.TemporaryDirectory() as work:
            failures = check(sys.argv[1], font, work)
        for failure in failures[:10]:
            print("%s: %s" % (os.path.basename(font), failure))
        failed += bool(failures)
    print("%d of %d fonts failed" % (failed, len(sys.argv) - 2))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
