// The chart command: the SVG renders in a real browser as the subtable maps, hostile
// glyphs are drawn as far as sound, and the file is written like every other output.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "support/font_builder.h"
#include "support/run.h"

namespace {

const std::string kChecker =
    (std::filesystem::path(__FILE__).parent_path() / "chart_check.py").string();
const std::string kExamples =
    (std::filesystem::path(SAMPLE_FONTS_DIR).parent_path() / "examples").string();

// The checker's exit status 77 means a tool it needs is missing.
void expect_check(const std::vector<std::string>& args) {
    auto r = testrun::run("/usr/bin/python3", args);
    if (r.status == 77) GTEST_SKIP() << r.out;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

testfont::glyph_point on(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), true};
}
testfont::glyph_point off(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), false};
}

// Glyphs 2.. of a font whose 3.1 subtable maps 0x41 upwards to them, one code each.
testfont::font_parts font_of(std::vector<testfont::glyph> glyphs, std::vector<std::string> names) {
    auto parts = testfont::minimal_parts();
    testfont::char_map map;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        parts.glyf.glyphs.push_back(std::move(glyphs[i]));
        parts.post.glyph_names.push_back(names[i]);
        map[static_cast<uint16_t>(0x41 + i)] = static_cast<uint16_t>(parts.glyf.glyphs.size() - 1);
    }
    parts.cmap.encodings = {{3, 1, testfont::cmap_format4::from(map)}};
    parts.advance_widths.assign(parts.glyf.glyphs.size(), 1000);
    parts.sync();
    return parts;
}

}  // namespace

class ChartInBrowser : public testing::TestWithParam<const char*> {};

// Vera's own 3.1 subtable, and a 3.0 symbol subtable built by the README's re-encoding.
TEST_P(ChartInBrowser, ShowsMappedCodesAndGreysTheRest) {
    testrun::scratch_dir dir;
    std::string font = testrun::sample_font("Vera.ttf");
    std::string platform = "3", encoding = "1";
    if (std::string(GetParam()) == "symbol") {
        font = dir.file("Vera-Symbol.ttf");
        auto r =
            testrun::kestrix({testrun::sample_font("Vera.ttf"), "font", kExamples + "/symbol.enc",
                              kExamples + "/symbol.ks", "run", font, "gen"});
        ASSERT_EQ(r.status, 0) << r.err;
        encoding = "0";
    }
    expect_check({kChecker, "render", KESTRIX_BIN, font, platform, encoding, dir.path()});
}

INSTANTIATE_TEST_SUITE_P(Vera, ChartInBrowser, testing::Values("unicode", "symbol"),
                         [](const auto& info) { return std::string(info.param); });

// Installed fonts (skipped when missing): a range of codes drawn by chartrange, the whole
// chart counted beside it.
struct system_chart {
    const char* label;
    const char* font;
    const char* platform_encoding[2];
    const char* codes[2];
};

void PrintTo(const system_chart& c, std::ostream* os) {
    *os << c.label;
}

class RangeInBrowser : public testing::TestWithParam<system_chart> {};

TEST_P(RangeInBrowser, ShowsTheRangeAsFontToolsMapsIt) {
    const system_chart& c = GetParam();
    if (!std::filesystem::exists(c.font)) GTEST_SKIP() << c.font << " not installed";
    testrun::scratch_dir dir;
    expect_check({kChecker, "render", KESTRIX_BIN, c.font, c.platform_encoding[0],
                  c.platform_encoding[1], dir.path(), c.codes[0], c.codes[1]});
}

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
INSTANTIATE_TEST_SUITE_P(
    SystemFonts, RangeInBrowser,
    testing::Values(
        // The 548 codes above U+FFFF.
        system_chart{"DejaVuAstral", kDejaVu, {"3", "10"}, {"0x10000", "0x10FFFF"}},
        // Emoji of the unifont's upper planes, outlines from CFF.
        system_chart{"UnifontUpper",
                     "/usr/share/fonts/opentype/unifont/unifont_upper.otf",
                     {"3", "10"},
                     {"0x1F300", "0x1F4FF"}},
        // U+2031 is wider than its cell; underscoredbl, quotesinglbase: names wider than it.
        system_chart{"DejaVuWide", kDejaVu, {"3", "1"}, {"0x2010", "0x203F"}},
        // hookabovecomb and marks drawn left of their origin.
        system_chart{"DejaVuMarks", kDejaVu, {"3", "1"}, {"0x300", "0x30F"}},
        // Nothing mapped: a chart that says so.
        system_chart{"DejaVuNothing", kDejaVu, {"3", "1"}, {"0xE000", "0xE0FF"}}),
    [](const auto& info) { return std::string(info.param.label); });

// The atlas of a large CJK font: its index counts per block of 256 codes are fontTools'.
TEST(ChartAtlas, IndexCountsEachBlockAsFontTools) {
    const char* droid = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
    if (!std::filesystem::exists(droid)) GTEST_SKIP() << droid << " not installed";
    testrun::scratch_dir dir;
    expect_check({kChecker, "atlas", KESTRIX_BIN, droid, "3", "1", dir.path()});
}

// A composite cycle, a composite naming itself, parts past the glyph count, a chain of
// composites deeper than drawn, coordinates at the limits, end points out of order and
// a name full of markup: the chart is written and stays sound.
TEST(Chart, HostileGlyphsAreDrawnAsFarAsSound) {
    using testfont::composite_glyph;
    using testfont::glyph_component;
    std::vector<testfont::glyph> glyphs;
    std::vector<std::string> names;
    auto add = [&](testfont::glyph g, std::string name) {
        glyphs.push_back(std::move(g));
        names.push_back(std::move(name));
    };
    // Glyph indices start at 2 (after .notdef and space).
    add(testfont::simple_glyph(
            {{on(-32768, -32768), off(32767, -32768), on(32767, 32767), off(-32768, 32767)}}),
        "huge");                                                                        // 2
    add(composite_glyph({{.glyphIndex = 4}, {.glyphIndex = 2, .arg1 = 300}}), "cycA");  // 3
    add(composite_glyph({{.glyphIndex = 3}, {.glyphIndex = 2, .transform = {8192}}}),
        "cycB");                                                               // 4
    add(composite_glyph({{.glyphIndex = 5}, {.glyphIndex = 60000}}), "self");  // 5
    auto bad = testfont::simple_glyph({{on(0, 0), on(100, 0), on(100, 100)}, {on(0, 100)}});
    bad.endPtsOfContours = std::vector<uint16_t>{3, 1};
    add(bad, "a&b<c>\"d'");  // 6
    // 7 .. 31: each a part of the one before it, with a two-by-two; 31 is simple.
    for (int g = 7; g < 31; ++g)
        add(composite_glyph({{.glyphIndex = static_cast<uint16_t>(g + 1),
                              .arg1 = -1000,
                              .transform = {16384, 0, 0, -16384}}}),
            "deep" + std::to_string(g));
    add(testfont::simple_glyph({{on(0, 0), off(500, 700), off(900, 0)}}), "leaf");
    auto parts = font_of(std::move(glyphs), std::move(names));

    testrun::scratch_dir dir;
    const std::string font = parts.builder().write(dir.file("hostile.ttf"));
    auto r = testrun::kestrix({font, "font", "3", "1", dir.file("chart.svg"), "chart"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string svg = testrun::read_file(dir.file("chart.svg"));
    EXPECT_NE(svg.find("a&amp;b&lt;c&gt;&quot;d'"), std::string::npos);
    EXPECT_NE(svg.find("M-32768 -32768Q32767 -32768 32767 32767Q-32768 32767 -32768 -32768Z"),
              std::string::npos);
    EXPECT_NE(svg.find("<path id=\"g31\" d=\"M0 0Q500 700 700 350Q900 0 0 0Z\"/>"),
              std::string::npos);
    // Nesting stops at 16: 15 holds the chain below it, 14 would hold one level more.
    EXPECT_NE(svg.find("<g id=\"g15\">"), std::string::npos);
    EXPECT_EQ(svg.find("id=\"g14\""), std::string::npos);
    expect_check({kChecker, "structure", dir.file("chart.svg")});
}

// Created exclusively, nothing left behind on failure, "-" is the standard output.
TEST(Chart, WritesItsFileLikeEveryOtherOutput) {
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    const std::string path = dir.file("chart.svg");

    auto r = testrun::kestrix({vera, "font", "3", "7", path, "chart"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("chart: " + vera + ": no cmap 3.7 table\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    testrun::write_file(path, "keep");
    r = testrun::kestrix({vera, "font", "1", "0", path, "chart"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("writing to existing file"), std::string::npos);
    EXPECT_EQ(testrun::read_file(path), "keep");

    r = testrun::kestrix({vera, "font", "1", "0", "-", "chart", "stack"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("<?xml", 0), 0u);
    EXPECT_NE(r.out.find("Bitstream Vera Sans: cmap subtable 1.0 (Macintosh Mac Roman), "),
              std::string::npos);
    EXPECT_NE(r.out.find("</svg>\nstack: stack is empty\n"), std::string::npos);  // consumed
}

// CFF glyphs are drawn from their charstrings: cubic segments as C commands.
TEST(Chart, DrawsCffOutlines) {
    const std::string otf = std::string(TEST_DATA_DIR) + "/container/tiny-cff.otf";
    auto r = testrun::kestrix({otf, "font", "3", "1", "-", "chart"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<path id=\"g2\" d=\"M 100 0L 500 0C 700 300 500 700 300 700L 100 0Z\"/>"),
              std::string::npos)
        << r.out;
}

// chartrange: only the codes asked for, a range that maps nothing says so, codes outside
// Unicode and a range backwards are refused; both commands consume their operands.
TEST(Chart, RangeDrawsOnlyItsCodes) {
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    auto r = testrun::kestrix({vera, "font", "3", "1", "0x41", "0x5A", "-", "chartrange", "stack"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("), 26 codes mapped in 0x0041-0x005A</title>"), std::string::npos);
    EXPECT_NE(r.out.find(">0041</text>"), std::string::npos);
    EXPECT_EQ(r.out.find(">0040</text>"), std::string::npos);
    EXPECT_EQ(r.out.find(">005B</text>"), std::string::npos);
    EXPECT_NE(r.out.find("</svg>\nstack: stack is empty\n"), std::string::npos);

    r = testrun::kestrix({vera, "font", "3", "1", "0x10000", "0x10FFFF", "-", "chartrange"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("), 0 codes mapped in 0x10000-0x10FFFF</title>"), std::string::npos);
    EXPECT_NE(r.out.find(">nothing mapped from 0x10000 to 0x10FFFF</text>"), std::string::npos);

    r = testrun::kestrix({vera, "font", "3", "1", "0", "0x110000", "-", "chartrange"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("chartrange: last code arg 1114112 out of range (0..1114111)\n"),
              std::string::npos);
    r = testrun::kestrix({vera, "font", "3", "1", "0x42", "0x41", dir.file("c.svg"), "chartrange"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("chartrange: first code after last code\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A name wider than its cell is cut short with an ellipsis and held to the cell's width,
// the whole name in its tooltip; a glyph wider than its cell is drawn smaller and marked;
// a Macintosh Roman full name is read as Mac Roman.
TEST(Chart, LongNamesWideGlyphsAndMacRomanTitles) {
    auto parts = font_of({testfont::simple_glyph({{on(0, 0), on(5000, 0), on(5000, 500)}}),
                          testfont::simple_glyph({{on(0, 0), on(500, 0), on(500, 500)}})},
                         {"wide", "nonmarkingreturnwithalongname"});
    parts.advance_widths[2] = 5000;
    parts.name.records = {testfont::mac_name(4, "Caf\x8E")};
    parts.sync();
    testrun::scratch_dir dir;
    const std::string font = parts.builder().write(dir.file("wide.ttf"));
    auto r = testrun::kestrix({font, "font", "3", "1", "-", "chart"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<title>Caf&#xE9;: cmap subtable 3.1"), std::string::npos);
    EXPECT_NE(r.out.find("<title>nonmarkingreturnwithalongname</title>nonmarki&#x2026;</text>"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\">55%<title>drawn at 55% to fit the cell</title></text>"),
              std::string::npos);
    EXPECT_NE(r.out.find(">wide</text>"), std::string::npos);
}

// A file named *.html gets the atlas: an index of the blocks that map something, a
// section per block holding its cells as text for the page's script, each outline
// defined once.
TEST(Chart, HtmlNamesGetTheAtlas) {
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    auto r = testrun::kestrix({vera, "font", "3", "1", dir.file("vera.html"), "chart"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = testrun::read_file(dir.file("vera.html"));
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_NE(html.find("<li><a href=\"#b0000\">U+0000</a> <span>"), std::string::npos);
    EXPECT_NE(html.find("<section id=\"b2200\" data-needs=\""), std::string::npos);
    EXPECT_NE(html.find("<script type=\"text/x-cells\"><svg "), std::string::npos);
    EXPECT_EQ(html.find("<path id=\"g36\""), html.rfind("<path id=\"g36\""));
    EXPECT_NE(html.find("<path id=\"g36\""), std::string::npos);
}
