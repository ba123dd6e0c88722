// The precomputed code-to-glyph map (used by the AFM writer) must answer every one of the 65,536
// codes exactly as char_to_glyph does, with the same messages in the same order, for
// well-formed and damaged subtables alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tables/cmap.h"

namespace {

struct segment {
    USHORT start, end;
    SHORT delta;
    USHORT range_offset;
};

cmap_subtable format4(const std::vector<segment>& segments, std::vector<USHORT> glyph_ids) {
    cmap_subtable sub;
    sub.platformID = 3;
    sub.encodingID = 1;
    sub.format = 4;
    sub.segCount = static_cast<USHORT>(segments.size());
    sub.segCountX2 = static_cast<USHORT>(2 * segments.size());
    for (const segment& s : segments) {
        sub.startCount.push_back(s.start);
        sub.endCount.push_back(s.end);
        sub.idDelta.push_back(s.delta);
        sub.idRangeOffset.push_back(s.range_offset);
    }
    sub.glyphIdCount = static_cast<USHORT>(glyph_ids.size());
    sub.glyphIdArray = std::move(glyph_ids);
    return sub;
}

// Every code through both lookups; the glyphs and the messages must agree.
void expect_same_as_char_to_glyph(const cmap_subtable& sub, const std::string& what) {
    std::vector<USHORT> expected(0x10000), got(0x10000);
    testing::internal::CaptureStderr();
    for (ULONG c = 0; c <= 0xFFFF; ++c) expected[c] = char_to_glyph(c, &sub);
    std::string expected_err = testing::internal::GetCapturedStderr();

    testing::internal::CaptureStderr();
    const code_glyph_map map(sub);
    for (ULONG c = 0; c <= 0xFFFF; ++c) got[c] = map.glyph_of(c);
    std::string got_err = testing::internal::GetCapturedStderr();

    for (ULONG c = 0; c <= 0xFFFF; ++c)
        if (got[c] != expected[c]) {
            ADD_FAILURE() << what << ": code 0x" << std::hex << c << " gives " << got[c]
                          << ", char_to_glyph " << expected[c];
            break;
        }
    EXPECT_EQ(got_err, expected_err) << what;
}

}  // namespace

TEST(CodeGlyphMap, AgreesWithCharToGlyphOnBuiltSubtables) {
    // idDelta runs, a glyphIdArray segment with a 0 entry, a gap between segments.
    expect_same_as_char_to_glyph(format4({{0x20, 0x7E, -29, 0},
                                          {0xA0, 0xA3, 7, 4},
                                          {0x2000, 0x2001, 0, 0},
                                          {0xFFFF, 0xFFFF, 1, 0}},
                                         {5, 0, 7, 8}),
                                 "ordinary");
    // Segments out of order: a later, lower segment is never the first match.
    expect_same_as_char_to_glyph(format4({{0x100, 0x1FF, 3, 0},
                                          {0x80, 0x90, 5, 0},
                                          {0x150, 0x300, 9, 0},
                                          {0xFFFF, 0xFFFF, 1, 0}},
                                         {}),
                                 "out of order");
    // glyph words before and after glyphIdArray, and no segment reaching 0xFFFE.
    expect_same_as_char_to_glyph(format4({{0x41, 0x45, 0, 0x100}, {0x50, 0x60, 2, 2}}, {1, 2}),
                                 "outside glyphIdArray");
    // segCount above the arrays actually held, and below them.
    cmap_subtable longer = format4({{0x30, 0x39, 1, 0}, {0xFFFF, 0xFFFF, 1, 0}}, {});
    longer.segCount = 9;
    expect_same_as_char_to_glyph(longer, "segCount too large");
    cmap_subtable shorter = format4({{0x30, 0x39, 1, 0}, {0x40, 0xFFFF, 1, 6}}, {3, 4, 5});
    shorter.segCount = 1;
    expect_same_as_char_to_glyph(shorter, "segCount too small");
    // glyphIdCount smaller than the array it describes.
    cmap_subtable counted = format4({{0x30, 0x39, 0, 4}, {0xFFFF, 0xFFFF, 1, 0}}, {1, 2, 3, 4});
    counted.glyphIdCount = 2;
    expect_same_as_char_to_glyph(counted, "glyphIdCount");
    expect_same_as_char_to_glyph(format4({}, {}), "no segments");
}

TEST(CodeGlyphMap, AgreesWithCharToGlyphOnRandomSubtables) {
    std::mt19937 random(20260);
    for (int round = 0; round < 12; ++round) {
        std::uniform_int_distribution<int> count(1, 300);
        std::vector<segment> segments(static_cast<std::size_t>(count(random)));
        std::vector<USHORT> glyph_ids(static_cast<std::size_t>(count(random)));
        for (USHORT& g : glyph_ids) g = static_cast<USHORT>(random() % 50);
        for (segment& s : segments) {
            s.start = static_cast<USHORT>(random());
            s.end = static_cast<USHORT>(round % 2 ? s.start + random() % 400 : random());
            s.delta = static_cast<SHORT>(random());
            s.range_offset = random() % 3 ? 0 : static_cast<USHORT>(random() % 1200);
        }
        expect_same_as_char_to_glyph(format4(segments, glyph_ids),
                                     "random round " + std::to_string(round));
    }
}

TEST(CodeGlyphMap, OtherFormatsAreLookedUpDirectly) {
    cmap_subtable bytes;
    bytes.format = 0;
    bytes.glyphIdArray.assign(256, 0);
    bytes.glyphIdArray[0x41] = 9;
    bytes.glyphIdCount = 256;
    expect_same_as_char_to_glyph(bytes, "format 0");
    cmap_subtable trimmed;
    trimmed.format = 6;
    trimmed.firstCode = 0x20;
    trimmed.glyphIdArray = {3, 4, 5};
    trimmed.glyphIdCount = 3;
    expect_same_as_char_to_glyph(trimmed, "format 6");
}
