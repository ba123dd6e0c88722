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
    auto f = new_file::create(path.c_str(), "w+b", standard_error_sink());
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
        auto f = new_file::create(dir.file("out.ttf").c_str(), "w+b", standard_error_sink());
        ASSERT_TRUE(f);
    }
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST(NewFile, ExistingPathIsRefusedAndUntouched) {
    testrun::scratch_dir dir;
    std::string path = dir.file("keep.ttf");
    testrun::write_file(path, "precious");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(new_file::create(path.c_str(), "w+b", standard_error_sink()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "open_file: writing to existing file \"" + path + "\" not allowed\n");
    EXPECT_EQ(testrun::read_file(path), "precious");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"keep.ttf"});
}

TEST(NewFile, FileAppearingMeanwhileIsNotReplaced) {
    testrun::scratch_dir dir;
    std::string path = dir.file("race.ttf");
    auto f = new_file::create(path.c_str(), "w+b", standard_error_sink());
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
    EXPECT_FALSE(new_file::create(path.c_str(), "w+b", standard_error_sink()));
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "Cannot open \"" + path + "\" in mode \"w+b\"\n" + path + ": No such file or directory\n");
}

TEST(NewFile, LongFileNamesStillGetATemporaryFile) {
    testrun::scratch_dir dir;
    std::string path = dir.file(std::string(250, 'n') + ".ttf");
    auto f = new_file::create(path.c_str(), "w+b", standard_error_sink());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->commit(kBytes), 0);
    EXPECT_EQ(testrun::read_file(path).size(), kBytes.size());
}

// With replace, the old file stays as it was until the new one is complete, then the new
// one takes its name (and its permissions) in one step.
TEST(NewFile, ReplacingKeepsTheOldFileUntilTheCommit) {
    testrun::scratch_dir dir;
    std::string path = dir.file("out.ttf");
    testrun::write_file(path, "old");
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        auto abandoned =
            new_file::create(path.c_str(), "w+b", standard_error_sink(), existing_file::replace);
        ASSERT_TRUE(abandoned);
        EXPECT_EQ(entries(dir.path()).size(), 2u);
    }
    EXPECT_EQ(testrun::read_file(path), "old");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"out.ttf"});

    auto f = new_file::create(path.c_str(), "w+b", standard_error_sink(), existing_file::replace);
    ASSERT_TRUE(f);
    EXPECT_EQ(testrun::read_file(path), "old");
    EXPECT_EQ(f->commit(kBytes), 0);
    EXPECT_EQ(testrun::read_file(path), std::string("font\0\1", 6));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"out.ttf"});
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A path that does not exist yet is simply created.
    auto fresh = new_file::create(dir.file("new.ttf").c_str(), "w+b", standard_error_sink(),
                                  existing_file::replace);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->commit(kBytes), 0);
    EXPECT_EQ(testrun::read_file(dir.file("new.ttf")).size(), kBytes.size());
}

// Only plain files are replaced: not a directory, not a link, not a device.
TEST(NewFile, ReplacingRefusesWhatIsNotAPlainFile) {
    testrun::scratch_dir dir;
    std::filesystem::create_directory(dir.file("sub"));
    testrun::write_file(dir.file("target"), "kept");
    std::filesystem::create_symlink(dir.file("target"), dir.file("link"));
    for (const std::string& path : {dir.file("sub"), dir.file("link"), std::string("/dev/null")}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(
            new_file::create(path.c_str(), "w+b", standard_error_sink(), existing_file::replace))
            << path;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "open_file: cannot replace \"" + path + "\": not a regular file\n");
    }
    EXPECT_EQ(testrun::read_file(dir.file("target")), "kept");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));
    EXPECT_EQ(entries(dir.path()).size(), 3u);
}

// gen, export and chart refuse an existing output until the run says replace; from then on
// they replace it. A command that fails leaves the old file.
TEST(NewFile, ReplaceCommandLetsEveryWriterReplaceItsOutput) {
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    for (const char* name : {"out.ttf", "gasp.bin", "map.svg"})
        testrun::write_file(dir.file(name), "old");
    const std::vector<std::string> writes{vera,  "font",    "dup",      "out.ttf", "gen",
                                          "dup", "gasp",    "gasp.bin", "export",  "3",
                                          "1",   "map.svg", "chart"};
    testrun::options opts;
    opts.cwd = dir.path();

    auto refused = testrun::kestrix(writes, opts);
    EXPECT_EQ(refused.status, 255);
    EXPECT_NE(refused.err.find("open_file: writing to existing file \"out.ttf\" not allowed\n"),
              std::string::npos)
        << refused.err;

    std::vector<std::string> replacing{"replace"};
    replacing.insert(replacing.end(), writes.begin(), writes.end());
    auto replaced = testrun::kestrix(replacing, opts);
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(testrun::read_file(dir.file("out.ttf")).rfind(std::string("\0\1\0\0", 4), 0), 0u);
    EXPECT_EQ(testrun::read_file(dir.file("gasp.bin")).size(), 12u);
    EXPECT_EQ(testrun::read_file(dir.file("map.svg")).rfind("<?xml", 0), 0u);
    EXPECT_EQ(entries(dir.path()).size(), 3u);

    // A chart of a subtable the font lacks fails before anything is written.
    auto failed = testrun::kestrix({"replace", vera, "font", "3", "0", "map.svg", "chart"}, opts);
    EXPECT_EQ(failed.status, 255);
    EXPECT_EQ(testrun::read_file(dir.file("map.svg")).rfind("<?xml", 0), 0u);
}

TEST(NewFile, PiecesAreWrittenInOrder) {
    testrun::scratch_dir dir;
    std::string path = dir.file("pieces.ttf");
    auto f = new_file::create(path.c_str(), "w+b", standard_error_sink());
    ASSERT_TRUE(f);
    const std::vector<BYTE> big(70000, 0xAB);  // more than a stdio buffer
    const std::span<const BYTE> whole(kBytes);
    const std::span<const BYTE> pieces[] = {whole.first(2), {}, big, whole.subspan(2)};
    EXPECT_EQ(f->commit(pieces), 0);
    EXPECT_EQ(testrun::read_file(path),
              "fo" + std::string(big.size(), '\xAB') + std::string("nt\0\1", 4));
}
