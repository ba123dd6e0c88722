// The outline walk: glyf contours with implied on-curve points, composites through their
// transforms (nested, and cut off when they nest in a cycle), and CFF outlines from
// FreeType.
#include "tables/outlines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parsed_font.h"
#include "support/run.h"

using namespace tabletest;

namespace {

// Records the walk as text: one letter per call, then its points.
class recording_pen : public outline_pen {
  public:
    void move_to(pen_point to) override { add('M', {to}); }
    void line_to(pen_point to) override { add('L', {to}); }
    void quad_to(pen_point c, pen_point to) override { add('Q', {c, to}); }
    void cubic_to(pen_point c1, pen_point c2, pen_point to) override { add('C', {c1, c2, to}); }
    void close() override { text += "Z"; }
    std::string text;

  private:
    void add(char letter, std::initializer_list<pen_point> points) {
        text += letter;
        for (const pen_point& p : points) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g,%g ", p.x, p.y);
            text += buf;
        }
    }
};

testfont::glyph_point on(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), true};
}
testfont::glyph_point off(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), false};
}

std::string walk(const glyph_outlines& outlines, USHORT glyph) {
    recording_pen pen;
    EXPECT_TRUE(outlines.draw(glyph, pen)) << glyph;
    return pen.text;
}

}  // namespace

TEST(OutlineWalk, GlyfContoursAndCompositesThroughTheirTransforms) {
    auto parts = testfont::minimal_parts();
    parts.glyf.glyphs = {
        // Two off-curve points in a row imply the on-curve point between them.
        testfont::simple_glyph({{on(0, 0), off(100, 0), off(100, 101), on(0, 100)}}),
        // Starting off the curve, and ending there: the walk starts at the last point.
        testfont::simple_glyph({{off(10, 0), on(20, 20)}}),
        testfont::composite_glyph({{.glyphIndex = 0, .arg1 = 10, .arg2 = -20},
                                   {.glyphIndex = 1, .transform = {8192}}}),  // scale 0.5
        testfont::composite_glyph({{.glyphIndex = 2, .arg1 = 1, .arg2 = 1}}),
        testfont::composite_glyph({{.glyphIndex = 4}}),  // itself: a cycle
    };
    parts.post.glyph_names = {".notdef", "a", "b", "c", "d"};
    parts.advance_widths.assign(parts.glyf.glyphs.size(), 600);
    parts.sync();
    auto p = parse(parts);
    std::optional<glyph_outlines> outlines = glyph_outlines::of(*p->font);
    ASSERT_TRUE(outlines);

    EXPECT_EQ(walk(*outlines, 0), "M0,0 Q100,0 100,50.5 Q100,101 0,100 Z");
    EXPECT_EQ(walk(*outlines, 1), "M20,20 Q10,0 20,20 Z");
    EXPECT_EQ(walk(*outlines, 2),
              "M10,-20 Q110,-20 110,30.5 Q110,81 10,80 Z"
              "M10,10 Q5,0 10,10 Z");
    EXPECT_EQ(walk(*outlines, 3),
              "M11,-19 Q111,-19 111,31.5 Q111,82 11,81 Z"
              "M11,11 Q6,1 11,11 Z");
    EXPECT_EQ(walk(*outlines, 4), "");
    recording_pen past_the_end;
    EXPECT_FALSE(outlines->draw(5, past_the_end));
}

TEST(OutlineWalk, CffOutlinesComeFromFreeType) {
    std::string bytes = testrun::read_file(std::string(TEST_DATA_DIR) + "/container/tiny-cff.otf");
    std::string error;
    auto cff = cff_outlines::open(std::vector<BYTE>(bytes.begin(), bytes.end()), error);
    ASSERT_TRUE(cff) << error;
    recording_pen a, space, past;
    EXPECT_TRUE(cff->draw(2, a));
    EXPECT_EQ(a.text, "M100,0 L500,0 C700,300 500,700 300,700 L100,0 Z");
    EXPECT_TRUE(cff->draw(1, space));
    EXPECT_EQ(space.text, "");
    EXPECT_FALSE(cff->draw(3, past));
}
