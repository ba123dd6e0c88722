#!/usr/bin/env python3
"""brindle on a Unicode code table of a real font, checked against a join done here.

    big_table_check.py BRINDLE [FONT]      run brindle and compare (exit 77: no fontTools)
    big_table_check.py --write DIR [FONT]  only write large.cod, small.cod and syn.txt

The large table is the font's Unicode cmap followed by its Macintosh one (DejaVuSans:
5,918 and 227 codes), so that the names of the second are listed twice; the small table is the font's glyph order
followed by names that only synonym rows resolve; the synonym file has two rows per
encoded glyph, far more than a thousand, with names that stand in several rows.
"""
import os
import string
import subprocess
import sys
import tempfile

DEFAULT_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def make_tables(font_path):
    from fontTools.ttLib import TTFont

    font = TTFont(font_path)
    cmap = sorted(font.getBestCmap().items())
    mac = font["cmap"].getcmap(1, 0)
    mac_codes = sorted(mac.cmap.items()) if mac else []
    glyph_order = font.getGlyphOrder()

    large = ["# Unicode code table of %s" % os.path.basename(font_path), "0 .notdef"]
    for i, (code, name) in enumerate(cmap):
        if i % 7 == 0:  # the other spellings of a line that the tables allow
            large.append("0x%x\t%s  %% from the cmap" % (code, name))
        else:
            large.append("%04X %s" % (code, name))
        if i % 500 == 0:
            large.append("# %d codes so far" % i)
    large.append("% Macintosh codes: their names were listed above, with other codes")
    large += ["%02x %s" % (code, name) for code, name in mac_codes]

    encoded = list(dict.fromkeys(name for _, name in cmap))
    syn = ["# rows for small caps and stylistic names"]
    small_extra = []
    for i, name in enumerate(encoded):
        syn.append("%s.sc Missing%d %s 0x%x" % (name, i, name, 0xE000 + i))
        syn.append("%s.ss01 _x Missing%d 0%o" % (name, i, 0xF000 + i))
        small_extra += ["%s.sc" % name, "%s.ss01" % name]
    # Later rows holding the same names again must lose to the rows above.
    for name in encoded[:50]:
        syn.append("%s.sc A 1" % name)
        syn.append("%s.ss01 B" % name)
    small = ["0 %s" % name for name in glyph_order + small_extra + ["Nowhere"]]

    assert len(large) > 6000
    for line in large + small:
        assert len(line) <= 78, line
    for line in syn:
        assert len(line) <= 126, line
    return large, small, syn


def expected_output(large, small, syn):
    """The join, from the rules: own code, first known synonym, first fallback, -1."""
    code_of = {}
    for line in large:
        if line[0] in "#%":
            continue
        code, name = line.split("%")[0].split()[:2]
        if name != ".notdef":
            code_of.setdefault(name, int(code, 16))
    rows = [line.split() for line in syn if line[0] not in "#%"]
    row_of = {}
    for number, words in enumerate(rows):
        for word in words:
            row_of.setdefault(word, number)

    def fallback(word):  # as C's "%i": 0x hexadecimal, leading 0 octal
        if word.startswith("0x"):
            return int(word, 16)
        return int(word, 8) if word.startswith("0") else int(word)

    def code_for(name):
        if name in code_of:
            return code_of[name]
        words = rows[row_of[name]] if name in row_of else []
        for word in words:
            if word[0] in string.ascii_letters and word in code_of:
                return code_of[word]
        for word in words:
            if word[0] in string.digits:
                return fallback(word)
        return None

    out = ["StartCharMetrics 0"]
    for line in small:
        name = line.split()[1]
        if name == ".notdef":
            continue
        code = code_for(name)
        out.append("C -1 ; N %s ;" % name if code is None else "CH <%04x> ; N %s ;" % (code, name))
    out.append("EndCharMetrics")
    return "\n".join(out) + "\n"


def write_tables(directory, tables):
    paths = []
    for file_name, lines in zip(("large.cod", "small.cod", "syn.txt"), tables):
        path = os.path.join(directory, file_name)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        paths.append(path)
    return paths


def main(argv):
    try:
        import fontTools  # noqa: F401
    except ImportError:
        print("SKIPPED: needs fontTools (python3-fonttools)")
        return 77
    if argv[1] == "--write":
        font = argv[3] if len(argv) > 3 else DEFAULT_FONT
        write_tables(argv[2], make_tables(font))
        return 0

    brindle, font = argv[1], argv[2] if len(argv) > 2 else DEFAULT_FONT
    if not os.path.exists(font):
        print("SKIPPED: %s not found (fonts-dejavu-core)" % font)
        return 77
    tables = make_tables(font)
    with tempfile.TemporaryDirectory() as work:
        run = subprocess.run([brindle] + write_tables(work, tables), capture_output=True, text=True)
    want = expected_output(*tables)
    print("%d large-table lines, %d small-table lines, %d synonym-file lines"
          % (len(tables[0]), len(tables[1]), len(tables[2])))
    if run.returncode != 0 or run.stderr or run.stdout != want:
        print("exit %d, stderr: %s" % (run.returncode, run.stderr[:2000]))
        got, expected = run.stdout.splitlines(), want.splitlines()
        for number, (g, e) in enumerate(zip(got, expected)):
            if g != e:
                print("first difference, output line %d:\n  got  %s\n  want %s" % (number + 1, g, e))
                break
        else:
            print("output has %d lines, %d expected" % (len(got), len(expected)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
