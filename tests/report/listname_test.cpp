#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_fonts.h"
#include "support/run.h"

// After the test fonts, whose unqualified name_record is the builder's.
#include "report/listname.h"

namespace {

const std::string kSectionsLoading =
    "Warning: cmap 1.1 format 2: subHeaderKeys select 1 subHeaders, 0 in the subtable\n"
    "Byte-encoding cmap should have 262 bytes, but has 134 instead\n";

// A font written into a scratch directory and run from there under its own name.
struct font_file {
    testrun::scratch_dir dir;
    std::string name;
    font_file(const testfont::font_builder& b, std::string file) : name(std::move(file)) {
        b.write(dir.file(name));
    }
    testrun::result run(std::vector<std::string> args) const {
        testrun::options opts;
        opts.cwd = dir.path();
        args.insert(args.begin(), {name, "font"});
        return testrun::kestrix(args, opts);
    }
};

const font_file& sections_font() {
    static const font_file font(reportfont::sections_parts().builder(), "sections.ttf");
    return font;
}

const font_file& standard_font() {
    static const font_file font(testfont::standard_font(), "standard.ttf");
    return font;
}

struct listing_case {
    std::vector<std::string> operands;  // M N L I
    std::string out;
};

std::string case_name(const testing::TestParamInfo<listing_case>& info) {
    std::string name;
    for (const std::string& operand : info.param.operands) {
        if (!name.empty()) name += '_';
        name += operand;
    }
    return name;
}

}  // namespace

class ListNameOutput : public testing::TestWithParam<listing_case> {};

TEST_P(ListNameOutput, PrintsSixLines) {
    std::vector<std::string> args = GetParam().operands;
    args.push_back("listname");
    auto r = sections_font().run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, kSectionsLoading);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ListNameOutput,
    testing::Values(
        // ")" is escaped, "(" stands as it is.
        listing_case{{"3", "1", "0x409", "4"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n"
                     "% full font name (should be family+subfamily)\n3 1 0x409 4\n(Foo (Bar\\))\n"},
        // A backslash is doubled, so that it reads back as itself.
        listing_case{{"3", "1", "0x409", "5"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n% version string\n"
                     "3 1 0x409 5\n(a\\\\b)\n"},
        // A 5-byte string of 2-byte units: the final byte is dropped.
        listing_case{{"3", "1", "0x409", "6"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n% PostScript name\n"
                     "3 1 0x409 6\n(AB)\n"},
        listing_case{{"3", "1", "0x409", "9"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n% Designer\n"
                     "3 1 0x409 9\n()\n"},
        listing_case{{"0", "3", "0", "1"},
                     "% Apple Unicode\n% \n% [unknown language id 0x0000]\n% font family name\n"
                     "0 3 0x0 1\n(Uni)\n"},
        listing_case{{"1", "0", "0", "1"},
                     "% Macintosh\n% Mac Roman\n% English\n% font family name\n1 0 0x0 1\n"
                     "(Sections)\n"},
        listing_case{{"2", "2", "0", "7"},
                     "% ISO\n% ISO 8859-1\n% [unknown language id 0x0000]\n% trademark notice\n"
                     "2 2 0x0 7\n(ISO (text\\))\n"},
        // The identifiers are printed as numbers, whatever their notation.
        listing_case{{"03", "1", "1033", "4"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n"
                     "% full font name (should be family+subfamily)\n3 1 0x409 4\n"
                     "(Foo (Bar\\))\n"}),
    case_name);

TEST(ListName, StandardFontFullNameAndScriptOfSeveralNames) {
    auto r = standard_font().run(
        {"dup", "3", "1", "0x409", "4", "listname", "1", "0", "0", "1", "listname", "stack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "% Microsoft\n% MS UGL Unicode\n% US English\n"
              "% full font name (should be family+subfamily)\n3 1 0x409 4\n(Testfont Regular)\n"
              "% Macintosh\n% Mac Roman\n% English\n% font family name\n1 0 0x0 1\n(Testfont)\n"
              "stack: stack is empty\n");
    EXPECT_EQ(r.err, "");
}

// The fragment reads back as four numbers and the original text.
TEST(ListName, OutputReadsBackAsTokens) {
    const font_file& font = sections_font();
    auto listed = font.run({"3", "1", "0x409", "4", "listname"});
    ASSERT_EQ(listed.status, 0);
    const std::string script = font.dir.file("fragment.ks");
    testrun::write_file(script, listed.out + "stack pop pop pop pop pop\n");
    auto r = font.run({"fragment.ks", "run", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "stack[5] = string \"Foo (Bar)\" <-- top\n"
              "stack[4] = string \"4\"\n"
              "stack[3] = string \"0x409\"\n"
              "stack[2] = string \"1\"\n"
              "stack[1] = string \"3\"\n"
              "stack[0] = font object for file \"sections.ttf\"\n");
    EXPECT_EQ(r.err, kSectionsLoading);
}

struct failure_case {
    const char* name;
    std::vector<std::string> args;  // after "standard.ttf font"
    std::string err;                // after the loading message
    std::string left;               // what stays on the stack, top first
};

class ListNameFailure : public testing::TestWithParam<failure_case> {};

// The operands taken before the failure stay taken; nothing reaches the standard output.
TEST_P(ListNameFailure, PrintsOneMessageAndNothingElse) {
    auto r = standard_font().run(GetParam().args);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, GetParam().err + "kestrix: exiting due to error\n" +
                         "Warning: on exit, stack was not empty:\n" + GetParam().left);
}

const std::string kFontAlone = "stack[0] = font object for file \"standard.ttf\" <-- top\n";
const std::string kFontUnder = "stack[0] = font object for file \"standard.ttf\"\n";

INSTANTIATE_TEST_SUITE_P(
    Operands, ListNameFailure,
    testing::Values(failure_case{"NoSuchRecord",
                                 {"dup", "3", "1", "0x411", "1", "listname"},
                                 "listname: no name 3 1 0x411 1 in standard.ttf\n",
                                 kFontAlone},
                    failure_case{"BadNameId",
                                 {"3", "1", "0x409", "x", "listname"},
                                 "typecheck: \"x\" not an integer\nlistname: bad name id arg\n",
                                 "stack[3] = string \"0x409\" <-- top\nstack[2] = string \"1\"\n"
                                 "stack[1] = string \"3\"\n" +
                                     kFontUnder},
                    failure_case{
                        "BadLanguage",
                        {"3", "1", "en", "1", "listname"},
                        "typecheck: \"en\" not an integer\nlistname: bad language id arg\n",
                        "stack[2] = string \"1\" <-- top\nstack[1] = string \"3\"\n" + kFontUnder},
                    failure_case{"BadEncoding",
                                 {"3", "1x", "0", "1", "listname"},
                                 "typecheck: extraneous chars in \"1x\"\nlistname: bad N id arg\n",
                                 "stack[1] = string \"3\" <-- top\n" + kFontUnder},
                    failure_case{"BadPlatform",
                                 {"M", "1", "0", "1", "listname"},
                                 "typecheck: \"M\" not an integer\nlistname: bad M id arg\n",
                                 kFontAlone},
                    failure_case{"NotAFont",
                                 {"text", "3", "1", "0x409", "4", "listname"},
                                 "listname: expected font\n",
                                 kFontAlone}),
    [](const testing::TestParamInfo<failure_case>& info) { return info.param.name; });

TEST(ListName, EmptyStackUnderTheNumbers) {
    auto r = testrun::kestrix({"3", "1", "0x409", "4", "listname"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "listname: stack is empty\nkestrix: exiting due to error\n");
}

struct script_text_case {
    const char* name;
    std::string text;
    bool spells_command;
    std::string written;
};

class ScriptStringText : public testing::TestWithParam<script_text_case> {};

TEST_P(ScriptStringText, EscapesWhatTheTokenReaderWouldTakeOtherwise) {
    EXPECT_EQ(script_string_text(GetParam().text, GetParam().spells_command), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ScriptStringText,
    testing::Values(script_text_case{"Plain", "Bitstream Vera Sans", false, "Bitstream Vera Sans"},
                    script_text_case{"Parentheses", "Foo (Bar)", false, "Foo (Bar\\)"},
                    script_text_case{"Backslashes", "a\\b\\", false, "a\\\\b\\\\"},
                    script_text_case{"EscapedParenthesis", "\\) 0 0 0 0 (x) gen (", false,
                                     "\\\\\\) 0 0 0 0 (x\\) gen ("},
                    script_text_case{"LeadingPercent", "%50 off", false, "\\%50 off"},
                    script_text_case{"InnerPercent", "50% off", false, "50% off"},
                    script_text_case{"CommandWord", "gen", true, "\\gen"},
                    script_text_case{"Controls", std::string("\x1b[2J\a\n\t\x7f\0", 9), false,
                                     "\\033[2J\\007\\012\\011\\177\\000"},
                    // Three digits every time, so a digit after an escape stays a digit.
                    script_text_case{"DigitAfterEscape",
                                     "\x01"
                                     "7",
                                     false, "\\0017"},
                    script_text_case{"NonAscii", "Gr\xC3\xBC\xC3\x9F \xCE\xA9 \xF0\x9F\x99\x82",
                                     false, "Gr\xC3\xBC\xC3\x9F \xCE\xA9 \xF0\x9F\x99\x82"},
                    // C1 controls and the Unicode line separator, byte by byte.
                    script_text_case{"UnicodeControls", "\xC2\x9B\xE2\x80\xA8", false,
                                     "\\302\\233\\342\\200\\250"},
                    // Bytes that are not UTF-8 (a platform whose bytes are kept as they are).
                    script_text_case{"NotUtf8", "\xFF\xC3(", false, "\\377\\303("}),
    [](const testing::TestParamInfo<script_text_case>& info) { return info.param.name; });

namespace {

// UTF-16 big-endian bytes of UTF-8 text (well-formed, as the test writes it).
testfont::bytes utf16_of(std::string_view utf8) {
    testfont::bytes out;
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<uint8_t>(u >> 8));
        out.push_back(static_cast<uint8_t>(u & 0xFF));
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? lead : lead & (0xFF >> (n + 1));
        for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += n;
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// Names a font could hold to break out of a listname fragment or upset a terminal.
const std::vector<std::string>& hostile_names() {
    static const std::vector<std::string> names = {
        "\\) 0 0 0 0 (x) forged.ttf gen (",
        "%not a comment",
        "ends in a backslash\\",
        std::string("zero\0byte", 9),
        "\x1b]0;title\x07\x1b[2J bell and escape\nnew line\r",
        "gen",
        "run",
        "(((",
        " \t leading blanks",
        "Gr\xC3\xBC\xC3\x9F \xCE\xA9 \xE4\xB8\xAD \xF0\x9F\x99\x82 \xC2\x9B \xE2\x80\xA8",
        "\\101\\033 looks like escapes",
    };
    return names;
}

}  // namespace

// listname -> run -> rename -> gen -> listname gives back every name, byte for byte, on
// another font, and the fragments run nothing but the renames.
TEST(ListName, FragmentsRenameAnotherFontToExactlyTheListedNames) {
    testrun::scratch_dir dir;
    testfont::font_parts source = testfont::minimal_parts(), target = testfont::minimal_parts();
    source.name.records.clear();
    target.name.records.clear();
    const std::vector<std::string>& names = hostile_names();
    std::vector<std::string> list_args = {"source.ttf", "font"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto id = static_cast<uint16_t>(256 + i);
        source.name.records.push_back({3, 1, 0x409, id, utf16_of(names[i])});
        target.name.records.push_back({3, 1, 0x409, id, utf16_of("placeholder")});
        for (const char* word : {"dup", "3", "1", "0x409"}) list_args.push_back(word);
        list_args.insert(list_args.end(), {std::to_string(id), "listname"});
    }
    // A Macintosh Roman name and one of a platform whose bytes are kept as they are.
    source.name.records.push_back({1, 0, 0, 300, {'\\', ')', 0x8A, 0x00, 0x1B}});
    target.name.records.push_back({1, 0, 0, 300, {'x'}});
    source.name.records.push_back({2, 0, 0, 301, {0xFF, '\\', 0x9B, ')', 0xC3}});
    target.name.records.push_back({2, 0, 0, 301, {'x'}});
    list_args.insert(list_args.end(), {"dup", "1", "0", "0", "300", "listname"});
    list_args.insert(list_args.end(), {"2", "0", "0", "301", "listname"});
    source.builder().write(dir.file("source.ttf"));
    target.builder().write(dir.file("target.ttf"));

    testrun::options in_dir;
    in_dir.cwd = dir.path();
    auto listed = testrun::kestrix(list_args, in_dir);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.err, "");
    // Nothing reaches the terminal raw: no control character but the line ends.
    for (char c : listed.out)
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << static_cast<int>(c);

    // Each fragment, after a copy of the font, then rename: the README's editing flow.
    std::string script;
    for (std::size_t at = 0; at < listed.out.size();) {
        const std::size_t end = listed.out.find(")\n", listed.out.find("\n(", at)) + 2;
        script += "dup\n" + listed.out.substr(at, end - at) + "rename\n";
        at = end;
    }
    testrun::write_file(dir.file("rename.ks"), script);
    auto renamed =
        testrun::kestrix({"target.ttf", "font", "rename.ks", "run", "renamed.ttf", "gen"}, in_dir);
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(renamed.out, "");
    EXPECT_EQ(renamed.err, "");  // no stack left over: every fragment was one rename
    EXPECT_EQ(testrun::files_in(dir.path()),
              (std::vector<std::string>{"rename.ks", "renamed.ttf", "source.ttf", "target.ttf"}));

    list_args[0] = "renamed.ttf";
    auto relisted = testrun::kestrix(list_args, in_dir);
    EXPECT_EQ(relisted.status, 0) << relisted.err;
    EXPECT_EQ(relisted.out, listed.out);
}
