// Reading encoding files: which lines count, how a metrics line's fields are taken apart,
// and how codes are read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "encoding/encoding_file.h"

namespace {

std::vector<std::string> metrics_lines(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    std::vector<std::string> lines;
    for_each_metrics_line(
        f, [&](char* line) { lines.emplace_back(line); }, standard_error_sink());
    std::fclose(f);
    return lines;
}

std::string field(const char* p) {
    return p ? p : "<none>";
}

std::pair<std::string, std::string> scan(std::string line) {
    auto t = scan_metrics_line(line.data());
    return {field(t.code), field(t.name)};
}

}  // namespace

TEST(EncodingFile, OnlyLinesBetweenStartAndEndCharMetricsCount) {
    EXPECT_EQ(metrics_lines("FontName X\nC 1 ; N a ;\nStartCharMetrics 3\nC 2 ; N b ;\n"
                            "Comment C 3 ; N c ;\nC 4 ; N d ;\nEndCharMetrics\nC 5 ; N e ;\n"),
              (std::vector<std::string>{"C 2 ; N b ;\n", "C 4 ; N d ;\n"}));
    EXPECT_TRUE(metrics_lines("C 2 ; N b ;\nEndCharMetrics\n").empty());
    EXPECT_EQ(metrics_lines("StartCharMetricsX\nC 2 ; N b ;"),
              (std::vector<std::string>{"C 2 ; N b ;"}));
}

TEST(EncodingFile, LongLinesAreReadWhole) {
    std::string long_line = std::string(250, ' ') + "C 65 ; N A ;\n";  // 263 characters
    EXPECT_EQ(metrics_lines("StartCharMetrics\n" + long_line), std::vector<std::string>{long_line});
    // The tail of a long comment is still comment, and an EndCharMetrics past byte 255 of
    // a line does not end the file.
    std::string long_comment = "Comment " + std::string(300, 'x') + " C 1 ; N a ;\n";
    std::string late_end = std::string(255, 'x') + "EndCharMetrics\n";
    EXPECT_EQ(metrics_lines("StartCharMetrics\n" + long_comment + late_end + "C 2 ; N b ;\n"),
              (std::vector<std::string>{late_end, "C 2 ; N b ;\n"}));
}

// An endless line is refused at the limit rather than stored whole.
TEST(EncodingFile, EndlessLineIsRefusedAtTheLimit) {
    std::FILE* zero = std::fopen("/dev/zero", "r");
    ASSERT_NE(zero, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(for_each_metrics_line(
        zero, [](char*) {}, standard_error_sink(), "/dev/zero", 1 << 20));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\"/dev/zero\" is larger than 1 GiB, the limit for an input file\n");
    std::fclose(zero);
}

TEST(EncodingFile, FieldsGiveTheLastCodeAndNameTokens) {
    using p = std::pair<std::string, std::string>;
    EXPECT_EQ(scan("CH <0041> ; N A ;\n"), p("<0041>", "A"));
    EXPECT_EQ(scan("C 32 ; WX 600 ; N space ; B 0 0 0 0 ;\r\n"), p("32", "space"));
    EXPECT_EQ(scan("\tN x ; C 1 extra ; C 2 ; N y"), p("2", "y"));
    EXPECT_EQ(scan("C -1 ; N A ;"), p("-1", "A"));
    // A ";" glued to a token does not end the field, so the name field is swallowed.
    EXPECT_EQ(scan("C 65; N A ;"), p("65;", "<none>"));
    EXPECT_EQ(scan("WX 5 N A ; C 3 ;"), p("3", "<none>"));
    EXPECT_EQ(scan("; ; N ; C 7 ;"), p("7", "<none>"));
    EXPECT_EQ(scan("c 1 ; n a ;"), p("<none>", "<none>"));
    EXPECT_EQ(scan(""), p("<none>", "<none>"));
}

TEST(EncodingFile, CodesAreHexadecimalAfterALessThanSignOrSignedDecimal) {
    struct code_case {
        const char* token;
        bool reads;
        long long value;
    };
    for (const code_case& c :
         std::vector<code_case>{{"<0041>", true, 0x41},
                                {"<1f600>", true, 0x1F600},
                                {"<FFff", true, 0xFFFF},
                                {"<>", false, 0},
                                {"<0x41>", true, 0},
                                {"<-1>", false, 0},
                                {"65", true, 65},
                                {"+65", true, 65},
                                {"-1", true, -1},
                                {"12ab", true, 12},
                                {"0x41", true, 0},
                                {"x1", false, 0},
                                {"-", false, 0},
                                {"99999999999999999999999", true, 9223372036854775807LL}}) {
        long long v = 0;
        EXPECT_EQ(read_code_token(c.token, v), c.reads) << c.token;
        if (c.reads) {
            EXPECT_EQ(v, c.value) << c.token;
        }
    }
}
