// The encode command on built and bundled fonts: every message, the subtable it installs
// and where, the OS/2 update, and the edge cases of reading an encoding file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "encoding/encode.h"
#include "support/font_builder.h"
#include "support/run.h"
#include "tables/cmap.h"
#include "tables/cmap_format4.h"
#include "tables/os2.h"

using cmdtest::loaded_font;
using cmdtest::run;
using testrun::kestrix;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";

std::string write_font(const testrun::scratch_dir& dir, const testfont::font_parts& parts,
                       const std::string& name = "font.ttf") {
    return parts.builder().write(dir.file(name));
}

std::string write_text(const testrun::scratch_dir& dir, const std::string& name,
                       const std::string& text) {
    testrun::write_file(dir.file(name), text);
    return dir.file(name);
}

std::string encoding(const std::string& lines) {
    return "StartCharMetrics 0\n" + lines + "EndCharMetrics\n";
}

std::vector<std::string> slot_labels(font_object& font) {
    std::vector<std::string> labels;
    for (const auto& s : cmap_table(font)->subtables)
        labels.push_back(s ? std::to_string(s->platformID) + "." + std::to_string(s->encodingID)
                           : "empty");
    return labels;
}

class EncodeCommand : public testing::Test {
  protected:
    testrun::scratch_dir dir;
    std::string font_path = write_font(dir, testfont::standard_parts());
};

}  // namespace

TEST_F(EncodeCommand, OperandErrors) {
    struct error_case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string enc = write_text(dir, "a.enc", encoding("C 65 ; N A ;\n"));
    for (const error_case& c : std::vector<error_case>{
             {{"encode"}, "stackcheck: expected integer, but stack is empty\nencode: bad N arg\n"},
             {{"3", "x", "encode"},
              "typecheck: \"x\" not an integer\nencode: bad N arg\n" + kExitError +
                  "Warning: on exit, stack was not empty:\nstack[0] = string \"3\" <-- top\n"},
             {{"x", "1", "encode"}, "typecheck: \"x\" not an integer\nencode: bad M arg\n"},
             {{"3", "1", "encode"}, "encode: stack is empty\n"},
             {{enc, "3", "1", "encode"}, "encode: stack is empty\n"},
             {{font_path, "font", "dup", "3", "1", "encode"},
              "encode: expected afm-filename string\n"},
             {{"x", enc, "3", "1", "encode"}, "encode: expected font\n"}}) {
        auto r = kestrix(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.err.find(kExitError) == std::string::npos ? c.err + kExitError : c.err);
    }
}

TEST_F(EncodeCommand, BuildsReportsAndInstallsTheSubtable) {
    const std::string enc = write_text(dir, "my.enc",
                                       "Comment a header line\n"
                                       "C 66 ; N A ;\n"  // before StartCharMetrics: ignored
                                       "StartCharMetrics 7\n"
                                       "C 65 ; N A ;\n"
                                       "CH <0042> ; N B ;\n"
                                       "Comment C 67 ; N B ;\n"
                                       "C 97 ; WX 500 ; N a ; B 0 0 10 10 ;\n"
                                       "C -1 ; N Aring ;\n"
                                       "C 0 ; N Aring ;\n"
                                       "CH <1f600> ; N ring ;\n"
                                       "C 66 ; N B.alt ;\n"
                                       "C 67 ; N Cee ;\n"
                                       "C 68; N space ;\n"
                                       "EndCharMetrics\n"
                                       "C 69 ; N space ;\n");
    loaded_font font(font_path);
    ASSERT_EQ(font.load_messages, "");
    auto r = run(encode_command, {font, enc, 3, 1});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(cmdtest::left_font(r, *font));
    EXPECT_EQ(r.err,
              "Warning: char code 0x1f600 of \"ring\" is above 0xffff, line skipped\n"
              "set_encoding_pair: no \"Cee\" in this font\n"
              "build_encoding: 1 char(s) in \"" +
                  enc +
                  "\" do not appear in the font\n"
                  "Encoding covers 4 of 8 glyph(s) in this font\n"
                  "Warning: encoding duplicates char code 0x0042\n");

    // Replaced in its slot; the first of the two 0x42 pairs (B) is the one kept.
    EXPECT_EQ(slot_labels(*font), (std::vector<std::string>{"1.0", "3.1"}));
    const auto& s = dynamic_cast<const cmap_format4&>(*cmap_table(*font)->subtables[1]);
    EXPECT_EQ(s.format, 4);
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.length, 16 + 3 * 8 + 3 * 2);
    EXPECT_EQ(s.segCount, 3);
    EXPECT_EQ(s.segCountX2, 6);
    EXPECT_EQ(s.searchRange, 4);
    EXPECT_EQ(s.entrySelector, 1);
    EXPECT_EQ(s.rangeShift, 2);
    EXPECT_EQ(s.startCount, (std::vector<USHORT>{0x41, 0x61, 0xFFFF}));
    EXPECT_EQ(s.endCount, (std::vector<USHORT>{0x42, 0x61, 0xFFFF}));
    EXPECT_EQ(s.idDelta, (std::vector<SHORT>{0, 0, 1}));
    EXPECT_EQ(s.idRangeOffset, (std::vector<USHORT>{6, 8, 0}));
    EXPECT_EQ(s.glyphIdArray, (std::vector<USHORT>{testfont::G_A, testfont::G_B, testfont::G_a}));
    EXPECT_EQ(s.glyphIdCount, 3);
    EXPECT_EQ(char_to_glyph(0x42, &s), testfont::G_B);
    EXPECT_EQ(char_to_glyph(0x43, &s), 0);

    const os2_revision& os2 = *os2_table(*font)->v;
    EXPECT_EQ(os2.usFirstCharIndex, 0x41);
    EXPECT_EQ(os2.usLastCharIndex, 0x61);
}

TEST_F(EncodeCommand, NewSubtablesGoBeforeTheFirstWithBothIdsAtLeastAsLarge) {
    auto parts = testfont::standard_parts();
    parts.cmap.encodings.insert(
        parts.cmap.encodings.begin(),
        {0, 3, testfont::cmap_format4::from(testfont::standard_unicode_map()), std::nullopt});
    const std::string three = write_font(dir, parts, "three.ttf");
    const std::string enc = write_text(dir, "a.enc", encoding("C 65 ; N A ;\n"));
    struct place_case {
        std::string font;
        int M, N;
        std::vector<std::string> slots;
    };
    for (const place_case& c :
         std::vector<place_case>{{three, 3, 0, {"0.3", "1.0", "3.0", "3.1"}},
                                 {three, 3, 10, {"0.3", "1.0", "3.1", "3.10"}},
                                 {three, 0, 3, {"0.3", "1.0", "3.1"}},
                                 {font_path, 1, 5, {"1.0", "3.1", "1.5"}},
                                 {font_path, 0, 0, {"0.0", "1.0", "3.1"}}}) {
        loaded_font font(c.font);
        auto r = run(encode_command, {font, enc, c.M, c.N});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(slot_labels(*font), c.slots);
        EXPECT_EQ(cmap_table(*font)->numTables, c.slots.size());
        auto* s = find_cmap_subtable(*font, static_cast<USHORT>(c.M), static_cast<USHORT>(c.N));
        ASSERT_TRUE(s);
        EXPECT_EQ(char_to_glyph(0x41, s->get()), testfont::G_A);
        EXPECT_EQ(char_to_glyph(0x42, s->get()), 0);
        // OS/2 follows platform 3 only.
        EXPECT_EQ(os2_table(*font)->v->usFirstCharIndex, c.M == 3 ? 0x41 : 0x20);
    }
}

TEST_F(EncodeCommand, EncodingTwiceLeavesTheSecondSubtable) {
    write_text(dir, "a.enc", encoding("C 65 ; N A ;\n"));
    write_text(dir, "b.enc", encoding("C 66 ; N B ;\nC 67 ; N B ;\n"));
    loaded_font font(font_path);
    run(encode_command, {font, dir.file("a.enc"), 3, 0});
    run(encode_command, {font, dir.file("b.enc"), 3, 0});
    EXPECT_EQ(slot_labels(*font), (std::vector<std::string>{"1.0", "3.0", "3.1"}));
    auto* s = find_cmap_subtable(*font, 3, 0);
    EXPECT_EQ(char_to_glyph(0x41, s->get()), 0);
    EXPECT_EQ(char_to_glyph(0x43, s->get()), testfont::G_B);
}

TEST_F(EncodeCommand, ReadsTheStandardInputForADash) {
    testrun::options opts;
    opts.stdin_data = encoding("CH <00c5> ; N Aring ;\n");
    auto r = kestrix({font_path, "font", "-", "3", "1", "encode", "pop"}, opts);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Encoding covers 1 of 8 glyph(s) in this font\n");
}

TEST_F(EncodeCommand, FailuresLeaveTheFontAsItWas) {
    struct failure_case {
        std::string encoding_text;  // empty: the file does not exist
        std::string err;
    };
    std::string glyph_index_lines;  // 32752 codes in one run: 2 bytes too many
    for (int c = 1; c <= 32752; ++c)
        glyph_index_lines += "C " + std::to_string(c) + " ; N .glyphindex1 ;\n";
    const std::string missing = dir.file("missing.enc");
    for (const failure_case& c : std::vector<failure_case>{
             {"", "Cannot open \"" + missing + "\" in mode \"r\"\n" + missing +
                      ": No such file or directory\nencode: cannot construct encoding\n"},
             {encoding(""),
              "Encoding covers 0 of 8 glyph(s) in this font\n"
              "encode: cannot construct new cmap subtable\n"},
             {"C 65 ; N A ;\n",  // no StartCharMetrics: no pairs
              "Encoding covers 0 of 8 glyph(s) in this font\n"
              "encode: cannot construct new cmap subtable\n"},
             {encoding(glyph_index_lines),
              "Encoding covers 1 of 8 glyph(s) in this font\n"
              "build_cmap4_subtable: the subtable would take 65536 bytes, more than its 16-bit "
              "length can hold\n"
              "encode: cannot construct new cmap subtable\n"}}) {
        if (!c.encoding_text.empty()) testrun::write_file(missing, c.encoding_text);
        loaded_font font(font_path);
        auto r = run(encode_command, {font, missing, 3, 1});
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.left.empty());
        EXPECT_EQ(r.err, c.err);
        auto* s = find_cmap_subtable(*font, 3, 1);
        EXPECT_EQ(char_to_glyph(0x2DA, s->get()), testfont::G_RING);
        EXPECT_EQ(os2_table(*font)->v->usLastCharIndex, 0x2DA);
        std::remove(missing.c_str());
    }
}

TEST_F(EncodeCommand, RunningOutOfMemoryForPairsFailsTheCommand) {
    const std::string enc = write_text(dir, "a.enc", encoding("C 65 ; N A ;\nC 66 ; N B ;\n"));
    loaded_font font(font_path);
    int status = 0;
    testing::internal::CaptureStderr();
    status = encode_font(*font, enc.c_str(), 3, 1, 1);  // room for one pair
    EXPECT_EQ(status, -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Out of memory!\nencode: cannot construct encoding\n");
    EXPECT_EQ(char_to_glyph(0x2DA, find_cmap_subtable(*font, 3, 1)->get()), testfont::G_RING);
}

TEST_F(EncodeCommand, MissingTables) {
    const std::string enc = write_text(dir, "a.enc", encoding("C 65 ; N A ;\n"));
    {
        auto b = testfont::standard_font();
        b.remove_table("post");
        const std::string path = b.write(dir.file("nopost.ttf"));
        loaded_font font(path);
        auto r = run(encode_command, {font, enc, 3, 1});
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.err,
                  "No \"post\" table in font \"" + path + "\"!\nencode: font has no post table\n");
    }
    {
        auto b = testfont::standard_font();
        b.remove_table("cmap");
        const std::string path = b.write(dir.file("nocmap.ttf"));
        loaded_font font(path);
        auto r = run(encode_command, {font, enc, 3, 1});
        EXPECT_EQ(r.status, -1);
        const std::string no_cmap = "No \"cmap\" table in font \"" + path + "\"!\n";
        EXPECT_EQ(r.err, "Encoding covers 1 of 8 glyph(s) in this font\n" + no_cmap + no_cmap);
    }
    {
        auto b = testfont::standard_font();
        b.remove_table("OS/2");
        const std::string path = b.write(dir.file("noos2.ttf"));
        loaded_font font(path);
        auto r = run(encode_command, {font, enc, 3, 1});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err,
                  "Encoding covers 1 of 8 glyph(s) in this font\nNo \"OS/2\" table in font \"" +
                      path + "\"!\n");
    }
}

// Every OS/2 version the parser reads takes the new character range; a format 12 subtable
// reaching past 0xFFFF leaves 0xFFFF as the last index.
TEST_F(EncodeCommand, OS2RangeFollowsPlatform3ForEveryVersion) {
    const std::string enc =
        write_text(dir, "w.enc", encoding("CH <0042> ; N B ;\nCH <1f600> ; N A ;\n"));
    for (uint16_t version = 0; version <= 5; ++version) {
        auto parts = testfont::standard_parts();
        parts.os2.version = version;
        const std::string path = write_font(dir, parts, "v" + std::to_string(version) + ".ttf");
        for (int N : {1, 10}) {
            loaded_font font(path);
            auto r = run(encode_command, {font, enc, 3, N});
            EXPECT_EQ(r.status, 0) << r.err;
            const os2_revision& os2 = *os2_table(*font)->v;
            EXPECT_EQ(os2.usFirstCharIndex, 0x42) << version;
            EXPECT_EQ(os2.usLastCharIndex, N == 10 ? 0xFFFF : 0x42) << version;
        }
    }
}
