#!/usr/bin/env python3
"""Gives the `texafm` text of a font to TeX's own AFM readers and checks what they make
of it.

Usage: tex_tools_check.py KESTRIX FONT

afm2tfm must accept the text as it is and with the encoding vectors 8r.enc and ec.enc (T1),
and afm2pl as it is; every character of the TFM (read back with tftopl) and of the PL
must have the width the AFM text gives the glyph in that slot: by the C code without a
vector, by the vector's glyph name with one. Exit status 0 when every check passes.
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from afm_readers import enc_names  # noqa: E402

CHAR = re.compile(r"^C (-?\d+) ; WX (-?\d+) ; N (\S+) ;", re.M)
PL_CHAR = re.compile(r"^\(CHARACTER (C \S|O [0-7]+)[^\n]*\n\s+\(CHARWD R (-?[\d.]+)\)", re.M)


def pl_code(token):
    kind, value = token.split(" ", 1)
    return ord(value) if kind == "C" else int(value, 8)


def pl_widths(text):
    return {pl_code(m[1]): float(m[2]) for m in PL_CHAR.finditer(text)}


def run(args, cwd):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True)


def check(kestrix, font):
    failures = []
    done = run([kestrix, font, "font", "3", "1", "texafm"], None)
    if done.returncode != 0:
        return ["texafm failed: " + done.stderr]
    chars = CHAR.findall(done.stdout)
    width_of_code = {int(c): int(w) for c, w, _ in chars if int(c) >= 0}
    width_of_name = {}
    for _, w, n in chars:
        width_of_name.setdefault(n, int(w))

    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "f.afm"), "w") as f:
            f.write(done.stdout)
        slots = {"plain": width_of_code}
        for enc in ("8r.enc", "ec.enc"):
            path = run(["kpsewhich", enc], work).stdout.strip()
            if not path:
                failures.append(enc + " not found (texlive-base)")
                continue
            names = enc_names(path)
            slots[enc] = {code: width_of_name[n] for code, n in enumerate(names)
                          if n in width_of_name}
        for vector, want in slots.items():
            tfm = "f-%s.tfm" % vector.replace(".", "")
            args = ["afm2tfm", "f.afm"] + ([] if vector == "plain" else ["-p", vector]) + [tfm]
            made = run(args, work)
            if made.returncode != 0:
                failures.append("afm2tfm %s: exit %d: %s" % (vector, made.returncode, made.stderr))
                continue
            pl = run(["tftopl", tfm], work)
            got = {c: round(w * 1000) for c, w in pl_widths(pl.stdout).items()}
            if got != want:
                wrong = sorted(c for c in set(got) | set(want) if got.get(c) != want.get(c))
                failures.append("afm2tfm %s: widths differ at codes %s" % (vector, wrong[:10]))
        made = run(["afm2pl", "f.afm", "f.pl"], work)
        if made.returncode != 0:
            failures.append("afm2pl: exit %d: %s" % (made.returncode, made.stderr))
        else:
            got = {c: round(w) for c, w in pl_widths(open(os.path.join(work, "f.pl")).read()).items()}
            if got != width_of_code:
                failures.append("afm2pl: widths differ from the AFM's")
    return failures


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    failures = check(sys.argv[1], sys.argv[2])
    for failure in failures:
        print(failure)
    print("%s: %d failed" % (os.path.basename(sys.argv[2]), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
