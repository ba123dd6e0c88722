// The hmtx parser's expansion to one entry per glyph, and the metric lookups.
#include "tables/hmtx.h"

#include <gtest/gtest.h>

#include "parsed_font.h"
#include "tables/maxp.h"

using namespace tabletest;

namespace {

// Five empty glyphs with the given stored metrics.
testfont::font_parts five_glyphs(std::vector<testfont::long_hor_metric> pairs,
                                 std::vector<int16_t> bearings, uint16_t numberOfHMetrics) {
    auto parts = testfont::minimal_parts();
    parts.glyf.glyphs.resize(5);
    parts.post.glyph_names = {".notdef", "space", "b", "c", "d"};
    parts.advance_widths.assign(5, 500);
    parts.sync();
    parts.hmtx.hMetrics = std::move(pairs);
    parts.hmtx.leftSideBearings = std::move(bearings);
    parts.hhea.numberOfHMetrics = numberOfHMetrics;
    return parts;
}

std::vector<std::pair<int, int>> entries(const hmtx_elab& hmtx) {
    std::vector<std::pair<int, int>> out;
    for (const long_hor_metric& m : hmtx.hMetrics) out.emplace_back(m.advanceWidth, m.lsb);
    return out;
}

using pairs = std::vector<std::pair<int, int>>;

}  // namespace

TEST(Hmtx, GlyphsAfterThePairsShareTheLastAdvance) {
    auto p = parse(five_glyphs({{500, 10}, {600, 20}, {700, 30}}, {40, 50}, 3));
    ASSERT_EQ(p->err, "");
    const hmtx_elab* hmtx = hmtx_table(*p->font);
    ASSERT_NE(hmtx, nullptr);
    EXPECT_EQ(entries(*hmtx), (pairs{{500, 10}, {600, 20}, {700, 30}, {700, 40}, {700, 50}}));

    // As many pairs as glyphs: no bearing is read after them (the 99 is not used).
    auto q = parse(five_glyphs({{1, -1}, {2, -2}, {3, -3}, {4, -4}, {0xFFFF, -10}}, {99}, 5));
    EXPECT_EQ(entries(*hmtx_table(*q->font)),
              (pairs{{1, -1}, {2, -2}, {3, -3}, {4, -4}, {0xFFFF, -10}}));
}

TEST(Hmtx, MorePairsThanGlyphsAreCut) {
    auto parts = five_glyphs({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}}, {}, 7);
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "do_hmtx: nr of horz metrics (7) > nr of glyphs (5)!\n");
    auto p = parse(parts);
    EXPECT_EQ(entries(*hmtx_table(*p->font)), (pairs{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));
}

TEST(Hmtx, NoPairsMeansNoAdvance) {
    auto p = parse(five_glyphs({}, {-1, -2, -3, -4, -5}, 0));
    ASSERT_EQ(p->err, "");
    EXPECT_EQ(entries(*hmtx_table(*p->font)), (pairs{{0, -1}, {0, -2}, {0, -3}, {0, -4}, {0, -5}}));
}

TEST(Hmtx, ShortTableKeepsOnlyTheMetricsItHolds) {
    // Two pairs promised, one stored; then both pairs and one of three bearings stored: the
    // glyphs whose entries are missing get no metric (and a lookup gives 0 quietly).
    auto b = five_glyphs({{500, 10}, {600, 20}}, {30, 40, 50}, 2).builder();
    b.table("hmtx").length = 4;
    auto p = parse(b);
    EXPECT_EQ(p->err, "Warning: hmtx: numberOfHMetrics claims 2 metrics, 1 fit in the table\n");
    EXPECT_EQ(entries(*hmtx_table(*p->font)), (pairs{{500, 10}}));
    b.table("hmtx").length = 10;
    auto q = parse(b);
    EXPECT_EQ(q->err,
              "Warning: hmtx: numGlyphs - numberOfHMetrics claims 3 leftSideBearings, 1 fit in "
              "the table\n");
    EXPECT_EQ(entries(*hmtx_table(*q->font)), (pairs{{500, 10}, {600, 20}, {600, 30}}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(advanceWidth_of(*q->font, 4, hmtx_table(*q->font)), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    auto missing = five_glyphs({{500, 10}}, {}, 1).builder();
    missing.remove_table("hmtx");
    auto r = run_font(missing);
    EXPECT_EQ(r->run.err, no_such_table("hmtx", r->path) + no_table("hmtx"));
}

TEST(Hmtx, LookupsCheckTheRecordAndTheGlyphIndex) {
    auto p = parse(five_glyphs({{500, 10}, {600, -10}}, {40, 50, 60}, 2));
    font_object& font = *p->font;
    const hmtx_elab* hmtx = hmtx_table(font);
    ASSERT_NE(hmtx, nullptr);

    testing::internal::CaptureStderr();
    EXPECT_EQ(advanceWidth_of(font, 1, hmtx), 600);
    EXPECT_EQ(lsb_of(font, 1, hmtx), -10);
    EXPECT_EQ(advanceWidth_of(font, 4, hmtx), 600);
    EXPECT_EQ(lsb_of(font, 4, hmtx), 60);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStderr();
    EXPECT_EQ(advanceWidth_of(font, 5, hmtx), 0);
    EXPECT_EQ(lsb_of(font, 0xFFFF, hmtx), 0);
    EXPECT_EQ(advanceWidth_of(font, 0, nullptr), 0);
    EXPECT_EQ(lsb_of(font, 0, nullptr), 0);
    hmtx_elab empty;
    EXPECT_EQ(advanceWidth_of(font, 0, &empty), 0);
    EXPECT_EQ(lsb_of(font, 0, &empty), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "advanceWidth_of: glyph index 5 too large\n"
              "lsb_of: glyph index 65535 too large\n"
              "advanceWidth_of: missing hmtx table\n"
              "lsb_of: missing hmtx table\n"
              "advanceWidth_of: no hmtx hMetrics table\n"
              "lsb_of: no hmtx hMetrics table\n");

    // The bound is the glyph count of the moment, and the array's own length.
    maxp_table(font)->numGlyphs = 3;
    testing::internal::CaptureStderr();
    EXPECT_EQ(advanceWidth_of(font, 3, hmtx), 0);
    maxp_table(font)->numGlyphs = 9;
    EXPECT_EQ(lsb_of(font, 7, hmtx), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "advanceWidth_of: glyph index 3 too large\nlsb_of: glyph index 7 too large\n");
}
