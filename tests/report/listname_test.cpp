#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/report_fonts.h"
#include "support/run.h"

namespace {

const std::string kSectionsLoading =
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
        // Only ")" is escaped; "(" and "\" stand as they are.
        listing_case{{"3", "1", "0x409", "4"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n"
                     "% full font name (should be family+subfamily)\n3 1 0x409 4\n(Foo (Bar\\))\n"},
        listing_case{{"3", "1", "0x409", "5"},
                     "% Microsoft\n% MS UGL Unicode\n% US English\n% version string\n"
                     "3 1 0x409 5\n(a\\b)\n"},
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
