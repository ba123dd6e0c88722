#include "tables/outlines.h"

#include <cstdio>
#include <string>

std::optional<glyph_outlines> glyph_outlines::of(font_object& font) {
    if (has_cff_outlines(font)) {
        cff_outlines* cff = cff_table(font);
        if (!cff) return std::nullopt;
        return glyph_outlines(font, nullptr, cff);
    }
    // Boxes and contour counts are in the glyph headers: the outlines are not needed.
    const glyf_elab* glyf = glyf_headers(font);
    if (!glyf) return std::nullopt;
    return glyph_outlines(font, glyf, nullptr);
}

std::size_t glyph_outlines::count() const {
    return cff_ ? cff_->glyph_count() : glyf_->headers.size();
}

glyph_box glyph_outlines::box(USHORT glyph) const {
    if (glyph >= count()) return {};
    if (glyf_) {
        const glyph_header& g = glyf_->headers[glyph];
        return {g.xMin, g.yMin, g.xMax, g.yMax};
    }
    // A glyph FreeType cannot load is drawn as nothing.
    std::string error;
    if (auto b = cff_->box(glyph, error)) return *b;
    std::fprintf(stderr, "%s: %s\n", font_->font_path.c_str(), error.c_str());
    return {};
}

bool glyph_outlines::has_contours(USHORT glyph) const {
    if (glyf_) return glyph < glyf_->headers.size() && glyf_->headers[glyph].numberOfContours != 0;
    return box(glyph) != glyph_box{};
}
