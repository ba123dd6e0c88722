// Checks of the test-font builder itself: every other test trusts the files it makes.
#include <gtest/gtest.h>

#include "support/font_builder.h"

namespace {

using testfont::bytes;

uint16_t u16_at(const bytes& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) << 8 | b.at(at + 1));
}

uint32_t u32_at(const bytes& b, size_t at) {
    return static_cast<uint32_t>(u16_at(b, at)) << 16 | u16_at(b, at + 2);
}

struct dir_entry {
    std::string tag;
    uint32_t checkSum, offset, length;
};

std::vector<dir_entry> directory(const bytes& file) {
    std::vector<dir_entry> dir;
    for (size_t i = 0; i < u16_at(file, 4); ++i) {
        size_t at = 12 + 16 * i;
        dir.push_back({std::string(file.begin() + at, file.begin() + at + 4), u32_at(file, at + 4),
                       u32_at(file, at + 8), u32_at(file, at + 12)});
    }
    return dir;
}

bytes table_bytes(const bytes& file, const std::string& tag) {
    for (const auto& e : directory(file))
        if (e.tag == tag) return bytes(file.begin() + e.offset, file.begin() + e.offset + e.length);
    ADD_FAILURE() << "no table " << tag;
    return {};
}

// Reference format 4 lookup, written the plain way the TrueType standard describes it.
uint16_t format4_lookup(const bytes& sub, uint16_t code) {
    uint16_t seg_count = u16_at(sub, 6) / 2;
    size_t ends = 14, starts = ends + 2 * seg_count + 2, deltas = starts + 2 * seg_count,
           ranges = deltas + 2 * seg_count;
    for (size_t i = 0; i < seg_count; ++i) {
        if (u16_at(sub, ends + 2 * i) < code) continue;
        uint16_t start = u16_at(sub, starts + 2 * i);
        if (start > code) return 0;
        uint16_t delta = u16_at(sub, deltas + 2 * i), range = u16_at(sub, ranges + 2 * i);
        if (range == 0) return static_cast<uint16_t>(code + delta);
        uint16_t g = u16_at(sub, ranges + 2 * i + range + 2 * (code - start));
        return g == 0 ? 0 : static_cast<uint16_t>(g + delta);
    }
    return 0;
}

TEST(FontBuilder, WriterIsBigEndianAndPatches) {
    testfont::be_writer w;
    w.u16(0x1234).s16(-2).u32(0xA1B2C3D4).tag("OS/2").tag("cvt").u8(7).pad(4);
    w.patch_u16(0, 0xBEEF);
    EXPECT_EQ(w.data(), (bytes{0xBE, 0xEF, 0xFF, 0xFE, 0xA1, 0xB2, 0xC3, 0xD4, 'O', 'S',
                               '/',  '2',  'c',  'v',  't',  ' ',  7,    0,    0,   0}));
}

TEST(FontBuilder, ChecksumAndSearchFields) {
    EXPECT_EQ(testfont::checksum({0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}), 0x01000000u);
    auto s11 = testfont::search_fields_for(11, 16);
    EXPECT_EQ(s11.searchRange, 128);
    EXPECT_EQ(s11.entrySelector, 3);
    EXPECT_EQ(s11.rangeShift, 48);
    auto s16 = testfont::search_fields_for(16, 16);
    EXPECT_EQ(s16.searchRange, 256);
    EXPECT_EQ(s16.entrySelector, 4);
    EXPECT_EQ(s16.rangeShift, 0);
}

TEST(FontBuilder, BuiltFontsHaveCorrectChecksums) {
    for (const auto& builder : {testfont::standard_font(), testfont::minimal_font()}) {
        bytes file = builder.build();
        EXPECT_EQ(testfont::checksum(file), 0xB1B0AFBAu);
        EXPECT_EQ(file.size() % 4, 0u);
        for (const auto& e : directory(file)) {
            EXPECT_EQ(e.offset % 4, 0u) << e.tag;
            bytes data = table_bytes(file, e.tag);
            if (e.tag == "head") std::fill_n(data.begin() + 8, 4, 0);  // summed without it
            EXPECT_EQ(e.checkSum, testfont::checksum(data)) << e.tag;
        }
    }
}

TEST(FontBuilder, StandardFontDirectory) {
    bytes file = testfont::standard_font().build();
    EXPECT_EQ(u32_at(file, 0), 0x00010000u);
    EXPECT_EQ(u16_at(file, 4), 11);
    EXPECT_EQ(u16_at(file, 6), 128);
    EXPECT_EQ(u16_at(file, 8), 3);
    EXPECT_EQ(u16_at(file, 10), 48);

    std::vector<std::string> tags;
    for (const auto& e : directory(file)) tags.push_back(e.tag);
    EXPECT_EQ(tags, (std::vector<std::string>{"OS/2", "cmap", "glyf", "head", "hhea", "hmtx",
                                              "kern", "loca", "maxp", "name", "post"}));
    EXPECT_EQ(u32_at(table_bytes(file, "head"), 12), 0x5F0F3CF5u);
}

TEST(FontBuilder, StandardFontTablesAgree) {
    bytes file = testfont::standard_font().build();
    bytes head = table_bytes(file, "head"), hhea = table_bytes(file, "hhea"),
          maxp = table_bytes(file, "maxp"), os2 = table_bytes(file, "OS/2");
    EXPECT_EQ(head.size(), 54u);
    EXPECT_EQ(hhea.size(), 36u);
    EXPECT_EQ(maxp.size(), 32u);
    EXPECT_EQ(os2.size(), 86u);

    uint16_t glyphs = u16_at(maxp, 4);
    EXPECT_EQ(glyphs, testfont::STANDARD_GLYPH_COUNT);
    EXPECT_EQ(u16_at(head, 50), 0);  // short loca
    bytes loca = table_bytes(file, "loca");
    EXPECT_EQ(loca.size(), 2u * (glyphs + 1));
    EXPECT_EQ(2u * u16_at(loca, 2 * glyphs), table_bytes(file, "glyf").size());
    EXPECT_EQ(u16_at(loca, 2 * testfont::G_SPACE), u16_at(loca, 2 * testfont::G_SPACE + 2));

    uint16_t long_metrics = u16_at(hhea, 34);
    EXPECT_EQ(long_metrics, 6);
    EXPECT_EQ(table_bytes(file, "hmtx").size(), 4u * long_metrics + 2u * (glyphs - long_metrics));
    EXPECT_EQ(u16_at(table_bytes(file, "post"), 32), glyphs);

    // Font box is the union of the glyph boxes: A's x range, a's descent, Aring's ring top.
    EXPECT_EQ(static_cast<int16_t>(u16_at(head, 36)), 16);
    EXPECT_EQ(static_cast<int16_t>(u16_at(head, 38)), -29);
    EXPECT_EQ(static_cast<int16_t>(u16_at(head, 40)), 1384);
    EXPECT_EQ(static_cast<int16_t>(u16_at(head, 42)), 1850);
}

TEST(FontBuilder, Format4MapsEveryCodeAsGiven) {
    testfont::char_map m{{0x20, 1}, {0x41, 2}, {0x42, 3},  {0x43, 9},
                         {0x61, 4}, {0xC5, 6}, {0xFFFE, 7}};
    for (bool use_array : {false, true}) {
        bytes sub = testfont::cmap_format4::from(m, use_array).serialize();
        EXPECT_EQ(u16_at(sub, 2), sub.size());
        EXPECT_EQ(u16_at(sub, 14 + u16_at(sub, 6) - 2), 0xFFFF);  // closing segment
        for (uint32_t code = 0; code <= 0xFFFF; ++code) {
            auto it = m.find(static_cast<uint16_t>(code));
            uint16_t want = it == m.end() ? 0 : it->second;
            ASSERT_EQ(format4_lookup(sub, static_cast<uint16_t>(code)), want)
                << "code " << code << " use_array " << use_array;
        }
    }
}

TEST(FontBuilder, SimpleGlyphUsesShortSameAndRepeatEncodings) {
    testfont::glyf_table glyf;
    // x deltas +10, -5, 0, +300; y deltas 0, 0, 0, -1.
    glyf.glyphs.push_back(testfont::simple_glyph({{{10, 0}, {5, 0}, {5, 0}, {305, -1}}}));
    bytes g = glyf.encode_glyph(0);
    bytes want{0,    1,    0,    5,    0xFF, 0xFF, 0x01, 0x31, 0, 0,  // header, box 5,-1..305,0
               0,    3,    0,    0,                                   // endPts, no instructions
               0x33, 0x23, 0x31, 0x05,                                // flags
               10,   5,    0x01, 0x2C,                                // x: short, short, same, word
               1};                                                    // y: short negative
    EXPECT_EQ(g, want);

    testfont::glyf_table same;
    same.glyphs.push_back(testfont::simple_glyph({{{0, 0}, {0, 0}, {0, 0}}}));
    bytes r = same.encode_glyph(0);
    EXPECT_EQ(bytes(r.begin() + 14, r.end()), (bytes{0x39, 2}));  // one flag repeated twice
}

TEST(FontBuilder, OverridesReachTheFile) {
    auto b = testfont::standard_font();
    b.searchRange = 0x1234;
    b.table("maxp").length = 6;
    b.table("name").checkSum = 0xDEADBEEF;
    b.add_table("head", testfont::head_table{}.serialize());  // duplicate tag, listed last
    b.trailing = {1, 2, 3};
    bytes file = b.build();
    EXPECT_EQ(u16_at(file, 4), 12);
    EXPECT_EQ(u16_at(file, 6), 0x1234);
    EXPECT_EQ(testfont::checksum(file), 0xB1B0AFBAu);  // still fixed, trailing bytes included
    auto dir = directory(file);
    for (const auto& e : dir) {
        if (e.tag == "maxp") {
            EXPECT_EQ(e.length, 6u);
        }
        if (e.tag == "name") {
            EXPECT_EQ(e.checkSum, 0xDEADBEEFu);
        }
    }
    EXPECT_EQ(dir.back().tag, "head");

    b.fix_checksum_adjustment = false;  // head keeps its stored adjustment of 0
    EXPECT_NE(testfont::checksum(b.build()), 0xB1B0AFBAu);
}

TEST(FontBuilder, PostNamesUseStandardIndicesThenCustom) {
    testfont::post_table post;
    post.glyph_names = {".notdef", "A", "alpha", "space", "beta", "alpha", "dmacron"};
    EXPECT_EQ(post.computed_indices(), (std::vector<uint16_t>{0, 36, 258, 3, 259, 258, 257}));
    bytes b = post.serialize();
    EXPECT_EQ(b.size(), 32u + 2 + 2 * 7 + 6 + 5);
    EXPECT_EQ(bytes(b.end() - 11, b.end()),
              (bytes{5, 'a', 'l', 'p', 'h', 'a', 4, 'b', 'e', 't', 'a'}));
}

}  // namespace
