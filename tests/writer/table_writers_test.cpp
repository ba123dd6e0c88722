// The regenerating writers on records built in memory: exact bytes, the recomputed hhea
// fields with their 16-bit arithmetic, and the limits of the 16-bit length fields.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "font/font.h"
#include "tables/cmap.h"
#include "tables/cmap_format4.h"
#include "tables/cmap_kept.h"
#include "tables/glyf.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/maxp.h"
#include "tables/name.h"
#include "tables/registry.h"
#include "writer/table_writers.h"

namespace {

// A font that exists only as records hung on directory entries.
struct memory_font {
    font_object font;
    memory_font() {
        font.font_path = "mem.ttf";
        font.otable = std::make_unique<offset_table>();
    }
    template <class T>
    T& add(const char* tag) {
        table_entry& e = font.table_dir.emplace_back();
        std::memcpy(e.tag, tag, 4);
        auto record = std::make_unique<T>();
        T& ref = *record;
        e.ElabPtr = std::move(record);
        font.otable->numTables = static_cast<USHORT>(font.table_dir.size());
        return ref;
    }
};

std::string bytes_of(const mem_stream& out) {
    return std::string(out.bytes().begin(), out.bytes().end());
}

std::string be16(std::initializer_list<int> words) {
    std::string s;
    for (int w : words) {
        s += static_cast<char>((w >> 8) & 0xFF);
        s += static_cast<char>(w & 0xFF);
    }
    return s;
}

struct glyph_spec {
    USHORT advanceWidth;
    SHORT lsb;
    SHORT numberOfContours;
    SHORT xMin;
    SHORT xMax;
};

// maxp, hhea (with recognisable stale values), hmtx and glyf for the given glyphs.
struct metrics_font : memory_font {
    hhea_elab* hhea;
    hmtx_elab* hmtx;
    explicit metrics_font(const std::vector<glyph_spec>& glyphs) {
        add<maxp_elab>("maxp").numGlyphs = static_cast<USHORT>(glyphs.size());
        hhea = &add<hhea_elab>("hhea");
        hhea->version = 0x00010000;
        hhea->ascender = 1900;
        hhea->descender = -480;
        hhea->lineGap = 67;
        hhea->advanceWidthMax = 1;
        hhea->minLeftSideBearing = 11;
        hhea->minRightSideBearing = 22;
        hhea->xMaxExtent = 33;
        hhea->caretSlopeRise = 1;
        hhea->reserved[4] = 7;
        hhea->numberOfHMetrics = 99;
        hmtx = &add<hmtx_elab>("hmtx");
        glyf_elab& glyf = add<glyf_elab>("glyf");
        for (const glyph_spec& g : glyphs) {
            hmtx->hMetrics.push_back({g.advanceWidth, g.lsb});
            glyph_record r;
            r.numberOfContours = g.numberOfContours;
            r.xMin = g.xMin;
            r.xMax = g.xMax;
            glyf.glyphs.push_back(r);
            glyf.headers.push_back(r);
        }
        glyf.outlines_read = true;
    }
};

}  // namespace

TEST(HorizontalMetrics, TrailingRunOfEqualWidths) {
    auto run_of = [](std::vector<USHORT> widths) {
        hmtx_elab hmtx;
        for (USHORT w : widths) hmtx.hMetrics.push_back({w, 0});
        return trailing_width_run(&hmtx, static_cast<USHORT>(widths.size()));
    };
    EXPECT_EQ(run_of({500, 600, 700, 700, 700}), 2);
    EXPECT_EQ(run_of({500, 500, 500}), 2);
    EXPECT_EQ(run_of({500, 500, 600}), 0);
    EXPECT_EQ(run_of({500}), 0);
    EXPECT_EQ(run_of({}), 0);
    EXPECT_EQ(trailing_width_run(nullptr, 5), 0);
}

TEST(HorizontalMetrics, HheaRecomputesExtremesFromMetricsAndBoxes) {
    metrics_font f({
        {2000, 0, 0, 0, 0},        // no contours: counts for advanceWidthMax only
        {500, 50, 1, 50, 450},     // rsb 50, extent 450
        {600, -20, -1, -20, 700},  // composite: rsb -100, extent 700
        {600, 5, 2, 5, 105},       // rsb 490, extent 105
    });
    mem_stream out;
    out.write(reinterpret_cast<const BYTE*>("XXXX"), 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_hhea(f.font, out, 4), 36);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(f.hhea->advanceWidthMax, 2000);
    EXPECT_EQ(f.hhea->minLeftSideBearing, -20);
    EXPECT_EQ(f.hhea->minRightSideBearing, -100);
    EXPECT_EQ(f.hhea->xMaxExtent, 700);
    EXPECT_EQ(f.hhea->numberOfHMetrics, 3);  // the last two widths are equal
    EXPECT_EQ(bytes_of(out), "XXXX" + be16({1, 0, 1900, -480 & 0xFFFF, 67, 2000, -20 & 0xFFFF,
                                            -100 & 0xFFFF, 700, 1, 0, 0, 0, 0, 0, 7, 0, 3}));
}

TEST(HorizontalMetrics, HheaSumsWrapAsSixteenBitValues) {
    metrics_font f({
        {100, 30000, 1, 0, 10000},  // extent 40000 wraps to -25536; rsb -39900 wraps to 25636
        {200, 0, 1, 0, 100},        // extent 100, rsb 100
    });
    mem_stream out;
    EXPECT_EQ(generate_hhea(f.font, out, 0), 36);
    EXPECT_EQ(f.hhea->xMaxExtent, 100);
    EXPECT_EQ(f.hhea->minRightSideBearing, 100);
    EXPECT_EQ(f.hhea->minLeftSideBearing, 0);
}

TEST(HorizontalMetrics, WidenedGlyphRaisesAdvanceWidthMax) {
    metrics_font f({{500, 50, 1, 50, 450}, {600, 10, 1, 10, 500}});
    f.hmtx->hMetrics[0].advanceWidth = 3000;  // as setaw leaves it
    mem_stream out;
    EXPECT_EQ(generate_hhea(f.font, out, 0), 36);
    EXPECT_EQ(f.hhea->advanceWidthMax, 3000);
    EXPECT_EQ(f.hhea->minRightSideBearing, 600 - 10 - 490);
    EXPECT_EQ(f.hhea->xMaxExtent, 500);
}

TEST(HorizontalMetrics, NoContourGlyphKeepsTheBearingFields) {
    metrics_font f({{300, 0, 0, 0, 0}, {300, 0, 0, 0, 0}});
    mem_stream out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_hhea(f.font, out, 0), 36);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "mem.ttf: no glyph in this font has a contour!\n");
    EXPECT_EQ(f.hhea->advanceWidthMax, 300);
    EXPECT_EQ(f.hhea->minLeftSideBearing, 11);
    EXPECT_EQ(f.hhea->minRightSideBearing, 22);
    EXPECT_EQ(f.hhea->xMaxExtent, 33);
    EXPECT_EQ(f.hhea->numberOfHMetrics, 1);
}

TEST(HorizontalMetrics, MissingInputsFailWithoutAMessageOfTheirOwn) {
    metrics_font f({{300, 0, 1, 0, 10}});
    mem_stream out;
    testing::internal::CaptureStderr();
    f.hhea->version = 0x00020000;
    EXPECT_EQ(generate_hhea(f.font, out, 0), -1);
    f.hhea->version = 0x00010000;
    f.font.table_dir[3].ElabPtr.reset();  // glyf present but not elaborated
    EXPECT_EQ(generate_hhea(f.font, out, 0), -1);
    f.hmtx->hMetrics.clear();
    EXPECT_EQ(generate_hmtx(f.font, out, 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

namespace {

std::unique_ptr<cmap_subtable> format4_subtable(USHORT glyph_ids) {
    auto sub = std::make_unique<cmap_format4>();
    sub->platformID = 3;
    sub->encodingID = 1;
    sub->segCountX2 = 4;
    sub->segCount = 2;
    sub->searchRange = 4;
    sub->entrySelector = 1;
    sub->rangeShift = 0;
    sub->endCount = {0x20, 0xFFFF};
    sub->startCount = {0x20, 0xFFFF};
    sub->idDelta = {-29, 1};
    sub->idRangeOffset = {0, 0};
    sub->glyphIdCount = glyph_ids;
    sub->glyphIdArray.assign(glyph_ids, 0);
    return sub;
}

}  // namespace

TEST(CmapWriter, UnknownFormatBecomesAStub) {
    memory_font f;
    cmap_elab& cmap = f.add<cmap_elab>("cmap");
    cmap.numTables = 1;
    auto sub = std::make_unique<cmap_kept>();
    sub->platformID = 1;
    sub->encodingID = 1;
    sub->format = 2;
    sub->language = 5;
    cmap.subtables.push_back(std::move(sub));
    mem_stream out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_cmap(f.font, out, 0), 18);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "generate_cmap_subtable: unknown format 2\n");
    EXPECT_EQ(bytes_of(out), be16({0, 1, 1, 1, 0, 12, 2, 6, 5}));
}

TEST(CmapWriter, SubtableBeyondSixteenBitLengthFails) {
    memory_font f;
    cmap_elab& cmap = f.add<cmap_elab>("cmap");
    cmap.numTables = 1;
    cmap.subtables.push_back(format4_subtable(40000));
    mem_stream out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_cmap(f.font, out, 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "generate_cmap_subtable: cmap 3.1 subtable (format 4) needs 80032 bytes, more than "
              "its 16-bit length allows\n");
}

namespace {

name_record text_record(USHORT nameID, const std::string& text, USHORT stale_offset = 0) {
    name_record r;
    r.platformID = 1;
    r.nameID = nameID;
    r.length = static_cast<USHORT>(text.size());
    r.offset = stale_offset;
    r.string = text;
    return r;
}

}  // namespace

TEST(NameWriter, StringsGetFreshOffsetsInRecordOrder) {
    memory_font f;
    name_elab& name = f.add<name_elab>("name");
    name.format = 1;
    name.records = {text_record(1, "Alpha", 40), text_record(2, "Alpha", 40),
                    text_record(4, "Go", 0)};
    name.count = 3;
    mem_stream out;
    EXPECT_EQ(generate_name(f.font, out, 0), 42 + 12);
    EXPECT_EQ(name.records[1].offset, 5);
    EXPECT_EQ(name.records[2].offset, 10);
    EXPECT_EQ(
        bytes_of(out),
        be16({0, 3, 42, 1, 0, 0, 1, 5, 0, 1, 0, 0, 2, 5, 5, 1, 0, 0, 4, 2, 10}) + "AlphaAlphaGo");
}

TEST(NameWriter, EmptyTableIsSixBytes) {
    memory_font f;
    f.add<name_elab>("name");
    mem_stream out;
    EXPECT_EQ(generate_name(f.font, out, 0), 6);
    EXPECT_EQ(bytes_of(out), be16({0, 0, 6}));
}

TEST(NameWriter, TablesBeyondSixteenBitOffsetsFail) {
    memory_font f;
    name_elab& name = f.add<name_elab>("name");
    // Too many records for stringOffset.
    name.records.assign(5461, text_record(1, ""));
    name.count = 5461;
    mem_stream out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_name(f.font, out, 0), -1);
    // Strings whose offsets pass 65535 once they are no longer shared.
    name.records.assign(4, text_record(1, std::string(30000, 'x'), 0));
    name.count = 4;
    EXPECT_EQ(generate_name(f.font, out, 0), -1);
    EXPECT_EQ(name.records[3].offset, 0);  // nothing stored back
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "generate_name: name table too large: 5461 records and 0 bytes of strings exceed "
              "its 16-bit offsets\n"
              "generate_name: name table too large: 4 records and 120000 bytes of strings exceed "
              "its 16-bit offsets\n");
    // Three of them still fit: the last string starts at 60000.
    name.records.resize(3);
    name.count = 3;
    EXPECT_EQ(generate_name(f.font, out, 0), 6 + 36 + 90000);
}

TEST(NameWriter, RecordShorterThanItsLengthFails) {
    memory_font f;
    name_elab& name = f.add<name_elab>("name");
    name.records = {text_record(1, "abc")};
    name.records[0].length = 10;
    name.count = 1;
    mem_stream out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_name(f.font, out, 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "generate_name: name record 0 holds 3 of its 10 bytes\n");
}

// A CFF font's extremes come from its outline boxes: .notdef 50 0 450 700 with lsb 0,
// A 100 0 583 700 (its curve's extreme is at x 582.84) with lsb 100; space has no outline.
TEST(HorizontalMetrics, CffFontsTakeTheBoxesOfTheirOutlines) {
    run_notices notices;
    auto font = load_font(TEST_DATA_DIR "/container/tiny-cff.otf", {false, notices});
    ASSERT_TRUE(font);
    testing::internal::CaptureStderr();
    for (const char* tag : font_elab_order_of(*font)) load_elab_table(*font, tag, 1);
    testing::internal::GetCapturedStderr();
    hhea_elab* hhea = hhea_table(*font);
    ASSERT_TRUE(hhea);
    hhea->advanceWidthMax = hhea->minLeftSideBearing = hhea->minRightSideBearing = 0;
    hhea->xMaxExtent = 0;
    mem_stream out;
    EXPECT_EQ(generate_hhea(*font, out, 0), 36);
    EXPECT_EQ(hhea->advanceWidthMax, 600);
    EXPECT_EQ(hhea->minLeftSideBearing, 0);
    EXPECT_EQ(hhea->minRightSideBearing, 600 - 100 - 483);
    EXPECT_EQ(hhea->xMaxExtent, 583);
}
