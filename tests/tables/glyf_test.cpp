// The glyf parser: outlines of simple glyphs, composite headers, every consistency
// message, and glyph data that is damaged or hostile.
#include "tables/glyf.h"

#include <gtest/gtest.h>

#include <array>

#include "parsed_font.h"
#include "tables/loca.h"
#include "tables/maxp.h"
#include "tables/table_reader.h"

using namespace tabletest;
using testfont::bytes;

namespace {

testfont::glyph_point on(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), true};
}
testfont::glyph_point off(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), false};
}

// A box for glyph 0 and the given glyphs after it.
testfont::font_parts font_with(std::vector<testfont::glyph> glyphs) {
    auto parts = testfont::minimal_parts();
    parts.glyf.glyphs = {testfont::simple_glyph({{on(0, 0), on(0, 700), on(500, 700)}})};
    parts.post.glyph_names = {".notdef"};
    for (auto& g : glyphs) {
        parts.glyf.glyphs.push_back(std::move(g));
        parts.post.glyph_names.push_back("g" + std::to_string(parts.post.glyph_names.size()));
    }
    parts.advance_widths.assign(parts.glyf.glyphs.size(), 600);
    parts.sync();
    return parts;
}

std::string reading_messages(const std::vector<BYTE>& data, size_t flag_count,
                             std::vector<BYTE>& flags) {
    table_reader in(data.data(), data.size());
    flags.assign(flag_count, 0);
    testing::internal::CaptureStderr();
    read_flags(flags, in);
    return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(GlyfFlags, RepeatsExpandUntilTheLastFlag) {
    std::vector<BYTE> flags;
    EXPECT_EQ(reading_messages({0x01, 0x09, 3}, 5, flags), "");
    EXPECT_EQ(flags, (std::vector<BYTE>{0x01, 0x09, 0x09, 0x09, 0x09}));

    // One repeat too many is refused; the remaining flags stay 0.
    EXPECT_EQ(reading_messages({0x01, 0x09, 4}, 5, flags),
              "read_flags: inconsistent repetitions\n");
    EXPECT_EQ(flags, (std::vector<BYTE>{0x01, 0x09, 0, 0, 0}));

    // Flags past the end of the data read as 0.
    EXPECT_EQ(reading_messages({0x31}, 3, flags), "");
    EXPECT_EQ(flags, (std::vector<BYTE>{0x31, 0, 0}));
}

TEST(GlyfCoordinates, DeltasInEveryEncodingAddUp) {
    // x: +10 (byte, positive), -5 (byte), same, +300 (word); y: all the same (0).
    const std::vector<BYTE> flags = {0x12 | 0x20, 0x02 | 0x20, 0x10 | 0x20, 0x00 | 0x20};
    const std::vector<BYTE> data = {10, 5, 0x01, 0x2C};
    table_reader in(data.data(), data.size());
    std::vector<point> points(4);
    read_coordinates(points, flags, in);
    const SHORT xs[] = {10, 5, 5, 305};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(points[k].x, xs[k]) << k;
        EXPECT_EQ(points[k].y, 0) << k;
    }
    // Sums wrap modulo 65536; y deltas follow all x deltas.
    const std::vector<BYTE> wrap_flags = {0x00, 0x00};
    const std::vector<BYTE> wrap = {0x7F, 0xFF, 0x00, 0x02, 0xFF, 0xFF, 0x00, 0x03};
    table_reader win(wrap.data(), wrap.size());
    std::vector<point> wrapped(2);
    read_coordinates(wrapped, wrap_flags, win);
    EXPECT_EQ(wrapped[1].x, -32767);
    EXPECT_EQ(wrapped[0].y, -1);
    EXPECT_EQ(wrapped[1].y, 2);
}

TEST(Glyf, SimpleGlyphsKeepContoursFlagsPointsAndInstructions) {
    auto parts = font_with({
        testfont::simple_glyph({{on(10, 0), off(10, 300), on(310, 300), on(310, 0)},
                                {on(100, 100), on(200, 100), on(200, 200), on(100, 200)}},
                               {0xB0, 0x01, 0x21}),
        testfont::glyph{},  // empty: no description in loca
    });
    auto p = parse(parts);
    ASSERT_EQ(p->err, "");
    const glyf_elab* glyf = glyf_table(*p->font);
    ASSERT_NE(glyf, nullptr);
    ASSERT_EQ(glyf->glyphs.size(), 3u);

    const glyph_record& g = glyf->glyphs[1];
    EXPECT_EQ(g.numberOfContours, 2);
    EXPECT_EQ(g.xMin, 10);
    EXPECT_EQ(g.yMin, 0);
    EXPECT_EQ(g.xMax, 310);
    EXPECT_EQ(g.yMax, 300);
    ASSERT_EQ(g.contours.size(), 2u);  // endPtsOfContours 3, 7
    EXPECT_EQ(g.contours[0].count, 4);
    EXPECT_EQ(g.contours[0].firstPoint, 0);
    EXPECT_EQ(g.contours[1].count, 4);
    EXPECT_EQ(g.contours[1].firstPoint, 4);
    EXPECT_EQ(g.contours[1].firstFlag, 4);
    EXPECT_EQ(g.instructionLength, 3);
    EXPECT_EQ(bytes(g.instructions.begin(), g.instructions.end()), (bytes{0xB0, 0x01, 0x21}));
    const std::vector<std::pair<int, int>> expected = {
        {10, 0}, {10, 300}, {310, 300}, {310, 0}, {100, 100}, {200, 100}, {200, 200}, {100, 200}};
    ASSERT_EQ(g.points.size(), expected.size());
    ASSERT_EQ(g.flags.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(g.points[k].x, expected[k].first) << k;
        EXPECT_EQ(g.points[k].y, expected[k].second) << k;
        EXPECT_EQ(g.flags[k] & kOnCurve, k == 1 ? 0 : 1) << k;
    }

    const glyph_record& empty = glyf->glyphs[2];
    EXPECT_EQ(empty.numberOfContours, 0);
    EXPECT_EQ(empty.xMin | empty.yMin | empty.xMax | empty.yMax, 0);
    EXPECT_TRUE(empty.contours.empty() && empty.points.empty() && empty.instructions.empty());

    // No instructions: an empty array, and the outline is still read.
    const glyph_record& notdef = glyf->glyphs[0];
    EXPECT_EQ(notdef.instructionLength, 0);
    EXPECT_TRUE(notdef.instructions.empty());
    EXPECT_EQ(notdef.points.size(), 3u);
}

TEST(Glyf, RealOutlinesFitTheirBoundingBoxes) {
    // Every point of every simple glyph of the sample fonts, decoded from their flags and
    // deltas, lies in the glyph's stored box, and the extremes are reached.
    for (const char* name : {"Vera.ttf", "VeraMono.ttf"}) {
        auto p = parse_file(testrun::sample_font(name));
        const glyf_elab* glyf = glyf_table(*p->font);
        ASSERT_NE(glyf, nullptr) << name;
        ASSERT_EQ(glyf->glyphs.size(), glyphs_in(*p->font)) << name;
        size_t simple = 0;
        for (const glyph_record& g : glyf->glyphs) {
            if (g.numberOfContours <= 0) continue;
            ++simple;
            ASSERT_FALSE(g.points.empty());
            int x0 = g.points[0].x, x1 = x0, y0 = g.points[0].y, y1 = y0;
            for (const point& pt : g.points) {
                x0 = std::min<int>(x0, pt.x), x1 = std::max<int>(x1, pt.x);
                y0 = std::min<int>(y0, pt.y), y1 = std::max<int>(y1, pt.y);
            }
            EXPECT_EQ((std::array<int, 4>{x0, y0, x1, y1}),
                      (std::array<int, 4>{g.xMin, g.yMin, g.xMax, g.yMax}));
            const contour_record& last = g.contours.back();
            EXPECT_EQ(last.firstPoint + last.count, static_cast<int>(g.points.size()));
        }
        EXPECT_GT(simple, 190u) << name;
    }
}

TEST(Glyf, BoundingBoxWarningLooksAtXOnly) {
    testfont::glyph wide = testfont::simple_glyph({{on(0, 0), on(50, 10)}});
    wide.bbox = {{100, 0, 50, 10}};
    testfont::glyph tall = testfont::simple_glyph({{on(0, 0), on(50, 10)}});
    tall.bbox = {{0, 10, 50, 0}};
    auto r = run_font(font_with({tall, wide}).builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "do_glyf: warning: glyph 2: inconsistent glyph bounding box\n");
}

TEST(Glyf, CompositeGlyphsAreReportedOncePerRun) {
    testfont::glyph_component base{.glyphIndex = 0};
    auto first = font_with({testfont::composite_glyph({base}), testfont::composite_glyph({base})});
    auto second = font_with({testfont::simple_glyph({{on(0, 0), on(1, 1)}}),
                             testfont::simple_glyph({{on(0, 0), on(1, 1)}}),
                             testfont::composite_glyph({base})});
    testrun::scratch_dir dir;
    auto a = first.builder().write(dir.file("a.ttf"));
    auto b = second.builder().write(dir.file("b.ttf"));
    auto r = testrun::kestrix({b, "font", a, "font", b, "font", "pop", "pop", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "read_glyph: glyph 3: warning: composite glyph(s) ignored\n");

    // A composite keeps its header only.
    auto p = parse(first);
    const glyph_record& g = glyf_table(*p->font)->glyphs[1];
    EXPECT_EQ(g.numberOfContours, -1);
    EXPECT_EQ(g.xMax, 500);
    EXPECT_EQ(g.yMax, 700);
    EXPECT_TRUE(g.contours.empty() && g.points.empty() && g.flags.empty());
}

// The parts of a composite, read for drawing: byte and word offsets (signed), the three
// scale forms, point matching, and a last part cut off by the glyph's end.
TEST(Glyf, ComponentsAreReadForDrawing) {
    testfont::glyph composite = testfont::composite_glyph({
        {.glyphIndex = 0, .arg1 = -5, .arg2 = 127},
        {.glyphIndex = 2, .arg1 = -300, .arg2 = 32767, .transform = {8192}},
        {.glyphIndex = 0, .arg1 = 1, .arg2 = -1, .transform = {16384, -16384}},
        {.glyphIndex = 2, .arg1 = 7, .arg2 = 8, .transform = {0, 16384, -8192, 0}},
        {.glyphIndex = 0, .arg1 = 3, .arg2 = 4, .flags = testfont::MORE_COMPONENTS},
        {.glyphIndex = 0, .arg1 = 9, .arg2 = 9},
    });
    auto p = parse(font_with({composite, testfont::simple_glyph({{on(0, 0), on(1, 1)}})}));
    const std::vector<::glyph_component> parts = read_components(*p->font, 1);
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(parts[0].glyphIndex, 0);
    EXPECT_EQ(std::make_pair(parts[0].dx, parts[0].dy), std::make_pair(-5, 127));
    EXPECT_EQ(std::make_pair(parts[1].dx, parts[1].dy), std::make_pair(-300, 32767));
    EXPECT_EQ(parts[1].glyphIndex, 2);
    EXPECT_EQ(std::make_pair(parts[1].xx, parts[1].yy), std::make_pair(0.5, 0.5));
    EXPECT_EQ(std::make_pair(parts[2].xx, parts[2].yy), std::make_pair(1.0, -1.0));
    EXPECT_EQ(std::make_tuple(parts[3].xx, parts[3].xy, parts[3].yx, parts[3].yy),
              std::make_tuple(0.0, 1.0, -0.5, 0.0));
    // Point-matched: the arguments are point numbers, not offsets.
    EXPECT_EQ(std::make_pair(parts[4].dx, parts[4].dy), std::make_pair(0, 0));
    EXPECT_TRUE(read_components(*p->font, 2).empty());  // simple
    EXPECT_TRUE(read_components(*p->font, 9).empty());  // past the glyph count

    // The glyph's bytes end in the middle of its second part: only the first is read.
    auto cut = font_with({testfont::composite_glyph({{.glyphIndex = 0}, {.glyphIndex = 0}})});
    cut.head.indexToLocFormat = 1;
    auto b = cut.builder();
    auto offsets = cut.glyf.build(1).offsets;
    offsets[2] -= 6;  // 10 bytes of header, 6 of each part, 2 of padding
    b.set_table("loca", testfont::make_loca(offsets, 1));
    auto q = parse(b);
    EXPECT_EQ(read_components(*q->font, 1).size(), 1u);
}

TEST(Glyf, EndPointsThatDoNotIncreaseStopTheGlyph) {
    testfont::glyph g = testfont::simple_glyph({{on(0, 0), on(1, 1), on(2, 2)}, {on(3, 3)}});
    g.endPtsOfContours = std::vector<uint16_t>{2, 2};
    auto parts = font_with({g});
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.err, "read_glyph: glyph 1 contour 1: inconsistent contours\n");

    auto p = parse(parts);
    const glyph_record& kept = glyf_table(*p->font)->glyphs[1];
    EXPECT_EQ(kept.numberOfContours, 2);
    EXPECT_EQ(kept.xMax, 3);
    EXPECT_EQ(kept.contours.size(), 2u);
    EXPECT_TRUE(kept.points.empty() && kept.flags.empty() && kept.instructions.empty());
}

TEST(Glyf, PointCountWrappingToZeroIsReported) {
    testfont::glyph g = testfont::simple_glyph({{on(0, 0), on(1, 1)}});
    g.endPtsOfContours = std::vector<uint16_t>{0xFFFF};
    auto parts = font_with({g});
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.err, "read_glyph: glyph 1: inconsistent number of coordinates: 0\n");
    auto p = parse(parts);
    const glyph_record& kept = glyf_table(*p->font)->glyphs[1];
    EXPECT_EQ(kept.contours.size(), 1u);
    EXPECT_TRUE(kept.points.empty() && kept.flags.empty());
}

TEST(Glyf, RepeatsPastTheLastFlagStillReadCoordinates) {
    testfont::glyph g = testfont::simple_glyph({{on(10, 0), on(20, 0), on(30, 0)}});
    // Three points; the flag of x-short-positive, y-same, repeated 5 times.
    g.raw_flags = bytes{0x01 | 0x02 | 0x10 | 0x20 | 0x08, 5};
    auto parts = font_with({g});
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.err, "read_flags: inconsistent repetitions\n");
    auto p = parse(parts);
    const glyph_record& kept = glyf_table(*p->font)->glyphs[1];
    ASSERT_EQ(kept.points.size(), 3u);
    EXPECT_EQ(bytes(kept.flags.begin(), kept.flags.end()), (bytes{0x3B, 0, 0}));
    // The coordinates follow the refused repeat count: point 0 still moves by 10, and the
    // zero flags of points 1 and 2 read words.
    EXPECT_EQ(kept.points[0].x, 10);
    EXPECT_EQ(kept.points[1].x, 10 + 0x0A0A);
}

TEST(Glyf, InstructionsRunningPastTheTableStopTheGlyph) {
    testfont::glyph g = testfont::simple_glyph({{on(0, 0), on(1, 1)}});
    g.instructionLength = 1000;
    auto r = run_font(font_with({g}).builder());
    EXPECT_EQ(r->run.err, "read_glyph: glyph 1: cannot read instructions (1000 bytes)!\n");
}

TEST(Glyf, LocaOffsetsOutsideTheTableReadZeros) {
    // Glyph 1 starts at the head table, glyph 2 past the end of the file: neither reads
    // anything but zeros, so both are empty.
    auto parts = font_with({testfont::simple_glyph({{on(0, 0), on(1, 1)}}),
                            testfont::simple_glyph({{on(0, 0), on(1, 1)}})});
    parts.head.indexToLocFormat = 1;
    auto b = parts.builder();
    const auto offsets = b.data_offsets();
    const auto glyf_at = offsets[b.find("glyf") - b.tables.data()];
    const auto head_at = offsets[b.find("head") - b.tables.data()];
    ASSERT_GT(head_at, glyf_at);
    b.table("loca").data = testfont::make_loca({0, head_at - glyf_at, 0x10000000, 0x10000100}, 1);
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "");
    auto p = parse(b);
    const glyf_elab* glyf = glyf_table(*p->font);
    ASSERT_NE(glyf, nullptr);
    EXPECT_EQ(glyf->glyphs[0].numberOfContours, 1);
    EXPECT_EQ(glyf->glyphs[1].numberOfContours, 0);
    EXPECT_EQ(glyf->glyphs[2].numberOfContours, 0);
}

TEST(Glyf, OffsetBeforeTheFileFailsTheTable) {
    auto parts = font_with({testfont::simple_glyph({{on(0, 0), on(1, 1)}})});
    parts.head.indexToLocFormat = 1;
    auto b = parts.builder();
    const auto offsets = b.data_offsets();
    const long glyf_at = offsets[b.find("glyf") - b.tables.data()];
    b.table("loca").data = testfont::make_loca({0, 0x80000000u, 0x80000010u}, 1);
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "do_glyf: cannot seek to glyph 1 at offset " +
                              std::to_string(glyf_at - 0x80000000L) + "\n" + no_table("glyf"));
}

namespace {

// One glyph of 65,535 points in 528 bytes (repeated flags, no coordinate bytes), which
// glyphs 0, 2, 4 ... all use through loca; the odd glyphs start at the table's end.
testfont::font_builder shared_heavy_glyph(uint16_t glyph_count) {
    testfont::be_writer w;
    w.s16(1).s16(0).s16(0).s16(0).s16(0).u16(0xFFFE).u16(0);  // 65,535 points
    for (int run = 0; run < 255; ++run) w.u8(0x39).u8(255);   // 256 flags each
    w.u8(0x39).u8(254);
    w.pad(4);
    auto parts = testfont::minimal_parts();
    parts.head.indexToLocFormat = 1;
    parts.maxp.numGlyphs = glyph_count;
    auto b = parts.builder();
    const auto size = static_cast<uint32_t>(w.size());
    b.table("glyf").data = w.take();
    std::vector<uint32_t> loca;
    for (uint32_t i = 0; i <= glyph_count; ++i) loca.push_back(i % 2 ? size : 0);
    b.table("loca").data = testfont::make_loca(loca, 1);
    return b;
}

}  // namespace

TEST(Glyf, SharedGlyphDataIsNotExpandedBeyondTheTable) {
    const std::string capped =
        "do_glyf: warning: glyph 8: more outline data than the glyf table holds, remaining "
        "outlines ignored\n";
    // hmtx holds the builder's metrics for two glyphs; the others have none.
    auto short_hmtx = [](int n) {
        return "Warning: hmtx: numGlyphs - numberOfHMetrics claims " + std::to_string(n) +
               " leftSideBearings, 0 fit in the table\n";
    };
    auto p = parse(shared_heavy_glyph(20));
    EXPECT_EQ(p->err, short_hmtx(18) + capped);
    const auto& glyphs = glyf_table(*p->font)->glyphs;
    EXPECT_EQ(glyphs[6].points.size(), 65535u);
    EXPECT_EQ(glyphs[6].points[65534].x, 0);
    EXPECT_EQ(glyphs[8].numberOfContours, 1);  // headers are still read
    EXPECT_TRUE(glyphs[8].points.empty());
    EXPECT_TRUE(glyphs[10].contours.empty());
    EXPECT_EQ(glyphs[9].numberOfContours, 0);

    // 65,535 glyphs would otherwise ask for about 10 GB.
    auto r = run_font(shared_heavy_glyph(0xFFFF));
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, short_hmtx(65533) + capped);
}

namespace {

void expect_same_glyphs(const glyf_elab& a, const glyf_elab& b) {
    ASSERT_EQ(a.glyphs.size(), b.glyphs.size());
    for (std::size_t i = 0; i < a.glyphs.size(); ++i) {
        const glyph_record &x = a.glyphs[i], &y = b.glyphs[i];
        EXPECT_EQ(std::make_tuple(x.numberOfContours, x.xMin, x.yMin, x.xMax, x.yMax,
                                  x.instructionLength),
                  std::make_tuple(y.numberOfContours, y.xMin, y.yMin, y.xMax, y.yMax,
                                  y.instructionLength))
            << i;
        ASSERT_EQ(x.contours.size(), y.contours.size()) << i;
        for (std::size_t c = 0; c < x.contours.size(); ++c)
            EXPECT_EQ(std::make_tuple(x.contours[c].count, x.contours[c].firstPoint),
                      std::make_tuple(y.contours[c].count, y.contours[c].firstPoint))
                << i;
        ASSERT_EQ(x.points.size(), y.points.size()) << i;
        for (std::size_t k = 0; k < x.points.size(); ++k)
            EXPECT_EQ(std::make_pair(x.points[k].x, x.points[k].y),
                      std::make_pair(y.points[k].x, y.points[k].y))
                << i;
        EXPECT_TRUE(std::equal(x.flags.begin(), x.flags.end(), y.flags.begin(), y.flags.end()));
        EXPECT_TRUE(std::equal(x.instructions.begin(), x.instructions.end(), y.instructions.begin(),
                               y.instructions.end()));
    }
}

}  // namespace

TEST(Glyf, LoadingChecksWhatAFullReadingWouldSayAndOutlinesFollowOnUse) {
    // Every message a glyph can give, in one table, after a sound glyph and an empty one.
    testfont::glyph flipped = testfont::simple_glyph({{on(50, 0), on(10, 10)}});
    flipped.bbox = std::array<int16_t, 4>{50, 0, 10, 10};
    testfont::glyph stalled = testfont::simple_glyph({{on(0, 0), on(1, 1), on(2, 2)}, {on(3, 3)}});
    stalled.endPtsOfContours = std::vector<uint16_t>{2, 2};
    testfont::glyph wrapped = testfont::simple_glyph({{on(0, 0), on(1, 1)}});
    wrapped.endPtsOfContours = std::vector<uint16_t>{0xFFFF};
    testfont::glyph repeats = testfont::simple_glyph({{on(10, 0), on(20, 0), on(30, 0)}});
    repeats.raw_flags = bytes{0x01 | 0x02 | 0x10 | 0x20 | 0x08, 5};
    testfont::glyph long_program = testfont::simple_glyph({{on(0, 0), on(1, 1)}});
    long_program.instructionLength = 1000;
    auto parts = font_with({
        testfont::simple_glyph({{on(10, 0), off(10, 300), on(310, 300)}}, {0xB0, 0x01}),
        testfont::glyph{},
        flipped,
        testfont::composite_glyph({{.glyphIndex = 1}}),
        stalled,
        wrapped,
        repeats,
        testfont::composite_glyph({{.glyphIndex = 2}}),
        long_program,
    });
    auto p = parse(parts);
    testing::internal::CaptureStderr();
    run_notices notices;
    p->font->notices = &notices;  // a fresh run: the composite notice is given again
    std::unique_ptr<glyf_elab> full = do_glyf(*p->font);
    const std::string full_err = testing::internal::GetCapturedStderr();
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(p->err, full_err);
    EXPECT_NE(full_err.find("inconsistent glyph bounding box"), std::string::npos);
    EXPECT_NE(full_err.find("cannot read instructions"), std::string::npos);

    const glyf_elab* headers = glyf_headers(*p->font);
    ASSERT_NE(headers, nullptr);
    EXPECT_FALSE(headers->outlines_read);
    EXPECT_TRUE(headers->glyphs.empty());
    ASSERT_EQ(headers->headers.size(), full->glyphs.size());
    for (std::size_t i = 0; i < full->glyphs.size(); ++i)
        EXPECT_EQ(headers->headers[i].xMax, full->glyphs[i].xMax) << i;
    testing::internal::CaptureStderr();
    const glyf_elab* expanded = glyf_table(*p->font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // loading said it all
    expect_same_glyphs(*expanded, *full);
}

// Loading walks the flags of every glyph without keeping them, eight at a time where none
// repeats; it must refuse exactly the repeat counts that reading them refuses.
TEST(Glyf, CheckingWalkOfTheFlagsAgreesWithReadingThem) {
    const BYTE plain = 0x01 | 0x02 | 0x04 | 0x10 | 0x20;  // on curve, short x and y, positive
    const BYTE repeated = plain | 0x08;
    struct walk {
        std::size_t points;
        std::size_t plain_flags;  // this many flags that do not repeat, then
        bytes rest;               // these bytes
    };
    const walk walks[] = {
        {20, 20, {}},                   // runs of eight and a tail
        {20, 15, {repeated, 4}},        // the last flag repeated up to the last point
        {20, 15, {repeated, 5}},        // and one more
        {17, 7, {repeated, 9, plain}},  // a repeat at the end of a run of eight
        {17, 7, {repeated, 10}},        // running past the last point
        {12, 9, {repeated}},            // the count is the first coordinate byte
    };
    for (const walk& w : walks) {
        std::vector<testfont::glyph_point> points;
        for (std::size_t i = 0; i < w.points; ++i) points.push_back(on(static_cast<int>(i), 1));
        testfont::glyph g = testfont::simple_glyph({points});
        bytes flags(w.plain_flags, plain);
        flags.insert(flags.end(), w.rest.begin(), w.rest.end());
        g.raw_flags = flags;
        // What reading finds: the flag bytes, then the coordinates, deltas of 1.
        bytes data = flags;
        data.resize(data.size() + 2 * w.points, 1);
        std::vector<BYTE> read;
        const std::string expected = reading_messages(data, w.points, read);
        auto r = run_font(font_with({g}).builder());
        EXPECT_EQ(r->run.err, expected) << w.points << " points, " << flags.size() << " bytes";
    }
}
