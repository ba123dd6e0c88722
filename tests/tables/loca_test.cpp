// The loca parser: both offset formats, unknown formats, short tables.
#include "tables/loca.h"

#include <gtest/gtest.h>

#include "parsed_font.h"
#include "tables/glyf.h"

using namespace tabletest;

namespace {

// A font of `count` glyphs whose loca holds exactly `offsets` in the given format.
testfont::font_builder with_loca(int16_t format, const std::vector<uint32_t>& offsets,
                                 uint16_t count) {
    auto parts = testfont::minimal_parts();
    parts.head.indexToLocFormat = format;
    parts.maxp.numGlyphs = count;
    auto b = parts.builder();
    b.table("loca").data = testfont::make_loca(offsets, format);
    return b;
}

}  // namespace

TEST(Loca, ShortOffsetsAreDoubledLongOnesKept) {
    auto p = parse(with_loca(0, {0, 0x246, 0x246}, 2));
    ASSERT_NE(loca_table(*p->font), nullptr);
    EXPECT_EQ(loca_table(*p->font)->offsets, (std::vector<LONG>{0, 0x246, 0x246}));

    auto q = parse(with_loca(1, {0, 0x12345, 0x7FFFFFFF}, 2));
    ASSERT_NE(loca_table(*q->font), nullptr);
    EXPECT_EQ(loca_table(*q->font)->offsets, (std::vector<LONG>{0, 0x12345, 0x7FFFFFFF}));
}

TEST(Loca, UnknownFormatGivesNoLocaAndNoGlyf) {
    auto parts = testfont::minimal_parts();
    parts.head.indexToLocFormat = 2;
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "do_loca: unknown format 2\n" + no_table("loca") +
                              "do_glyf: no \"loca\" table\n" + no_table("glyf"));
    parts.head.indexToLocFormat = -1;
    r = run_font(parts.builder());
    EXPECT_EQ(r->run.err, "do_loca: unknown format -1\n" + no_table("loca") +
                              "do_glyf: no \"loca\" table\n" + no_table("glyf"));
}

TEST(Loca, MissingLocaTable) {
    auto b = testfont::minimal_font();
    b.remove_table("loca");
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, no_such_table("loca", r->path) + no_table("loca") +
                              no_such_table("loca", r->path) + "do_glyf: no \"loca\" table\n" +
                              no_table("glyf"));
}

TEST(Loca, EntriesBeyondTheTableAreZero) {
    // numGlyphs says 40, the table holds 3 entries: the others read 0, so glyph 1 runs
    // from the end of glyf to 0 and reads zeros, and glyphs 2.. are empty.
    const auto glyf_size =
        static_cast<uint32_t>(testfont::minimal_parts().glyf.build(0).glyf.size());
    auto b = with_loca(0, {0, glyf_size}, 40);
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(
        r->run.err,  // hmtx, too, holds metrics for the 2 glyphs only
        "Warning: hmtx: numGlyphs - numberOfHMetrics claims 38 leftSideBearings, 0 fit in the "
        "table\n");
    auto p = parse(b);
    const auto& offsets = loca_table(*p->font)->offsets;
    ASSERT_EQ(offsets.size(), 41u);
    EXPECT_EQ(offsets[1], static_cast<LONG>(glyf_size));
    for (size_t i = 2; i < offsets.size(); ++i) EXPECT_EQ(offsets[i], 0) << i;
    const glyf_elab* glyf = glyf_table(*p->font);
    ASSERT_NE(glyf, nullptr);
    ASSERT_EQ(glyf->glyphs.size(), 40u);
    EXPECT_EQ(glyf->glyphs[0].numberOfContours, 2);
    for (size_t i = 1; i < 40; ++i) EXPECT_EQ(glyf->glyphs[i].numberOfContours, 0) << i;

    // A zero-length loca: every offset is 0 and every glyph empty.
    auto z = testfont::minimal_font();
    z.table("loca").length = 0;
    auto q = parse(z);
    EXPECT_EQ(q->err, "");
    EXPECT_EQ(loca_table(*q->font)->offsets, (std::vector<LONG>{0, 0, 0}));
    EXPECT_EQ(glyf_table(*q->font)->glyphs[0].numberOfContours, 0);
}
