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
