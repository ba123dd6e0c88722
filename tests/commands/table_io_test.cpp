// The import and export commands: raw table files in and out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "support/run.h"

using cmdtest::loaded_font;
using cmdtest::run;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";

// The bytes of a table as the font file holds them.
std::string table_bytes(const std::string& font_path, const char* tag) {
    loaded_font font(font_path);
    table_entry* e = find_table(*font, tag, 0);
    if (!e) return "";
    const auto& b = font->in_stream.bytes();
    return std::string(b.begin() + e->offset, b.begin() + e->offset + e->length);
}

class TableFiles : public testing::Test {
  protected:
    testrun::scratch_dir dir;
    std::string path = testfont::standard_font().write(dir.file("f.ttf"));
};

}  // namespace

TEST_F(TableFiles, ExportWritesTheTablePaddedToFourBytes) {
    const std::string out = dir.file("head.bin");
    auto r = testrun::kestrix({path, "font", "head", out, "export"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string head = table_bytes(path, "head");
    ASSERT_EQ(head.size(), 54u);
    EXPECT_EQ(testrun::read_file(out), head + std::string(2, '\0'));

    // A copied table of any tag, to the standard output.
    r = testrun::kestrix({path, "font", "maxp", "-", "export"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, table_bytes(path, "maxp"));
}

TEST_F(TableFiles, ImportedBytesReplaceTheTableInLaterOutput) {
    const std::string head_file = dir.file("head.bin");
    ASSERT_EQ(testrun::kestrix({path, "font", "head", head_file, "export"}).status, 0);

    loaded_font font(path);
    auto r = run(import_command, {font, "head", head_file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(cmdtest::left_font(r, *font));
    table_entry* head = find_table(*font, "head", 0);
    EXPECT_EQ(head->length, 56u);
    EXPECT_EQ(head->offset, 0u);
    EXPECT_EQ(head->checkSum, 0u);
    ASSERT_TRUE(head->ImportPtr);
    EXPECT_EQ(std::string(head->ImportPtr->begin(), head->ImportPtr->end()),
              testrun::read_file(head_file));

    // gen writes the 56 bytes as the head table, checkSumAdjustment set as usual.
    const std::string out = dir.file("out.ttf");
    auto gen = testrun::kestrix({path, "font", "head", head_file, "import", out, "gen"});
    EXPECT_EQ(gen.status, 0);
    EXPECT_EQ(gen.err, "");
    loaded_font written(out);
    EXPECT_EQ(written.load_messages, "");
    EXPECT_EQ(find_table(*written, "head", 0)->length, 56u);

    // A second import replaces the first; export writes what was imported.
    testrun::write_file(dir.file("five.bin"), "12345");
    r = run(import_command, {font, "head", dir.file("five.bin")});
    EXPECT_EQ(head->length, 5u);
    r = run(export_command, {font, "head", dir.file("again.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.left.empty());
    EXPECT_EQ(testrun::read_file(dir.file("again.bin")), std::string("12345\0\0\0", 8));
}

// A table imported before its first use is still parsed from the bytes as loaded: kern is
// parsed only when list or afm asks for it, and Vera keeps its 1940 pairs.
TEST_F(TableFiles, TablesParsedAfterAnImportAreReadAsLoaded) {
    const std::string vera = testrun::sample_font("Vera.ttf");
    const std::string kern_file = dir.file("k.bin");
    testrun::write_file(kern_file, std::string(4, '\0'));  // an empty kern table

    auto listed = testrun::kestrix({vera, "font", "kern", kern_file, "import", "list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("\nKerning: 1 subtable, version 0\n"), std::string::npos);

    auto kerning = [](const std::string& afm) { return afm.substr(afm.find("StartKernData")); };
    auto plain = testrun::kestrix({vera, "font", "3", "1", "afm"});
    auto imported = testrun::kestrix({vera, "font", "kern", kern_file, "import", "3", "1", "afm"});
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(imported.err, plain.err);
    EXPECT_NE(imported.out.find("StartKernPairs 1940\n"), std::string::npos);
    EXPECT_EQ(kerning(imported.out), kerning(plain.out));
}

TEST_F(TableFiles, ImportFailuresLeaveTheEntryAsItWas) {
    auto parts = testfont::standard_parts();
    parts.with_kern = false;
    const std::string font_path = parts.builder().write(dir.file("nokern.ttf"));
    const std::string empty = dir.file("empty.bin"), missing = dir.file("missing.bin");
    testrun::write_file(empty, "");
    struct failure_case {
        std::string tag, file, err;
    };
    for (const failure_case& c : std::vector<failure_case>{
             {"kern", empty, "No \"kern\" table in font \"" + font_path + "\"!\n"},
             {"head", empty, "import: file \"" + empty + "\" is empty\n"},
             {"head", missing,
              "Cannot open \"" + missing + "\" in mode \"rb\"\n" + missing +
                  ": No such file or directory\nimport: cannot open \"" + missing +
                  "\" to read\n"}}) {
        loaded_font font(font_path);
        auto r = run(import_command, {font, c.tag, c.file});
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.left.empty());
        EXPECT_EQ(r.err, c.err);
        table_entry* head = find_table(*font, "head", 0);
        EXPECT_FALSE(head->ImportPtr);
        EXPECT_EQ(head->length, 54u);
    }
}

TEST_F(TableFiles, ExportNeverOverwritesAndLeavesNoFileWhenItFails) {
    const std::string existing = dir.file("existing.bin");
    testrun::write_file(existing, "keep");
    auto r = testrun::kestrix({path, "font", "head", existing, "export"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "open_file: writing to existing file \"" + existing +
                         "\" not allowed\nexport: cannot open \"" + existing + "\" to write\n" +
                         kExitError);
    EXPECT_EQ(testrun::read_file(existing), "keep");

    // A directory entry that runs past the end of the file (loaded only when forced): the
    // copy fails half-way.
    auto b = testfont::standard_font();
    b.table("post").length = 100000;
    const std::string broken = b.write(dir.file("broken.ttf"));
    const std::string out = dir.file("post.bin");
    r = testrun::kestrix({"force", broken, "font", "post", out, "export"});
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(testrun::file_exists(out));
    EXPECT_NE(r.err.find("file_copy: end of file on input\n" + kExitError), std::string::npos);

    r = testrun::kestrix({path, "font", "GSUB", out, "export"});
    EXPECT_EQ(r.err, "No \"GSUB\" table in font \"" + path + "\"!\n" + kExitError);
    EXPECT_FALSE(testrun::file_exists(out));
}

TEST_F(TableFiles, OperandErrors) {
    struct error_case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const char* command : {"import", "export"}) {
        const std::string c = command;
        for (const error_case& e : std::vector<error_case>{
                 {{c}, c + ": stack is empty\n"},
                 {{"head", "x.bin", c}, c + ": stack is empty\n"},
                 {{"f", "head", "x.bin", c}, c + ": expected font object\n"},
                 {{path, "font", "head", path, "font", c}, c + ": expected file name\n"},
                 {{path, "font", "dup", "x.bin", c}, c + ": expected table name\n"}}) {
            auto r = testrun::kestrix(e.args);
            EXPECT_EQ(r.status, 255);
            EXPECT_EQ(r.err.substr(0, e.err.size() + kExitError.size()), e.err + kExitError);
        }
    }
}
