// Glyph boxes, wherever a font keeps its outlines: the boxes stored in the glyf table of
// a TrueType font, or the exact boxes of the outlines in the CFF table of an OpenType
// font with CFF outlines. afm, getmetrics, setaw and gen's hhea read boxes only here.
#pragma once

#include <cstddef>
#include <optional>

#include "font/font.h"
#include "font/types.h"
#include "tables/cff.h"
#include "tables/glyf.h"

class glyph_outlines {
  public:
    // The font's parsed outlines: its CFF outlines when it has a CFF table, else its glyf
    // record. Nothing when they were not parsed; for a font without CFF outlines the
    // lookup complains about a missing glyf table as glyf_table does.
    static std::optional<glyph_outlines> of(font_object& font);

    // Glyphs with outline data (0: the font has none).
    std::size_t count() const;
    // The glyph's box in font units; 0 0 0 0 for an empty glyph or one past the end.
    glyph_box box(USHORT glyph) const;
    // Whether the glyph draws anything: contours (or components) in glyf, a non-empty
    // outline in CFF.
    bool has_contours(USHORT glyph) const;

  private:
    glyph_outlines(font_object& font, const glyf_elab* glyf, cff_outlines* cff)
        : font_(&font), glyf_(glyf), cff_(cff) {}
    font_object* font_;
    const glyf_elab* glyf_;
    cff_outlines* cff_;
};
