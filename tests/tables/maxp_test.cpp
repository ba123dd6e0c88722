// The maxp parser and the glyph count.
#include "tables/maxp.h"

#include <gtest/gtest.h>

#include "parsed_font.h"
#include "tables/glyf.h"
#include "tables/hmtx.h"
#include "tables/loca.h"

using namespace tabletest;

TEST(Maxp, KeepsEveryFieldAndGivesTheGlyphCount) {
    auto parts = testfont::minimal_parts();
    auto& m = parts.maxp;
    m.maxPoints = 1, m.maxContours = 2, m.maxCompositePoints = 3, m.maxCompositeContours = 4;
    m.maxZones = 5, m.maxTwilightPoints = 6, m.maxStorage = 7, m.maxFunctionDefs = 8;
    m.maxInstructionDefs = 9, m.maxStackElements = 10, m.maxSizeOfInstructions = 11;
    m.maxComponentElements = 12, m.maxComponentDepth = 0xFFFF;
    auto p = parse(parts);
    ASSERT_EQ(p->err, "");
    const maxp_elab* maxp = maxp_table(*p->font);
    ASSERT_NE(maxp, nullptr);
    EXPECT_EQ(maxp->version, 0x00010000);
    EXPECT_EQ(maxp->numGlyphs, 2);
    const USHORT fields[] = {maxp->maxPoints,
                             maxp->maxContours,
                             maxp->maxCompositePoints,
                             maxp->maxCompositeContours,
                             maxp->maxZones,
                             maxp->maxTwilightPoints,
                             maxp->maxStorage,
                             maxp->maxFunctionDefs,
                             maxp->maxInstructionDefs,
                             maxp->maxStackElements,
                             maxp->maxSizeOfInstructions,
                             maxp->maxComponentElements};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(fields[i], i + 1) << i;
    EXPECT_EQ(maxp->maxComponentDepth, 0xFFFF);

    // Looking a table up only finds it: the font's stream stays where it was.
    p->font->in_stream.seek(0);
    EXPECT_EQ(glyphs_in(*p->font), 2);
    EXPECT_EQ(p->font->in_stream.tell(), 0);
}

TEST(Maxp, VersionHalfIsRefusedAndTheGlyphCountIsZero) {
    auto parts = testfont::minimal_parts();
    parts.maxp.version = 0x00005000;
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    const std::string no_count = "glyphs_in: no maxp table\n";
    EXPECT_EQ(r->run.err, "do_maxp: version 0x00005000 of maxp table unknown\n" + no_table("maxp") +
                              // hmtx: no glyphs, so no array to hold its pairs
                              no_count + "do_hmtx: nr of horz metrics (2) > nr of glyphs (0)!\n" +
                              "do_hmtx: the font has no glyphs (no maxp table, or numGlyphs 0)\n" +
                              no_table("hmtx") +
                              // loca and glyf are parsed for no glyphs
                              no_count + no_count);

    auto p = parse(parts);
    ASSERT_NE(loca_table(*p->font), nullptr);
    EXPECT_EQ(loca_table(*p->font)->offsets.size(), 1u);
    ASSERT_NE(glyf_table(*p->font), nullptr);
    EXPECT_TRUE(glyf_table(*p->font)->glyphs.empty());
}

TEST(Maxp, ZeroGlyphsIsAWarning) {
    auto parts = testfont::minimal_parts();
    parts.maxp.numGlyphs = 0;
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, r->path + ": warning: numGlyphs is 0\n" +
                              "do_hmtx: nr of horz metrics (2) > nr of glyphs (0)!\n" +
                              "do_hmtx: the font has no glyphs (no maxp table, or numGlyphs 0)\n" +
                              no_table("hmtx"));
}

TEST(Maxp, MissingMaxpIsReportedByEveryGlyphCount) {
    auto b = testfont::minimal_font();
    b.remove_table("maxp");
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    const std::string no_count = no_such_table("maxp", r->path) + "glyphs_in: no maxp table\n";
    EXPECT_EQ(r->run.err, no_such_table("maxp", r->path) + no_table("maxp") + no_count +
                              "do_hmtx: nr of horz metrics (2) > nr of glyphs (0)!\n" +
                              "do_hmtx: the font has no glyphs (no maxp table, or numGlyphs 0)\n" +
                              no_table("hmtx") + no_count + no_count);
}

TEST(Maxp, ShortTableReadsZerosAfterItsEnd) {
    auto b = testfont::minimal_font();
    b.table("maxp").length = 6;  // version and numGlyphs only
    auto p = parse(b);
    const maxp_elab* maxp = maxp_table(*p->font);
    ASSERT_NE(maxp, nullptr);
    EXPECT_EQ(maxp->numGlyphs, 2);
    EXPECT_EQ(maxp->maxZones, 0);
    EXPECT_EQ(maxp->maxComponentDepth, 0);
}
