// brindle run as a program: command line, file opening, table rules, big tables and the
// code chosen for each glyph name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/run.h"

namespace {

const std::string usage = "Use: brindle large-encoding.cod small-encoding.cod [synonyms]\n";

std::string encoding(const std::string& lines) {
    return "StartCharMetrics 0\n" + lines + "EndCharMetrics\n";
}

// `count` lines that each take one line number and no table slot.
std::string repeated(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

class Brindle : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& text) {
        std::string path = dir.file(name);
        testrun::write_file(path, text);
        return path;
    }
    // Writes the tables (and the synonym file unless `synonyms` is null) and runs.
    testrun::result join(const std::string& large, const std::string& small,
                         const char* synonyms = nullptr) {
        std::vector<std::string> args{write("large.cod", large), write("small.cod", small)};
        if (synonyms) args.push_back(write("syn.txt", synonyms));
        return testrun::brindle(args);
    }
    std::string path(const std::string& name) const { return dir.file(name); }

    testrun::scratch_dir dir;
};

TEST_F(Brindle, WrongArgumentCountPrintsUsageWithFixedName) {
    std::string large = write("l.cod", "41 A\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {large}, {large, large, large, large}}) {
        auto r = testrun::brindle(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, usage);
    }
    std::string renamed = path("joiner");
    ASSERT_EQ(symlink(BRINDLE_BIN, renamed.c_str()), 0);
    auto r = testrun::run(renamed, {large});
    EXPECT_EQ(r.err, usage);
}

TEST_F(Brindle, HelpAndVersionAreTheOnlyArgument) {
    auto r = testrun::brindle({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(usage, 0), 0u) << r.out;  // the usage line comes first
    EXPECT_NE(r.out.find("--version"), std::string::npos);

    r = testrun::brindle({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "brindle 1.0.0\n");

    // Next to other arguments they are file names like any other.
    r = testrun::brindle({"--help", "--version"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "--help: cannot open\n--help: No such file or directory\n");
}

TEST_F(Brindle, UnopenableFileIsReportedBeforeAnythingIsRead) {
    std::string good = write("good.cod", "41 A\n");
    std::string bad = write("bad.cod", "not a code line\n");
    std::string missing = path("missing.cod");
    std::string report = missing + ": cannot open\n" + missing + ": No such file or directory\n";
    // Opening comes first, in argument order: a faulty large table is never read.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {missing, good}, {bad, missing}, {bad, good, missing}, {missing, missing}}) {
        auto r = testrun::brindle(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, report);
    }
}

TEST_F(Brindle, JoinsSmallTableNamesWithLargeTableCodes) {
    auto r = join("41 A\n61 a\n", "20 A\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N A ;\n"));

    // Codes have at least four lower-case digits; the small table's codes are not used;
    // .notdef lines are left out of both tables; names are case-sensitive.
    // A name may follow the code without a blank, as long as it cannot be read as part
    // of the code.
    r = join("41 A\n1F600 grin\n0x7f del\n1 .notdef\nffffffff top\n123456789 huge\n2aG\n",
             "0 grin\n0 .notdef\n0 del\nFFFF A\n0 a\n0 top\n0 huge\n0 G\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <1f600> ; N grin ;\nCH <007f> ; N del ;\n"
                              "CH <0041> ; N A ;\nC -1 ; N a ;\nCH <ffffffff> ; N top ;\n"
                              "CH <ffffffff> ; N huge ;\nCH <002a> ; N G ;\n"));
}

TEST_F(Brindle, PrefersOwnCodeThenFirstKnownSynonymThenFirstFallback) {
    const char* synonyms =
        "Alpha A 0x391\n"        // synonym known: A's code, the fallback unused
        "Beta Zed B 0x392\n"     // Zed unknown, B known
        "Eta Zed C B\n"          // the first known synonym in line order
        "Gamma 0x393 947 Zed\n"  // no synonym known: the first fallback
        "Iota .alt 41 _x\n"      // "%i" is decimal: 41 is 0x29
        "Kappa 0101\n"           // and octal after a leading 0
        "Delta 0\n"              // a fallback of 0 is a code
        "C Gimel 0x500\n"        // C keeps its own code
        "A Aleph\n"              // any word of a row finds it
        "Theta 0x600\n"
        "Theta B\n"          // a name belongs to its earliest row
        "Epsilon .alt _x\n"  // nothing usable
        "a7 b7 0x777\n";
    // The large table names A twice: its first line counts.
    auto r = join("41 A\n42 B\n43 C\n99 A\n",
                  "0 A\n0 Alpha\n0 Beta\n0 Eta\n0 Gamma\n0 Iota\n0 Kappa\n0 Delta\n0 C\n"
                  "0 Gimel\n0 Aleph\n0 Theta\n0 Epsilon\n0 Omega\n0 alpha\n0 b7\n",
                  synonyms);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N A ;\n"
                              "CH <0041> ; N Alpha ;\n"
                              "CH <0042> ; N Beta ;\n"
                              "CH <0043> ; N Eta ;\n"
                              "CH <0393> ; N Gamma ;\n"
                              "CH <0029> ; N Iota ;\n"
                              "CH <0041> ; N Kappa ;\n"
                              "CH <0000> ; N Delta ;\n"
                              "CH <0043> ; N C ;\n"
                              "CH <0043> ; N Gimel ;\n"
                              "CH <0041> ; N Aleph ;\n"
                              "CH <0600> ; N Theta ;\n"
                              "C -1 ; N Epsilon ;\n"
                              "C -1 ; N Omega ;\n"
                              "C -1 ; N alpha ;\n"
                              "CH <0777> ; N b7 ;\n"));
}

TEST_F(Brindle, StrangeFallbacksAreReportedAndPassedOver) {
    const char* synonyms = "Nu 0x 0xg 99999999999 07 8\nMu A 0x\n";
    auto r = join("41 A\n", "0 Nu\n0 Mu\n0 Nu\n", synonyms);
    EXPECT_EQ(r.status, 0);
    // Reported each time the row is searched, and only when no synonym gave a code.
    std::string strange =
        "strange fallback code: 0x\nstrange fallback code: 0xg\n"
        "strange fallback code: 99999999999\n";
    EXPECT_EQ(r.err, strange + strange);
    EXPECT_EQ(r.out, encoding("CH <0007> ; N Nu ;\nCH <0041> ; N Mu ;\nCH <0007> ; N Nu ;\n"));
}

TEST_F(Brindle, CommentsAndLineEndingsAreIgnored) {
    // Built by appending: GCC 12 at -O3 warns (-Wrestrict) about `"#" + std::string(...)`.
    std::string long_comment = std::string("#").append(300, 'x').append("\n");
    std::string long_percent = std::string("%").append(300, 'x').append("\n");
    auto r = join("# large\n" + long_comment + "41 A # letter A\n42 B%x\r\n" + long_percent +
                      "43\tC\n44 D",  // the last line needs no newline
                  "% small\n" + long_comment + "0 A#\n0 B\r\n" + long_percent +
                      "0 Alpha\n0 Beta\n0 Gamma\n0 D",
                  ("# synonyms\n" + long_comment + "Alpha C%A\n% Beta A\nGamma C # B\r\n" +
                   long_percent + "Beta B")
                      .c_str());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N A ;\nCH <0042> ; N B ;\nCH <0043> ; N Alpha ;\n"
                              "CH <0042> ; N Beta ;\nCH <0043> ; N Gamma ;\n"
                              "CH <0044> ; N D ;\n"));
}

TEST_F(Brindle, OverlongLinesAreSkippedWholeWithAWarning) {
    // 78 characters are read; 79 are too long, with or without a final newline. The
    // rest of a long line must not be read as a line of its own.
    std::string fits = "41 " + std::string(75, 'n');
    std::string too_long = "42 " + std::string(76, 'm');
    std::string tail_looks_valid = "43 " + std::string(76, 'p') + "44 X";
    ASSERT_EQ(fits.size(), 78u);
    ASSERT_EQ(too_long.size(), 79u);

    auto r = join(fits + "\n" + too_long + "\n" + tail_looks_valid + "\n45 Y\n" + too_long,
                  "0 " + std::string(75, 'n') + "\n" + too_long + "\n0 Y\n0 X\n" + too_long);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "large-table line 2 too long\nlarge-table line 3 too long\n"
              "large-table line 5 too long\n"
              "small-table line 2 too long\nsmall-table line 5 too long\n");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N " + std::string(75, 'n') +
                              " ;\nCH <0045> ; N Y ;\nC -1 ; N X ;\n"));

    r = join(fits, fits);  // 78 characters and no newline
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N " + std::string(75, 'n') + " ;\n"));

    // Synonym lines: 126 characters are read, 127 are too long.
    std::string row_fits = "Alpha" + std::string(120, ' ') + "A";
    std::string row_too_long = "Beta" + std::string(122, ' ') + "A";
    ASSERT_EQ(row_fits.size(), 126u);
    ASSERT_EQ(row_too_long.size(), 127u);
    r = join("41 A\n", "0 Alpha\n0 Beta\n", (row_fits + "\n" + row_too_long + "\n").c_str());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "synonym-table line 2 too long\n");
    EXPECT_EQ(r.out, encoding("CH <0041> ; N Alpha ;\nC -1 ; N Beta ;\n"));
}

struct bad_line {
    std::string name;  // of the test case
    std::string text;
    std::string message;  // after "<table> (line 2) "
};

void PrintTo(const bad_line& bad, std::ostream* os) {
    *os << bad.name;
}

class BadCodeLine : public Brindle, public ::testing::WithParamInterface<bad_line> {};

TEST_P(BadCodeLine, IsFatalInEitherTable) {
    const bad_line& bad = GetParam();
    auto r = join("41 A\n" + bad.text + "\n42 B\n", "0 A\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");  // nothing is written before the large table is whole
    EXPECT_EQ(r.err, path("large.cod") + " (line 2) " + bad.message);

    // In the small table the lines already written stay, without "EndCharMetrics".
    r = join("41 A\n", "0 A\n" + bad.text + "\n0 A\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "StartCharMetrics 0\nCH <0041> ; N A ;\n");
    EXPECT_EQ(r.err, path("small.cod") + " (line 2) " + bad.message);
}

const std::string no_hex = "does not start with hex digit or #\n";
const std::string no_pair = "not a code/name pair\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCodeLine,
    ::testing::Values(bad_line{"Empty", "", no_hex}, bad_line{"Blank", "  ", no_hex},
                      bad_line{"LeadingBlank", " 41 A", no_hex}, bad_line{"NotHex", "G A", no_hex},
                      bad_line{"LeadingNul",
                               std::string("\0"
                                           "41 A",
                                           5),
                               no_hex},
                      bad_line{"CodeOnly", "41", no_pair},
                      bad_line{"NameCommentedOut", "41 # A", no_pair},
                      bad_line{"NamePercentCommentedOut", "41 %A", no_pair},
                      bad_line{"PrefixWithoutDigits", "0x A", no_pair},
                      bad_line{"NameOfHexLetters", "41BA", no_pair}),
    [](const ::testing::TestParamInfo<bad_line>& info) { return info.param.name; });

TEST_F(Brindle, LargeTableHasNoFixedLimit) {
    // .notdef lines and comments take line numbers but no entries. Far more codes than
    // the 4096 the table once held; the names listed twice at the end keep their first
    // codes.
    std::string large = "# codes\n0 .notdef\n";
    for (int i = 1; i <= 20000; ++i) large += std::to_string(i) + " g" + std::to_string(i) + "\n";
    large += "1 .notdef\nffff g1\nffff g20000\n";
    auto r = join(large, "0 g1\n0 g4096\n0 g4097\n0 g20000\n0 g20001\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, encoding("CH <0001> ; N g1 ;\nCH <4096> ; N g4096 ;\nCH <4097> ; N g4097 ;\n"
                              "CH <20000> ; N g20000 ;\nC -1 ; N g20001 ;\n"));
}

TEST_F(Brindle, SynonymRowsHoldTenWordsAndBlankLinesTakeRows) {
    auto r = join("41 A\n42 B\n", "0 w1\n0 w11\n",
                  "w1 w2 w3 w4 w5 w6 w7 w8 w9 A w11 w12\n"
                  "w11 B\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "synonym-table line 1 too many entries\n");
    // The tenth word still counts; w11 was dropped from the first row, so it is found
    // in the second.
    EXPECT_EQ(r.out, encoding("CH <0041> ; N w1 ;\nCH <0042> ; N w11 ;\n"));

    // Rows have no fixed limit: blank lines still take rows and comment lines none,
    // and a name still belongs to the first row it stands in, however far down.
    std::string synonyms = "# rows\n" + repeated("\n", 1022) + "Last B\n\t \n" +
                           "% still fine\nOver A\nLater A\nLast A\n";
    r = join("41 A\n42 B\n", "0 Last\n0 Over\n0 Later\n", synonyms.c_str());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              encoding("CH <0042> ; N Last ;\nCH <0041> ; N Over ;\nCH <0041> ; N Later ;\n"));
}

TEST_F(Brindle, ReadErrorsAreNotTakenForTheEndOfAFile) {
    // A directory opens for reading but every read fails.
    std::string folder = path("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::string large = write("l.cod", "41 A\n");
    std::string report = folder + ": cannot read\n" + folder + ": Is a directory\n";

    for (const auto& args :
         std::vector<std::vector<std::string>>{{folder, large}, {large, large, folder}}) {
        auto r = testrun::brindle(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, report);
    }
    auto r = testrun::brindle({large, folder});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "StartCharMetrics 0\n");
    EXPECT_EQ(r.err, report);
}

TEST_F(Brindle, FailedOutputIsNotReportedAsSuccess) {
    std::string large = write("l.cod", "41 A\n");
    std::string command = std::string(BRINDLE_BIN) + " " + large + " " + large + " >/dev/full";
    auto r = testrun::run("/bin/sh", {"-c", command});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "standard output: cannot write\nstandard output: No space left on device\n");
}

}  // namespace
