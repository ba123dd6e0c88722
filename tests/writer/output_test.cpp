// The output layout, padding and checksums, on fonts assembled in memory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "font/font.h"
#include "support/run.h"
#include "writer/output.h"
#include "writer/sfnt_view.h"

namespace {

struct source_table {
    std::string tag;
    std::string data;
};

// A loaded font whose source file holds the tables in reverse order, so that output
// offsets never coincide with source offsets by accident.
std::unique_ptr<font_object> make_font(const std::vector<source_table>& tables) {
    auto font = std::make_unique<font_object>();
    font->font_path = "memory.ttf";
    font->otable = std::make_unique<offset_table>();
    font->otable->version = 0x00010000;
    font->otable->numTables = static_cast<USHORT>(tables.size());
    std::vector<BYTE> file(12 + 16 * tables.size(), 0);
    font->table_dir.resize(tables.size());
    for (size_t i = tables.size(); i-- > 0;) {
        table_entry& e = font->table_dir[i];
        std::copy_n(tables[i].tag.c_str(), 4, e.tag);
        e.offset = static_cast<ULONG>(file.size());
        e.length = static_cast<ULONG>(tables[i].data.size());
        file.insert(file.end(), tables[i].data.begin(), tables[i].data.end());
        file.push_back(0xEE);  // junk between source tables must not be copied
    }
    font->in_stream = mem_stream(std::move(file));
    return font;
}

std::string head_bytes(uint32_t stale_adjustment) {
    std::string h(54, '\0');
    for (size_t i = 0; i < 54; ++i) h[i] = static_cast<char>(i * 7 + 1);
    for (int k = 0; k < 4; ++k) h[8 + k] = static_cast<char>(stale_adjustment >> (24 - 8 * k));
    return h;
}

sfnt::view assemble(font_object& font, int expected_status = 0) {
    mem_stream out;
    EXPECT_EQ(assemble_font(font, out, "out.ttf"), expected_status);
    return {std::string(out.bytes().begin(), out.bytes().end())};
}

std::string with_zero_adjustment(std::string head) {
    head.replace(8, 4, 4, '\0');
    return head;
}

}  // namespace

TEST(OutputLayout, TablesFollowTheDirectoryInSourceOrderPaddedToFour) {
    const std::string head = head_bytes(0x12345678);
    auto font =
        make_font({{"zzzz", "abcde"}, {"head", head}, {"abcd", "12345678"}, {"cvt ", "xyz"}});
    testing::internal::CaptureStderr();
    sfnt::view v = assemble(*font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(v.version(), 0x00010000u);
    EXPECT_EQ(v.numTables(), 4);
    EXPECT_EQ(v.searchRange(), 64);
    EXPECT_EQ(v.entrySelector(), 2);
    EXPECT_EQ(v.rangeShift(), 0);

    auto dir = v.directory();
    ASSERT_EQ(dir.size(), 4u);
    const std::vector<std::string> tags = {"zzzz", "head", "abcd", "cvt "};
    const std::vector<uint32_t> offsets = {76, 84, 140, 148};
    const std::vector<uint32_t> lengths = {5, 54, 8, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(dir[i].tag, tags[i]);
        EXPECT_EQ(dir[i].offset, offsets[i]) << tags[i];
        EXPECT_EQ(dir[i].length, lengths[i]) << tags[i];
    }
    ASSERT_EQ(v.bytes.size(), 152u);
    EXPECT_EQ(v.bytes.substr(76, 8), std::string("abcde\0\0\0", 8));
    EXPECT_EQ(v.bytes.substr(138, 2), std::string(2, '\0'));
    EXPECT_EQ(v.bytes.substr(140, 12), std::string("12345678xyz\0", 12));

    // Table checksums cover the padding; head's is taken with checkSumAdjustment as 0.
    EXPECT_EQ(dir[0].checkSum, sfnt::checksum("abcde"));
    EXPECT_EQ(dir[1].checkSum, sfnt::checksum(with_zero_adjustment(head)));
    EXPECT_EQ(dir[2].checkSum, sfnt::checksum("12345678"));
    EXPECT_EQ(dir[3].checkSum, sfnt::checksum("xyz"));

    // Only the adjustment changed in head, and the whole file sums to the magic value.
    EXPECT_EQ(with_zero_adjustment(v.table("head")), with_zero_adjustment(head));
    EXPECT_NE(sfnt::u32(v.bytes, 84 + 8), 0x12345678u);
    EXPECT_EQ(sfnt::checksum(v.bytes), 0xB1B0AFBAu);
}

// An empty table written just before head shares head's offset; each keeps its own
// checksum, and only head's loses the stale adjustment.
TEST(OutputLayout, EmptyTableBeforeHeadKeepsItsOwnChecksum) {
    const std::string head = head_bytes(0x12345678);
    auto font = make_font({{"glyf", ""}, {"head", head}, {"loca", "1234"}});
    sfnt::view v = assemble(*font);
    auto dir = v.directory();
    ASSERT_EQ(dir.size(), 3u);
    EXPECT_EQ(dir[0].offset, dir[1].offset);
    EXPECT_EQ(dir[0].checkSum, 0u);
    EXPECT_EQ(dir[1].checkSum, sfnt::checksum(with_zero_adjustment(head)));
    EXPECT_EQ(dir[2].checkSum, sfnt::checksum("1234"));
    EXPECT_EQ(sfnt::checksum(v.bytes), 0xB1B0AFBAu);
}

class SearchFields : public testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(SearchFields, AreRecomputedFromTheTableCount) {
    auto [n, range, selector, shift] = GetParam();
    std::vector<source_table> tables;
    for (int i = 0; i < n; ++i) tables.push_back({"t" + std::to_string(100 + i), "abcd"});
    auto font = make_font(tables);
    font->otable->searchRange = 1;  // stale values in the source are not kept
    testing::internal::CaptureStderr();
    sfnt::view v = assemble(*font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "out.ttf: cannot locate output file checksum\n");
    EXPECT_EQ(v.numTables(), n);
    EXPECT_EQ(v.searchRange(), range);
    EXPECT_EQ(v.entrySelector(), selector);
    EXPECT_EQ(v.rangeShift(), shift);
    EXPECT_EQ(v.bytes.size(), 12u + 20u * static_cast<size_t>(n));
}

INSTANTIATE_TEST_SUITE_P(Counts, SearchFields,
                         testing::Values(std::make_tuple(1, 16, 0, 0),
                                         std::make_tuple(9, 128, 3, 16),
                                         std::make_tuple(16, 256, 4, 0),
                                         std::make_tuple(17, 256, 4, 16)));

TEST(OutputLayout, ImportedBytesReplaceEvenARegeneratedTable) {
    auto font = make_font({{"cmap", "source cmap bytes"}, {"head", head_bytes(0)}});
    font->table_dir[0].ImportPtr =
        std::make_unique<std::vector<BYTE>>(std::vector<BYTE>{1, 2, 3, 4, 5, 6});
    font->table_dir[0].length = 6;
    sfnt::view v = assemble(*font);
    EXPECT_EQ(v.table("cmap"), std::string("\1\2\3\4\5\6"));
    EXPECT_EQ(v.find("cmap")->length, 6u);
    EXPECT_EQ(v.find("head")->offset, 12u + 32u + 8u);
    EXPECT_EQ(sfnt::checksum(v.bytes), 0xB1B0AFBAu);
}

// gen writes the tables it copies from the loaded file without gathering them first; the
// file must hold what assemble_font gathers, a zero-length table past the source included.
TEST(OutputLayout, FileWrittenInPiecesIsTheAssembledOne) {
    auto font = make_font({{"cmap", "source cmap bytes"},
                           {"glyf", "odd"},
                           {"head", head_bytes(0xDEADBEEF)},
                           {"zero", ""},
                           {"name", "source name"}});
    for (const char* tag : {"cmap", "name"}) {  // imported: regenerating them needs records
        auto& entry = *find_table(*font, tag, 0);
        entry.ImportPtr = std::make_unique<std::vector<BYTE>>(7, BYTE{0x5A});
        entry.length = 5;
    }
    font->table_dir[3].offset = 1u << 20;
    const sfnt::view assembled = assemble(*font);
    testrun::scratch_dir dir;
    const std::string path = dir.file("pieces.ttf");
    ASSERT_EQ(generate_font(path.c_str(), *font), 0);
    EXPECT_EQ(testrun::read_file(path), assembled.bytes);
    EXPECT_EQ(sfnt::checksum(assembled.bytes), 0xB1B0AFBAu);
    EXPECT_EQ(assembled.table("glyf"), "odd");
}

TEST(OutputLayout, HeadTooShortForTheAdjustmentIsLeftAlone) {
    auto font = make_font({{"head", "12345678"}, {"next", "NEXT"}});
    testing::internal::CaptureStderr();
    sfnt::view v = assemble(*font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "out.ttf: cannot locate output file checksum\n");
    EXPECT_EQ(v.table("head"), "12345678");
    EXPECT_EQ(v.table("next"), "NEXT");
    EXPECT_EQ(v.find("head")->checkSum, sfnt::checksum("12345678"));
}

TEST(OutputLayout, TableReachingPastTheSourceFails) {
    auto font = make_font({{"head", head_bytes(0)}, {"glyf", "abcd"}});
    font->table_dir[1].length = 1000;
    testing::internal::CaptureStderr();
    assemble(*font, -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "file_copy: end of file on input\n");
}

TEST(OutputPrimitives, ExportShapeHasNoDirectoryRecord) {
    auto font = make_font({{"abcd", "12345"}});
    mem_stream out;
    int pad = -1;
    EXPECT_EQ(generate_table(out, *font, font->table_dir[0], 0, 0, pad), 5);
    EXPECT_EQ(pad, 3);
    EXPECT_EQ(std::string(out.bytes().begin(), out.bytes().end()), std::string("12345\0\0\0", 8));
}

TEST(OutputPrimitives, PaddingChecksumsAndRawWrites) {
    mem_stream out;
    EXPECT_EQ(pad_to_4(out), 0);
    out.write(reinterpret_cast<const BYTE*>("\x01\x02\x03\x04\x05"), 5);
    EXPECT_EQ(pad_to_4(out), 3);
    EXPECT_EQ(pad_to_4(out), 0);
    EXPECT_EQ(out.size(), 8u);
    // A word cut short by the end of the stream counts its missing bytes as zero.
    mem_stream odd(std::vector<BYTE>{0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    EXPECT_EQ(checksum_of(odd, 0, 6), 0x01020304u + 0x05060000u);
    EXPECT_EQ(checksum_of(odd, 0, 6), file_checksum(odd, 0, 6, standard_error_sink()));
    EXPECT_EQ(checksum_of(odd, 4, 100), 0x05060000u);
    EXPECT_EQ(checksum_of(odd, 8, 4), 0u);
    // The whole-word loop, vectorised where the processor allows, against a byte at a time.
    std::vector<BYTE> many(4099);
    ULONG expected = 0;
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = static_cast<BYTE>(i * 131 + 7);
        expected += ULONG{many[i]} << (24 - 8 * (i % 4));
    }
    EXPECT_EQ(checksum_of(many), expected);
    EXPECT_EQ(checksum_of(std::span<const BYTE>(many).first(5)), 0x078A0D90u + 0x13000000u);

    std::vector<BYTE> data{9, 8, 7};
    mem_stream raw;
    EXPECT_EQ(generate_raw(&data, 3, raw, 4, standard_error_sink()), 3);
    EXPECT_EQ(raw.bytes(), (std::vector<BYTE>{0, 0, 0, 0, 9, 8, 7}));
    EXPECT_EQ(generate_raw(nullptr, 3, raw, 0, standard_error_sink()), -1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(generate_raw(&data, 4, raw, 0, standard_error_sink()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "generate_raw: cannot write to file\n");
}
