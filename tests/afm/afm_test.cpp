// The afm command as a user meets it: whole AFM texts for built fonts and the bundled
// Vera fonts (the date masked), the operand checks, missing tables, and the scaling.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "afm/afm.h"
#include "support/font_builder.h"
#include "support/run.h"

using testrun::kestrix;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";
const std::string kDateLine = "Comment Vantrel TTF remapper output ";

// Runs kestrix in a scratch directory holding the font as t.ttf, so that the echoed
// command line is the same on every machine.
struct afm_run {
    testrun::scratch_dir dir;
    testrun::result run;
};

std::unique_ptr<afm_run> run_on(const testfont::font_builder& font,
                                const std::vector<std::string>& args) {
    auto r = std::make_unique<afm_run>();
    font.write(r->dir.file("t.ttf"));
    std::vector<std::string> all{"t.ttf", "font"};
    all.insert(all.end(), args.begin(), args.end());
    testrun::options opts;
    opts.cwd = r->dir.path();
    r->run = kestrix(all, opts);
    return r;
}

std::unique_ptr<afm_run> afm_of(const testfont::font_builder& font, const std::string& platform,
                                const std::string& encoding) {
    return run_on(font, {platform, encoding, "afm"});
}

// Replaces the date of the second line by "<date>" after checking its form, the
// 24-character local time "Www Mmm dd hh:mm:ss yyyy".
std::string mask_date(std::string out) {
    static const std::regex form(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] \d\d:\d\d:\d\d \d{4})");
    for (std::size_t at = out.find(kDateLine); at != std::string::npos;
         at = out.find(kDateLine, at + 1)) {
        std::size_t start = at + kDateLine.size();
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) break;
        if (std::regex_match(out.substr(start, end - start), form))
            out.replace(start, end - start, "<date>");
    }
    return out;
}

// The three header lines for `t.ttf font P E afm`.
std::string header(const std::string& platform, const std::string& encoding,
                   const std::string& encoding_line) {
    return "StartFontMetrics 4.1\n" + kDateLine + "<date>\nComment " + KESTRIX_BIN +
           " t.ttf font " + platform + " " + encoding + " afm\nComment Encoding table " +
           encoding_line + "\n";
}

const std::string kHeader31 = header("3", "1", "3.1: Microsoft MS UGL Unicode");
const std::string kHeader10 = header("1", "0", "1.0: Macintosh Mac Roman");

// The name lines of the standard font through a Microsoft subtable.
const std::string kStandardNames =
    "FontName Testfont-Regular\n"
    "FullName Testfont Regular\n"
    "FamilyName Testfont\n"
    "Weight Regular\n";

// Everything of the standard font after the name lines (3.1, 2048 units per em).
const std::string kStandardBody31 =
    "FontBBox 8 -14 676 903\n"
    "Version Version 1.000\n"
    "Notice Public domain test font\n"
    "EncodingScheme MS UGL Unicode\n"
    "UnderlinePosition -104\n"
    "UnderlineThickness 70\n"
    "ItalicAngle 0\n"
    "StartCharMetrics 7\n"
    "CH <0020> ; N space ; WX 318 ; B 0 0 0 0 ;\n"
    "CH <0041> ; N A ; WX 684 ; B 8 0 676 729 ;\n"
    "CH <0042> ; N B ; WX 686 ; B 98 0 610 729 ;\n"
    "CH <0061> ; N a ; WX 613 ; B 49 -14 498 547 ;\n"
    "CH <00c5> ; N Aring ; WX 684 ; B 8 0 676 903 ;\n"
    "CH <02da> ; N ring ; WX 684 ; B 244 757 342 854 ;\n"
    "C -1 ; N B.alt ; WX 684 ; B 98 0 586 729 ;\n"
    "EndCharMetrics\n";

const std::string kStandardKerning =
    "StartKernData\n"
    "Comment Kern table 1, coverage 0x0001\n"
    "StartKernPairs 2\n"
    "KPX A a -59\n"
    "KPX B A -15\n"
    "EndKernPairs\n"
    "EndKernData\n"
    "EndFontMetrics\n";

}  // namespace

TEST(AfmScale, RoundsHalfAwayFromZero) {
    // 2048 units per em: the values of a typical TrueType font.
    EXPECT_EQ(afm_scale(1229, 2048), 600);
    EXPECT_EQ(afm_scale(1480, 2048), 723);
    EXPECT_EQ(afm_scale(1024, 2048), 500);
    EXPECT_EQ(afm_scale(-434, 2048), -212);
    EXPECT_EQ(afm_scale(-1024, 2048), -500);
    EXPECT_EQ(afm_scale(0, 2048), 0);
    EXPECT_EQ(afm_scale(65535, 2048), 32000);  // the largest advance width
    EXPECT_EQ(afm_scale(-32768, 2048), -16000);
    // Exactly half way rounds away from zero on both sides.
    EXPECT_EQ(afm_scale(1, 2000), 1);
    EXPECT_EQ(afm_scale(-1, 2000), -1);
    EXPECT_EQ(afm_scale(3, 2000), 2);
    EXPECT_EQ(afm_scale(-3, 2000), -2);
    // 1000 units per em: every value stays as it is.
    for (long v : {-32768L, -200L, -1L, 0L, 1L, 200L, 32767L, 65535L})
        EXPECT_EQ(afm_scale(v, 1000), v) << v;
    EXPECT_EQ(afm_scale(-7, 1), -7000);
}

TEST(Afm, StandardFontThroughMicrosoftUnicode) {
    auto r = afm_of(testfont::standard_font(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "");
    EXPECT_EQ(mask_date(r->run.out),
              kHeader31 + kStandardNames + kStandardBody31 + kStandardKerning);
}

// Macintosh records give English as language 0, where the others use 0x409.
TEST(Afm, MacintoshNamesAreFoundInLanguageZero) {
    auto r = afm_of(testfont::standard_font(), "1", "0");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "");
    EXPECT_EQ(mask_date(r->run.out), kHeader10 + kStandardNames +
                                         "FontBBox 8 -14 676 903\n"
                                         "Version Version 1.000\n"
                                         "Notice Public domain test font\n"
                                         "EncodingScheme Mac Roman\n"
                                         "UnderlinePosition -104\n"
                                         "UnderlineThickness 70\n"
                                         "ItalicAngle 0\n"
                                         "StartCharMetrics 7\n"
                                         "CH <0020> ; N space ; WX 318 ; B 0 0 0 0 ;\n"
                                         "CH <0041> ; N A ; WX 684 ; B 8 0 676 729 ;\n"
                                         "CH <0042> ; N B ; WX 686 ; B 98 0 610 729 ;\n"
                                         "CH <0061> ; N a ; WX 613 ; B 49 -14 498 547 ;\n"
                                         "CH <0081> ; N Aring ; WX 684 ; B 8 0 676 903 ;\n"
                                         "CH <00fb> ; N ring ; WX 684 ; B 244 757 342 854 ;\n"
                                         "C -1 ; N B.alt ; WX 684 ; B 98 0 586 729 ;\n"
                                         "EndCharMetrics\n" +
                                         kStandardKerning);
}

// Each way a subtable can map the same codes gives the same text.
class AfmCmapFormats : public testing::TestWithParam<int> {};

TEST_P(AfmCmapFormats, GiveTheSameCharacterMetrics) {
    auto parts = testfont::standard_parts();
    const auto& map = testfont::standard_unicode_map();
    auto& subtable = parts.cmap.encodings[1].subtable;
    switch (GetParam()) {
        case 0:
            subtable = testfont::cmap_format4::from(map, true);
            break;  // glyphIdArray
        case 1:
            subtable = testfont::cmap_format6::from(map);
            break;
        default:
            subtable = testfont::cmap_format4::from(map);
            break;  // idDelta runs
    }
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "");
    EXPECT_EQ(mask_date(r->run.out),
              kHeader31 + kStandardNames + kStandardBody31 + kStandardKerning);
}

INSTANTIATE_TEST_SUITE_P(Afm, AfmCmapFormats, testing::Values(0, 1, 2));

// 1000 units per em writes every value unchanged; CapHeight and XHeight come from the
// glyphs named H and x; the italic angle has a fraction; the font is fixed pitch.
TEST(Afm, UnitsPerEm1000HeightsItalicAndFixedPitch) {
    auto parts = testfont::standard_parts();
    parts.head.unitsPerEm = 1000;
    parts.post.italicAngle = static_cast<int32_t>(0xFFF4C000);  // -11.25
    parts.post.isFixedPitch = 1;
    parts.post.glyph_names[testfont::G_B] = "H";
    parts.post.glyph_names[testfont::G_a] = "x";
    auto map = testfont::standard_unicode_map();
    map[0x48] = testfont::G_B;
    map[0x78] = testfont::G_a;
    parts.cmap.encodings[1].subtable = testfont::cmap_format4::from(map);
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "");
    EXPECT_EQ(mask_date(r->run.out), kHeader31 + kStandardNames +
                                         "CapHeight 1493\n"
                                         "XHeight 1120\n"
                                         "FontBBox 16 -29 1384 1850\n"
                                         "Version Version 1.000\n"
                                         "Notice Public domain test font\n"
                                         "EncodingScheme MS UGL Unicode\n"
                                         "UnderlinePosition -213\n"
                                         "UnderlineThickness 143\n"
                                         "ItalicAngle -11.25\n"
                                         "IsFixedPitch true\n"
                                         "StartCharMetrics 9\n"
                                         "CH <0020> ; N space ; WX 651 ; B 0 0 0 0 ;\n"
                                         "CH <0041> ; N A ; WX 1401 ; B 16 0 1384 1493 ;\n"
                                         "CH <0042> ; N H ; WX 1405 ; B 201 0 1250 1493 ;\n"
                                         "CH <0048> ; N H ; WX 1405 ; B 201 0 1250 1493 ;\n"
                                         "CH <0061> ; N x ; WX 1255 ; B 100 -29 1020 1120 ;\n"
                                         "CH <0078> ; N x ; WX 1255 ; B 100 -29 1020 1120 ;\n"
                                         "CH <00c5> ; N Aring ; WX 1401 ; B 16 0 1384 1850 ;\n"
                                         "CH <02da> ; N ring ; WX 1401 ; B 500 1550 700 1750 ;\n"
                                         "C -1 ; N B.alt ; WX 1401 ; B 201 0 1200 1493 ;\n"
                                         "EndCharMetrics\n"
                                         "StartKernData\n"
                                         "Comment Kern table 1, coverage 0x0001\n"
                                         "StartKernPairs 2\n"
                                         "KPX A x -120\n"
                                         "KPX H A -30\n"
                                         "EndKernPairs\n"
                                         "EndKernData\n"
                                         "EndFontMetrics\n");
}

TEST(Afm, HeightsNeedTheRightGlyphNames) {
    // H maps to glyph B and x to glyph a: the names differ, so no height lines.
    auto parts = testfont::standard_parts();
    auto map = testfont::standard_unicode_map();
    map[0x48] = testfont::G_B;
    map[0x78] = testfont::G_a;
    parts.cmap.encodings[1].subtable = testfont::cmap_format4::from(map);
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.out.find("Height"), std::string::npos);
    EXPECT_NE(r->run.out.find("CH <0048> ; N B ;"), std::string::npos);
}

TEST(Afm, ItalicAngleIsAnIntegerOnlyWithoutFraction) {
    const std::pair<uint32_t, std::string> cases[] = {
        {0xFFF40000, "ItalicAngle -12\n"},   {0xFFF4C000, "ItalicAngle -11.25\n"},
        {0x000C0000, "ItalicAngle 12\n"},    {0x00008000, "ItalicAngle 0.50\n"},
        {0xFFFF8000, "ItalicAngle -0.50\n"},
    };
    for (const auto& [angle, line] : cases) {
        auto parts = testfont::standard_parts();
        parts.post.italicAngle = static_cast<int32_t>(angle);
        auto r = afm_of(parts.builder(), "3", "1");
        std::string expected = kStandardBody31;
        expected.replace(expected.find("ItalicAngle 0\n"), 14, line);
        EXPECT_EQ(mask_date(r->run.out), kHeader31 + kStandardNames + expected + kStandardKerning)
            << line;
    }
}

// Horizontal pairs are KPX, vertical ones KPY; minimum-value and cross-stream subtables
// and formats other than 0 are named and skipped.
TEST(Afm, KernSubtablesByCoverageAndFormat) {
    auto parts = testfont::standard_parts();
    auto with = [](uint16_t coverage) {
        testfont::kern_subtable t;
        t.coverage = coverage;
        t.pairs = {{testfont::G_A, testfont::G_B, -200}};
        return t;
    };
    testfont::kern_subtable format2;
    format2.coverage = 0x0201;
    format2.body = testfont::bytes(8, 0);
    parts.kern.subtables = {with(0x0001), with(0x0000), with(0x0004),
                            with(0x0003), with(0x0009), format2};
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "Warning: ignoring kern format 2\n");
    const std::string& out = r->run.out;
    std::size_t at = out.find("StartKernData\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(out.substr(at),
              "StartKernData\n"
              "Comment Kern table 1, coverage 0x0001\n"
              "StartKernPairs 1\n"
              "KPX A B -98\n"
              "EndKernPairs\n"
              "Comment Kern table 2, coverage 0x0000\n"
              "StartKernPairs 1\n"
              "KPY A B -98\n"
              "EndKernPairs\n"
              "Comment Kern table 3, coverage 0x0004\n"
              "Comment Skipped unknown coverage\n"
              "Comment Kern table 4, coverage 0x0003\n"
              "Comment Skipped unknown coverage\n"
              "Comment Kern table 5, coverage 0x0009\n"
              "StartKernPairs 1\n"
              "KPX A B -98\n"
              "EndKernPairs\n"
              "Comment Kern table 6, coverage 0x0201\n"
              "Comment Skipped unknown-format kern table\n"
              "EndKernData\n"
              "EndFontMetrics\n");
}

TEST(Afm, FontWithoutKernTable) {
    auto parts = testfont::standard_parts();
    parts.with_kern = false;
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(mask_date(r->run.out), kHeader31 + kStandardNames + kStandardBody31 +
                                         "Comment No kerning\n"
                                         "EndFontMetrics\n");
}

// A format 3.0 post table names every glyph by index and lists no unencoded glyph; the
// two names of a kern pair are both fallback names and stay distinct.
TEST(Afm, Post30UsesIndexNames) {
    auto parts = testfont::standard_parts();
    parts.post.version = 0x00030000;
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err,
              "do_post: warning: empty 3.0 \"post\" table, fallback names will be used\n");
    EXPECT_EQ(mask_date(r->run.out),
              kHeader31 + kStandardNames +
                  "FontBBox 8 -14 676 903\n"
                  "Version Version 1.000\n"
                  "Notice Public domain test font\n"
                  "EncodingScheme MS UGL Unicode\n"
                  "UnderlinePosition -104\n"
                  "UnderlineThickness 70\n"
                  "ItalicAngle 0\n"
                  "StartCharMetrics 6\n"
                  "CH <0020> ; N .glyphindex0001 ; WX 318 ; B 0 0 0 0 ;\n"
                  "CH <0041> ; N .glyphindex0002 ; WX 684 ; B 8 0 676 729 ;\n"
                  "CH <0042> ; N .glyphindex0003 ; WX 686 ; B 98 0 610 729 ;\n"
                  "CH <0061> ; N .glyphindex0004 ; WX 613 ; B 49 -14 498 547 ;\n"
                  "CH <00c5> ; N .glyphindex0006 ; WX 684 ; B 8 0 676 903 ;\n"
                  "CH <02da> ; N .glyphindex0005 ; WX 684 ; B 244 757 342 854 ;\n"
                  "EndCharMetrics\n"
                  "StartKernData\n"
                  "Comment Kern table 1, coverage 0x0001\n"
                  "StartKernPairs 2\n"
                  "KPX .glyphindex0002 .glyphindex0004 -59\n"
                  "KPX .glyphindex0003 .glyphindex0002 -15\n"
                  "EndKernPairs\n"
                  "EndKernData\n"
                  "EndFontMetrics\n");
}

// Codes mapped to glyph indices the font does not have: the width lookup complains and
// gives 0, the box is written empty (never read from beyond the glyf array), and
// CapHeight is left out even though the standard name of glyph 43 is H.
TEST(Afm, GlyphIndexBeyondTheGlyphCount) {
    auto parts = testfont::standard_parts();
    parts.post.version = 0x00010000;  // standard Macintosh names: 36 is A, 43 is H
    auto map = testfont::standard_unicode_map();
    map[0x43] = 300;
    map[0x48] = 43;
    parts.cmap.encodings[1].subtable = testfont::cmap_format4::from(map);
    parts.kern.subtables[0].pairs = {{testfont::G_A, 300, -50}};
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err,
              "advanceWidth_of: glyph index 300 too large\n"
              "advanceWidth_of: glyph index 43 too large\n");
    EXPECT_EQ(mask_date(r->run.out),
              kHeader31 + kStandardNames +
                  "FontBBox 8 -14 676 903\n"
                  "Version Version 1.000\n"
                  "Notice Public domain test font\n"
                  "EncodingScheme MS UGL Unicode\n"
                  "UnderlinePosition -104\n"
                  "UnderlineThickness 70\n"
                  "ItalicAngle 0\n"
                  "StartCharMetrics 8\n"
                  "CH <0020> ; N .null ; WX 318 ; B 0 0 0 0 ;\n"
                  "CH <0041> ; N nonmarkingreturn ; WX 684 ; B 8 0 676 729 ;\n"
                  "CH <0042> ; N space ; WX 686 ; B 98 0 610 729 ;\n"
                  "CH <0043> ; N .glyphindex012c ; WX 0 ; B 0 0 0 0 ;\n"
                  "CH <0048> ; N H ; WX 0 ; B 0 0 0 0 ;\n"
                  "CH <0061> ; N exclam ; WX 613 ; B 49 -14 498 547 ;\n"
                  "CH <00c5> ; N numbersign ; WX 684 ; B 8 0 676 903 ;\n"
                  "CH <02da> ; N quotedbl ; WX 684 ; B 244 757 342 854 ;\n"
                  "EndCharMetrics\n"
                  "StartKernData\n"
                  "Comment Kern table 1, coverage 0x0001\n"
                  "StartKernPairs 1\n"
                  "KPX nonmarkingreturn .glyphindex012c -24\n"
                  "EndKernPairs\n"
                  "EndKernData\n"
                  "EndFontMetrics\n");
}

// A code whose glyph word lies outside glyphIdArray is reported once by the lookup and
// skipped; nothing else is mapped, so every named glyph but .notdef is unencoded.
TEST(Afm, UnmappableCodeIsReportedAndSkipped) {
    auto parts = testfont::standard_parts();
    testfont::cmap_format4 broken;
    broken.segments = {{0x41, 0x41, 0, 0x100}, {0xFFFF, 0xFFFF, 1, 0}};
    parts.cmap.encodings[1].subtable = broken;
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "Cannot cmap character code 0x41!\n");
    const std::string& out = r->run.out;
    std::size_t from = out.find("StartCharMetrics 7\n");
    std::size_t to = out.find("EndCharMetrics\n");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(out.substr(from, to - from),
              "StartCharMetrics 7\n"
              "C -1 ; N space ; WX 318 ; B 0 0 0 0 ;\n"
              "C -1 ; N A ; WX 684 ; B 8 0 676 729 ;\n"
              "C -1 ; N B ; WX 686 ; B 98 0 610 729 ;\n"
              "C -1 ; N a ; WX 613 ; B 49 -14 498 547 ;\n"
              "C -1 ; N ring ; WX 684 ; B 244 757 342 854 ;\n"
              "C -1 ; N Aring ; WX 684 ; B 8 0 676 903 ;\n"
              "C -1 ; N B.alt ; WX 684 ; B 98 0 586 729 ;\n");
}

// Used marks left by an earlier afm on the same font object (here through another
// subtable that maps B) must not hide B from the unencoded glyphs of the second one.
TEST(Afm, EarlierUsedMarksDoNotHideUnencodedGlyphs) {
    auto parts = testfont::standard_parts();
    auto mac = testfont::standard_mac_map();
    mac.erase(0x42);
    parts.cmap.encodings[0].subtable = testfont::cmap_format0::from(mac);
    auto r = run_on(parts.builder(), {"dup", "3", "1", "afm", "1", "0", "afm"});
    EXPECT_EQ(r->run.status, 0);
    const std::string& out = r->run.out;
    std::size_t second = out.find("StartFontMetrics", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(out.substr(0, second).find("C -1 ; N B ;"), std::string::npos);
    EXPECT_NE(out.find("C -1 ; N B ; WX 686 ; B 98 0 610 729 ;\n"
                       "C -1 ; N B.alt ;",
                       second),
              std::string::npos);
}

TEST(Afm, OperandChecks) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"afm"},
         "stackcheck: expected integer, but stack is empty\nafm: bad N arg\n" + kExitError},
        {{"3", "x", "afm"},
         "typecheck: \"x\" not an integer\nafm: bad N arg\n" + kExitError +
             "Warning: on exit, stack was not empty:\nstack[0] = string \"3\" <-- top\n"},
        {{"x", "1", "afm"}, "typecheck: \"x\" not an integer\nafm: bad M arg\n" + kExitError},
        {{"1", "afm"},
         "stackcheck: expected integer, but stack is empty\nafm: bad M arg\n" + kExitError},
        {{"3", "1", "afm"}, "afm: stack is empty\n" + kExitError},
        {{"foo", "3", "1", "afm"}, "afm: expected font\n" + kExitError},
    };
    for (const auto& [args, err] : cases) {
        auto r = kestrix(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, err) << args.size();
    }
}

// The operands are 16-bit values: 65539 and -1 are refused, not wrapped to 3 and 65535.
TEST(Afm, PlatformAndEncodingAreSixteenBitValues) {
    const std::string left =
        "Warning: on exit, stack was not empty:\n"
        "stack[0] = font object for file \"t.ttf\" <-- top\n";
    auto wrapped = afm_of(testfont::standard_font(), "65539", "1");
    EXPECT_EQ(wrapped->run.status, 255);
    EXPECT_EQ(wrapped->run.out, "");
    EXPECT_EQ(wrapped->run.err, "afm: M arg 65539 out of range (0..65535)\n" + kExitError + left);
    auto negative = afm_of(testfont::standard_font(), "3", "-1");
    EXPECT_EQ(negative->run.status, 255);
    EXPECT_EQ(negative->run.err, "afm: N arg -1 out of range (0..65535)\n" + kExitError +
                                     "Warning: on exit, stack was not empty:\n"
                                     "stack[1] = string \"3\" <-- top\n"
                                     "stack[0] = font object for file \"t.ttf\"\n");
}

// Failures after the header: the three header lines are written first.
TEST(Afm, MissingRecordsFailAfterTheHeader) {
    struct failure {
        const char* table;  // removed from the font
        std::string afm_err;
    };
    const failure cases[] = {
        {"post", "No \"post\" table in font \"t.ttf\"!\nt.ttf: no post table\n"},
        {"glyf", "No \"glyf\" table in font \"t.ttf\"!\nt.ttf: no glyf table\n"},
        {"hmtx", "No \"hmtx\" table in font \"t.ttf\"!\nt.ttf: no hmtx table\n"},
    };
    for (const auto& c : cases) {
        auto b = testfont::standard_font();
        ASSERT_TRUE(b.remove_table(c.table));
        auto r = afm_of(b, "3", "1");
        EXPECT_EQ(r->run.status, 255) << c.table;
        EXPECT_EQ(mask_date(r->run.out), kHeader31) << c.table;
        const std::string tail = c.afm_err + kExitError;
        ASSERT_GE(r->run.err.size(), tail.size()) << c.table;
        EXPECT_EQ(r->run.err.substr(r->run.err.size() - tail.size()), tail) << c.table;
    }
}

TEST(Afm, MissingSubtableFailsAfterTheHeader) {
    auto r = afm_of(testfont::standard_font(), "3", "0");
    EXPECT_EQ(r->run.status, 255);
    EXPECT_EQ(r->run.err, "t.ttf: no cmap 3.0 table\n" + kExitError);
    EXPECT_EQ(mask_date(r->run.out), header("3", "0", "3.0: Microsoft MS unspecified-encoding"));
}

// A subtable kept only as its bytes maps no code: afm, texafm and chart refuse it instead of
// writing metrics without codes or an empty chart.
TEST(Afm, KeptSubtablesAreRefusedByEveryCodeLookup) {
    using namespace testfont;
    const bytes format14{0, 14, 0, 0, 0, 21, 0, 0, 0, 1, 0, 0xFE, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0};
    bytes format8{0, 8, 0, 0, 0, 0, 0x20, 0x10, 0, 0, 0, 0};
    format8.resize(0x2010, 0);  // format, reserved, length, language, is32[8192], nGroups
    auto parts = standard_parts();
    parts.cmap.encodings = {{0, 5, format14, {}},
                            {1, 0, cmap_format0::from(standard_mac_map()), {}},
                            {3, 1, cmap_format4::from(standard_unicode_map()), {}},
                            {3, 7, cmap_raw_subtable(99, bytes(4, 0)), {}},
                            {3, 10, format8, {}}};
    struct kept {
        const char* platform;
        const char* encoding;
        const char* format;
    };
    for (const kept& k : {kept{"0", "5", "14"}, kept{"3", "7", "99"}, kept{"3", "10", "8"}}) {
        const std::string subtable = std::string(k.platform) + "." + k.encoding;
        const std::string refusal = "cmap " + subtable + " is a format " + k.format +
                                    " subtable, which kestrix cannot map codes through\n";
        for (const char* command : {"afm", "texafm"}) {
            auto r = run_on(parts.builder(), {k.platform, k.encoding, command});
            EXPECT_EQ(r->run.status, 255) << command << " " << subtable;
            EXPECT_EQ(r->run.err, "t.ttf: " + refusal + kExitError) << command << " " << subtable;
            EXPECT_EQ(r->run.out.find("C -1"), std::string::npos);
        }
        auto chart = run_on(parts.builder(), {k.platform, k.encoding, "c.svg", "chart"});
        EXPECT_EQ(chart->run.status, 255) << subtable;
        EXPECT_EQ(chart->run.err, "chart: t.ttf: " + refusal + kExitError) << subtable;
        EXPECT_FALSE(testrun::file_exists(chart->dir.file("c.svg")));
    }
}

// unitsPerEm 0 would divide every metric by zero: refused after the header.
TEST(Afm, UnitsPerEmZeroIsRefused) {
    auto parts = testfont::standard_parts();
    parts.head.unitsPerEm = 0;
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 255);
    EXPECT_EQ(mask_date(r->run.out), kHeader31);
    EXPECT_EQ(r->run.err, "t.ttf: head unitsPerEm is 0, cannot scale metrics\n" + kExitError);
}

TEST(Afm, FontWithoutNameTableWarnsAndGoesOn) {
    auto b = testfont::standard_font();
    ASSERT_TRUE(b.remove_table("name"));
    auto r = afm_of(b, "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_NE(r->run.err.find("t.ttf: warning: no PostScript font name for AFM output\n"),
              std::string::npos);
    std::string body = kStandardBody31;
    for (const char* line : {"Version Version 1.000\n", "Notice Public domain test font\n"})
        body.erase(body.find(line), std::strlen(line));
    EXPECT_EQ(mask_date(r->run.out),
              kHeader31 + "Comment No PostScript font name\n" + body + kStandardKerning);
}

// The bundled Vera font through its two subtables, against texts checked by hand against
// the font's own values (tests/data/afm); the date is masked and the program path
// shortened to "kestrix".
class AfmVera : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(AfmVera, MatchesTheReviewedText) {
    const auto& [platform, encoding] = GetParam();
    testrun::options opts;
    opts.cwd = SAMPLE_FONTS_DIR;
    auto r = kestrix({"Vera.ttf", "font", platform, encoding, "afm"}, opts);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "read_glyph: glyph 98: warning: composite glyph(s) ignored\n");
    std::string out = mask_date(r.out);
    std::size_t program = out.find(std::string("Comment ") + KESTRIX_BIN + " ");
    ASSERT_NE(program, std::string::npos);
    out.replace(program + 8, std::strlen(KESTRIX_BIN), "kestrix");
    std::string golden =
        std::string(TEST_DATA_DIR) + "/afm/Vera-" + platform + "-" + encoding + ".afm";
    EXPECT_EQ(out, testrun::read_file(golden)) << golden;
}

INSTANTIATE_TEST_SUITE_P(Afm, AfmVera,
                         testing::Values(std::make_pair("3", "1"), std::make_pair("1", "0")),
                         [](const auto& info) {
                             return std::string("Encoding") + info.param.first + info.param.second;
                         });

// A composite glyph keeps only its header, whose box is what the AFM text shows.
TEST(Afm, CompositeGlyphShowsItsHeaderBox) {
    auto parts = testfont::standard_parts();
    testfont::make_aring_composite(parts);
    auto r = afm_of(parts.builder(), "3", "1");
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "read_glyph: glyph 6: warning: composite glyph(s) ignored\n");
    EXPECT_NE(r->run.out.find("\nCH <00c5> ; N Aring ; WX 684 ; B 8 0 676 903 ;\n"),
              std::string::npos);
}

// A name with line breaks and other control characters stays on its one line, as UTF-8.
TEST(Afm, NamesStayOnOneLineAsUtf8) {
    auto r = run_on(testfont::standard_font(), {"dup",
                                                "3",
                                                "1",
                                                "0x409",
                                                "4",
                                                "Caf\xC3\xA9\r\nSans\tOne\x7F",
                                                "rename",
                                                "dup",
                                                "1",
                                                "0",
                                                "0",
                                                "4",
                                                "Mac\rRoman \xE2\x80\xA0",
                                                "rename",
                                                "dup",
                                                "3",
                                                "1",
                                                "afm",
                                                "1",
                                                "0",
                                                "afm"});
    EXPECT_EQ(r->run.status, 0) << r->run.err;
    const std::string& out = r->run.out;
    EXPECT_NE(out.find("\nFullName Caf\xC3\xA9  Sans One \n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nFullName Mac Roman \xE2\x80\xA0\n"), std::string::npos) << out;
}

// SOURCE_DATE_EPOCH fixes the date line, in UTC.
TEST(Afm, SourceDateEpochGivesTheDateInUtc) {
    testrun::scratch_dir dir;
    const std::string font = testfont::standard_font().write(dir.file("t.ttf"));
    const std::string script =
        "SOURCE_DATE_EPOCH=1700000000 TZ=Asia/Tokyo \"$0\" \"$1\" font 3 1 afm";
    auto r = testrun::run("/bin/sh", {"-c", script, KESTRIX_BIN, font});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kDateLine + "Tue Nov 14 22:13:20 2023\n"), std::string::npos) << r.out;
}

// texafm: one kerning block of the horizontal nonzero pairs, ligatures from GSUB's liga on
// the first glyph's line, and a header in plain ASCII with one Notice line.
TEST(TexAfm, OneKerningBlockLigaturesAndAsciiHeader) {
    auto parts = testfont::standard_parts();
    auto subtable = [](uint16_t coverage, std::vector<testfont::kern_pair> pairs) {
        testfont::kern_subtable t;
        t.coverage = coverage;
        t.pairs = std::move(pairs);
        return t;
    };
    using testfont::G_A, testfont::G_B, testfont::G_a;
    parts.kern.subtables = {subtable(0x0001, {{G_A, G_a, -120}, {G_A, G_B, 1}}),
                            subtable(0x0000, {{G_B, G_a, -200}}),
                            subtable(0x0001, {{G_A, G_a, -400}, {G_B, G_A, -30}})};
    testfont::gpos_table gsub =
        testfont::kern_gpos({{4,
                              {testfont::gsub_ligature_subst(testfont::gpos_coverage1({G_A}),
                                                             {{{G_B, {G_a}}, {900, {G_B}}}})}}});
    gsub.features[0].tag = "liga";
    auto b = parts.builder();
    b.add_table("GSUB", gsub.serialize());
    b.sort_tables();
    auto r = run_on(b, {"dup", "3", "1", "0x409", "0",
                        "\xC2\xA9 2024 \xC3\x9C"
                        "ber\xE2\x80\xA0",
                        "rename", "dup", "3", "1", "0x409", "4", "Testfont\xE2\x84\xA2", "rename",
                        "3", "1", "texafm"});
    EXPECT_EQ(r->run.status, 0) << r->run.err;
    const std::string& out = r->run.out;
    EXPECT_NE(out.find("\nFullName Testfont(TM)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nNotice (c) 2024 Uber?\nEncodingScheme"), std::string::npos) << out;
    EXPECT_NE(out.find("\nC 65 ; WX 684 ; N A ; B 8 0 676 729 ; L a B ;\n"), std::string::npos)
        << out;
    const std::size_t at = out.find("EndCharMetrics\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(out.substr(at),
              "EndCharMetrics\n"
              "StartKernData\n"
              "StartKernPairs 2\n"
              "KPX A a -59\n"
              "KPX B A -15\n"
              "EndKernPairs\n"
              "EndKernData\n"
              "EndFontMetrics\n");
}

// A glyph the post table leaves unnamed is named by its lowest Unicode code; a glyph that
// TeX's encodings name otherwise gets a second line under their name; every name once.
TEST(TexAfm, UniNamesAndEncodingNamesForPost30) {
    auto parts = testfont::standard_parts();
    parts.post.version = 0x00030000;
    auto r = run_on(parts.builder(), {"3", "1", "texafm"});
    EXPECT_EQ(r->run.status, 0) << r->run.err;
    const std::string& out = r->run.out;
    const std::size_t from = out.find("StartCharMetrics");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(out.substr(from, out.find("StartKernData") - from),
              "StartCharMetrics 12\n"
              "C 32 ; WX 318 ; N uni0020 ; B 0 0 0 0 ;\n"
              "C 65 ; WX 684 ; N uni0041 ; B 8 0 676 729 ;\n"
              "C 66 ; WX 686 ; N uni0042 ; B 98 0 610 729 ;\n"
              "C 97 ; WX 613 ; N uni0061 ; B 49 -14 498 547 ;\n"
              "C 197 ; WX 684 ; N uni00C5 ; B 8 0 676 903 ;\n"
              "C -1 ; WX 684 ; N uni02DA ; B 244 757 342 854 ;\n"
              "C -1 ; WX 318 ; N space ; B 0 0 0 0 ;\n"
              "C -1 ; WX 684 ; N A ; B 8 0 676 729 ;\n"
              "C -1 ; WX 686 ; N B ; B 98 0 610 729 ;\n"
              "C -1 ; WX 613 ; N a ; B 49 -14 498 547 ;\n"
              "C -1 ; WX 684 ; N Aring ; B 8 0 676 903 ;\n"
              "C -1 ; WX 684 ; N ring ; B 244 757 342 854 ;\n"
              "EndCharMetrics\n");
    EXPECT_NE(out.find("KPX uni0041 uni0061 -59\n"), std::string::npos) << out;
}
