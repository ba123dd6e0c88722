// A signal that ends the program while an output is pending removes its temporary file.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "font/new_file.h"
#include "font/signal_cleanup.h"
#include "support/run.h"

namespace {

class SignalDuringWrite : public ::testing::TestWithParam<int> {};

// The child's status when something else (a sanitizer's crash report) already handles the
// signal, so the writer leaves it alone.
constexpr int kHandledElsewhere = 5;

bool same_handler(int a, int b) {
    struct sigaction x {
    }, y{};
    sigaction(a, nullptr, &x);
    sigaction(b, nullptr, &y);
    return x.sa_handler == y.sa_handler;
}

TEST_P(SignalDuringWrite, RemovesTheTemporaryFileAndDiesOfTheSignal) {
    testrun::scratch_dir dir;
    const std::string path = dir.file("out.ttf");
    const int sig = GetParam();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit no_core{0, 0};  // the signals that dump core leave no core file
        setrlimit(RLIMIT_CORE, &no_core);
        auto pending = new_file::create(path.c_str(), "wb", standard_error_sink());
        if (!pending || std::filesystem::is_empty(dir.path())) _exit(3);
        // SIGBUS has a handler of its own, which tells a mapped input cut short apart.
        if (sig == SIGBUS ? !bus_errors_guarded() : !same_handler(sig, SIGTERM))
            _exit(kHandledElsewhere);
        raise(sig);
        _exit(4);  // not reached: the signal ends the child
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kHandledElsewhere)
        GTEST_SKIP() << "signal " << sig << " is handled by the test build";
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Every signal whose default action ends the process, those that dump core among them.
INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringWrite,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ, SIGQUIT,
                                           SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGPOLL,
                                           SIGSYS, SIGTRAP, SIGXCPU, SIGABRT, SIGSEGV, SIGBUS,
                                           SIGFPE, SIGILL, SIGPWR, SIGSTKFLT, SIGRTMIN, SIGRTMAX),
                         [](const auto& info) {
                             const int sig = info.param;
                             if (sig >= SIGRTMIN) return "RT" + std::to_string(sig - SIGRTMIN);
                             return std::string(sigabbrev_np(sig));
                         });

}  // namespace
