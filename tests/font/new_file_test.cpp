// Output files appear complete or not at all, and never replace an existing file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "font/new_file.h"
#include "support/run.h"

namespace {

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

const std::vector<BYTE> kBytes{'f', 'o', 'n', 't', 0, 1};

}  // namespace

TEST(NewFile, CommitPutsTheBytesInPlaceAndLeavesNoTemporaryFile) {
    testrun::scratch_dir dir;
    std::string path = dir.file("out.ttf");
    auto f = new_file::create(path.c_str(), "w+b");
    ASSERT_TRUE(f);
    // While the content is being built, only a hidden temporary file exists.
    auto pending = entries(dir.path());
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].rfind(".out.ttf.kestrix-", 0), 0u) << pending[0];
    EXPECT_FALSE(testrun::file_exists(path));

    EXPECT_EQ(f->commit(kBytes), 0);
    EXPECT_EQ(testrun::read_file(path), std::string("font\0\1", 6));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"out.ttf"});
}

TEST(NewFile, AbandonedReservationLeavesNothing) {
    testrun::scratch_dir dir;
    {
        auto f = new_file::create(dir.file("out.ttf").c_str(), "w+b");
        ASSERT_TRUE(f);
    }
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST(NewFile, ExistingPathIsRefusedAndUntouched) {
    testrun::scratch_dir dir;
    std::string path = dir.file("keep.ttf");
    testrun::write_file(path, "precious");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(new_file::create(path.c_str(), "w+b"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "open_file: writing to existing file \"" + path + "\" not allowed\n");
    EXPECT_EQ(testrun::read_file(path), "precious");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"keep.ttf"});
}

TEST(NewFile, FileAppearingMeanwhileIsNotReplaced) {
    testrun::scratch_dir dir;
    std::string path = dir.file("race.ttf");
    auto f = new_file::create(path.c_str(), "w+b");
    ASSERT_TRUE(f);
    testrun::write_file(path, "someone else's");
    testing::internal::CaptureStderr();
    EXPECT_EQ(f->commit(kBytes), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "new_file: \"" + path + "\" appeared while writing; it is left as it was\n");
    EXPECT_EQ(testrun::read_file(path), "someone else's");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"race.ttf"});
}

TEST(NewFile, MissingDirectoryIsReportedLikeOpenFile) {
    testrun::scratch_dir dir;
    std::string path = dir.file("no/such/dir/out.ttf");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(new_file::create(path.c_str(), "w+b"));
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "Cannot open \"" + path + "\" in mode \"w+b\"\n" + path + ": No such file or directory\n");
}

TEST(NewFile, LongFileNamesStillGetATemporaryFile) {
    testrun::scratch_dir dir;
    std::string path = dir.file(std::string(250, 'n') + ".ttf");
    auto f = new_file::create(path.c_str(), "w+b");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->commit(kBytes), 0);
    EXPECT_EQ(testrun::read_file(path).size(), kBytes.size());
}
