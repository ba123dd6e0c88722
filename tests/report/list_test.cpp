#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "font/font.h"
#include "report/list.h"
#include "report/report_fonts.h"
#include "support/run.h"
#include "tables/registry.h"

namespace {

std::string expected(const std::string& name) {
    return testrun::read_file(std::string(TEST_DATA_DIR) + "/report/" + name);
}

// The bundled fonts are listed from the project directory, so the report names them
// as fonts/<file> whatever the checkout's path.
testrun::result list_bundled(const std::string& file, std::vector<std::string> extra = {}) {
    testrun::options opts;
    opts.cwd = std::filesystem::path(testrun::sample_font(file)).parent_path().parent_path();
    std::vector<std::string> args{"fonts/" + file, "font"};
    args.insert(args.end(), extra.begin(), extra.end());
    return testrun::kestrix(args, opts);
}

// Built fonts are listed from their scratch directory under a relative name.
struct built_font {
    testrun::scratch_dir dir;
    std::string name;
    built_font(const testfont::font_builder& b, std::string file) : name(std::move(file)) {
        b.write(dir.file(name));
    }
    testrun::result run(std::vector<std::string> args, bool merge = false) const {
        testrun::options opts;
        opts.cwd = dir.path();
        opts.merge_streams = merge;
        args.insert(args.begin(), {name, "font"});
        return testrun::kestrix(args, opts);
    }
};

}  // namespace

class BundledFontReport : public testing::TestWithParam<const char*> {};

TEST_P(BundledFontReport, MatchesTheReviewedReport) {
    const std::string file = std::string(GetParam()) + ".ttf";
    auto r = list_bundled(file, {"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected(std::string(GetParam()) + ".list"));
    EXPECT_EQ(r.err, "read_glyph: glyph 98: warning: composite glyph(s) ignored\n");
}

INSTANTIATE_TEST_SUITE_P(Report, BundledFontReport, testing::Values("Vera", "VeraMono"),
                         [](const auto& info) { return std::string(info.param); });

TEST(ListReport, StandardFontShowsFormat0And4KernAndOs2Revision1) {
    built_font font(testfont::standard_font(), "standard.ttf");
    auto r = font.run({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected("standard.list"));
    EXPECT_EQ(r.err, "");
}

TEST(ListReport, EverySubtableLayoutNameKindAndOs2Revision0) {
    built_font font(reportfont::sections_parts().builder(), "sections.ttf");
    auto r = font.run({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected("sections.list"));
    // The format 2 subtable holds its keys but not the subHeader they select.
    EXPECT_EQ(r.err,
              "Warning: cmap 1.1 format 2: subHeaderKeys select 1 subHeaders, 0 in the subtable\n"
              "Byte-encoding cmap should have 262 bytes, but has 134 instead\n"
              "Warning: ignoring kern format 2\n");
}

TEST(ListReport, MissingAndUnreadTablesAreReportedAndSkipped) {
    built_font font(reportfont::sparse_font(), "sparse.ttf");
    const std::string loading =
        "Warning: sparse.ttf: invalid checksum, file possibly not a TrueType font\n"
        "No \"head\" table in font \"sparse.ttf\"!\n"
        "do_os2: version 6 of OS/2 table unknown\n"
        "font: no OS/2 table\n"
        "No \"hmtx\" table in font \"sparse.ttf\"!\n"
        "font: no hmtx table\n"
        "No \"head\" table in font \"sparse.ttf\"!\n"
        "font: no head table\n"
        "No \"head\" table in font \"sparse.ttf\"!\n"
        "font: no loca table\n"
        "do_glyf: no \"loca\" table\n"
        "font: no glyf table\n";
    auto r = font.run({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected("sparse.list"));
    EXPECT_EQ(r.err, loading +
                         "do_list: no os2 table in font\n"
                         "No \"hmtx\" table in font \"sparse.ttf\"!\n"
                         "do_list: no hmtx table in font\n"
                         "No \"head\" table in font \"sparse.ttf\"!\n"
                         "do_list: no head table in font\n");
}

// With both streams in one file, each diagnostic sits where the report had got to.
TEST(ListReport, DiagnosticsInterleaveWithTheReport) {
    built_font font(reportfont::sparse_font(), "sparse.ttf");
    auto r = font.run({"list"}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected("sparse.merged"));
}

TEST(ListReport, FontWithOneTableListsOnlyItsDirectory) {
    built_font font(reportfont::gasp_only_font(), "gasp.ttf");
    auto r = font.run({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Font file: gasp.ttf\n"
              "Font contains 1 table:\n"
              "---------------------------------------------------\n"
              "Name  Checksum   Offset   Length Elab Ptr ImportPtr\n"
              "---------------------------------------------------\n"
              "gasp 0x00000003       28        8 00000000 00000000\n"
              "---------------------------------------------------\n"
              "\n"
              "No (optional) kerning tables in font.\n");
    std::string err =
        "Warning: gasp.ttf: invalid checksum, file possibly not a TrueType font\n"
        "No \"head\" table in font \"gasp.ttf\"!\n";
    for (const char* tag :
         {"maxp", "cmap", "name", "post", "OS/2", "hhea", "hmtx", "head", "loca", "glyf"})
        err += "No \"" + std::string(tag) + "\" table in font \"gasp.ttf\"!\nfont: no " + tag +
               " table\n";
    for (auto [tag, word] : {std::pair{"post", "post"},
                             {"name", "name"},
                             {"cmap", "cmap"},
                             {"hhea", "hhea"},
                             {"maxp", "maxp"},
                             {"OS/2", "os2"},
                             {"head", "head"}})
        err += "No \"" + std::string(tag) + "\" table in font \"gasp.ttf\"!\ndo_list: no " + word +
               " table in font\n";
    EXPECT_EQ(r.err, err);
}

// kern is parsed by the first listing, so the second shows it attached; every other
// block keeps the number it was shown with first. list consumes its operand.
TEST(ListReport, IdentifiersStayPutAndKernAppearsOnceParsed) {
    built_font font(testfont::standard_font(), "standard.ttf");
    auto r = font.run({"dup", "list", "list", "stack"});
    EXPECT_EQ(r.status, 0);
    const std::string first = expected("standard.list");
    std::string second = first;
    const auto kern_row = second.find("\nkern 0x") + 1;
    ASSERT_NE(kern_row, 0u);
    ASSERT_EQ(second.substr(kern_row + 34, 8), "00000000");
    second.replace(kern_row + 34, 8, "0000000B");
    EXPECT_EQ(r.out, first + second + "stack: stack is empty\n");
    EXPECT_EQ(r.err, "");
}

TEST(ListCommand, RefusesAnythingButAFont) {
    auto empty = testrun::kestrix({"list"});
    EXPECT_EQ(empty.status, 255);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "list: expected font\nkestrix: exiting due to error\n");

    auto text = testrun::kestrix({"Vera.ttf", "list", "stack"});
    EXPECT_EQ(text.status, 255);
    EXPECT_EQ(text.out, "");
    EXPECT_EQ(text.err, "list: expected font\nkestrix: exiting due to error\n");
}

// Imported bytes are attached by the import command; here they are attached by hand.
TEST(ListDirectory, AttachedBlocksShowEightDigitsAndKeepThem) {
    run_notices notices;
    auto font = load_font(testrun::sample_font("VeraMono.ttf").c_str(), {false, notices});
    ASSERT_TRUE(font);
    ASSERT_TRUE(load_elab_table(*font, "maxp", 1));
    ASSERT_TRUE(load_elab_table(*font, "name", 1));
    table_entry* gasp = find_table(*font, "gasp", 1);
    table_entry* name = find_table(*font, "name", 1);
    gasp->ImportPtr = std::make_unique<std::vector<BYTE>>(12, BYTE{0});
    name->ImportPtr = std::make_unique<std::vector<BYTE>>(6, BYTE{0});

    display_ids numbering;  // one run's
    auto directory_rows = [&] {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        do_list(*font, numbering);
        std::fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        const auto begin =
            out.find("ImportPtr\n---------------------------------------------------\n");
        const auto end = out.find("---------------------------------------------------\n\n");
        return out.substr(begin + 62, end - begin - 62);
    };
    const std::string rows = directory_rows();
    const std::string again = directory_rows();
    EXPECT_EQ(rows, again);

    // Each row is 51 characters; the two columns are 8 upper-case hex digits each.
    auto column_of = [&](const std::string& tag, int column) {
        const auto at = rows.find(tag + " 0x");
        EXPECT_NE(at, std::string::npos) << tag;
        return rows.substr(at + 34 + 9 * column, 8);
    };
    for (std::size_t pos = 0; pos < rows.size(); pos = rows.find('\n', pos) + 1)
        EXPECT_EQ(rows.find('\n', pos) - pos, 51u) << rows.substr(pos, 60);
    EXPECT_EQ(column_of("gasp", 0), "00000000");
    EXPECT_EQ(column_of("cmap", 0), "00000000");
    EXPECT_EQ(column_of("cmap", 1), "00000000");
    const std::string ids[] = {column_of("maxp", 0), column_of("name", 0), column_of("name", 1),
                               column_of("gasp", 1)};
    for (const std::string& id : ids) {
        EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
        EXPECT_NE(id, "00000000");
    }
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) EXPECT_NE(ids[i], ids[j]);
}

// Versions 2 to 5 print the version 1 lines, then the fields each later version adds, with
// the version in every line's prefix; format 12 and kept subtables list their own way.
TEST(ListReport, LaterOS2VersionsAndGroupAndKeptSubtables) {
    auto parts = testfont::standard_parts();
    parts.os2.version = 5;
    parts.os2.sxHeight = -3;
    parts.cmap.encodings.push_back(
        {3, 10, testfont::bytes{0, 12, 0, 0, 0,    0, 0, 28, 0,    0, 0, 0, 0, 0,
                                0, 1,  0, 1, 0xF6, 0, 0, 1,  0xF6, 1, 0, 0, 0, 3},
         std::nullopt});
    parts.cmap.encodings.push_back(
        {0, 5, testfont::bytes{0, 14, 0, 0, 0, 10, 0, 0, 0, 0}, std::nullopt});
    built_font font(parts.builder(), "later.ttf");
    auto r = font.run({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("os2->v.rev5->ulCodePageRange2 = 0 = 0x00000000\n"
                         "os2->v.rev5->sxHeight = -3 = 0xfffffffd\n"
                         "os2->v.rev5->sCapHeight = 1493 = 0x000005d5\n"
                         "os2->v.rev5->usDefaultChar = 0 = 0x00000000\n"
                         "os2->v.rev5->usBreakChar = 32 = 0x00000020\n"
                         "os2->v.rev5->usMaxContext = 2 = 0x00000002\n"
                         "os2->v.rev5->usLowerOpticalPointSize = 0 = 0x00000000\n"
                         "os2->v.rev5->usUpperOpticalPointSize = 65535 = 0x0000ffff\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Maps 1 group(s):\n"
                         "format=12 reserved=0 length=28 language=0 numGroups=1\n"
                         "startCharCode endCharCode startGlyphID:\n"
                         "\t0x01f600\t0x01f601\t3\n"
                         "===================================\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("format=14 length=10 numVarSelectorRecords=0: variation sequences, maps "
                         "no codes\nvarSelector defaultUVS nonDefaultUVS:\n===="),
              std::string::npos);
}
