// cmap formats 12 and 13 (groups of 32-bit codes) and the subtables kept as stored bytes:
// parsing, lookups past 0xFFFF, and every way a group can be unusable.
#include <gtest/gtest.h>

#include <array>

#include "tables/cmap.h"
#include "tables/cmap_groups.h"
#include "tables/cmap_kept.h"
#include "tables/elab_fixture.h"

namespace tf = testfont;
using elabtest::load;

namespace {

using group = std::array<uint32_t, 3>;  // startCharCode, endCharCode, startGlyphID

void append_u32(tf::bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// A format 12 or 13 subtable; numGroups and length default to the groups given.
tf::bytes group_subtable(uint16_t format, const std::vector<group>& groups,
                         std::optional<uint32_t> numGroups = {}, uint32_t language = 0) {
    tf::bytes b{static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format), 0, 0};
    append_u32(b, static_cast<uint32_t>(16 + 12 * groups.size()));
    append_u32(b, language);
    append_u32(b, numGroups.value_or(static_cast<uint32_t>(groups.size())));
    for (const group& g : groups)
        for (uint32_t v : g) append_u32(b, v);
    return b;
}

tf::font_parts with_cmap(std::vector<tf::cmap_encoding> encodings) {
    auto parts = tf::standard_parts();
    parts.cmap.encodings = std::move(encodings);
    return parts;
}

struct loaded_subtable {
    std::unique_ptr<elabtest::loaded_font> font;
    const cmap_subtable* sub = nullptr;
};

// Loads maxp (the glyph count, 8 in the standard font) and cmap with this one subtable.
loaded_subtable load_one(uint16_t platformID, uint16_t encodingID, tf::cmap_subtable subtable) {
    loaded_subtable l;
    l.font =
        load(with_cmap({{platformID, encodingID, std::move(subtable), std::nullopt}}).builder(),
             {"maxp", "cmap"});
    if (auto* slot = find_cmap_subtable(*l.font->font, platformID, encodingID)) l.sub = slot->get();
    return l;
}

const cmap_group_subtable& grouped(const cmap_subtable* sub) {
    return dynamic_cast<const cmap_group_subtable&>(*sub);
}

const cmap_kept& kept(const cmap_subtable* sub) {
    return dynamic_cast<const cmap_kept&>(*sub);
}

}  // namespace

TEST(CmapGroups, Format12And13MapCodesBeyondTheBasicPlane) {
    auto l12 = load_one(3, 10, group_subtable(12, {{0x20, 0x22, 1}, {0x1F600, 0x1F602, 5}}));
    ASSERT_NE(l12.sub, nullptr);
    EXPECT_EQ(l12.font->err, "");
    EXPECT_EQ(l12.sub->format, 12);
    EXPECT_EQ(grouped(l12.sub).length32, 40u);
    ASSERT_EQ(grouped(l12.sub).groups.size(), 2u);
    EXPECT_EQ(char_to_glyph(0x20, l12.sub), 1);
    EXPECT_EQ(char_to_glyph(0x22, l12.sub), 3);
    EXPECT_EQ(char_to_glyph(0x23, l12.sub), 0);
    EXPECT_EQ(char_to_glyph(0x1F601, l12.sub), 6);
    EXPECT_EQ(char_to_glyph(0xF601, l12.sub), 0);  // no folding to 16 bits
    EXPECT_EQ(char_to_glyph(0x1F603, l12.sub), 0);
    EXPECT_EQ(char_to_glyph(0x11F601, l12.sub), 0);

    auto l13 = load_one(0, 6, group_subtable(13, {{0x41, 0x5A, 2}, {0x10000, 0x10FFFD, 7}}));
    ASSERT_NE(l13.sub, nullptr);
    EXPECT_EQ(char_to_glyph(0x41, l13.sub), 2);
    EXPECT_EQ(char_to_glyph(0x5A, l13.sub), 2);
    EXPECT_EQ(char_to_glyph(0x10FFFD, l13.sub), 7);
    EXPECT_EQ(char_to_glyph(0x10FFFE, l13.sub), 0);
    EXPECT_EQ(char_to_glyph(0xFFFF, l13.sub), 0);
}

// Each fault is reported once, with a count; only usable groups stay in the record.
TEST(CmapGroups, UnusableGroupsAreDroppedOrCut) {
    auto l = load_one(3, 10,
                      group_subtable(12, {{0x30, 0x31, 1},
                                          {0x40, 0x3F, 1},  // ends below its start
                                          {0x35, 0x38, 1},
                                          {0x37, 0x39, 1},      // overlaps the one before
                                          {0x60, 0x110000, 1},  // past 0x10FFFF
                                          {0x70, 0x7F, 4},      // runs past glyph 7: cut
                                          {0x90, 0x90, 8}}));   // glyph 8 does not exist
    ASSERT_NE(l.sub, nullptr);
    EXPECT_EQ(l.font->err,
              "Warning: cmap 3.10 format 12: 1 group(s) ending below their start dropped\n"
              "Warning: cmap 3.10 format 12: 1 group(s) with codes above 0x10ffff dropped\n"
              "Warning: cmap 3.10 format 12: 1 group(s) out of order or overlapping dropped\n"
              "Warning: cmap 3.10 format 12: 2 group(s) reaching past the glyph count dropped or "
              "cut\n");
    ASSERT_EQ(grouped(l.sub).groups.size(), 3u);
    EXPECT_EQ(grouped(l.sub).groups[2].endCharCode, 0x73u);
    EXPECT_EQ(char_to_glyph(0x73, l.sub), 7);
    EXPECT_EQ(char_to_glyph(0x74, l.sub), 0);
    EXPECT_EQ(char_to_glyph(0x90, l.sub), 0);

    // A count claiming more groups than the subtable holds reads those present.
    auto claimed = load_one(3, 10, group_subtable(12, {{0x20, 0x21, 1}}, 0x10000000));
    ASSERT_NE(claimed.sub, nullptr);
    EXPECT_EQ(claimed.font->err,
              "Warning: cmap 3.10 format 12: 268435456 groups claimed, 1 present\n");
    EXPECT_EQ(grouped(claimed.sub).groups.size(), 1u);
    EXPECT_EQ(char_to_glyph(0x21, claimed.sub), 2);
}

// Formats the record does not hold keep their bytes, up to the table's end; they map
// nothing and print nothing when looked up.
TEST(CmapGroups, OtherFormatsAreKeptAsStored) {
    tf::bytes format14{0, 14, 0, 0, 0, 10, 0, 0, 0, 0};
    auto l = load_one(0, 5, format14);
    ASSERT_NE(l.sub, nullptr);
    EXPECT_EQ(l.font->err, "");
    EXPECT_EQ(kept(l.sub).stored, format14);
    EXPECT_EQ(elabtest::stderr_of([&] { EXPECT_EQ(char_to_glyph(0x41, l.sub), 0); }), "");

    auto format2 = tf::cmap_raw_subtable(2, tf::bytes(512, 1), std::nullopt, 7);
    auto l2 = load_one(1, 1, format2);
    ASSERT_NE(l2.sub, nullptr);
    EXPECT_EQ(kept(l2.sub).stored, format2);

    tf::bytes claims_more{0, 8, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0};  // 4096 bytes, 12 present
    auto cut = load_one(3, 1, claims_more);
    ASSERT_NE(cut.sub, nullptr);
    EXPECT_EQ(cut.font->err,
              "Warning: cmap 3.1 format 8: 4096 bytes claimed, 12 in the table kept\n");
    EXPECT_EQ(kept(cut.sub).stored, claims_more);
}
