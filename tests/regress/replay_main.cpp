// Replays the kept inputs of one fuzz target (REGRESS_INPUTS) through its
// LLVMFuzzerTestOneInput, one test per file. A crash, a sanitizer report or a leak fails
// the run; a hang runs into the test's time limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness.h"

#if defined(__SANITIZE_ADDRESS__)
#define KESTRIX_REPLAY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRIX_REPLAY_ASAN 1
#endif
#endif
#ifdef KESTRIX_REPLAY_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

namespace fs = std::filesystem;

namespace {

std::vector<std::string> kept_inputs() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(REGRESS_INPUTS, ec))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_input(const std::string& name) {
    std::ifstream in(fs::path(REGRESS_INPUTS) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program's own output is not what is tested, and some inputs print a great deal:
// it goes to /dev/null while an input runs. Sanitizer reports keep the real stream.
class quiet_streams {
  public:
    quiet_streams() {
        std::fflush(stdout);
        std::fflush(stderr);
        out_ = ::dup(1);
        err_ = ::dup(2);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::close(null);
    }
    ~quiet_streams() {
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(out_, 1);
        ::dup2(err_, 2);
        ::close(out_);
        ::close(err_);
    }
    quiet_streams(const quiet_streams&) = delete;
    quiet_streams& operator=(const quiet_streams&) = delete;

  private:
    int out_ = -1;
    int err_ = -1;
};

void replay(const std::string& bytes) {
    quiet_streams quiet;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

class kept_input : public testing::TestWithParam<std::string> {};

TEST_P(kept_input, runs_to_completion) {
    replay(read_input(GetParam()));
    SUCCEED();
}

INSTANTIATE_TEST_SUITE_P(regress, kept_input, testing::ValuesIn(kept_inputs()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(kept_input);

TEST(replay, empty_input) {
    replay({});
    replay(std::string(1, '\0'));
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KESTRIX_REPLAY_ASAN
    // Reports from inside an input must not vanish into /dev/null with its output.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(::dup(2))));
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
