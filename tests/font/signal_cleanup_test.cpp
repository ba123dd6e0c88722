// A signal that ends the program while an output is pending removes its temporary file.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "font/new_file.h"
#include "support/run.h"

namespace {

class SignalDuringWrite : public ::testing::TestWithParam<int> {};

TEST_P(SignalDuringWrite, RemovesTheTemporaryFileAndDiesOfTheSignal) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("out.ttf");
    const int sig = GetParam();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto pending = new_file::create(path.c_str(), "wb");
        if (!pending || std::filesystem::is_empty(dir.path())) _exit(3);
        raise(sig);
        _exit(4);  // not reached: the signal ends the child
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringWrite,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ));

}  // namespace
