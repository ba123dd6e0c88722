#include "tables/outlines.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

glyph_box glyph_outlines::cff_box(USHORT glyph) const {
    if (glyph >= count()) return {};
    // A glyph FreeType cannot load is drawn as nothing.
    std::string error;
    if (auto b = cff_->box(glyph, error)) return *b;
    say(*font_->messages, "%s: %s\n", font_->font_path.c_str(), error.c_str());
    return {};
}

namespace {

pen_point as_pen_point(const point& p) {
    return {static_cast<double>(p.x), static_cast<double>(p.y)};
}

pen_point midpoint(const point& a, const point& b) {
    return {(static_cast<double>(a.x) + b.x) / 2, (static_cast<double>(a.y) + b.y) / 2};
}

void draw_contour(std::span<const point> pts, std::span<const BYTE> flags, outline_pen& pen) {
    const std::size_t n = pts.size();
    auto on = [&](std::size_t i) { return (flags[i] & kOnCurve) != 0; };
    std::size_t begin = 0;  // first point drawn after the start
    pen_point start;
    if (on(0)) {
        start = as_pen_point(pts[0]);
        begin = 1;
    } else if (on(n - 1)) {
        start = as_pen_point(pts[n - 1]);
    } else {
        start = midpoint(pts[n - 1], pts[0]);
    }
    const std::size_t end = on(0) || !on(n - 1) ? n : n - 1;  // points drawn, from begin
    pen.move_to(start);
    const point* control = nullptr;
    for (std::size_t i = begin; i < end; ++i) {
        if (on(i)) {
            if (control)
                pen.quad_to(as_pen_point(*control), as_pen_point(pts[i]));
            else
                pen.line_to(as_pen_point(pts[i]));
            control = nullptr;
        } else {
            if (control) pen.quad_to(as_pen_point(*control), midpoint(*control, pts[i]));
            control = &pts[i];
        }
    }
    if (control) pen.quad_to(as_pen_point(*control), start);
    pen.close();
}

// Passes a component's outline on through its transform:
// x' = xx x + yx y + dx, y' = xy x + yy y + dy.
class transform_pen : public outline_pen {
  public:
    transform_pen(outline_pen& out, const glyph_component& c) : out_(out), c_(c) {}
    void move_to(pen_point to) override { out_.move_to(map(to)); }
    void line_to(pen_point to) override { out_.line_to(map(to)); }
    void quad_to(pen_point c, pen_point to) override { out_.quad_to(map(c), map(to)); }
    void cubic_to(pen_point c1, pen_point c2, pen_point to) override {
        out_.cubic_to(map(c1), map(c2), map(to));
    }
    void close() override { out_.close(); }

  private:
    pen_point map(pen_point p) const {
        return {c_.xx * p.x + c_.yx * p.y + c_.dx, c_.xy * p.x + c_.yy * p.y + c_.dy};
    }
    outline_pen& out_;
    const glyph_component& c_;
};

struct composite_walk {
    font_object& font;
    const glyf_elab& glyf;
    std::size_t parts_left = kMaxDrawnParts;

    void draw(USHORT glyph, outline_pen& pen, int depth) {
        if (glyph >= glyf.glyphs.size()) return;
        const glyph_record& g = glyf.glyphs[glyph];
        if (g.numberOfContours >= 0) {
            if (parts_left == 0) return;
            --parts_left;
            draw_simple_glyph(g, pen);
            return;
        }
        if (depth >= kMaxComponentDepth) return;
        for (const glyph_component& part : read_components(font, glyph)) {
            transform_pen moved(pen, part);
            draw(part.glyphIndex, moved, depth + 1);
        }
    }
};

}  // namespace

void draw_simple_glyph(const glyph_record& glyph, outline_pen& pen) {
    const std::size_t available = std::min(glyph.points.size(), glyph.flags.size());
    for (const contour_record& c : glyph.contours) {
        if (c.firstPoint >= available) continue;
        const std::size_t count = std::min<std::size_t>(c.count, available - c.firstPoint);
        if (count == 0) continue;
        draw_contour(glyph.points.subspan(c.firstPoint, count),
                     glyph.flags.subspan(c.firstPoint, count), pen);
    }
}

bool glyph_outlines::draw(USHORT glyph, outline_pen& pen) const {
    if (glyph >= count()) return false;
    if (cff_) return cff_->draw(glyph, pen);
    // The headers answer boxes; drawing needs the outlines, read on first use.
    const glyf_elab* glyf = glyf_table(*font_);
    if (!glyf) return false;
    composite_walk{*font_, *glyf}.draw(glyph, pen, 0);
    return true;
}
