// The setaw and getmetrics commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "support/run.h"
#include "tables/hmtx.h"

using cmdtest::loaded_font;
using cmdtest::run;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";

std::vector<int> integers(const cmdtest::outcome& r) {
    std::vector<int> v;
    for (const stack_item& i : r.left) v.push_back(i.type == ITEM_INTEGER ? i.num : -99999);
    return v;
}

class MetricsCommands : public testing::Test {
  protected:
    testrun::scratch_dir dir;
    testfont::font_parts parts = testfont::standard_parts();
    std::string path = parts.builder().write(dir.file("f.ttf"));
};

}  // namespace

TEST_F(MetricsCommands, GetmetricsPushesWidthBearingAndBoxYMaxOnTop) {
    loaded_font font(path);
    auto r = run(getmetrics_command, {font, "A"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    auto box = parts.glyf.box_of(testfont::G_A).value();
    EXPECT_EQ(integers(r), (std::vector<int>{1401, box[0], box[0], box[1], box[2], box[3]}));

    // An empty glyph has an all-zero box; a ".glyphindex" name reaches it too.
    r = run(getmetrics_command, {font, ".glyphindex1"});
    EXPECT_EQ(integers(r), (std::vector<int>{651, 0, 0, 0, 0, 0}));
}

TEST_F(MetricsCommands, SetawTakesSixteenBitWidthsAndGetmetricsSeesThem) {
    // A width past 16 bits is refused, never cut to its low bits (70000 would be 4464).
    auto refused = testrun::kestrix({path, "font", "B", "70000", "setaw"});
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(refused.err.rfind("setaw: AW arg 70000 out of range (0..65535)\n", 0), 0u)
        << refused.err;
    auto r = testrun::kestrix({path, "font", "dup", "B", "4464", "setaw", "B", "getmetrics",
                               "stack", "pop", "pop", "pop", "pop", "pop", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    auto box = parts.glyf.box_of(testfont::G_B).value();
    char want[512];
    std::snprintf(want, sizeof want,
                  "stack[5] = integer %d <-- top\nstack[4] = integer %d\nstack[3] = integer %d\n"
                  "stack[2] = integer %d\nstack[1] = integer %d\nstack[0] = integer 4464\n",
                  box[3], box[2], box[1], box[0], box[0]);
    EXPECT_EQ(r.out, want);

    loaded_font font(path);
    EXPECT_EQ(run(setaw_command, {font, "B", 1500}).status, 0);
    EXPECT_EQ(hmtx_table(*font)->hMetrics[testfont::G_B].advanceWidth, 1500);
    EXPECT_EQ(hmtx_table(*font)->hMetrics[testfont::G_B].lsb, box[0]);
    EXPECT_EQ(hmtx_table(*font)->hMetrics[testfont::G_A].advanceWidth, 1401);
}

TEST_F(MetricsCommands, GlyphsBeyondTheFontAreRefusedOrGiveZeros) {
    loaded_font font(path);
    auto r = run(setaw_command, {font, ".glyphindex8", 100});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.err, "setaw: " + path + ": glyph index 8 too large\n");

    r = run(getmetrics_command, {font, ".glyphindexff"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "advanceWidth_of: glyph index 255 too large\nlsb_of: glyph index 255 too large\n");
    EXPECT_EQ(integers(r), (std::vector<int>{0, 0, 0, 0, 0, 0}));
}

TEST_F(MetricsCommands, OperandErrors) {
    struct error_case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const error_case& c : std::vector<error_case>{
             {{"setaw"}, "stackcheck: expected integer, but stack is empty\nsetaw: bad AW arg\n"},
             {{"A", "wide", "setaw"}, "typecheck: \"wide\" not an integer\nsetaw: bad AW arg\n"},
             {{"A", "5", "setaw"}, "setaw: stack is empty\n"},
             {{"x", "A", "5", "setaw"}, "setaw: expected font object\n"},
             {{path, "font", "dup", "5", "setaw"}, "setaw: expected glyph name\n"},
             {{path, "font", "Cee", "5", "setaw"},
              "setaw: no glyph name \"Cee\" in font " + path + "\n"},
             {{path, "font", ".notdef", "5", "setaw"},
              "setaw: no glyph name \".notdef\" in font " + path + "\n"},
             {{"getmetrics"}, "getmetrics: stack is empty\n"},
             {{"A", "getmetrics"}, "getmetrics: stack is empty\n"},
             {{"x", "A", "getmetrics"}, "getmetrics: expected font object\n"},
             {{path, "font", "dup", "getmetrics"}, "getmetrics: expected glyph name\n"},
             {{path, "font", "Cee", "getmetrics"},
              "getmetrics: no glyph name \"Cee\" in font " + path + "\n"}}) {
        auto r = testrun::kestrix(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");  // getmetrics pushes nothing when it fails
        // Operands left below a failing command show in the exit report that follows.
        EXPECT_EQ(r.err.substr(0, c.err.size() + kExitError.size()), c.err + kExitError);
    }
}

TEST_F(MetricsCommands, MissingTables) {
    struct table_case {
        const char* removed;
        std::string setaw_err, getmetrics_err;
    };
    for (const table_case& c : std::vector<table_case>{
             {"post", "%s: no post table\n", "%s: no post table\n"},
             {"glyf", "%s: no glyf table\n", "%s: no glyf table\n"},
             {"hmtx", "setaw: missing hhea/hmtx table or hMetrics data in font %s\n",
              "advanceWidth_of: missing hmtx table\nlsb_of: missing hmtx table\n"},
             {"hhea", "setaw: missing hhea/hmtx table or hMetrics data in font %s\n", ""}}) {
        auto b = testfont::standard_font();
        b.remove_table(c.removed);
        const std::string p = b.write(dir.file(std::string("no") + c.removed + ".ttf"));
        const std::string lookup =
            "No \"" + std::string(c.removed) + "\" table in font \"" + p + "\"!\n";
        auto expand = [&](const std::string& fmt) {
            std::string s = fmt;
            for (auto at = s.find("%s"); at != std::string::npos; at = s.find("%s"))
                s.replace(at, 2, p);
            return s;
        };
        loaded_font font(p);
        auto r = run(setaw_command, {font, "A", 5});
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.err, lookup + expand(c.setaw_err)) << c.removed;

        // Without hmtx the width and bearing read 0; without hhea getmetrics needs nothing.
        r = run(getmetrics_command, {font, "A"});
        bool fails = std::string(c.removed) == "post" || std::string(c.removed) == "glyf";
        EXPECT_EQ(r.status, fails ? -1 : 0) << c.removed;
        EXPECT_EQ(r.err, (c.getmetrics_err.empty() ? "" : lookup) + expand(c.getmetrics_err))
            << c.removed;
    }
}

// A CFF font: boxes from its outlines (A's curve reaches x 582.84, rounded out to 583),
// glyph names from its charset (its post table is format 3.0), no complaint about loca
// and glyf, and none about its OS/2 version 3; the same through its WOFF and WOFF2.
TEST(MetricsOfCffFonts, BoxesComeFromTheOutlinesAndNamesFromTheCharset) {
    for (const char* file : {"tiny-cff.otf", "tiny-cff.woff", "tiny-cff.woff2"}) {
        const std::string path = std::string(TEST_DATA_DIR) + "/container/" + file;
        loaded_font font(path);
        EXPECT_EQ(font.load_messages, "") << file;
        auto r = run(getmetrics_command, {font, "A"});
        EXPECT_EQ(r.status, 0) << file << r.err;
        EXPECT_EQ(integers(r), (std::vector<int>{600, 100, 100, 0, 583, 700})) << file;
        r = run(getmetrics_command, {font, "space"});
        EXPECT_EQ(integers(r), (std::vector<int>{250, 0, 0, 0, 0, 0})) << file;
    }
}

// The names other tools give seven standard Macintosh glyphs find the same glyph as the
// standard name (Vera's post table uses the standard names).
TEST(GetmetricsCommand, ModernNamesFindTheStandardNamesGlyph) {
    const std::string vera = testrun::sample_font("Vera.ttf");
    for (const auto& [modern, standard] :
         std::vector<std::pair<std::string, std::string>>{{"macron", "overscore"},
                                                          {"Delta", "increment"},
                                                          {"Omega", "Ohm"},
                                                          {"mu", "mu1"},
                                                          {"dcroat", "dmacron"},
                                                          {"nonbreakingspace", "nbspace"},
                                                          {"Idotaccent", "Idot"}}) {
        auto want = testrun::kestrix({vera, "font", standard, "getmetrics", "stack"});
        auto got = testrun::kestrix({vera, "font", modern, "getmetrics", "stack"});
        EXPECT_EQ(got.status, 0) << modern << got.err;
        EXPECT_EQ(got.out, want.out) << modern;
        EXPECT_NE(want.out.find("stack[5]"), std::string::npos) << standard;
    }
}

// After setaw, gen warns that the device tables it copies (Vera has hdmx) keep the old
// widths; without setaw it says nothing.
TEST(SetawCommand, GenWarnsThatDeviceTablesAreStale) {
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    auto widened =
        testrun::kestrix({vera, "font", "dup", "A", "700", "setaw", dir.file("w.ttf"), "gen"});
    EXPECT_EQ(widened.status, 0);
    EXPECT_NE(widened.err.find("gen: warning: " + vera +
                               ": hdmx copied unchanged, no longer matching the widths set by "
                               "setaw\n"),
              std::string::npos)
        << widened.err;
    auto copied = testrun::kestrix({vera, "font", dir.file("c.ttf"), "gen"});
    EXPECT_EQ(copied.status, 0);
    EXPECT_EQ(copied.err.find("gen: warning"), std::string::npos) << copied.err;
}
