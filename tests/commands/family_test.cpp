// The family command: one new family name in every record that holds part of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "commands/family.h"
#include "tables/name_text.h"
#include "support/run.h"
#include "tables/name.h"

using cmdtest::loaded_font;
using cmdtest::run;

namespace {

testfont::name_record named(uint16_t platformID, uint16_t languageID, uint16_t nameID,
                            std::string_view utf8) {
    testfont::name_record r;
    r.platformID = platformID;
    r.encodingID = platformID == 3 ? 1 : 0;
    r.languageID = languageID;
    r.nameID = nameID;
    const std::string stored = encode_name_text(platformID, utf8).bytes;
    r.string.assign(stored.begin(), stored.end());
    return r;
}

// Macintosh English, Windows US English with typographic names, Japanese with a style of
// its own, German without any style, and names family leaves alone (0, 3, 2, 17).
std::vector<testfont::name_record> family_records() {
    return {
        named(1, 0, 0, "Copyright Testfont"),
        named(1, 0, 1, "Testfont"),
        named(1, 0, 2, "Regular"),
        named(1, 0, 3, "Testfont 1.0"),
        named(1, 0, 4, "Testfont Regular"),
        named(1, 0, 6, "Testfont-Regular"),
        named(1, 0, 18, "Testfont"),
        named(1, 0, 20, "Testfont-Regular"),
        named(3, 0x409, 1, "Testfont Light"),
        named(3, 0x409, 2, "Regular"),
        named(3, 0x409, 4, "Testfont Light"),
        named(3, 0x409, 6, "Testfont-Light"),
        named(3, 0x409, 16, "Testfont"),
        named(3, 0x409, 17, "Light"),
        named(3, 0x409, 21, "Testfont"),
        named(3, 0x411, 1, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"),  // テスト
        named(3, 0x411, 2, "\xE6\xA8\x99\xE6\xBA\x96"),              // 標準
        named(3, 0x411, 4, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xE6\xA8\x99\xE6\xBA\x96"),
        named(3, 0x407, 1, "Testschrift"),
        named(3, 0x407, 4, "Testschrift"),
    };
}

std::string built_font(const testrun::scratch_dir& dir) {
    testfont::font_parts parts = testfont::standard_parts();
    parts.name.records = family_records();
    return parts.builder().write(dir.file("family.ttf"));
}

std::string text_of(font_object& font, USHORT platform, USHORT language, USHORT id) {
    const name_record* r = find_name(font, platform, platform == 3 ? 1 : 0, language, id);
    if (!r) return "(none)";
    return name_text_utf8(platform, reinterpret_cast<const BYTE*>(r->string.data()), r->length);
}

const std::string kCafe = "Acme Caf\xC3\xA9";  // Acme Café

}  // namespace

TEST(PostScriptForm, KeepsAsciiLettersDigitsAndHyphensUpTo63) {
    struct form_case {
        std::string text, form;
    };
    for (const form_case& c :
         std::vector<form_case>{{"Acme Web Sans-Bold Italic", "AcmeWebSans-BoldItalic"},
                                {kCafe + "-Regular", "AcmeCaf-Regular"},
                                {"IPA \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "IPA"},
                                {"x_y.z/1 (2)", "xyz12"},
                                {std::string(70, 'a'), std::string(63, 'a')},
                                {std::string(62, 'a') + " b-c", std::string(62, 'a') + "b"},
                                {"", ""}})
        EXPECT_EQ(postscript_form(c.text), c.form) << c.text;
}

TEST(FamilyCommand, RenamesEveryRecordOfTheFamilyInEveryLanguage) {
    testrun::scratch_dir dir;
    loaded_font font(built_font(dir));
    ASSERT_EQ(font.load_messages, "");
    auto r = run(family_command, {font, kCafe});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(cmdtest::left_font(r, *font));
    EXPECT_EQ(r.err, "family: 14 name record(s) changed\n");

    struct expected_name {
        USHORT platform, language, id;
        std::string text;
    };
    const std::string japanese_style = "\xE6\xA8\x99\xE6\xBA\x96";
    for (const expected_name& e : std::vector<expected_name>{
             {1, 0, 0, "Copyright Testfont"},
             {1, 0, 1, kCafe},
             {1, 0, 2, "Regular"},
             {1, 0, 3, "Testfont 1.0"},
             {1, 0, 4, kCafe + " Regular"},
             {1, 0, 6, "AcmeCaf-Regular"},
             {1, 0, 18, kCafe + " Regular"},
             {1, 0, 20, "AcmeCaf-Regular"},
             {1, 0, 16, "(none)"},  // records are never added
             {3, 0x409, 1, kCafe},
             {3, 0x409, 2, "Regular"},
             {3, 0x409, 4, kCafe + " Light"},  // the typographic subfamily goes first
             {3, 0x409, 6, "AcmeCaf-Light"},
             {3, 0x409, 16, kCafe},
             {3, 0x409, 17, "Light"},
             {3, 0x409, 21, kCafe},
             {3, 0x411, 1, kCafe},
             {3, 0x411, 4, kCafe + " " + japanese_style},
             {3, 0x407, 1, kCafe},
             {3, 0x407, 4, kCafe},  // no style in that language
         })
        EXPECT_EQ(text_of(*font, e.platform, e.language, e.id), e.text)
            << e.platform << " " << e.language << " " << e.id;
    EXPECT_EQ(find_name(*font, 1, 0, 0, 1)->string, "Acme Caf\x8E");  // Mac Roman é
    EXPECT_EQ(name_table(*font)->records.size(), family_records().size());

    // The same family again changes nothing.
    r = run(family_command, {font, kCafe});
    EXPECT_EQ(r.err, "family: 0 name record(s) changed\n");
}

TEST(FamilyCommand, StepsChainAndReachTheWrittenFont) {
    testrun::scratch_dir dir;
    const std::string source = built_font(dir);
    const std::string out = dir.file("out.ttf");
    auto r = testrun::kestrix({source, "font", "First", "family", "Second Sans", "family",
                               "\xE4\xB8\xADmega", "family", out, "gen"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "family: 14 name record(s) changed\n"
              "family: 14 name record(s) changed\n"
              "family: warning: 3 character(s) not in Mac Roman stored as \"?\"\n"
              "family: 14 name record(s) changed\n");
    loaded_font written(out);
    EXPECT_EQ(text_of(*written, 3, 0x409, 4), "\xE4\xB8\xADmega Light");
    EXPECT_EQ(text_of(*written, 3, 0x409, 6), "mega-Light");
    EXPECT_EQ(text_of(*written, 1, 0, 1), "?mega");
}

TEST(FamilyCommand, RefusalsChangeNothing) {
    testrun::scratch_dir dir;
    loaded_font font(built_font(dir));
    struct refusal {
        std::string family, err;
    };
    for (const refusal& c : std::vector<refusal>{
             {"", "family: empty family name\n"},
             {"\xE3\x83\x86 -",
              "family: \"\xE3\x83\x86 -\" has no ASCII letter or digit for the "
              "PostScript name\n"},
             {std::string(40000, 'a'), "family: name of 80000 bytes too long, at most 65535\n"}}) {
        auto r = run(family_command, {font, c.family});
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(r.left.empty());
        EXPECT_EQ(text_of(*font, 3, 0x409, 1), "Testfont Light");
        EXPECT_EQ(text_of(*font, 1, 0, 1), "Testfont");
    }
    EXPECT_EQ(run(family_command, {"x"}).err, "family: stack is empty\n");
    EXPECT_EQ(run(family_command, {font, font}).err, "family: expected family name\n");
    EXPECT_EQ(run(family_command, {"f", "x"}).err, "family: expected font\n");
}

TEST(FamilyCommand, WarnsThatTheCffFontNameStaysOld) {
    const std::string cff = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
    if (!testrun::file_exists(cff)) GTEST_SKIP() << "no URW base 35 fonts (fonts-urw-base35)";
    auto r = testrun::kestrix({cff, "font", "Acme Sans", "family", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("family: warning: " + cff +
                         ": the CFF table's own FontName still holds the old name (kestrix "
                         "does not rewrite CFF)\n"),
              std::string::npos)
        << r.err;
}
