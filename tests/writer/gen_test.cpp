// The gen command on the bundled fonts: valid output, reproducible bytes, no file after
// a failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/run.h"
#include "writer/sfnt_view.h"

namespace {

const char* const kSanitizer = "/usr/bin/ots-sanitize";

// Tables gen writes from their parsed records; all others are copied.
const std::set<std::string> kRegenerated = {"cmap", "name", "OS/2", "hhea", "hmtx"};

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

void expect_sanitized(const std::string& path) {
    ASSERT_TRUE(testrun::file_exists(kSanitizer))
        << "ots-sanitize is missing (Debian package opentype-sanitizer)";
    testrun::result r = testrun::run(kSanitizer, {path});
    EXPECT_EQ(r.status, 0) << path << "\n" << r.out << r.err;
}

std::string without_adjustment(std::string head) {
    if (head.size() >= 12) head.replace(8, 4, 4, '\0');
    return head;
}

// What loading the font prints (Vera's composite glyphs give a warning, for instance).
std::string load_messages(const std::string& font_path) {
    return testrun::kestrix({font_path, "font", "pop"}).err;
}

// Writes font_path with gen to out_path and checks that gen itself said nothing.
void gen(const std::string& font_path, const std::string& out_path) {
    testrun::result r = testrun::kestrix({font_path, "font", out_path, "gen"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, load_messages(font_path));
    EXPECT_EQ(r.out, "");
}

class GenSample : public testing::TestWithParam<std::string> {};

TEST_P(GenSample, OutputIsValidReloadsSilentlyAndRegeneratesIdentically) {
    testrun::scratch_dir dir;
    const std::string source = testrun::sample_font(GetParam());
    const std::string first = dir.file("first.ttf");
    const std::string second = dir.file("second.ttf");
    gen(source, first);
    gen(first, second);
    EXPECT_EQ(testrun::read_file(first), testrun::read_file(second));

    // The output loads with no message beyond those of the source (no checksum warning).
    testrun::result reload = testrun::kestrix({first, "font", "pop"});
    EXPECT_EQ(reload.status, 0);
    EXPECT_EQ(reload.err, load_messages(source));

    sfnt::view in{testrun::read_file(source)};
    sfnt::view out{testrun::read_file(first)};
    EXPECT_EQ(sfnt::checksum(out.bytes), 0xB1B0AFBAu);
    ASSERT_EQ(out.numTables(), in.numTables());
    auto in_dir = in.directory();
    auto out_dir = out.directory();
    uint32_t expected_offset = 12 + 16 * out.numTables();
    for (size_t i = 0; i < out_dir.size(); ++i) {
        const std::string& tag = out_dir[i].tag;
        EXPECT_EQ(tag, in_dir[i].tag);
        EXPECT_EQ(out_dir[i].offset, expected_offset) << tag;
        expected_offset += (out_dir[i].length + 3) / 4 * 4;
        std::string table = out.table(tag);
        EXPECT_EQ(out_dir[i].checkSum,
                  sfnt::checksum(tag == "head" ? without_adjustment(table) : table))
            << tag;
        if (tag == "head") {
            EXPECT_EQ(without_adjustment(table), without_adjustment(in.table(tag)));
        } else if (!kRegenerated.count(tag)) {
            EXPECT_EQ(table, in.table(tag)) << tag;
        }
    }
    EXPECT_EQ(out.bytes.size(), expected_offset);
    expect_sanitized(first);
}

TEST_P(GenSample, StandardOutputGetsTheSameBytesAsAFile) {
    testrun::scratch_dir dir;
    const std::string source = testrun::sample_font(GetParam());
    gen(source, dir.file("file.ttf"));
    testrun::result r = testrun::kestrix({source, "font", "-", "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, load_messages(source));
    EXPECT_EQ(r.out, testrun::read_file(dir.file("file.ttf")));
}

INSTANTIATE_TEST_SUITE_P(Bundled, GenSample, testing::Values("Vera.ttf", "VeraMono.ttf"));

TEST(Gen, ExistingOutputIsRefusedAndUntouched) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("taken.ttf");
    testrun::write_file(path, "keep me");
    const std::string vera = testrun::sample_font("Vera.ttf");
    testrun::result r = testrun::kestrix({vera, "font", path, "gen"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, load_messages(vera) + "open_file: writing to existing file \"" + path +
                         "\" not allowed\nkestrix: exiting due to error\n");
    EXPECT_EQ(testrun::read_file(path), "keep me");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"taken.ttf"});
}

TEST(Gen, OutputInAMissingDirectoryFails) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("missing/out.ttf");
    const std::string vera = testrun::sample_font("Vera.ttf");
    testrun::result r = testrun::kestrix({vera, "font", path, "gen"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, load_messages(vera) + "Cannot open \"" + path + "\" in mode \"w+b\"\n" + path +
                         ": No such file or directory\nkestrix: exiting due to error\n");
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST(Gen, FailurePartWayLeavesNoFile) {
    testrun::scratch_dir dir;
    // Vera with its gasp table (directory entry 5) claiming far more bytes than the file has.
    std::string bytes = testrun::read_file(testrun::sample_font("Vera.ttf"));
    ASSERT_EQ(bytes.substr(12 + 16 * 5, 4), "gasp");
    bytes.replace(12 + 16 * 5 + 12, 4, std::string("\x00\xFF\xFF\xFF", 4));
    const std::string broken = dir.file("broken.ttf");
    testrun::write_file(broken, bytes);
    const std::string path = dir.file("out.ttf");

    // A truncated file, loaded only when forced.
    testrun::result r = testrun::kestrix({"force", broken, "font", path, "gen"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("file_copy: end of file on input\nkestrix: exiting due to error\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"broken.ttf"});
}

TEST(Gen, WriteErrorOnStandardOutputIsAFailure) {
    if (!testrun::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    testrun::result r =
        testrun::run("/bin/sh", {"-c", std::string("exec \"$0\" \"$1\" font - gen >/dev/full"),
                                 KESTRIX_BIN, testrun::sample_font("Vera.ttf")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(
        r.err,
        load_messages(testrun::sample_font("Vera.ttf")) +
            "-: No space left on device\nnew_file: cannot write \"-\"\nkestrix: exiting due to "
            "error\n");
}

TEST(Gen, OperandErrors) {
    const std::string vera = testrun::sample_font("Vera.ttf");
    struct operand_case {
        std::vector<std::string> args;
        std::string message;
    };
    const operand_case cases[] = {
        {{"gen"}, "gen: stack is empty\n"},
        {{"out.ttf", "gen"}, "gen: stack is empty\n"},
        {{"notafont", "out.ttf", "gen"}, "gen: expected font object\n"},
        {{vera, "font", vera, "font", "gen"}, load_messages(vera) + "gen: expected file name\n"},
    };
    for (const operand_case& c : cases) {
        testrun::result r = testrun::kestrix(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.message + "kestrix: exiting due to error\n") << c.args.size();
    }
}

}  // namespace
