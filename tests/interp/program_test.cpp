// The interpreter as a user meets it: command-line words, scripts, exit status and the
// exit-time stack report.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/run.h"

using testrun::kestrix;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";
const std::string kNotEmpty = "Warning: on exit, stack was not empty:\n";

}  // namespace

TEST(Program, NoArgumentsPrintsTheBannerOnly) {
    auto r = kestrix({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("kestrix: ", 0), 0u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST(Program, CommandLineWordsAreWholeTokens) {
    auto r = kestrix({"(a b", "%c", "Font"});
    // Commands are case-sensitive: "Font" is a word, but so close to "font" that the run
    // fails after the listing.
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, kNotEmpty +
                         "stack[2] = string \"Font\" <-- top\n"
                         "stack[1] = string \"%c\"\n"
                         "stack[0] = string \"(a b\"\n"
                         "Note: \"Font\" is not a command; did you mean \"font\"?\n");
}

TEST(Program, PopLeavesTheRestForTheExitReport) {
    auto r = kestrix({"a", "b", "pop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kNotEmpty + "stack[0] = string \"a\" <-- top\n");
}

TEST(Program, FailingCommandStopsTheRun) {
    auto r = kestrix({"pop", "x", "stack"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "pop: stack is empty\n" + kExitError);
}

TEST(Program, ForceToggles) {
    auto r = kestrix({"force", "force"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Warning: forced file interpretation is ON\n");
}

TEST(Program, StackCommandDumpsTopFirst) {
    auto r = kestrix({"x", "5", "stack", "pop", "pop", "stack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "stack[1] = string \"5\" <-- top\n"
              "stack[0] = string \"x\"\n"
              "stack: stack is empty\n");
    EXPECT_EQ(r.err, "");
}

TEST(Program, FullStackIsAFailureAndKeepsTheFirst128Items) {
    std::vector<std::string> args;
    for (int i = 0; i < 130; ++i) args.push_back("w" + std::to_string(i));
    auto r = kestrix(args);
    EXPECT_EQ(r.status, 255);
    std::string expected = "Stack overflow.\n" + kExitError + kNotEmpty;
    for (int i = 127; i >= 0; --i)
        expected += "stack[" + std::to_string(i) + "] = string \"w" + std::to_string(i) + "\"" +
                    (i == 127 ? " <-- top" : "") + "\n";
    EXPECT_EQ(r.err, expected);
}

TEST(Program, ShowPrintsTheItemAndConsumesIt) {
    auto r = kestrix({"x", "show", "stack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "stack: stack is empty\n");
    EXPECT_EQ(r.err.rfind("show: val=0x", 0), 0u);
    EXPECT_NE(r.err.find(" type=2\n"), std::string::npos);
}

TEST(Program, EmptyStackMessages) {
    struct tc {
        const char* command;
        const char* message;
    };
    for (tc c : {tc{"dup", "dup: stack is empty\n"}, tc{"show", "show: stack is empty\n"},
                 tc{"free", "free: stack is empty\n"}, tc{"run", "run: stack is empty\n"},
                 tc{"font", "font: expected string\n"}}) {
        auto r = kestrix({c.command});
        EXPECT_EQ(r.status, 255) << c.command;
        EXPECT_EQ(r.err, std::string(c.message) + kExitError) << c.command;
    }
}

TEST(Program, FreeNeedsAFont) {
    auto r = kestrix({"x", "free"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "free: expected font\n" + kExitError);
}

// Vera has composite glyphs, whose outlines are not read; loading it says so once.
const std::string kVeraComposite = "read_glyph: glyph 98: warning: composite glyph(s) ignored\n";

TEST(Program, FontObjectsOnTheStack) {
    std::string vera = testrun::sample_font("Vera.ttf");
    auto dup_free = kestrix({vera, "font", "dup", "free"});
    EXPECT_EQ(dup_free.status, 255);
    EXPECT_EQ(dup_free.err, kVeraComposite + "free: font referenced duplicated in stack item 0\n" +
                                kExitError + kNotEmpty + "stack[0] = font object for file \"" +
                                vera + "\" <-- top\n");

    auto released = kestrix({vera, "font", "dup", "pop", "free", "stack"});
    EXPECT_EQ(released.status, 0);
    EXPECT_EQ(released.out, "stack: stack is empty\n");
    EXPECT_EQ(released.err, kVeraComposite);

    auto shown = kestrix({vera, "font", "stack", "pop"});
    EXPECT_EQ(shown.out, "stack[0] = font object for file \"" + vera + "\" <-- top\n");
}

TEST(Program, DupOnAFullStackFails) {
    std::vector<std::string> args;
    for (int i = 0; i < 128; ++i) args.push_back("w" + std::to_string(i));
    args.push_back("dup");
    auto r = kestrix(args);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err.rfind("Stack overflow.\n" + kExitError + kNotEmpty, 0), 0u);
    EXPECT_NE(r.err.find("stack[127] = string \"w127\" <-- top\n"), std::string::npos);
}

TEST(Program, FontRejectsNonStrings) {
    std::string vera = testrun::sample_font("Vera.ttf");
    auto r = kestrix({vera, "font", "font"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, kVeraComposite + "font: expected string\n" + kExitError);
}

// A file name where a font was expected is most likely a font not yet loaded.
TEST(Program, FileNameInsteadOfAFontSaysHowToLoadIt) {
    std::string vera = testrun::sample_font("Vera.ttf");
    auto list = kestrix({vera, "list"});
    EXPECT_EQ(list.status, 255);
    EXPECT_EQ(list.err,
              "list: expected font\nload it first: " + vera + " font list\n" + kExitError);
    auto gen = kestrix({vera, "out.ttf", "gen"});
    EXPECT_EQ(gen.err,
              "gen: expected font object\nload it first: " + vera + " font gen\n" + kExitError);
    // A word that names no file, or a directory, gets only the first line.
    testrun::scratch_dir dir;
    for (const std::string& word : {dir.file("absent.ttf"), dir.path()}) {
        auto r = kestrix({word, "list"});
        EXPECT_EQ(r.err, "list: expected font\n" + kExitError) << word;
    }
}

TEST(Program, MissingFontFile) {
    testrun::scratch_dir dir;
    std::string path = dir.file("absent.ttf");
    auto r = kestrix({path, "font"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Cannot open \"" + path + "\" in mode \"rb\"\n" + path +
                         ": No such file or directory\n"
                         "load_font: cannot open file\n"
                         "font: load failed\n" +
                         kExitError);
}

// --help (also -h, -help and help) and --version alone print and exit 0.
TEST(Program, HelpAndVersion) {
    for (const char* spelling : {"--help", "-h", "-help", "help"}) {
        auto help = testrun::kestrix({spelling});
        EXPECT_EQ(help.status, 0) << spelling;
        EXPECT_EQ(help.out.rfind("usage: kestrix [word ...]\n", 0), 0u) << spelling;
        EXPECT_NE(help.out.find(" texafm"), std::string::npos);
        EXPECT_EQ(help.err, "") << spelling;
    }
    auto version = testrun::kestrix({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kestrix 1.0.0\n");
}

// A word left on the stack that is close to a command name (or, alone, to an option) is
// taken for a misspelt command: one line after the leftover-stack listing, and the run
// fails. Any other leftover word is only listed, and the run succeeds.
struct leftover_word {
    const char* word;
    const char* meant;  // empty: no hint
};

void PrintTo(const leftover_word& w, std::ostream* os) {
    *os << '"' << w.word << '"';
}

class LeftoverWords : public testing::TestWithParam<leftover_word> {};

TEST_P(LeftoverWords, GetAHintOnlyWhenCloseToACommand) {
    const leftover_word& c = GetParam();
    auto r = testrun::kestrix({"3", c.word});
    std::string expected = kNotEmpty + "stack[1] = string \"" + c.word +
                           "\" <-- top\n"
                           "stack[0] = string \"3\"\n";
    if (*c.meant)
        expected += "Note: \"" + std::string(c.word) + "\" is not a command; did you mean \"" +
                    c.meant + "\"?\n";
    EXPECT_EQ(r.status, *c.meant ? 255 : 0);
    EXPECT_EQ(r.err, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Misspelt, LeftoverWords,
    testing::Values(leftover_word{"lsit", "list"}, leftover_word{"texafn", "texafm"},
                    leftover_word{"AFM", "afm"}, leftover_word{"Font", "font"},
                    leftover_word{"fnot", "font"}, leftover_word{"gne", "gen"},
                    leftover_word{"lisntame", "listname"}, leftover_word{"GETMETRIX", "getmetrics"},
                    leftover_word{"-afm", "afm"}, leftover_word{"expotr", "export"},
                    leftover_word{"replcae", "replace"}));

INSTANTIATE_TEST_SUITE_P(
    Ordinary, LeftoverWords,
    testing::Values(leftover_word{"a)b", ""}, leftover_word{"a%b", ""}, leftover_word{"a(b", ""},
                    leftover_word{"p%q", ""}, leftover_word{"g-n", ""}, leftover_word{"deep", ""},
                    leftover_word{"ab", ""}, leftover_word{"0x409", ""},
                    leftover_word{"Vera.ttf", ""}, leftover_word{"out.afm", ""},
                    leftover_word{"uni0041", ""}, leftover_word{"A", ""}, leftover_word{"glyf", ""},
                    leftover_word{"post", ""}, leftover_word{"kern", ""}, leftover_word{"gasp", ""},
                    leftover_word{"Demo Sans", ""}, leftover_word{"help", ""},
                    leftover_word{"--help", ""}, leftover_word{"--hlep", ""}));

// Alone, a word is also compared with the options.
TEST(Program, MisspeltOptionAloneGetsAHint) {
    auto r = testrun::kestrix({"--hlep"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, kNotEmpty +
                         "stack[0] = string \"--hlep\" <-- top\n"
                         "Note: \"--hlep\" is not a command; did you mean \"--help\"?\n");
    EXPECT_EQ(r.out, "");
}
