// gen on fonts made by the test-font builder: layout details, the regenerated cmap and
// name tables, OS/2 and the horizontal metrics, and the sanitizer's verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/font_builder.h"
#include "support/run.h"
#include "writer/sfnt_view.h"

namespace {

const char* const kSanitizer = "/usr/bin/ots-sanitize";
const std::string kExitError = "kestrix: exiting due to error\n";

struct gen_run {
    testrun::scratch_dir dir;
    std::string source;
    std::string output;
    testrun::result run;
    sfnt::view in;
    sfnt::view out;
};

// Writes the font, runs `kestrix SOURCE font OUTPUT gen` and reads both files back.
std::unique_ptr<gen_run> gen_built(const testfont::font_builder& b) {
    auto g = std::make_unique<gen_run>();
    g->source = b.write(g->dir.file("source.ttf"));
    g->output = g->dir.file("output.ttf");
    g->run = testrun::kestrix({g->source, "font", g->output, "gen"});
    g->in.bytes = testrun::read_file(g->source);
    if (testrun::file_exists(g->output)) g->out.bytes = testrun::read_file(g->output);
    return g;
}

std::string str(const testfont::bytes& b) {
    return std::string(b.begin(), b.end());
}

std::string without_adjustment(std::string head) {
    if (head.size() >= 12) head.replace(8, 4, 4, '\0');
    return head;
}

void expect_sanitized(const std::string& path) {
    ASSERT_TRUE(testrun::file_exists(kSanitizer))
        << "ots-sanitize is missing (Debian package opentype-sanitizer)";
    testrun::result r = testrun::run(kSanitizer, {path});
    EXPECT_EQ(r.status, 0) << path << "\n" << r.out << r.err;
}

// Every table of the output equals the source's, head apart from its adjustment.
void expect_same_tables(const gen_run& g) {
    for (const sfnt::record& r : g.in.directory()) {
        if (r.tag == "head")
            EXPECT_EQ(without_adjustment(g.out.table(r.tag)),
                      without_adjustment(g.in.table(r.tag)));
        else
            EXPECT_EQ(g.out.table(r.tag), g.in.table(r.tag)) << r.tag;
    }
}

testfont::font_parts with_cmap(std::vector<testfont::cmap_encoding> encodings) {
    auto parts = testfont::standard_parts();
    parts.cmap.encodings = std::move(encodings);
    return parts;
}

testfont::char_map printable_ascii() {
    testfont::char_map m;
    for (uint16_t c = 32; c < 127; ++c) m[c] = static_cast<uint16_t>(2 + c % 5);
    return m;
}

}  // namespace

TEST(GenBuilt, WellFormedFontsComeOutTableForTable) {
    for (auto builder : {testfont::standard_font(), testfont::minimal_font()}) {
        auto g = gen_built(builder);
        EXPECT_EQ(g->run.status, 0) << g->run.err;
        EXPECT_EQ(g->run.err, "");
        expect_same_tables(*g);
        EXPECT_EQ(sfnt::checksum(g->out.bytes), 0xB1B0AFBAu);
        expect_sanitized(g->output);
    }
}

TEST(GenBuilt, UnsortedDirectoryAndOddLengthsAreKept) {
    auto b = testfont::standard_font();
    std::reverse(b.tables.begin(), b.tables.end());
    b.add_table("zzzz", {1, 2, 3, 4, 5});
    auto g = gen_built(b);
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    auto in_dir = g->in.directory();
    auto out_dir = g->out.directory();
    ASSERT_EQ(out_dir.size(), in_dir.size());
    for (size_t i = 0; i < in_dir.size(); ++i) EXPECT_EQ(out_dir[i].tag, in_dir[i].tag);
    const sfnt::record& last = out_dir.back();
    EXPECT_EQ(last.tag, "zzzz");
    EXPECT_EQ(last.length, 5u);
    EXPECT_EQ(g->out.bytes.substr(last.offset), std::string("\1\2\3\4\5\0\0\0", 8));
    EXPECT_EQ(sfnt::checksum(g->out.bytes), 0xB1B0AFBAu);
    expect_sanitized(g->output);
}

// A font whose glyphs are all empty has a zero-length glyf, which lands on head's offset
// when it comes just before head. fontTools checks every directory checksum.
TEST(GenBuilt, EmptyGlyfBeforeHeadGetsTheRightChecksums) {
    auto b = testfont::minimal_font();
    b.table("glyf").data.clear();
    std::fill(b.table("loca").data.begin(), b.table("loca").data.end(), 0);
    auto glyf = std::find_if(b.tables.begin(), b.tables.end(),
                             [](const testfont::table_data& t) { return t.tag == "glyf"; });
    testfont::table_data moved = *glyf;
    b.tables.erase(glyf);
    auto head = std::find_if(b.tables.begin(), b.tables.end(),
                             [](const testfont::table_data& t) { return t.tag == "head"; });
    b.tables.insert(head, moved);
    auto g = gen_built(b);
    ASSERT_EQ(g->run.status, 0) << g->run.err;
    ASSERT_EQ(g->out.find("glyf")->offset, g->out.find("head")->offset);

    const char* const python = "/usr/bin/python3";
    ASSERT_TRUE(testrun::file_exists(python));
    auto check = testrun::run(python, {"-c",
                                       "import sys\n"
                                       "from fontTools.ttLib import TTFont\n"
                                       "font = TTFont(sys.argv[1], checkChecksums=2)\n"
                                       "for tag in font.reader.keys(): font.reader[tag]\n",
                                       g->output});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(sfnt::checksum(g->out.bytes), 0xB1B0AFBAu);
}

TEST(GenBuilt, FontWithoutHeadIsWrittenWithAWarning) {
    testfont::font_builder b;
    b.add_table("abcd", {1, 2, 3, 4, 5, 6});
    b.add_table("wxyz", {7});
    auto g = gen_built(b);
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    const std::string warning = g->output + ": cannot locate output file checksum\n";
    ASSERT_GE(g->run.err.size(), warning.size());
    EXPECT_EQ(g->run.err.substr(g->run.err.size() - warning.size()), warning);
    EXPECT_EQ(g->out.table("abcd"), std::string("\1\2\3\4\5\6", 6));
    EXPECT_EQ(g->out.bytes.size(), 12u + 32u + 8u + 4u);
}

TEST(GenBuilt, EveryCmapFormatRoundTripsAndSanitizes) {
    using namespace testfont;
    // The sanitizer wants a Windows subtable in every cmap.
    const std::vector<std::vector<cmap_encoding>> cmaps = {
        {{1, 0, cmap_format0::from(standard_mac_map()), {}},
         {3, 1, cmap_format4::from(standard_unicode_map(), true), {}}},
        {{3, 1, cmap_format4::from(standard_unicode_map()), {}},
         {1, 0, cmap_format6::from(printable_ascii()), {}}},
    };
    for (const auto& encodings : cmaps) {
        auto g = gen_built(with_cmap(encodings).builder());
        EXPECT_EQ(g->run.status, 0) << g->run.err;
        EXPECT_EQ(g->run.err, "");
        EXPECT_EQ(g->out.table("cmap"), g->in.table("cmap"));
        expect_sanitized(g->output);
    }
}

TEST(GenBuilt, CmapIsNormalisedFieldByField) {
    using namespace testfont;
    auto format0 = cmap_format0::from(standard_mac_map());
    format0.array_bytes = 128;  // length 134: codes 128..255 unmapped
    auto format4 = cmap_format4::from(standard_unicode_map());
    format4.reservedPad = 7;
    auto parts = with_cmap({{3, 1, format4, {}}, {1, 0, format0, {}}});  // unsorted records
    parts.cmap.version = 1;
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err,
              "do_cmap: strange version 1\n"
              "Byte-encoding cmap should have 262 bytes, but has 134 instead\n");

    format0.array_bytes = 256;
    std::fill(format0.glyphIdArray.begin() + 128, format0.glyphIdArray.end(), 0);
    format4.reservedPad = 0;
    auto expected = with_cmap({{3, 1, format4, {}}, {1, 0, format0, {}}});
    EXPECT_EQ(g->out.table("cmap"), str(expected.cmap.serialize()));
    expect_sanitized(g->output);
}

TEST(GenBuilt, UnreadableCmapSubtableIsDropped) {
    using namespace testfont;
    auto parts = with_cmap({{1, 0, cmap_format0::from(standard_mac_map()), {}},
                            {1, 1, cmap_raw_subtable(2, bytes(20, 0)), 0xFFFF0u},
                            {3, 1, cmap_format4::from(standard_unicode_map()), {}}});
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err,
              "Byte-encoding cmap should have 262 bytes, but has 0 instead\n"
              "Cannot read byte encoding table in cmap: Success\n"
              "do_cmap: no 1.1 subtable\n"
              "The cmap subtable count is adjusted to 2 from original 3\n");
    parts.cmap.encodings.erase(parts.cmap.encodings.begin() + 1);
    EXPECT_EQ(g->out.table("cmap"), str(parts.cmap.serialize()));
    expect_sanitized(g->output);
}

// Format 12 and 13 subtables are written back field for field, and subtables of other
// formats (here 14, variation sequences) as their stored bytes: an unedited cmap comes
// out as it went in.
TEST(GenBuilt, EveryCmapSubtableIsWrittenBack) {
    using namespace testfont;
    auto group_subtable = [](uint16_t format, std::vector<uint32_t> words) {
        bytes b{0, static_cast<uint8_t>(format), 0, 0};
        std::vector<uint32_t> header{static_cast<uint32_t>(16 + 4 * words.size()), 0,
                                     static_cast<uint32_t>(words.size() / 3)};
        header.insert(header.end(), words.begin(), words.end());
        for (uint32_t v : header)
            for (int shift = 24; shift >= 0; shift -= 8)
                b.push_back(static_cast<uint8_t>(v >> shift));
        return b;
    };
    bytes format14{0, 14, 0, 0, 0, 21, 0, 0, 0, 1, 0, 0xFE, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0};
    auto parts = with_cmap(
        {{0, 4, group_subtable(12, {0x20, 0x20, 1, 0x41, 0x42, 2, 0x1F600, 0x1F601, 4}), {}},
         {0, 5, format14, {}},
         {0, 6, group_subtable(13, {0x61, 0x7A, 3}), {}},
         {3, 1, cmap_format4::from(standard_unicode_map()), {}}});
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err, "");
    EXPECT_EQ(g->out.table("cmap"), g->in.table("cmap"));
}

// Encoding records that share one subtable in the source share one written copy: the
// cmap comes out as it went in, not with a copy per record.
TEST(GenBuilt, SharedCmapSubtableIsWrittenOnce) {
    using namespace testfont;
    const uint32_t first_subtable = 4 + 3 * 8;
    auto parts = with_cmap({{0, 3, cmap_format4::from(standard_unicode_map()), {}},
                            {1, 0, cmap_format0::from(standard_mac_map()), {}},
                            {3, 1, bytes{}, first_subtable}});
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err, "");
    EXPECT_EQ(g->out.table("cmap"), g->in.table("cmap"));
    expect_sanitized(g->output);
}

TEST(GenBuilt, OversizedCmapSubtableFailsAndLeavesNoFile) {
    using namespace testfont;
    cmap_format6 big;
    big.firstCode = 0;
    big.glyphIdArray.assign(40000, 1);  // 80010 bytes: more than a length field holds
    auto parts =
        with_cmap({{3, 1, cmap_format4::from(standard_unicode_map()), {}}, {1, 0, big, {}}});
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 255);
    EXPECT_EQ(g->run.err,
              "generate_cmap_subtable: cmap 1.0 subtable (format 6) needs 80010 bytes, more than "
              "its 16-bit length allows\n" +
                  kExitError);
    EXPECT_FALSE(testrun::file_exists(g->output));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(g->dir.path()), {}), 1);
}

TEST(GenBuilt, SharedNameStringsAreWrittenUnshared) {
    using namespace testfont;
    auto parts = testfont::standard_parts();
    name_record family = ms_name(1, "Family");
    name_record shared = ms_name(4, "");
    shared.length = 12;  // "Family" again, through the second record's bytes
    shared.offset = 8;   // after "Bold"
    name_record style = ms_name(2, "Bold");
    parts.name.records = {style, family, shared};
    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;

    name_table expected;
    expected.records = {style, family, ms_name(4, "Family")};
    EXPECT_EQ(g->out.table("name"), str(expected.serialize()));
    expect_sanitized(g->output);
}

TEST(GenBuilt, OS2TablesAreWrittenBack) {
    for (uint16_t version : {0, 1, 2, 3, 4, 5}) {
        SCOPED_TRACE(version);
        auto parts = testfont::standard_parts();
        parts.os2.version = version;
        auto g = gen_built(parts.builder());
        EXPECT_EQ(g->run.status, 0) << g->run.err;
        EXPECT_EQ(g->run.err, "");
        EXPECT_EQ(g->out.table("OS/2"), g->in.table("OS/2"));
        const uint32_t sizes[] = {78, 86, 96, 96, 96, 100};
        EXPECT_EQ(g->out.find("OS/2")->length, sizes[version]);
        expect_sanitized(g->output);
    }
}

// A version the parser does not know has no record: gen copies the source bytes and says
// that an encode could not have reached them.
TEST(GenBuilt, LaterOS2VersionsAreCopiedUnchanged) {
    auto parts = testfont::standard_parts();
    parts.os2.version = 6;
    auto b = parts.builder();
    b.table("OS/2").data.resize(102, 0x5A);
    auto g = gen_built(b);
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err,
              "do_os2: version 6 of OS/2 table unknown\nfont: no OS/2 table\n"
              "generate_os2: version 6 of OS/2 table copied unchanged (its character range is "
              "not updated)\n");
    EXPECT_EQ(g->out.table("OS/2"), g->in.table("OS/2"));
}

TEST(GenBuilt, HorizontalMetricsAreRecompressedAndRecomputed) {
    auto parts = testfont::standard_parts();
    parts.advance_widths = {500, 600, 700, 700, 700, 700, 700, 700};
    parts.sync();
    auto expected_hhea = str(parts.hhea.serialize());
    auto expected_hmtx = str(parts.hmtx.serialize());
    ASSERT_EQ(parts.hhea.numberOfHMetrics, 3);
    // Store every glyph's pair and leave hhea's computed fields stale.
    parts.hmtx.hMetrics.clear();
    parts.hmtx.leftSideBearings.clear();
    auto boxes = parts.glyf;
    for (size_t i = 0; i < 8; ++i) {
        auto box = boxes.box_of(i);
        parts.hmtx.hMetrics.push_back({parts.advance_widths[i], box ? (*box)[0] : int16_t{0}});
    }
    parts.hhea.numberOfHMetrics = 8;
    parts.hhea.advanceWidthMax = 1;
    parts.hhea.minLeftSideBearing = parts.hhea.minRightSideBearing = parts.hhea.xMaxExtent = 9;

    auto g = gen_built(parts.builder());
    EXPECT_EQ(g->run.status, 0) << g->run.err;
    EXPECT_EQ(g->run.err, "");
    EXPECT_EQ(g->out.table("hhea"), expected_hhea);
    EXPECT_EQ(g->out.table("hmtx"), expected_hmtx);
    EXPECT_EQ(g->out.find("hmtx")->length, 3u * 4u + 5u * 2u);
    expect_sanitized(g->output);
}
