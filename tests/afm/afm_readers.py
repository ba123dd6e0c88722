"""The AFM readers other programs use, each reduced to what it reports: the characters
(name -> width), the kerning pairs ((left, right) -> value) and, where the reader keeps
them, the ligatures ((first, second) -> ligature). Each returns None, with the reason in
`why`, when the tool is absent, and raises when the tool rejects the file."""

import os
import re
import shutil
import subprocess

GROFF_DESC = "/usr/share/groff/current/font/devps/DESC"
GROFF_MAP = "/usr/share/groff/current/font/devps/generate/textmap"


def parse_texafm(text):
    """What kestrix wrote: codes and widths by name, pairs, ligatures."""
    chars, codes, pairs, ligatures = {}, {}, {}, {}
    for line in text.splitlines():
        if line.startswith("C "):
            fields = dict(f.strip().split(" ", 1) for f in line.split(";") if f.strip()
                          and not f.strip().startswith("L "))
            name = fields["N"]
            chars[name] = int(fields["WX"])
            if int(fields["C"]) >= 0:
                codes[int(fields["C"])] = name
            for lig in re.findall(r"; L (\S+) (\S+)", line):
                ligatures[(name, lig[0])] = lig[1]
        elif line.startswith("KPX "):
            _, left, right, value = line.split()
            pairs[(left, right)] = int(value)
    return chars, codes, pairs, ligatures


def fonttools(path, work):
    try:
        from fontTools import afmLib
    except ImportError:
        return None
    afm = afmLib.AFM(path)
    return ({n: w for n, (c, w, b) in afm._chars.items()}, dict(afm._kerning), None)


def matplotlib(path, work):
    try:
        from matplotlib._afm import AFM
    except ImportError:
        return None
    with open(path, "rb") as f:
        afm = AFM(f)
    return ({n: int(m.width) for n, m in afm._metrics_by_name.items()},
            {k: int(v) for k, v in afm._kern.items()}, None)


def afmtodit(path, work):
    if not shutil.which("afmtodit") or not os.path.exists(GROFF_DESC):
        return None
    out = os.path.join(work, "groff-font")
    done = subprocess.run(["afmtodit", "-d", GROFF_DESC, path, GROFF_MAP, out],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("afmtodit: " + done.stderr)
    chars, psnames_of, section, last = {}, {}, None, None
    kern_lines = []
    for line in open(out, encoding="latin-1"):
        line = line.rstrip("\n")
        if line in ("charset", "kernpairs"):
            section = line
            continue
        cols = line.split("\t") if section == "charset" else line.split()
        if section == "charset" and len(cols) >= 2:
            if cols[1] != '"':
                last = cols[4] if len(cols) > 4 else cols[0]
                chars[last] = int(cols[1].split(",")[0])
            if cols[0] != "---":
                psnames_of.setdefault(cols[0], set()).add(last)
        elif section == "kernpairs" and len(cols) == 3:
            kern_lines.append(cols)
    pairs = {}
    for left, right, value in kern_lines:
        for l in psnames_of.get(left, ()):
            for r in psnames_of.get(right, ()):
                pairs[(l, r)] = int(value)
    named = set().union(*psnames_of.values()) if psnames_of else set()
    return {n: w for n, w in chars.items() if n in named} | {n: w for n, w in chars.items()}, \
        pairs, None


def kpsewhich(name):
    return subprocess.run(["kpsewhich", name], capture_output=True, text=True).stdout.strip()


def enc_names(path):
    """The 256 glyph names of a PostScript encoding vector."""
    text = re.sub(r"%[^\n]*", "", open(path).read())
    return re.findall(r"/([^\s/\[\]{}]+)", text[text.index("[") + 1:text.index("]")])


def pl_ligkern(pl_text, name_of_code):
    """Pairs and ligatures of a PL or VPL LIGTABLE, by glyph name."""
    pairs, ligatures, labels = {}, {}, []
    code = lambda kind, v: ord(v) if kind == "C" else int(v, 8)  # noqa: E731
    for m in re.finditer(r"\((LABEL|KRN|LIG|STOP)(?: ([CO]) (\S+))?(?: ([CO]) (\S+))?(?: R (-?[\d.]+))?\)",
                         pl_text):
        word = m[1]
        if word == "LABEL":
            labels.append(name_of_code.get(code(m[2], m[3])))
        elif word == "STOP":
            labels = []
        elif word == "KRN":
            for left in labels:
                pairs[(left, name_of_code.get(code(m[2], m[3])))] = round(float(m[6]) * 1000) \
                    if "." in m[6] else int(m[6])
        elif word == "LIG":
            for left in labels:
                ligatures[(left, name_of_code.get(code(m[2], m[3])))] = \
                    name_of_code.get(code(m[4], m[5]))
    return pairs, ligatures


def tex_tool(tool):
    def read(path, work):
        if not shutil.which(tool):
            return None
        vector = None
        if tool == "afm2pl":
            pl = os.path.join(work, "f.pl")
            done = subprocess.run(["afm2pl", path, pl], capture_output=True, text=True, cwd=work)
        else:
            pl = os.path.join(work, "f.vpl")
            # As the README's recipe reads it: T1 (ec.enc) for the raw and the virtual font;
            # a font without any of T1's characters in its own encoding.
            vector = ["-T", "ec.enc"]
            done = subprocess.run(["afm2tfm", path] + vector + ["-v", pl, "rf.tfm"],
                                  capture_output=True, text=True, cwd=work)
            if "no Adobe characters" in done.stderr + done.stdout:
                vector = []
                done = subprocess.run(["afm2tfm", path, "-v", pl, "rf.tfm"],
                                      capture_output=True, text=True, cwd=work)
        if done.returncode != 0:
            raise RuntimeError("%s: %s" % (tool, done.stderr))
        text = open(pl, encoding="latin-1").read()
        # A character names its glyph in a comment, but where the name is the character
        # itself: then the encoding (ec.enc for afm2tfm, the file's codes for afm2pl) does.
        if tool == "afm2tfm" and vector:
            codes = dict(enumerate(enc_names(kpsewhich("ec.enc"))))
        else:
            codes = parse_texafm(open(path).read())[1]
        widths = {}
        for m in re.finditer(r"\(CHARACTER ([CO]) (\S+)(?: \(comment (\S+)\))?\n\s+"
                             r"\(CHARWD R (-?[\d.]+)\)", text):
            c = ord(m[2]) if m[1] == "C" else int(m[2], 8)
            if m[3]:
                codes[c] = m[3]
            widths[codes[c]] = round(float(m[4]))
        pairs, ligatures = pl_ligkern(text, codes)
        return widths, pairs, ligatures
    return read


READERS = {
    "fontTools.afmLib": fonttools,
    "matplotlib": matplotlib,
    "afmtodit": afmtodit,
    "afm2tfm": tex_tool("afm2tfm"),
    "afm2pl": tex_tool("afm2pl"),
}
