// The rename command and set_name: how a new text is stored in a name record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "commands/rename.h"
#include "support/run.h"
#include "tables/name.h"

using cmdtest::loaded_font;
using cmdtest::run;

TEST(SetName, StoresTwoBytesPerCharacterForPlatforms0And3) {
    struct store_case {
        USHORT platformID;
        std::string text;
        std::string stored;
    };
    using namespace std::string_literals;
    for (const store_case& c :
         std::vector<store_case>{{3, "Hello", "\0H\0e\0l\0l\0o"s},
                                 {0, "A\xE9", "\0A\0\xE9"s},
                                 {1, "Hello", "Hello"},
                                 {2, "A\xE9", "A\xE9"},
                                 // UTF-8: a surrogate pair, Mac Roman
                                 {3, "D\xC3\xA9\xF0\x9D\x84\x9E", "\0D\0\xE9\xD8\x34\xDD\x1E"s},
                                 {1, "D\xC3\xA9mo \xE2\x82\xAC", "D\x8Emo \xDB"},
                                 {2, "D\xC3\xA9", "D\xC3\xA9"},
                                 {3, "", ""}}) {
        name_record r;
        r.platformID = c.platformID;
        r.string = "previous text, longer than any of the new ones";
        r.length = static_cast<USHORT>(r.string.size());
        EXPECT_EQ(set_name(&r, c.text.c_str(), standard_error_sink()), 0);
        EXPECT_EQ(r.length, c.stored.size());
        EXPECT_EQ(r.string, c.stored);
    }
}

TEST(SetName, RefusesTextsBeyond16BitLengths) {
    name_record r;
    r.platformID = 3;
    r.string = "kept";
    r.length = 4;
    std::string text(32768, 'x');  // 65536 bytes stored
    testing::internal::CaptureStderr();
    EXPECT_EQ(set_name(&r, text.c_str(), standard_error_sink()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "set_name: name of 65536 bytes too long, at most 65535\n");
    EXPECT_EQ(r.string, "kept");
    EXPECT_EQ(r.length, 4);

    r.platformID = 1;  // single bytes: 32768 fit
    EXPECT_EQ(set_name(&r, text.c_str(), standard_error_sink()), 0);
    EXPECT_EQ(r.length, 32768);
    EXPECT_EQ(set_name(nullptr, "x", standard_error_sink()), -1);
    EXPECT_EQ(set_name(&r, nullptr, standard_error_sink()), -1);
}

TEST(RenameCommand, ReplacesTheRecordWithAllFourIds) {
    testrun::scratch_dir dir;
    loaded_font font(testfont::standard_font().write(dir.file("f.ttf")));
    auto r = run(rename_command, {font, 3, 1, 0x409, 4, "Sample"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.left.empty());  // the font is consumed
    name_record* rec = find_name(*font, 3, 1, 0x409, 4);
    EXPECT_EQ(rec->length, 12);
    EXPECT_EQ(rec->string, std::string("\0S\0a\0m\0p\0l\0e", 12));
    EXPECT_EQ(find_name(*font, 1, 0, 0, 4)->string, "Testfont Regular");

    r = run(rename_command, {font, "1", "0", "0", "4", "Sample"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(find_name(*font, 1, 0, 0, 4)->string, "Sample");
}

TEST(RenameCommand, Failures) {
    testrun::scratch_dir dir;
    const std::string path = testfont::standard_font().write(dir.file("f.ttf"));
    const std::string exit_error = "kestrix: exiting due to error\n";
    struct error_case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const error_case& c : std::vector<error_case>{
             {{"rename"}, "rename: stack is empty\n"},
             {{"x", "rename"},
              "stackcheck: expected integer, but stack is empty\nrename: bad name id arg\n"},
             {{"x", "1", "x", "rename"},
              "typecheck: \"x\" not an integer\nrename: bad language id arg\n"},
             {{"x", "1", "1", "x", "rename"},
              "typecheck: \"x\" not an integer\nrename: bad N id arg\n"},
             {{"x", "1", "1", "1", "x", "rename"},
              "typecheck: \"x\" not an integer\nrename: bad M id arg\n"},
             {{"3", "1", "1", "1", "x", "rename"}, "rename: stack is empty\n"},
             {{"f", "3", "1", "1", "1", "x", "rename"}, "rename: expected font\n"},
             {{path, "font", "3", "1", "0x411", "1", "x", "rename"},
              "rename: no name 3 1 0x411 1 in " + path + "\n"},
             {{path, "font", "dup", "rename"}, "rename: expected name string\n"}}) {
        auto r = testrun::kestrix(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err.substr(0, c.err.size() + exit_error.size()), c.err + exit_error)
            << c.args.size();
    }
}

TEST(RenameCommand, ListnameOutputEditedAndRunRenamesTheRecord) {
    testrun::scratch_dir dir;
    const std::string path = testfont::standard_font().write(dir.file("f.ttf"));
    auto listed = testrun::kestrix({path, "font", "3", "1", "0x409", "4", "listname"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const std::string old_text = "(Testfont Regular)\n";
    ASSERT_GE(listed.out.size(), old_text.size());
    ASSERT_EQ(listed.out.substr(listed.out.size() - old_text.size()), old_text);

    // The user edits the text; a ")" in it must be escaped, as listname itself does.
    std::string script = listed.out.substr(0, listed.out.size() - old_text.size());
    testrun::write_file(dir.file("name.ps"), script + "(Sample (Bold\\))\n");

    const std::string out = dir.file("out.ttf");
    auto r = testrun::kestrix({path, "font", "dup", dir.file("name.ps"), "run", "rename", "dup",
                               "3", "1", "0x409", "4", "listname", out, "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, script + "(Sample (Bold\\))\n");

    loaded_font written(out);
    EXPECT_EQ(written.load_messages, "");
    name_record* rec = find_name(*written, 3, 1, 0x409, 4);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->string, std::string("\0S\0a\0m\0p\0l\0e\0 \0(\0B\0o\0l\0d\0)", 26));
    EXPECT_EQ(find_name(*written, 1, 0, 0, 4)->string, "Testfont Regular");
}

TEST(SetName, MacRomanStoresQuestionMarksForWhatItCannotHold) {
    name_record r;
    r.platformID = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set_name(&r, "\xCE\xA9\xE4\xB8\xAD\xF0\x9F\x99\x82", standard_error_sink()),
              0);  // Omega, CJK, emoji
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "rename: warning: 2 character(s) not in Mac Roman stored as \"?\"\n");
    EXPECT_EQ(r.string, "\xBD??");
}

// A name in any script goes through rename into the file as fontTools reads it, and comes
// back unchanged from listname: the round trip a listname fragment relies on.
TEST(RenameCommand, Utf8NamesRoundTripThroughGenFontToolsAndListname) {
    testrun::scratch_dir dir;
    const std::string path = testfont::standard_font().write(dir.file("f.ttf"));
    const std::string out = dir.file("out.ttf");
    const std::string wide =
        "D\xC3\xA9mo \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9D\x84\x9E";        // Démo 中文 𝄞
    const std::string roman = "D\xC3\xA9mo \xE2\x80\x93 \xE2\x82\xAC";  // Démo – €
    auto r = testrun::kestrix({path, "font", "dup", "3", "1", "0x409", "4", wide, "rename", "dup",
                               "1", "0", "0", "4", roman, "rename", out, "gen"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    for (const auto& [ids, text] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"3", "1", "0x409", "4"}, wide}, {{"1", "0", "0", "4"}, roman}}) {
        std::vector<std::string> args{out, "font"};
        args.insert(args.end(), ids.begin(), ids.end());
        args.push_back("listname");
        auto listed = testrun::kestrix(args);
        EXPECT_EQ(listed.status, 0);
        EXPECT_NE(listed.out.find("\n(" + text + ")\n"), std::string::npos) << listed.out;
    }

    const char* python = "/usr/bin/python3";
    if (!testrun::file_exists(python) ||
        testrun::run(python, {"-c", "import fontTools.ttLib"}).status != 0)
        GTEST_SKIP() << "python3 with fontTools (python3-fonttools) not found";
    auto read = testrun::run(
        python, {"-c",
                 "import sys; from fontTools.ttLib import TTFont\n"
                 "n = TTFont(sys.argv[1])['name']\n"
                 "sys.stdout.buffer.write((n.getName(4, 3, 1, 0x409).toUnicode() + '|' +\n"
                 "    n.getName(4, 1, 0, 0).toUnicode()).encode('utf-8'))",
                 out});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, wide + "|" + roman);
}
