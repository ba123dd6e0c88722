// gen's containers: WOFF 1.0 and WOFF2 chosen by the output name, read back by the
// decoders kestrix loads web fonts with, and the outline-suffix warnings.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "font/container.h"
#include "support/font_builder.h"
#include "support/run.h"
#include "writer/sfnt_view.h"
#include "writer/web_font.h"

namespace {

std::vector<BYTE> bytes_of(const std::string& s) {
    return std::vector<BYTE>(s.begin(), s.end());
}
std::string string_of(const std::vector<BYTE>& b) {
    return std::string(b.begin(), b.end());
}

// The standard font written by gen, with two extra tables: one zlib cannot shrink and one
// it can.
std::string sfnt_with_noise(const testrun::scratch_dir& dir) {
    testfont::font_builder b = testfont::standard_font();
    std::mt19937 noise(27);
    testfont::bytes random(1001);
    for (auto& byte : random) byte = static_cast<uint8_t>(noise());
    b.add_table("zRnd", random);
    b.add_table("zZer", testfont::bytes(4000, 0));
    const std::string source = b.write(dir.file("noise.ttf"));
    const std::string written = dir.file("written.ttf");
    EXPECT_EQ(testrun::kestrix({source, "font", written, "gen"}).status, 0);
    return testrun::read_file(written);
}

struct woff_record {
    std::string tag;
    uint32_t offset, compLength, origLength, origChecksum;
};

std::vector<woff_record> woff_directory(const std::string& woff) {
    std::vector<woff_record> dir;
    for (size_t i = 0; i < sfnt::u16(woff, 12); ++i) {
        const size_t at = 44 + 20 * i;
        dir.push_back({woff.substr(at, 4), sfnt::u32(woff, at + 4), sfnt::u32(woff, at + 8),
                       sfnt::u32(woff, at + 12), sfnt::u32(woff, at + 16)});
    }
    return dir;
}

}  // namespace

TEST(WebFont, TheOutputNameChoosesTheContainer) {
    EXPECT_EQ(container_for_path("a.woff2"), output_container::woff2);
    EXPECT_EQ(container_for_path("dir.x/A.WOFF2"), output_container::woff2);
    EXPECT_EQ(container_for_path("a.woff"), output_container::woff);
    EXPECT_EQ(container_for_path("a.WoFf"), output_container::woff);
    for (const char* plain : {"a.ttf", "a.otf", "-", "woff", "a.woff2.ttf", "a.woff1", ""})
        EXPECT_EQ(container_for_path(plain), output_container::sfnt) << plain;
    EXPECT_TRUE(has_suffix("A.OTF", ".otf"));
    EXPECT_FALSE(has_suffix("otf", ".otf"));
}

TEST(WebFont, WoffCompressesOnlyWhatShrinksAndDecodesToTheSameTables) {
    testrun::scratch_dir dir;
    const sfnt::view font{sfnt_with_noise(dir)};
    testing::internal::CaptureStderr();
    std::optional<std::vector<BYTE>> woff =
        encode_woff(bytes_of(font.bytes), "x.woff", standard_error_sink());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(woff);
    const std::string w = string_of(*woff);
    EXPECT_EQ(w.substr(0, 4), "wOFF");
    EXPECT_EQ(sfnt::u32(w, 4), font.version());
    EXPECT_EQ(sfnt::u32(w, 8), w.size());
    EXPECT_EQ(sfnt::u16(w, 12), font.numTables());
    EXPECT_EQ(sfnt::u32(w, 16), font.bytes.size());  // gen's tables are padded and packed
    EXPECT_EQ(sfnt::u32(w, 20), 0x00010000u);        // head's fontRevision 1.0

    std::string previous_tag;
    for (const woff_record& r : woff_directory(w)) {
        EXPECT_LT(previous_tag, r.tag);  // sorted by tag
        previous_tag = r.tag;
        const std::optional<sfnt::record> source = font.find(r.tag);
        ASSERT_TRUE(source) << r.tag;
        EXPECT_EQ(r.origLength, source->length);
        EXPECT_EQ(r.origChecksum, source->checkSum);
        EXPECT_EQ(r.offset % 4, 0u);
        EXPECT_LE(r.compLength, r.origLength);
        if (r.tag == "zRnd") {
            EXPECT_EQ(w.substr(r.offset, r.compLength), font.table("zRnd"));
        }
        if (r.tag == "zZer") {
            EXPECT_LT(r.compLength, 100u);
        }
    }

    const decoded back = decode_woff(*woff);
    ASSERT_TRUE(back.ok()) << back.error;
    const sfnt::view unpacked{string_of(back.bytes)};
    EXPECT_EQ(unpacked.numTables(), font.numTables());
    for (const sfnt::record& r : font.directory())
        EXPECT_EQ(unpacked.table(r.tag), font.table(r.tag));
}

TEST(WebFont, Woff2DecodesToTheSameTablesApartFromTheGlyphsAndDropsDsig) {
    testrun::scratch_dir dir;
    testfont::font_builder b = testfont::standard_font();
    b.add_table("DSIG", testfont::bytes{0, 0, 0, 1, 0, 0, 0, 0});
    const std::string source = b.write(dir.file("signed.ttf"));
    const std::string out = dir.file("signed.woff2");
    const testrun::result r = testrun::kestrix({source, "font", out, "gen"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "gen: warning: " + out +
                         ": the DSIG table is left out (WOFF2 re-encodes the glyphs, and a "
                         "signature would no longer match)\n");
    const std::string woff2 = testrun::read_file(out);
    ASSERT_EQ(woff2.substr(0, 4), "wOF2");

    const decoded back = decode_woff2(bytes_of(woff2));
    ASSERT_TRUE(back.ok()) << back.error;
    const sfnt::view unpacked{string_of(back.bytes)};
    const sfnt::view direct{testrun::read_file(source)};
    EXPECT_FALSE(unpacked.find("DSIG"));
    for (const char* tag : {"cmap", "name", "OS/2", "hhea", "hmtx", "maxp", "post", "kern"})
        EXPECT_EQ(unpacked.table(tag), direct.table(tag)) << tag;
    // Loading the web font says nothing, as loading the source does.
    EXPECT_EQ(testrun::kestrix({out, "font", "pop"}).err, "");
}

TEST(WebFont, RefusedFontsAndTakenNamesLeaveNoFile) {
    testrun::scratch_dir dir;
    const std::string source = testfont::standard_font().write(dir.file("t.ttf"));
    const std::string loca = dir.file("loca.bin");
    // Glyphs placed far beyond the end of glyf: libwoff2 gives up.
    testrun::write_file(loca, std::string(2, '\0') + std::string(16, '\xFF'));
    const std::string out = dir.file("t.woff2");
    testrun::result r = testrun::kestrix({source, "font", "loca", loca, "import", out, "gen"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("gen: " + out + ": cannot write WOFF2: libwoff2 refuses the font"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(testrun::file_exists(out));

    const std::string taken = dir.file("taken.woff");
    testrun::write_file(taken, "keep");
    r = testrun::kestrix({testrun::sample_font("Vera.ttf"), "font", taken, "gen"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(testrun::read_file(taken), "keep");
}

TEST(WebFont, OutlineSuffixesThatDoNotFitAreWarnedAbout) {
    testrun::scratch_dir dir;
    const std::string source = testfont::standard_font().write(dir.file("t.ttf"));
    const std::string otf = dir.file("t.OTF");
    testrun::result r = testrun::kestrix({source, "font", otf, "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "gen: warning: " + otf +
                         ": a TrueType font written under an .otf name (.ttf is usual)\n");
    r = testrun::kestrix({source, "font", dir.file("t2.ttf"), "gen"});
    EXPECT_EQ(r.err, "");

    const std::string cff = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
    if (!testrun::file_exists(cff)) GTEST_SKIP() << "no URW base 35 fonts (fonts-urw-base35)";
    const std::string ttf = dir.file("cff.ttf");
    r = testrun::kestrix({cff, "font", ttf, "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "gen: warning: " + ttf +
                         ": a font with CFF outlines written under a .ttf name (.otf is usual)\n");
    r = testrun::kestrix({cff, "font", dir.file("cff.woff2"), "gen"});
    EXPECT_EQ(r.err, "");
}
