// The hhea parser.
#include "tables/hhea.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "parsed_font.h"
#include "tables/hmtx.h"

using namespace tabletest;

TEST(Hhea, KeepsEveryFieldWithTheReservedWords) {
    auto parts = testfont::minimal_parts();
    parts.hhea.reserved = {1, -2, 3, -4, 5};
    parts.hhea.caretSlopeRun = -1;
    auto p = parse(parts);
    ASSERT_EQ(p->err, "");
    const hhea_elab* hhea = hhea_table(*p->font);
    ASSERT_NE(hhea, nullptr);
    EXPECT_EQ(hhea->descender, -483);
    EXPECT_EQ(hhea->advanceWidthMax, 1229);
    EXPECT_EQ(hhea->caretSlopeRun, -1);
    const USHORT reserved[5] = {1, 0xFFFE, 3, 0xFFFC, 5};
    EXPECT_TRUE(std::equal(reserved, reserved + 5, hhea->reserved));
    EXPECT_EQ(hhea->metricDataFormat, 0);
    EXPECT_EQ(hhea->numberOfHMetrics, 2);
}

TEST(Hhea, UnknownMetricDataFormatIsOnlyAWarning) {
    auto parts = testfont::minimal_parts();
    parts.hhea.metricDataFormat = -3;
    auto r = run_font(parts.builder(), {"font", "dup", "pop", "pop"});
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, r->path + ": unknown hhea metricDataFormat: -3\n");

    parts.hhea.metricDataFormat = 1;
    auto p = parse(parts);
    ASSERT_NE(hhea_table(*p->font), nullptr);
    EXPECT_EQ(hhea_table(*p->font)->metricDataFormat, 1);
    EXPECT_NE(hmtx_table(*p->font), nullptr);  // the font is still usable
}

TEST(Hhea, UnknownVersionLeavesHmtxWithoutPairs) {
    auto parts = testfont::minimal_parts();
    parts.hhea.version = 0x00005000;
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "do_hhea: version 0x00005000 of hhea table unknown\n" + no_table("hhea"));

    // Without numberOfHMetrics every glyph is read as a bare bearing and advances by 0.
    auto p = parse(parts);
    const hmtx_elab* hmtx = hmtx_table(*p->font);
    ASSERT_NE(hmtx, nullptr);
    ASSERT_EQ(hmtx->hMetrics.size(), 2u);
    EXPECT_EQ(hmtx->hMetrics[0].advanceWidth, 0);
    EXPECT_EQ(hmtx->hMetrics[0].lsb, 1229);  // the first word of the table
    EXPECT_EQ(hmtx->hMetrics[1].advanceWidth, 0);
    EXPECT_EQ(hmtx->hMetrics[1].lsb, 100);
}
