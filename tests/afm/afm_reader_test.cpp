// An independent reader of the AFM text: fontTools' AFM parser reads what `afm` writes
// for the bundled fonts, and its widths, boxes and kern values must equal the font's own
// values (read by fontTools' TrueType reader) scaled to thousandths of an em.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run.h"

namespace {

const std::string kChecker =
    (std::filesystem::path(__FILE__).parent_path() / "afm_reader_check.py").string();

// Debian's python3-fonttools lives with the system interpreter; an interpreter earlier
// on PATH (a pyenv shim, say) may lack it.
std::string python_with_fonttools() {
    for (const char* python : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
        if (!testrun::file_exists(python)) continue;
        auto probe = testrun::run(python, {"-c", "import fontTools.afmLib, fontTools.ttLib"});
        if (probe.status == 0) return python;
    }
    return {};
}

}  // namespace

// A CFF glyph name and a file name that would forge AFM lines (a kerning pair, a line of
// their own) come out as one harmless word and one Comment line (forged_names_check.py).
TEST(AfmNames, ForgedLinesStayInsideTheirField) {
    static const std::string python = python_with_fonttools();
    if (python.empty()) GTEST_SKIP() << "python3 with fontTools (python3-fonttools) not found";
    const std::string checker =
        (std::filesystem::path(__FILE__).parent_path() / "forged_names_check.py").string();
    auto r = testrun::run(python, {checker, KESTRIX_BIN});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

class AfmIndependentReader
    : public testing::TestWithParam<std::tuple<const char*, const char*, const char*>> {};

TEST_P(AfmIndependentReader, ReadsTheFontsOwnMetrics) {
    static const std::string python = python_with_fonttools();
    if (python.empty()) GTEST_SKIP() << "python3 with fontTools (python3-fonttools) not found";
    const auto& [font, platform, encoding] = GetParam();
    auto r = testrun::run(python,
                          {kChecker, KESTRIX_BIN, testrun::sample_font(font), platform, encoding});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(BundledFonts, AfmIndependentReader,
                         testing::Values(std::make_tuple("Vera.ttf", "3", "1"),
                                         std::make_tuple("Vera.ttf", "1", "0"),
                                         std::make_tuple("VeraMono.ttf", "3", "1"),
                                         std::make_tuple("VeraMono.ttf", "1", "0")),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param);
                             name = name.substr(0, name.find('.'));
                             return name + "_" + std::get<1>(info.param) + "_" +
                                    std::get<2>(info.param);
                         });

// texafm's text, as afmLib reads it without reordering: the same widths, boxes and nonzero
// kern pairs, codes below 256 only, fontTools' glyph names, and the hhea ascender and
// descender. (texafm_readers_check.py gives every corpus font to the other readers.)
class TexAfmIndependentReader : public testing::TestWithParam<std::string> {};

TEST_P(TexAfmIndependentReader, ReadsTheFontsOwnMetrics) {
    static const std::string python = python_with_fonttools();
    if (python.empty()) GTEST_SKIP() << "python3 with fontTools (python3-fonttools) not found";
    const std::string& font = GetParam();
    if (!testrun::file_exists(font)) GTEST_SKIP() << font << " not installed";
    for (const char* platform : {"3", "1"}) {
        const char* encoding = platform[0] == '3' ? "1" : "0";
        auto r = testrun::run(python, {kChecker, "--tex", KESTRIX_BIN, font, platform, encoding});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, TexAfmIndependentReader,
                         testing::Values(testrun::sample_font("Vera.ttf"),
                                         testrun::sample_font("VeraMono.ttf"),
                                         "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"),
                         [](const auto& info) {
                             std::string name = info.param.substr(info.param.rfind('/') + 1);
                             return name.substr(0, name.find('.'));
                         });

// TeX's readers of the same text: afm2tfm with and without an encoding vector, and afm2pl,
// accept it, and the TFM and PL widths are the AFM's (tex_tools_check.py).
TEST_P(TexAfmIndependentReader, TexToolsTakeItsWidths) {
    if (!testrun::file_exists("/usr/bin/afm2tfm") || !testrun::file_exists("/usr/bin/afm2pl"))
        GTEST_SKIP() << "afm2tfm and afm2pl (texlive-binaries, texlive-font-utils) not found";
    const std::string& font = GetParam();
    if (!testrun::file_exists(font)) GTEST_SKIP() << font << " not installed";
    const std::string checker =
        (std::filesystem::path(__FILE__).parent_path() / "tex_tools_check.py").string();
    auto r = testrun::run("/usr/bin/python3", {checker, KESTRIX_BIN, font});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}
