// The glyph substitution table (GSUB): its lists, and the two-glyph ligatures of its
// `liga` feature. Elaborated on first use, like GPOS.
//
// Only what the ligatures need is kept: the lists shared with GPOS (features, the features
// the scripts and language systems use, each lookup's type and subtable offsets).
// Subtables are read from the table's bytes when the ligatures are asked for.
#pragma once

#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"
#include "tables/gpos.h"

struct gsub_ligature {
    USHORT first = 0;     // glyph index
    USHORT second = 0;    // glyph index
    USHORT ligature = 0;  // glyph index of the ligature
};

struct gsub_elab : elab_record, layout_lists {
    USHORT majorVersion = 0;
    USHORT minorVersion = 0;
    // Computed on the first gsub_ligatures; empty until then.
    std::unique_ptr<std::vector<gsub_ligature>> ligatures;
};

std::unique_ptr<gsub_elab> do_gsub(font_object& font);

// The GSUB record, parsed on first use; null without a message when the font has none.
gsub_elab* gsub_table(font_object& font);

// The ligatures of two glyphs that the `liga` feature's ligature lookups (type 4, or an
// extension to one) make, computed on first use and kept with the GSUB record; empty for a
// font without GSUB. Each (first, second) pair once, the first lookup and subtable that
// substitute it winning, ordered by first glyph, then second. Glyphs at or beyond maxp's
// glyph count are left out. A damaged subtable is skipped with one message.
const std::vector<gsub_ligature>& gsub_ligatures(font_object& font);
