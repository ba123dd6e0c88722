// The kern parser behind kern_table: on-demand parsing, format 0 pairs, other formats
// skipped by their length, and tables shorter than their counts.
#include <gtest/gtest.h>

#include "tables/elab_fixture.h"
#include "tables/kern.h"

namespace tf = testfont;
using elabtest::load;

namespace {

tf::font_builder with_kern(tf::kern_table kern) {
    auto parts = tf::standard_parts();
    parts.kern = std::move(kern);
    return parts.builder();
}

tf::kern_subtable pairs_subtable(std::vector<tf::kern_pair> pairs, uint16_t coverage = 0x0001) {
    tf::kern_subtable s;
    s.coverage = coverage;
    s.pairs = std::move(pairs);
    return s;
}

// Loads the font and asks for its kern record, returning what that printed.
std::string kern_messages(elabtest::loaded_font& l, kern_elab*& kern) {
    return elabtest::stderr_of([&] { kern = kern_table(*l.font); });
}

}  // namespace

TEST(KernParse, ParsedOnFirstUseOnly) {
    auto r = elabtest::run_font(with_kern({0, std::nullopt, {pairs_subtable({}, 0x0201)}}));
    EXPECT_EQ(r->run.err, "");  // loading a font does not read kern

    auto l = load(tf::standard_font(), {});
    table_entry* entry = find_table(*l->font, "kern", 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->ElabPtr, nullptr);
    kern_elab* kern = nullptr;
    EXPECT_EQ(kern_messages(*l, kern), "");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(entry->ElabPtr.get(), kern);
    EXPECT_EQ(kern_table(*l->font), kern);

    ASSERT_EQ(kern->nTables, 1);
    const kern_format0* f0 = kern->subtables[0].format0.get();
    ASSERT_NE(f0, nullptr);
    ASSERT_EQ(f0->nPairs, 2);
    EXPECT_EQ(f0->pairs[0].left, tf::G_A);
    EXPECT_EQ(f0->pairs[0].right, tf::G_a);
    EXPECT_EQ(f0->pairs[0].value, -120);
    EXPECT_EQ(f0->pairs[1].value, -30);

    // Without a kern table: nothing, and no message.
    auto none = load(tf::minimal_font(), {});
    EXPECT_EQ(kern_messages(*none, kern), "");
    EXPECT_EQ(kern, nullptr);
}

TEST(KernParse, Format0FieldsAndSignedValues) {
    tf::kern_subtable s = pairs_subtable({{3, 4, -50}, {1, 2, 7}, {9, 1, 0x7FFF}});
    s.version = 2;
    s.searchRange = 99;  // kept as read, not checked
    auto l = load(with_kern({0, std::nullopt, {s}}), {});
    kern_elab* kern = nullptr;
    EXPECT_EQ(kern_messages(*l, kern), "");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(kern->version, 0);
    const kern_subtable& sub = kern->subtables.at(0);
    EXPECT_EQ(sub.version, 2);
    EXPECT_EQ(sub.length, 14 + 3 * 6);
    EXPECT_EQ(sub.coverage, 0x0001);
    const kern_format0& f0 = *sub.format0;
    EXPECT_EQ(f0.searchRange, 99);
    EXPECT_EQ(f0.entrySelector, 1);
    EXPECT_EQ(f0.rangeShift, 6);
    ASSERT_EQ(f0.pairs.size(), 3u);
    EXPECT_EQ(f0.pairs[0].left, 3);
    EXPECT_EQ(f0.pairs[0].value, -50);  // stored as 0xFFCE
    EXPECT_EQ(f0.pairs[1].right, 2);
    EXPECT_EQ(f0.pairs[2].value, 0x7FFF);
}

TEST(KernParse, OtherFormatsAreSkippedByTheirLength) {
    tf::kern_subtable format2;
    format2.coverage = 0x0201;
    format2.body = tf::bytes(10, 0xAB);
    tf::kern_table k{0, std::nullopt, {format2, pairs_subtable({{5, 6, -10}})}};
    auto l = load(with_kern(k), {});
    kern_elab* kern = nullptr;
    EXPECT_EQ(kern_messages(*l, kern), "Warning: ignoring kern format 2\n");
    ASSERT_NE(kern, nullptr);
    ASSERT_EQ(kern->nTables, 2);
    EXPECT_EQ(kern->subtables[0].format0, nullptr);
    EXPECT_EQ(kern->subtables[0].coverage, 0x0201);
    EXPECT_EQ(kern->subtables[0].length, 16);
    ASSERT_NE(kern->subtables[1].format0, nullptr);
    ASSERT_EQ(kern->subtables[1].format0->pairs.size(), 1u);
    EXPECT_EQ(kern->subtables[1].format0->pairs[0].value, -10);

    // A length of 0 re-reads the same header for every remaining subtable.
    format2.length = 0;
    auto z = load(with_kern({0, 3, {format2}}), {});
    EXPECT_EQ(kern_messages(*z, kern),
              "Warning: ignoring kern format 2\n"
              "Warning: ignoring kern format 2\n"
              "Warning: ignoring kern format 2\n");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(kern->subtables.size(), 3u);
}

TEST(KernParse, HeadersOfOtherShapes) {
    // The 32-bit header layout reads as version 1 with no subtables.
    auto b = tf::standard_font();
    b.table("kern").data = tf::be_writer().u32(0x00010000).u32(1).u16(0).take();
    auto l = load(b, {});
    kern_elab* kern = nullptr;
    EXPECT_EQ(kern_messages(*l, kern), "");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(kern->version, 1);
    EXPECT_EQ(kern->nTables, 0);
    EXPECT_TRUE(kern->subtables.empty());

    // nTables 0.
    auto e = load(with_kern({0, std::nullopt, {}}), {});
    EXPECT_EQ(kern_messages(*e, kern), "");
    ASSERT_NE(kern, nullptr);
    EXPECT_TRUE(kern->subtables.empty());
}

TEST(KernParse, CountsLargerThanTheTable) {
    // 65,535 subtables announced, one present with 40 pairs announced and 2 present, at the
    // end of the file: neither the missing pairs nor subtables starting past the end are
    // made up, and each count says so once.
    tf::kern_subtable s = pairs_subtable({{1, 2, -3}, {4, 5, -6}});
    s.nPairs = 40;
    auto b = with_kern({0, 0xFFFF, {s}});
    elabtest::move_table_last(b, "kern");
    auto l = load(b, {});
    kern_elab* kern = nullptr;
    EXPECT_EQ(kern_messages(*l, kern),
              "Warning: kern: nPairs claims 40 pairs, 2 fit in the table\n"
              "Warning: kern: nTables claims 65535 subtables, 1 start inside the table\n");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(kern->nTables, 1);
    ASSERT_EQ(kern->subtables.size(), 1u);
    const kern_format0& first = *kern->subtables[0].format0;
    EXPECT_EQ(first.nPairs, 2);
    ASSERT_EQ(first.pairs.size(), 2u);
    EXPECT_EQ(first.pairs[1].value, -6);

    // A zero-length table at the end of the file: version 0, no subtables, and a header
    // read past the table's end.
    auto z = tf::standard_font();
    z.table("kern").data.clear();
    elabtest::move_table_last(z, "kern");
    auto zl = load(z, {});
    EXPECT_EQ(kern_messages(*zl, kern),
              "Warning: kern: the table is cut short; fields past its 0 bytes read as 0\n");
    ASSERT_NE(kern, nullptr);
    EXPECT_EQ(kern->nTables, 0);
}
