// Loading font files: the whole-file checksum, offset-table checks and `force`, the
// directory, and the head magic number.
#include <gtest/gtest.h>

#include "font/container.h"
#include "font/font.h"
#include "support/font_builder.h"
#include "support/run.h"
#include "tables/registry.h"

using testrun::kestrix;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";

struct loaded {
    testrun::scratch_dir dir;
    std::string path;
    testrun::result run;
};

// Writes the font and runs `kestrix [force] F font pop` on it.
std::unique_ptr<loaded> load(const testfont::font_builder& b, bool force = false) {
    auto l = std::make_unique<loaded>();
    l->path = b.write(l->dir.file("f.ttf"));
    std::vector<std::string> args;
    if (force) args.push_back("force");
    args.insert(args.end(), {l->path, "font", "pop"});
    l->run = kestrix(args);
    return l;
}

std::string offset_warning(const std::string& path, const std::string& reason) {
    return "Warning: " + path + ": invalid offset table (" + reason + ")\n";
}

const std::string kForceOn = "Warning: forced file interpretation is ON\n";
const std::string kNoOffsetTable = "load_font: cannot read offset table\nfont: load failed\n";
// Composite outlines are not read; the first composite glyph of a run says so.
const std::string kVeraComposite = "read_glyph: glyph 98: warning: composite glyph(s) ignored\n";

}  // namespace

TEST(LoadFont, WellFormedFontsLoadSilently) {
    for (auto builder : {testfont::standard_font(), testfont::minimal_font()}) {
        auto l = load(builder);
        EXPECT_EQ(l->run.status, 0);
        EXPECT_EQ(l->run.err, "");
    }
    for (const char* name : {"Vera.ttf", "VeraMono.ttf"}) {
        auto r = kestrix({testrun::sample_font(name), "font", "pop"});
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.err, kVeraComposite) << name;
    }
}

TEST(LoadFont, StaleChecksumIsOnlyAWarning) {
    auto b = testfont::standard_font();
    b.fix_checksum_adjustment = false;
    auto l = load(b);
    EXPECT_EQ(l->run.status, 0);
    EXPECT_EQ(l->run.err,
              "Warning: " + l->path + ": invalid checksum, file possibly not a TrueType font\n");
}

TEST(LoadFont, InconsistentSearchRangeNeedsForce) {
    auto b = testfont::standard_font();
    b.searchRange = 0x1234;
    auto plain = load(b);
    EXPECT_EQ(plain->run.status, 255);
    EXPECT_EQ(plain->run.err, offset_warning(plain->path, "inconsistent searchRange") +
                                  kNoOffsetTable + kExitError);

    auto forced = load(b, true);
    EXPECT_EQ(forced->run.status, 0);
    EXPECT_EQ(forced->run.err, kForceOn + offset_warning(forced->path, "inconsistent searchRange"));
}

TEST(LoadFont, ForceReportsEveryFailedCheck) {
    auto b = testfont::standard_font();
    b.sfntVersion = 0x00020000;  // neither TrueType ('true' too) nor CFF
    b.entrySelector = 9;
    b.rangeShift = 1;
    // No signature at all: the first line says so, then the checks that failed.
    auto not_a_font = [](const std::string& path) {
        return "load_font: \"" + path +
               "\" is not a font file; kestrix reads TrueType and OpenType fonts, font "
               "collections, WOFF and WOFF2\n";
    };
    auto plain = load(b);
    EXPECT_EQ(plain->run.err, not_a_font(plain->path) +
                                  offset_warning(plain->path, "not TrueType 1.0 format") +
                                  kNoOffsetTable + kExitError);

    auto forced = load(b, true);
    EXPECT_EQ(forced->run.status, 0);
    EXPECT_EQ(forced->run.err, kForceOn + not_a_font(forced->path) +
                                   offset_warning(forced->path, "not TrueType 1.0 format") +
                                   offset_warning(forced->path, "inconsistent entrySelector") +
                                   offset_warning(forced->path, "inconsistent rangeShift"));
}

TEST(LoadFont, ZeroTablesLoadOnlyWhenForced) {
    testfont::font_builder b;  // no tables at all
    auto plain = load(b);
    EXPECT_EQ(plain->run.err, "Warning: " + plain->path +
                                  ": invalid checksum, file possibly not a TrueType font\n" +
                                  offset_warning(plain->path, "numTables=0") + kNoOffsetTable +
                                  kExitError);
    auto forced = load(b, true);
    EXPECT_EQ(forced->run.status, 0);
    EXPECT_NE(forced->run.err.find("No \"head\" table in font \"" + forced->path + "\"!\n"),
              std::string::npos);
}

TEST(LoadFont, MissingHeadAndBadMagicAreWarnings) {
    auto no_head = testfont::standard_font();
    no_head.remove_table("head");
    auto l = load(no_head);
    EXPECT_EQ(l->run.status, 0);
    const std::string missing = "No \"head\" table in font \"" + l->path + "\"!\n";
    EXPECT_EQ(l->run.err.rfind("Warning: " + l->path + ": invalid checksum", 0), 0u);
    EXPECT_NE(l->run.err.find(missing), std::string::npos);

    auto parts = testfont::standard_parts();
    parts.head.magicNumber = 0x12345678;
    auto bad = load(parts.builder());
    EXPECT_EQ(bad->run.status, 0);
    EXPECT_EQ(bad->run.err.rfind(
                  "Warning: \"" + bad->path + "\" does not contain TrueType 1.0 magic number\n", 0),
              0u);
}

TEST(LoadFont, TruncatedFilesNeverReadOutsideTheBuffer) {
    auto full = testfont::standard_font().build();
    testrun::scratch_dir dir;
    for (size_t size :
         {size_t{0}, size_t{3}, size_t{11}, size_t{12}, size_t{40}, full.size() / 2}) {
        std::string path = dir.file("cut" + std::to_string(size) + ".ttf");
        testrun::write_file(path, std::string(full.begin(), full.begin() + size));
        auto r = kestrix({"force", path, "font", "pop"});
        EXPECT_EQ(r.status, 0) << size;
        // A cut in the directory is an offset-table failure, after the checksum's warning.
        const std::string first = size < 4     ? "load_font: \"" + path + "\" is not a font file"
                                  : size < 100 ? "Warning: " + path + ": invalid checksum"
                                               : "Warning: \"" + path + "\" is truncated: ";
        EXPECT_EQ(r.err.rfind(kForceOn + first, 0), 0u) << size << r.err;
    }
}

// A file cut short in its tables is named as such in the first line, with the first table cut;
// it does not load without `force`, and loads with zeros for the missing bytes with it.
class TruncatedVera : public testing::TestWithParam<std::pair<size_t, const char*>> {};

TEST_P(TruncatedVera, IsReportedOnceAsTruncated) {
    const auto [size, part] = GetParam();
    const std::string vera = testrun::read_file(testrun::sample_font("Vera.ttf"));
    testrun::scratch_dir dir;
    const std::string path = dir.file("t.ttf");
    testrun::write_file(path, vera.substr(0, size));
    const std::string cut = "\"" + path + "\" is truncated: " + part;
    const std::string end = " runs past the end of the file (" + std::to_string(size) + " bytes)";

    auto plain = kestrix({path, "font", "pop"});
    EXPECT_EQ(plain.status, 255);
    EXPECT_EQ(plain.err, "load_font: " + cut + end + "\nfont: load failed\n" + kExitError);

    auto forced = kestrix({"force", path, "font", "list"});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(
        forced.err.rfind(kForceOn + "Warning: " + cut + end + "; its missing bytes read as 0\n", 0),
        0u)
        << forced.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, TruncatedVera,
    testing::Values(std::pair<size_t, const char*>{300, "table name (offset 284, length 7647)"},
                    std::pair<size_t, const char*>{30000, "table glyf (offset 9964, length 35454)"},
                    std::pair<size_t, const char*>{65000,
                                                   "table hdmx (offset 60416, length 5448)"}));

TEST(LoadFont, AFileWithoutAFontSignatureIsNamedSoFirst) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("notes.txt");
    testrun::write_file(path, "These are not the glyphs you are looking for.\n");
    auto r = kestrix({path, "font", "pop"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err.rfind("load_font: \"" + path +
                              "\" is not a font file; kestrix reads TrueType and OpenType fonts, "
                              "font collections, WOFF and WOFF2\n",
                          0),
              0u)
        << r.err;
}

TEST(FontDirectory, DuplicateTagsFindTheFirst) {
    auto b = testfont::standard_font();
    auto first_offset = b.data_offsets();
    b.add_table("zzzz", {1, 2, 3, 4});
    b.add_table("zzzz", {5, 6, 7, 8, 9, 10, 11, 12});
    testrun::scratch_dir dir;
    std::string path = b.write(dir.file("dup.ttf"));

    testing::internal::CaptureStderr();
    run_notices notices;
    auto font = load_font(path.c_str(), {false, notices});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(font);
    table_entry* e = find_table(*font, "zzzz", 1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->length, 4u);
    EXPECT_EQ(e->offset, e->source_offset);
    EXPECT_EQ(find_table_index(*font, "zzzz"), font->table_dir.size() - 2);

    testing::internal::CaptureStderr();
    EXPECT_EQ(find_table(*font, "abcd", 0), nullptr);
    EXPECT_EQ(find_table(*font, "abcd", 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "No \"abcd\" table in font \"" + path + "\"!\n");
}

TEST(FontDirectory, SearchFields) {
    struct row {
        USHORT n, selector, range, shift;
    };
    for (row r : {row{0, 0, 16, 0xFFF0}, row{1, 0, 16, 0}, row{11, 3, 128, 48}, row{16, 4, 256, 0},
                  row{17, 4, 256, 16}, row{4096, 12, 0, 0}}) {
        EXPECT_EQ(entry_selector_for(r.n), r.selector) << r.n;
        EXPECT_EQ(search_range_for(r.n), r.range) << r.n;
        EXPECT_EQ(range_shift_for(r.n), r.shift) << r.n;
    }
}

TEST(FontDirectory, FileChecksumCountsAPartialLastWord) {
    mem_stream s(std::vector<BYTE>{0, 0, 0, 1, 0x80, 0, 0, 0, 0xFF});
    EXPECT_EQ(file_checksum(s, 0, 9, standard_error_sink()), 0x80000001u + 0xFF000000u);
    EXPECT_EQ(file_checksum(s, 4, 4, standard_error_sink()), 0x80000000u);
}

// The other containers: a collection's first font loads with a note on how many it holds,
// and a web font that does not decode stops the load with the reason.
namespace {

// A collection holding the standard font twice, written as dir/two.ttc.
std::string write_two_copy_collection(testrun::scratch_dir& dir) {
    const testfont::bytes font = testfont::standard_font().build();
    testfont::be_writer ttc;
    ttc.tag("ttcf").u16(1).u16(0).u32(2).u32(20).u32(20 + static_cast<uint32_t>(font.size()));
    for (int copy = 0; copy < 2; ++copy) {
        const std::size_t start = ttc.size();
        ttc.raw(font);
        for (std::size_t i = 0; i < static_cast<std::size_t>(font[4] << 8 | font[5]); ++i) {
            const std::size_t entry = 12 + 16 * i + 8;
            const uint32_t offset = static_cast<uint32_t>(
                font[entry] << 24 | font[entry + 1] << 16 | font[entry + 2] << 8 | font[entry + 3]);
            ttc.patch_u32(start + entry, static_cast<uint32_t>(start + offset));
        }
    }
    const std::string path = dir.file("two.ttc");
    testrun::write_file(path, std::string(ttc.data().begin(), ttc.data().end()));
    return path;
}

}  // namespace

TEST(LoadFont, CollectionsAndWebFontsGoThroughTheirDecoders) {
    testrun::scratch_dir dir;
    const std::string path = write_two_copy_collection(dir);
    auto r = kestrix({path, "font", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, collection_notice(path, 2));

    const std::string woff = dir.file("cut.woff");
    testrun::write_file(woff, std::string("wOFF\0\1\0\0", 8));
    r = kestrix({woff, "font"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "load_font: " + woff + ": bad WOFF file: header is cut short\n" +
                         "font: load failed\n" + kExitError);
}

// face picks a font of a collection without the collection notice; a single font is
// face 0 only; a face that is not there fails as a load does.
TEST(FaceCommand, LoadsTheChosenFontOfACollectionOrFaceZeroOfAFont) {
    testrun::scratch_dir dir;
    const std::string ttc = write_two_copy_collection(dir);
    const std::string ttf = testfont::standard_font().write(dir.file("one.ttf"));
    for (const auto& [path, face] : {std::pair{ttc, "0"}, {ttc, "1"}, {ttf, "0"}}) {
        auto r = kestrix({path, face, "face", "list"});
        EXPECT_EQ(r.status, 0) << path << " " << face;
        EXPECT_EQ(r.err, "") << path << " " << face;
        EXPECT_NE(r.out.find("hhea"), std::string::npos);
    }
    auto r = kestrix({ttc, "2", "face"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "load_font: " + ttc + ": bad collection: no font 2: the collection holds 2\n" +
                         "face: load failed\n" + kExitError);
    r = kestrix({ttf, "1", "face"});
    EXPECT_EQ(r.err, "load_font: " + ttf +
                         ": no such font: the file holds one font, numbered 0, not 1\n" +
                         "face: load failed\n" + kExitError);
    r = kestrix({ttf, "-1", "face"});
    EXPECT_EQ(r.err, "face: the index counts fonts from 0\n" + kExitError);
    r = kestrix({ttf, "face"});
    EXPECT_EQ(r.status, 255);
}

// gen and export of a collection's font write it standalone: the output loads silently
// (whole-file checksum included) and a table exported from it equals the single font's.
TEST(FaceCommand, GenAndExportOfACollectionsFontAreStandalone) {
    testrun::scratch_dir dir;
    const std::string ttc = write_two_copy_collection(dir);
    const std::string ttf = testfont::standard_font().write(dir.file("one.ttf"));
    const std::string out = dir.file("out.ttf");
    auto r = kestrix({ttc, "1", "face", out, "gen"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = kestrix({out, "font", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const char* tag : {"glyf", "post", "head"}) {
        const std::string a = dir.file(std::string("face-") + tag),
                          b = dir.file(std::string("one-") + tag);
        EXPECT_EQ(kestrix({ttc, "1", "face", tag, a, "export"}).status, 0);
        EXPECT_EQ(kestrix({ttf, "font", tag, b, "export"}).status, 0);
        EXPECT_EQ(testrun::read_file(a), testrun::read_file(b)) << tag;
    }
}
