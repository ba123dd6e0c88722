// Big-endian primitives and the file-opening rules.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "font/fileio.h"
#include "font/new_file.h"
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

// A font file is read through a mapping; the stream reads it in place and copies it only
// when written to, leaving the file as it was.
TEST(MappedFile, StreamReadsInPlaceAndCopiesOnWrite) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("mapped.bin");
    testrun::write_file(path, std::string("\x01\x02\x03\x04\x05", 5));
    file_handle f = open_file(path.c_str(), "rb", standard_error_sink());
    ASSERT_TRUE(f);
    if (!bus_errors_guarded()) GTEST_SKIP() << "SIGBUS is handled by the test build";
    std::shared_ptr<const mapped_file> mapping = mapped_file::map(f.get(), path.c_str());
    ASSERT_TRUE(mapping);
    mem_stream s(mapping);
    EXPECT_EQ(s.contents().data(), mapping->bytes().data());
    EXPECT_EQ(s.size(), 5u);
    EXPECT_EQ(read_ulong(s), 0x01020304u);
    EXPECT_EQ(s.get(), 5);
    EXPECT_EQ(s.get(), EOF);

    s.seek(1);
    s.put(9);
    EXPECT_EQ(s.bytes(), (std::vector<BYTE>{1, 9, 3, 4, 5}));
    EXPECT_NE(s.contents().data(), mapping->bytes().data());
    EXPECT_EQ(mapping->bytes()[1], 2);  // the mapping, and the file, unchanged
    EXPECT_EQ(testrun::read_file(path), std::string("\x01\x02\x03\x04\x05", 5));

    // Nothing to map: an empty file, or a stream that is not a regular file.
    const std::string empty = dir.file("empty.bin");
    testrun::write_file(empty, "");
    file_handle e = open_file(empty.c_str(), "rb", standard_error_sink());
    EXPECT_FALSE(mapped_file::map(e.get(), empty.c_str()));
}

// Another program cutting a mapped font file short ends the run with a message naming the
// file and status 255, not a crash, and the pending output is removed.
TEST(MappedFile, FileCutShortWhileMappedEndsTheRunWithAMessage) {
    if (!bus_errors_guarded()) GTEST_SKIP() << "SIGBUS is handled by the test build";
    testrun::scratch_dir dir;
    const std::string path = dir.file("cut.ttf");
    const std::string err = dir.file("err.txt");
    const std::string out = dir.file("out.ttf");
    testrun::write_file(path, std::string(3 * 4096, 'x'));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::FILE* to = std::freopen(err.c_str(), "w", stderr);
        file_handle f = open_file(path.c_str(), "rb", standard_error_sink());
        auto pending = new_file::create(out.c_str(), "wb", standard_error_sink());
        std::shared_ptr<const mapped_file> mapping = mapped_file::map(f.get(), path.c_str());
        if (!to || !mapping || !pending || truncate(path.c_str(), 0) != 0) _exit(3);
        volatile BYTE last = mapping->bytes().back();
        _exit(last == 'x' ? 4 : 5);  // not reached: the page is gone
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 255);
    EXPECT_EQ(testrun::read_file(err),
              "load_font: \"" + path + "\" was cut short while it was being read\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}
