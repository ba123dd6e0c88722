// A subtable's walk (used by the AFM writer and the chart) must give every code it maps
// exactly as char_to_glyph does, in code order, with the same messages in the same order,
// for well-formed and damaged subtables alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_format0.h"
#include "tables/cmap_format4.h"
#include "tables/cmap_format6.h"
#include "tables/cmap_groups.h"
#include "tables/cmap_kept.h"

namespace {

struct segment {
    USHORT start, end;
    SHORT delta;
    USHORT range_offset;
};

cmap_format4 format4(const std::vector<segment>& segments, std::vector<USHORT> glyph_ids) {
    cmap_format4 sub;
    sub.platformID = 3;
    sub.encodingID = 1;
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

using mapping = std::vector<std::pair<ULONG, USHORT>>;

// Every code through the lookup and through the walk; the glyphs and the messages must
// agree. Codes up to `last`.
void expect_same_as_char_to_glyph(const cmap_subtable& sub, const std::string& what,
                                  ULONG last = 0xFFFF) {
    mapping expected, got;
    testing::internal::CaptureStderr();
    for (ULONG c = 0; c <= last; ++c)
        if (USHORT g = char_to_glyph(c, &sub); g != 0) expected.emplace_back(c, g);
    std::string expected_err = testing::internal::GetCapturedStderr();

    testing::internal::CaptureStderr();
    sub.walk([&](ULONG code, USHORT glyph) {
        got.emplace_back(code, glyph);
        return true;
    });
    std::string got_err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(got, expected) << what;
    EXPECT_EQ(got_err, expected_err) << what;
}

}  // namespace

TEST(CmapWalk, AgreesWithCharToGlyphOnBuiltSubtables) {
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
    cmap_format4 longer = format4({{0x30, 0x39, 1, 0}, {0xFFFF, 0xFFFF, 1, 0}}, {});
    longer.segCount = 9;
    expect_same_as_char_to_glyph(longer, "segCount too large");
    cmap_format4 shorter = format4({{0x30, 0x39, 1, 0}, {0x40, 0xFFFF, 1, 6}}, {3, 4, 5});
    shorter.segCount = 1;
    expect_same_as_char_to_glyph(shorter, "segCount too small");
    // glyphIdCount smaller than the array it describes.
    cmap_format4 counted = format4({{0x30, 0x39, 0, 4}, {0xFFFF, 0xFFFF, 1, 0}}, {1, 2, 3, 4});
    counted.glyphIdCount = 2;
    expect_same_as_char_to_glyph(counted, "glyphIdCount");
    expect_same_as_char_to_glyph(format4({}, {}), "no segments");
}

TEST(CmapWalk, AgreesWithCharToGlyphOnRandomSubtables) {
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

TEST(CmapWalk, EveryFormatWalksItsLookup) {
    cmap_format0 bytes;
    bytes.glyphIdArray.assign(256, 0);
    bytes.glyphIdArray[0x41] = 9;
    bytes.glyphIdArray[0xFF] = 3;
    bytes.glyphIdCount = 256;
    expect_same_as_char_to_glyph(bytes, "format 0");
    cmap_format6 trimmed;
    trimmed.firstCode = 0x20;
    trimmed.glyphIdArray = {3, 0, 5};
    trimmed.glyphIdCount = 3;
    expect_same_as_char_to_glyph(trimmed, "format 6");
    cmap_format6 to_the_end;  // runs onto 0xFFFF, which maps nothing
    to_the_end.firstCode = 0xFFFD;
    to_the_end.glyphIdArray = {1, 2, 3, 4};
    to_the_end.glyphIdCount = 4;
    expect_same_as_char_to_glyph(to_the_end, "format 6 at the end");

    cmap_format12 runs;
    runs.groups = {{0x41, 0x43, 1}, {0xFFFE, 0x10001, 7}, {0x10FFFE, 0x10FFFF, 2}};
    expect_same_as_char_to_glyph(runs, "format 12", kLastUnicode);
    cmap_format13 many;
    many.groups = {{0x20, 0x20, 4}, {0x1F600, 0x1F64F, 5}};
    expect_same_as_char_to_glyph(many, "format 13", kLastUnicode);

    cmap_kept kept;  // kept without bytes: every code says so
    kept.format = 2;
    expect_same_as_char_to_glyph(kept, "kept");
}

// A walk stops where its visitor says, and the chart's stop at the end of the BMP.
TEST(CmapWalk, StopsWhenAsked) {
    cmap_format12 runs;
    runs.groups = {{0xFFFD, 0x10002, 1}};
    mapping seen;
    runs.walk([&](ULONG code, USHORT glyph) {
        if (code > 0xFFFF) return false;
        seen.emplace_back(code, glyph);
        return true;
    });
    EXPECT_EQ(seen, (mapping{{0xFFFD, 1}, {0xFFFE, 2}}));
}
