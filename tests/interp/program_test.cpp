// The interpreter as a user meets it: command-line words, scripts, exit status and the
// exit-time stack report.
#include <gtest/gtest.h>

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
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kNotEmpty +
                         "stack[2] = string \"Font\" <-- top\n"
                         "stack[1] = string \"%c\"\n"
                         "stack[0] = string \"(a b\"\n"
                         // commands are case-sensitive: "Font" is a word, close to "font"
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

// --help and --version alone print and exit 0; a leftover word close to a command name
// gets one line after the leftover-stack listing, other leftovers none.
TEST(Program, HelpVersionAndMisspeltCommands) {
    auto help = testrun::kestrix({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: kestrix [word ...]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find(" texafm"), std::string::npos);
    EXPECT_EQ(help.err, "");
    auto version = testrun::kestrix({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kestrix 1.0.0\n");

    auto misspelt = testrun::kestrix({"3", "lsit"});
    EXPECT_EQ(misspelt.status, 0);
    EXPECT_EQ(misspelt.err,
              "Warning: on exit, stack was not empty:\n"
              "stack[1] = string \"lsit\" <-- top\n"
              "stack[0] = string \"3\"\n"
              "Note: \"lsit\" is not a command; did you mean \"list\"?\n");
    auto plain = testrun::kestrix({"ab", "0x409", "Vera.ttf"});
    EXPECT_EQ(plain.err.find("Note:"), std::string::npos) << plain.err;
}
