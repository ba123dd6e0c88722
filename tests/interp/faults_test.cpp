// Faults a user can meet from outside: interrupted writes, huge inputs, output that cannot
// be written, operands and files that do not fit the font. Each case runs the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/font_builder.h"
#include "support/run.h"

using testfont::font_builder;
using testfont::standard_font;
using testrun::kestrix;
using testrun::scratch_dir;

namespace {

// Runs the program through the shell, for redirections and limits run.h does not offer.
testrun::result kestrix_in_shell(const std::string& setup, const std::string& args,
                                 const std::string& cwd) {
    testrun::options opts;
    opts.cwd = cwd;
    return testrun::run("/bin/sh", {"-c", setup + " exec " + KESTRIX_BIN + " " + args}, opts);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

// A write cut short by the file-size limit (SIGXFSZ) leaves neither output nor temporary file.
TEST(Faults, FileSizeSignalLeavesNoTemporaryFile) {
    scratch_dir dir;
    std::filesystem::copy_file(testrun::sample_font("Vera.ttf"), dir.file("v.ttf"));
    auto r = kestrix_in_shell("ulimit -f 8;", "v.ttf font out.ttf gen", dir.path());
    EXPECT_EQ(r.status, -1) << r.err;  // died of the signal
    EXPECT_EQ(testrun::files_in(dir.path()), std::vector<std::string>{"v.ttf"});
}

struct oversized_case {
    const char* name;
    std::vector<std::string> words;  // "BIG" stands for the oversized file
};

class OversizedInput : public ::testing::TestWithParam<oversized_case> {};

// A file over 1 GiB (sparse, so cheap to make) is refused by name before it is read.
TEST_P(OversizedInput, IsRefusedNamingTheFile) {
    scratch_dir dir;
    const std::string big = dir.file("big");
    testrun::write_file(big, "");
    std::filesystem::resize_file(big, (std::size_t{1} << 30) + 1);
    std::vector<std::string> args;
    for (const std::string& w : GetParam().words)
        args.push_back(w == "BIG" ? big : w == "VERA" ? testrun::sample_font("Vera.ttf") : w);
    auto r = kestrix(args);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(
        contains(r.err, "\"" + big + "\" is larger than 1 GiB, the limit for an input file"))
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OversizedInput,
    ::testing::Values(oversized_case{"font", {"BIG", "font"}},
                      oversized_case{"import", {"VERA", "font", "glyf", "BIG", "import"}},
                      oversized_case{"encode", {"VERA", "font", "BIG", "3", "1", "encode"}},
                      oversized_case{"script", {"BIG", "run"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct output_case {
    const char* name;
    const char* args;
    const char* redirect;
    const char* reason;
};

class UnwritableOutput : public ::testing::TestWithParam<output_case> {};

TEST_P(UnwritableOutput, FailsWithTheSystemsReason) {
    scratch_dir dir;
    std::filesystem::copy_file(testrun::sample_font("Vera.ttf"), dir.file("v.ttf"));
    auto r =
        kestrix_in_shell("", std::string(GetParam().args) + " " + GetParam().redirect, dir.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(contains(r.err, std::string("cannot write standard output: ") + GetParam().reason))
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnwritableOutput,
    ::testing::Values(
        output_case{"afm", "v.ttf font 3 1 afm", ">/dev/full", "No space left on device"},
        output_case{"list", "v.ttf font list", ">/dev/full", "No space left on device"},
        output_case{"listname", "v.ttf font 3 1 0x409 1 listname", ">/dev/full",
                    "No space left on device"},
        output_case{"stack", "x stack pop", ">/dev/full", "No space left on device"},
        output_case{"afm_closed", "v.ttf font 3 1 afm", ">&-", "Bad file descriptor"}),
    [](const auto& info) { return std::string(info.param.name); });

struct refusal_case {
    const char* name;
    std::vector<std::string> words;  // "VERA": the sample font; "ENC": an encoding file
    std::string message;
};

class Refusal : public ::testing::TestWithParam<refusal_case> {};

// Operands and files the font cannot take fail with a message, never silently.
TEST_P(Refusal, FailsWithItsMessage) {
    scratch_dir dir;
    testrun::write_file(dir.file("enc"), "StartCharMetrics\nC 65 ; N A ;\nEndCharMetrics\n");
    std::vector<std::string> args;
    for (const std::string& w : GetParam().words)
        args.push_back(w == "VERA"  ? testrun::sample_font("Vera.ttf")
                       : w == "ENC" ? dir.file("enc")
                       : w == "DIR" ? dir.path()
                                    : w);
    auto r = kestrix(args);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(contains(r.err, GetParam().message)) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Refusal,
    ::testing::Values(refusal_case{"encode_platform",
                                   {"VERA", "font", "ENC", "70000", "1", "encode"},
                                   "encode: M arg 70000 out of range (0..65535)\n"},
                      refusal_case{"encode_encoding",
                                   {"VERA", "font", "ENC", "4464", "-1", "encode"},
                                   "encode: N arg -1 out of range (0..65535)\n"},
                      refusal_case{"listname_name",
                                   {"VERA", "font", "3", "1", "0x409", "65536", "listname"},
                                   "listname: name id arg 65536 out of range (0..65535)\n"},
                      refusal_case{"rename_language",
                                   {"VERA", "font", "3", "1", "-1", "1", "x", "rename"},
                                   "rename: language id arg -1 out of range (0..65535)\n"},
                      refusal_case{"platform_target",
                                   {"VERA", "font", "3", "1", "3", "0x10000", "platform"},
                                   "platform: NN arg 65536 out of range (0..65535)\n"},
                      refusal_case{"setaw_width",
                                   {"VERA", "font", "A", "-5", "setaw"},
                                   "setaw: AW arg -5 out of range (0..65535)\n"},
                      refusal_case{"run_directory", {"DIR", "run"}, ": Is a directory\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class FallbackGlyphName : public ::testing::TestWithParam<const char*> {};

// Vera has 268 glyphs (0x10c): a ".glyphindex" name names a glyph only below that count.
TEST_P(FallbackGlyphName, PastTheGlyphCountIsUnknown) {
    scratch_dir dir;
    const std::string name = GetParam();
    testrun::write_file(dir.file("enc"), "StartCharMetrics\nC 65 ; N .glyphindex10b ;\nC 66 ; N " +
                                             name + " ;\nEndCharMetrics\n");
    auto r = kestrix({testrun::sample_font("Vera.ttf"), "font", dir.file("enc"), "3", "1", "encode",
                      "3", "1", "afm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "set_encoding_pair: no \"" + name + "\" in this font\n")) << r.err;
    EXPECT_TRUE(contains(r.out, "CH <0041> ;")) << r.out;
    EXPECT_FALSE(contains(r.out, "CH <0042> ;"));
}

INSTANTIATE_TEST_SUITE_P(Faults, FallbackGlyphName,
                         ::testing::Values(".glyphindex10c", ".glyphindexffffffff", ".glyphindex-1",
                                           ".glyphindex10010"));

TEST(Faults, FontWithoutMaxpSaysSoInsteadOfOutOfMemory) {
    scratch_dir dir;
    font_builder b = standard_font();
    ASSERT_TRUE(b.remove_table("maxp"));
    const std::string path = b.write(dir.file("f.ttf"));
    auto r = kestrix({path, "font", "pop"});
    EXPECT_TRUE(
        contains(r.err, "do_hmtx: the font has no glyphs (no maxp table, or numGlyphs 0)\n"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "Out of memory!"));
}

// A cmap claiming 65535 encoding records reads only those inside the table.
TEST(Faults, CmapRecordsPastTheTableAreNotRead) {
    scratch_dir dir;
    font_builder b = standard_font();
    testfont::table_data& cmap = b.table("cmap");
    const std::size_t fit = (cmap.data.size() - 4) / 8;
    testfont::put_u16(cmap.data, 2, 0xFFFF);
    const std::string path = b.write(dir.file("f.ttf"));
    auto r = kestrix({path, "font", "list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Warning: do_cmap: numTables claims 65535 encoding records, " +
                                    std::to_string(fit) + " fit in the table\n"))
        << r.err;
    EXPECT_LT(r.out.size(), 100000u);
}

// A 12-byte file claims one table whose directory entry is not there.
TEST(Faults, TruncatedTableDirectoryIsAnOffsetTableFailure) {
    scratch_dir dir;
    const std::string path = dir.file("short.ttf");
    testrun::write_file(path, std::string("\0\1\0\0\0\1\0\x10\0\0\0\0", 12));
    const std::string warning =
        "Warning: " + path + ": invalid offset table (table directory truncated)\n";
    auto refused = kestrix({path, "font"});
    EXPECT_EQ(refused.status, 255);
    EXPECT_TRUE(contains(refused.err, warning + "load_font: cannot read offset table\n"))
        << refused.err;
    auto forced = kestrix({"force", path, "font", "list"});
    EXPECT_TRUE(contains(forced.err, warning)) << forced.err;
    EXPECT_TRUE(contains(forced.err, "list: no table data\n")) << forced.err;
}
