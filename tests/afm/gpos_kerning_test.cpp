// GPOS kerning as `afm` and `list` show it: the block after the kern table's pairs, a font
// without kern, a GPOS that kerns what kern already lists, and a class-based font of more
// than a million pairs (bench/gpos.sh times it).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/font_builder.h"
#include "support/run.h"

namespace tf = testfont;

namespace {

// The AFM text from EndCharMetrics on, or the list report's last lines.
struct outputs {
    std::string kerning, list, err;
};

outputs run(const tf::font_builder& b) {
    testrun::scratch_dir dir;
    const std::string path = b.write(dir.file("t.ttf"));
    outputs o;
    auto afm = testrun::kestrix({path, "font", "3", "1", "afm"});
    EXPECT_EQ(afm.status, 0) << afm.err;
    o.kerning = afm.out.substr(afm.out.find("EndCharMetrics\n") + 15);
    o.err = afm.err;
    auto list = testrun::kestrix({path, "font", "list"});
    std::size_t at = list.out.rfind("\nKerning: ");
    if (at == std::string::npos) at = list.out.rfind("\nNo (optional) kerning");
    o.list = list.out.substr(at + 1);
    return o;
}

tf::font_builder font(bool with_kern, const tf::gpos_table* gpos) {
    auto parts = tf::standard_parts();
    parts.with_kern = with_kern;
    auto b = parts.builder();
    if (gpos) b.add_table("GPOS", gpos->serialize());
    b.sort_tables();
    return b;
}

// A-a -50 (kern lists it as -120), B-a -40, a-B -30: 2048 units per em.
const tf::gpos_table kGpos = tf::kern_gpos(
    {{2,
      {tf::gpos_pair_format1(tf::gpos_coverage1({tf::G_A, tf::G_B, tf::G_a}), 0x0004, 0,
                             {{{tf::G_a, {-50}}}, {{tf::G_a, {-40}}}, {{tf::G_B, {-30}}}})}}});

}  // namespace

TEST(GposAfm, PairsTheKernTableLacksFollowItsPairs) {
    auto o = run(font(true, &kGpos));
    EXPECT_EQ(o.kerning,
              "StartKernData\n"
              "Comment Kern table 1, coverage 0x0001\n"
              "StartKernPairs 2\n"
              "KPX A a -59\n"
              "KPX B A -15\n"
              "EndKernPairs\n"
              "Comment Kern pairs from GPOS pair adjustments (kern feature)\n"
              "StartKernPairs 2\n"
              "KPX B a -20\n"
              "KPX a B -15\n"
              "EndKernPairs\n"
              "EndKernData\n"
              "EndFontMetrics\n");
    EXPECT_EQ(o.list,
              "Kerning: 1 subtable, version 0\n"
              "GPOS kern feature: 1 pair lookup, 3 kerned pairs\n");
}

TEST(GposAfm, AFontWithoutKernGetsTheGposBlockAsItsKerning) {
    auto o = run(font(false, &kGpos));
    EXPECT_EQ(o.kerning,
              "StartKernData\n"
              "Comment Kern pairs from GPOS pair adjustments (kern feature)\n"
              "StartKernPairs 3\n"
              "KPX A a -24\n"
              "KPX B a -20\n"
              "KPX a B -15\n"
              "EndKernPairs\n"
              "EndKernData\n"
              "EndFontMetrics\n");
    EXPECT_EQ(o.list,
              "No (optional) kerning tables in font.\n"
              "GPOS kern feature: 1 pair lookup, 3 kerned pairs\n");

    // A GPOS that kerns nothing: as without GPOS, apart from the list line.
    const tf::gpos_table empty = tf::kern_gpos({});
    auto e = run(font(false, &empty));
    EXPECT_EQ(e.kerning, "Comment No kerning\nEndFontMetrics\n");
    EXPECT_EQ(e.list,
              "No (optional) kerning tables in font.\n"
              "GPOS kern feature: 0 pair lookups, 0 kerned pairs\n");
}

TEST(GposAfm, GposKerningWhatKernListsChangesNothing) {
    // Other values than kern's, for the same pairs: kern's values stand, nothing is added.
    const tf::gpos_table same =
        tf::kern_gpos({{2,
                        {tf::gpos_pair_format1(tf::gpos_coverage1({tf::G_A, tf::G_B}), 0x0004, 0,
                                               {{{tf::G_a, {-1}}}, {{tf::G_A, {-2}}}})}}});
    auto with = run(font(true, &same));
    auto without = run(font(true, nullptr));
    EXPECT_EQ(with.kerning, without.kerning);
    EXPECT_EQ(with.err, without.err);
    EXPECT_EQ(without.list, "Kerning: 1 subtable, version 0\n");
}

TEST(GposAfm, MoreThanAMillionClassPairsAreWrittenInFull) {
    constexpr int kGlyphs = 1100;
    auto parts = tf::standard_parts();
    parts.with_kern = false;
    parts.glyf.glyphs.resize(kGlyphs);
    parts.advance_widths.resize(kGlyphs, 1000);
    for (int g = tf::STANDARD_GLYPH_COUNT; g < kGlyphs; ++g)
        parts.post.glyph_names.push_back("g" + std::to_string(g));
    parts.sync();
    const tf::gpos_table gpos =
        tf::kern_gpos({{2,
                        {tf::gpos_class_kerning(tf::gpos_coverage2({{0, kGlyphs - 1, 0}}),
                                                tf::gpos_class_def1(0, {}),
                                                tf::gpos_class_def1(0, {}), {{-100}})}}});
    auto b = parts.builder();
    b.add_table("GPOS", gpos.serialize());
    b.sort_tables();
    testrun::scratch_dir dir;
    const std::string path = b.write(dir.file("t.ttf"));
    auto afm = testrun::kestrix({path, "font", "3", "1", "afm"});
    ASSERT_EQ(afm.status, 0) << afm.err;
    EXPECT_NE(afm.out.find("StartKernPairs 1210000\nKPX .notdef .notdef -49\n"), std::string::npos);
    EXPECT_NE(afm.out.find("KPX g1099 g1098 -49\nKPX g1099 g1099 -49\nEndKernPairs\n"),
              std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = afm.out.find("\nKPX "); at != std::string::npos;
         at = afm.out.find("\nKPX ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1210000u);
}
