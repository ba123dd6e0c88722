// Big-endian primitives and the file-opening rules.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "font/fileio.h"
#include "support/run.h"

namespace {

mem_stream stream_of(std::vector<BYTE> bytes) {
    return mem_stream(std::move(bytes));
}

TEST(Vread, BigEndianWidthsAndSignedness) {
    mem_stream s = stream_of({0x12, 0x34, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xFE, 0x80});
    USHORT u = 0;
    ULONG l = 0;
    SHORT sh = 0;
    CHAR c = 0;
    vread(u, 2, s);
    vread(l, 4, s);
    vread(sh, 2, s);
    vread(c, 1, s);
    EXPECT_EQ(u, 0x1234);
    EXPECT_EQ(l, 0x00010000u);
    EXPECT_EQ(sh, -2);
    EXPECT_EQ(c, -128);
}

TEST(Vread, PastTheEndReadsZeros) {
    mem_stream s = stream_of({0xAB});
    ULONG l = 7;
    vread(l, 4, s);
    EXPECT_EQ(l, 0xAB000000u);
    USHORT u = 7;
    vread(u, 2, s);
    EXPECT_EQ(u, 0);
    s.seek(1000000);
    EXPECT_EQ(read_ulong(s), 0u);
}

TEST(Vread, UnexpectedWidthTransfersNothing) {
    mem_stream s = stream_of({1, 2, 3, 4});
    ULONG l = 7;
    testing::internal::CaptureStderr();
    vread(l, 3, s);
    vwrite(l, 3, s);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vread: integer length 3 unexpected!\nvwrite: integer length 3 unexpected!\n");
    EXPECT_EQ(l, 7u);
    EXPECT_EQ(s.tell(), 0);
    EXPECT_EQ(s.bytes(), (std::vector<BYTE>{1, 2, 3, 4}));
}

TEST(Vwrite, BigEndianAndGapFilling) {
    mem_stream s;
    vwrite(ULONG{0x5F0F3CF5}, 4, s);
    vwrite(SHORT{-2}, 2, s);
    s.seek(8);
    vwrite(BYTE{7}, 1, s);
    EXPECT_EQ(s.bytes(), (std::vector<BYTE>{0x5F, 0x0F, 0x3C, 0xF5, 0xFF, 0xFE, 0, 0, 7}));
}

TEST(FileToMemory, OnlyWholeRangesInsideTheStream) {
    mem_stream s = stream_of({1, 2, 3, 4, 5});
    auto part = file_to_memory(s, 1, 3, standard_error_sink());
    ASSERT_TRUE(part);
    EXPECT_EQ(*part, (std::vector<BYTE>{2, 3, 4}));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file_to_memory(s, 3, 3, standard_error_sink()));
    EXPECT_FALSE(file_to_memory(s, -1, 1, standard_error_sink()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(OpenFile, NeverOverwrites) {
    testrun::scratch_dir dir;
    std::string path = dir.file("existing");
    testrun::write_file(path, "keep");
    for (const char* mode : {"wb", "w+b"}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(open_file(path.c_str(), mode, standard_error_sink()));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "open_file: writing to existing file \"" + path + "\" not allowed\n");
    }
    EXPECT_EQ(testrun::read_file(path), "keep");
    EXPECT_TRUE(open_file(path.c_str(), "rb", standard_error_sink()));

    std::string fresh = dir.file("fresh");
    {
        file_handle f = open_file(fresh.c_str(), "wb", standard_error_sink());
        ASSERT_TRUE(f);
        std::fputs("new", f.get());
    }
    EXPECT_EQ(testrun::read_file(fresh), "new");
}

TEST(OpenFile, DashMeansTheStandardStreams) {
    file_handle in = open_file("-", "rb", standard_error_sink());
    EXPECT_EQ(in.get(), stdin);
    file_handle out = open_file("-", "wb", standard_error_sink());
    EXPECT_EQ(out.get(), stdout);
    EXPECT_TRUE(out.is_standard());
    out.close();
    EXPECT_EQ(std::fflush(stdout), 0);  // still open: only flushed

    testing::internal::CaptureStderr();
    EXPECT_FALSE(open_file("-", "a", standard_error_sink()));
    EXPECT_FALSE(open_file(nullptr, "r", standard_error_sink()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "open_file: file name \"-\" must have mode \"r\" or \"w\"\n");
}

TEST(OpenFile, MissingFileReportsModeAndSystemError) {
    testrun::scratch_dir dir;
    std::string path = dir.file("none");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(open_file(path.c_str(), "rb", standard_error_sink()));
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "Cannot open \"" + path + "\" in mode \"rb\"\n" + path + ": No such file or directory\n");
}

}  // namespace

// An endless stream is refused once it passes the limit, before more is stored.
TEST(ReadAll, EndlessStreamIsRefusedAtTheLimit) {
    std::FILE* zero = std::fopen("/dev/zero", "rb");
    ASSERT_NE(zero, nullptr);
    testing::internal::CaptureStderr();
    errno = 0;
    EXPECT_FALSE(read_all(zero, "/dev/zero", standard_error_sink(), 1 << 20));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\"/dev/zero\" is larger than 1 GiB, the limit for an input file\n");
    std::fclose(zero);
}
