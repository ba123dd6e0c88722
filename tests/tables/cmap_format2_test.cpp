// cmap format 2 (high-byte mapping) and the format 14 listing, on subtables made by hand:
// one-byte and two-byte codes, idDelta, a glyph index outside the subtable, subHeaders the
// subtable cannot hold, and the exact listings. tables/cmap_format2_check.py compares a
// larger subtable with fontTools.
#include <gtest/gtest.h>

#include <cstdio>

#include "report/list.h"
#include "tables/cmap.h"
#include "tables/cmap_format2.h"
#include "tables/elab_fixture.h"

namespace tf = testfont;

namespace {

// Keys: 0x81 selects subHeader 1, 0x82 subHeader 2. subHeader 0 maps the single bytes
// 0x41..0x43 to glyphIdArray[0..2]; subHeader 1 the second bytes 0x40..0x43 to
// glyphIdArray[3..6] plus 2; subHeader 2 points past the end. 556 bytes.
tf::bytes format2_subtable(std::size_t cut_to = 0) {
    tf::be_writer w;
    w.u16(2).u16(0).u16(0);
    for (unsigned first = 0; first < 256; ++first)
        w.u16(first == 0x81 ? 8 : first == 0x82 ? 16 : 0);
    w.u16(0x41).u16(3).s16(0).u16(18);  // idRangeOffset at 524, glyphIdArray at 542
    w.u16(0x40).u16(4).s16(2).u16(16);  // at 532, to glyphIdArray[3] at 548
    w.u16(0x40).u16(2).s16(0).u16(0x1000);
    for (uint16_t glyph : {1, 2, 3, 1, 0, 3, 4}) w.u16(glyph);
    tf::bytes b = w.take();
    if (cut_to != 0) b.resize(cut_to);
    tf::put_u16(b, 2, static_cast<uint16_t>(b.size()));
    return b;
}

struct loaded_subtable {
    std::unique_ptr<elabtest::loaded_font> font;
    const cmap_subtable* sub = nullptr;
};

loaded_subtable load_format2(const tf::bytes& subtable) {
    auto parts = tf::standard_parts();
    parts.cmap.encodings = {{3, 2, subtable, std::nullopt}};
    loaded_subtable l;
    l.font = elabtest::load(parts.builder(), {"maxp", "cmap"});
    if (auto* slot = find_cmap_subtable(*l.font->font, 3, 2)) l.sub = slot->get();
    return l;
}

// What list prints for the subtable after its heading line.
std::string listing_of(const cmap_subtable& sub) {
    testing::internal::CaptureStdout();
    list_cmap_subtable(&sub);
    std::string out = testing::internal::GetCapturedStdout();
    return out.substr(out.find('\n') + 1);
}

const std::string kEquals = "===================================\n";

}  // namespace

TEST(CmapFormat2, OneAndTwoByteCodesMapThroughTheirSubHeaders) {
    auto l = load_format2(format2_subtable());
    ASSERT_NE(l.sub, nullptr);
    EXPECT_EQ(l.font->err, "");
    EXPECT_TRUE(l.sub->maps_codes());
    // Kept for gen, byte for byte.
    EXPECT_EQ(dynamic_cast<const cmap_format2&>(*l.sub).stored, format2_subtable());

    struct lookup {
        ULONG code;
        USHORT glyph;
    };
    for (const lookup& c :
         {lookup{0x41, 1}, lookup{0x43, 3}, lookup{0x40, 0}, lookup{0x44, 0},
          lookup{0x81, 0},    // a first byte, not a code
          lookup{0x8140, 3},  // 1 + idDelta 2
          lookup{0x8141, 0},  // index 0 stays 0 despite idDelta
          lookup{0x8143, 6}, lookup{0x8144, 0}, lookup{0x8340, 0},  // 0x83 starts no two-byte code
          lookup{0x18140, 3},                                       // codes are taken modulo 65536
          lookup{0xFFFF, 0}}) {
        std::string err = elabtest::stderr_of(
            [&] { EXPECT_EQ(char_to_glyph(c.code, l.sub), c.glyph) << std::hex << c.code; });
        EXPECT_EQ(err, "") << std::hex << c.code;
    }
    // subHeader 2 points past the subtable: reported like a format 4 index out of range.
    EXPECT_EQ(elabtest::stderr_of([&] { EXPECT_EQ(char_to_glyph(0x8240, l.sub), 0); }),
              "Cannot cmap character code 0x8240!\n");

    EXPECT_EQ(listing_of(*l.sub),
              "Maps 6 code(s) via subHeaders:\n"
              "format=2 length=556 version=0 subHeaders=3\n"
              "subHeaderKeys (first byte: subHeader):\n"
              "\t0x81: 1\t0x82: 2\n"
              "subHeaders (firstCode entryCount idDelta idRangeOffset):\n"
              "     0:\t0x41\t3\t0\t18\n"
              "     1:\t0x40\t4\t2\t16\n"
              "     2:\t0x40\t2\t0\t4096\n"
              "ranges (firstCode lastCode subHeader):\n"
              "\t0x0041\t0x0043\t0\n"
              "\t0x8140\t0x8143\t1\n"
              "\t0x8240\t0x8241\t2\n" +
                  kEquals);
}

// Keys that select subHeaders past the subtable's end are said once at load; codes through
// them map nothing.
TEST(CmapFormat2, SubHeadersTheSubtableCannotHoldMapNothing) {
    auto cut = load_format2(format2_subtable(540));
    ASSERT_NE(cut.sub, nullptr);
    EXPECT_EQ(cut.font->err,
              "Warning: cmap 3.2 format 2: subHeaderKeys select 3 subHeaders, 2 in the subtable\n");
    EXPECT_EQ(elabtest::stderr_of([&] { EXPECT_EQ(char_to_glyph(0x8240, cut.sub), 0); }), "");
    EXPECT_EQ(listing_of(*cut.sub).rfind("Maps 0 code(s) via subHeaders:\n"
                                         "format=2 length=540 version=0 subHeaders=2\n",
                                         0),
              0u);

    auto header_only = load_format2(tf::cmap_raw_subtable(2, tf::bytes(4, 0)));
    ASSERT_NE(header_only.sub, nullptr);
    EXPECT_EQ(header_only.font->err,
              "Warning: cmap 3.2 format 2: 10 bytes cannot hold the subHeaderKeys, maps nothing\n");
    EXPECT_EQ(char_to_glyph(0x41, header_only.sub), 0);
}

// Format 14 maps no codes; list shows each variation selector with its numbers of default
// and non-default mappings, cut to what the subtable holds.
TEST(CmapFormat14, ListsEachSelectorWithItsMappings) {
    tf::be_writer w;
    w.u16(14).u32(0).u32(2);
    w.u8(0x00).u16(0xFE00).u32(32).u32(0);                       // default UVS at 32
    w.u8(0x0E).u16(0x0100).u32(0).u32(44);                       // non-default UVS at 44
    w.u32(2).u8(0).u16(0x4100).u8(2).u8(0).u16(0x4300).u8(0);    // U+4100..4102, U+4300
    w.u32(3).u8(0).u16(0x4100).u16(5).u8(0).u16(0x4101).u16(6);  // claims 3, holds 2
    tf::bytes format14 = w.take();
    tf::put_u32(format14, 2, static_cast<uint32_t>(format14.size()));

    auto parts = tf::standard_parts();
    parts.cmap.encodings = {{0, 5, format14, std::nullopt},
                            {3, 1, tf::cmap_format4::from(tf::standard_unicode_map()), {}}};
    auto l = elabtest::load(parts.builder(), {"maxp", "cmap"});
    const cmap_subtable* sub = find_cmap_subtable(*l->font, 0, 5)->get();
    EXPECT_FALSE(sub->maps_codes());
    std::string listing;
    EXPECT_EQ(elabtest::stderr_of([&] { listing = listing_of(*sub); }),
              "Warning: cmap 0.5 format 14: counts claim more than the subtable holds; listed as "
              "far as it goes\n");
    EXPECT_EQ(listing,
              "format=14 length=58 numVarSelectorRecords=2: variation sequences, maps no codes\n"
              "varSelector defaultUVS nonDefaultUVS:\n"
              "\tU+FE00\t4\t0\n"
              "\tU+E0100\t0\t2\n" +
                  kEquals);
}
