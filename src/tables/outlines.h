// Glyph boxes and outlines, wherever a font keeps them: the boxes stored in the glyf table
// of a TrueType font, or the exact boxes of the outlines in the CFF table of an OpenType
// font with CFF outlines. afm, getmetrics, setaw and gen's hhea read boxes only here.
// Outlines are walked with a pen (outline_pen.h), from glyf or from CFF.
#pragma once

#include <cstddef>
#include <optional>

#include "font/font.h"
#include "font/types.h"
#include "tables/cff.h"
#include "tables/glyf.h"
#include "tables/outline_pen.h"

// Composite nesting walked at most, and simple parts one walk draws at most.
inline constexpr int kMaxComponentDepth = 16;
inline constexpr std::size_t kMaxDrawnParts = 4096;

// Walks the contours of a simple glyph, as far as the glyph's arrays reach (a glyph whose
// reading stopped early keeps shorter arrays than its counts say). Each contour starts on
// an on-curve point: its first, else its last, else the midpoint between them.
void draw_simple_glyph(const glyph_record& glyph, outline_pen& pen);

class glyph_outlines {
  public:
    // The font's parsed outlines: its CFF outlines when it has a CFF table, else its glyf
    // record. Nothing when they were not parsed; for a font without CFF outlines the
    // lookup complains about a missing glyf table as glyf_table does.
    static std::optional<glyph_outlines> of(font_object& font);

    // Glyphs with outline data (0: the font has none).
    std::size_t count() const;
    // The glyph's box in font units; 0 0 0 0 for an empty glyph or one past the end.
    // Inline for glyf, whose boxes gen's hhea reads for every glyph.
    glyph_box box(USHORT glyph) const {
        if (!glyf_) return cff_box(glyph);
        if (glyph >= glyf_->headers.size()) return {};
        const glyph_header& g = glyf_->headers[glyph];
        return {g.xMin, g.yMin, g.xMax, g.yMax};
    }
    // Whether the glyph draws anything: contours (or components) in glyf, a non-empty
    // outline in CFF.
    bool has_contours(USHORT glyph) const {
        if (glyf_)
            return glyph < glyf_->headers.size() && glyf_->headers[glyph].numberOfContours != 0;
        return box(glyph) != glyph_box{};
    }

    // Walks the glyph's outline: a composite glyf glyph as its parts, each through its
    // transform, nested at most kMaxComponentDepth deep and at most kMaxDrawnParts simple
    // parts in all (a hostile font may nest composites in cycles or fan them out). False
    // when the glyph is past the end or FreeType cannot walk a CFF glyph.
    bool draw(USHORT glyph, outline_pen& pen) const;

  private:
    glyph_box cff_box(USHORT glyph) const;
    glyph_outlines(font_object& font, const glyf_elab* glyf, cff_outlines* cff)
        : font_(&font), glyf_(glyf), cff_(cff) {}
    font_object* font_;
    const glyf_elab* glyf_;
    cff_outlines* cff_;
};
