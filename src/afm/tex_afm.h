// What the AFM for TeX and other readers adds to the afm command's text: glyph names that
// encoding vectors and PDF producers resolve, one name per line, a plain-ASCII header, and
// the kerning and ligatures gathered into the one block every reader takes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct cmap_subtable;
struct post_elab;

struct mapped_code {
    ULONG code;
    USHORT glyph;
};

// Each code the subtable maps to a glyph, in code order (the subtable's own walk).
std::vector<mapped_code> codes_mapped_by(const cmap_subtable& subtable);

// The text in plain ASCII: "(c)", "(R)" and "(TM)" for the three signs, the base letter for
// a Latin letter with accents, a space for a no-break space, "?" for anything else
// (including bytes that are not UTF-8).
std::string ascii_text(std::string_view utf8);

// One character line: its code (below 256, or none for C -1), glyph and name.
struct tex_char_line {
    std::optional<ULONG> code;
    USHORT glyph = 0;
    std::string name;
};

// The lines of the character metrics and the name of each glyph they list.
struct tex_char_metrics {
    std::vector<tex_char_line> lines;
    std::vector<std::string> name_of_glyph;  // by glyph index; "" for a glyph not listed

    const std::string* name(USHORT g) const {
        return g < name_of_glyph.size() && !name_of_glyph[g].empty() ? &name_of_glyph[g] : nullptr;
    }
};

// The lines for TeX: a line per code below 256; for codes from 256 up, a C -1 line for
// each glyph no earlier code reached; then the unencoded glyphs. A glyph is named by its
// post or CFF name, the Macintosh standard names as the Adobe Glyph List spells them
// (macron, Delta, Omega, mu, dcroat, nonbreakingspace, Idotaccent); a glyph without a
// usable name (none, or one with other characters than letters, digits, "." and "_"), by
// uniXXXX (uXXXXX above U+FFFF) of the lowest code the font's Unicode subtable maps to it. Names are unique: a later line that would repeat one takes the uni name of
// its code (through a Unicode subtable) or the glyph's index name. Last, a C -1 line for a
// listed glyph under each name TeX's text encoding vectors give a code the font's Unicode
// subtable maps to it, where no line has that name yet (Tcedilla for a glyph named
// Tcommaaccent, fi for one named uniFB01).
tex_char_metrics tex_char_lines(font_object& font, const post_elab& post,
                                const cmap_subtable& chosen, const std::vector<mapped_code>& mapped,
                                const std::vector<USHORT>& unencoded);
