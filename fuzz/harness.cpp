#include "harness.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>

#include "font/messages.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

namespace fuzzkit {

namespace {

bool g_set_up = false;
bool g_confined = false;
std::string g_work_dir;
std::string g_home_dir;  // the directory the process started in
std::set<std::string> g_fixtures;

// afm echoes the command line; give it a fixed one.
char g_program_name[] = "kestrix";
char* g_argv[] = {g_program_name, nullptr};
std::unique_ptr<kestrix_context> g_context;  // the current input's

void remove_work_dir() {
    if (g_work_dir.empty()) return;
    std::error_code ec;
    fs::remove_all(g_work_dir, ec);
}

}  // namespace

void setup(const char* target, const std::vector<std::pair<std::string, std::string>>& fixtures) {
    if (g_set_up) return;
    std::string pattern = (fs::temp_directory_path() / "kestrix-fuzz-").string();
    pattern += target;
    pattern += "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a working directory");
    g_work_dir = name.data();
    g_home_dir = fs::current_path().string();
    std::atexit(remove_work_dir);
    // A script may name "-": it must read an empty input, never wait for a terminal.
    if (!std::freopen("/dev/null", "r", stdin)) throw std::runtime_error("no /dev/null");
    for (const auto& [file, bytes] : fixtures) {
        write_file(g_work_dir + "/" + file, bytes);
        g_fixtures.insert(file);
    }
    g_set_up = true;
}

bool is_set_up() {
    return g_set_up;
}

void write_file(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

void begin_input() {
    g_context = std::make_unique<kestrix_context>(run_file, std::span<char* const>(g_argv, 1));
    g_context->report_to(dropped_messages());
    fs::current_path(g_work_dir);
    g_confined = true;
}

void end_input() {
    std::fflush(stdout);
    std::fflush(stderr);
    g_context.reset();
    g_confined = false;
    fs::current_path(g_home_dir);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(g_work_dir, ec)) {
        if (g_fixtures.count(entry.path().filename().string()) == 0)
            fs::remove_all(entry.path(), ec);
    }
}

int run_words(std::initializer_list<std::string_view> words) {
    for (std::string_view w : words) {
        int status = g_context->stack.push(g_context->keep_token(std::string(w)), ITEM_STRING);
        if (status == 0) status = execute_token(*g_context);
        if (status != 0) return status;
    }
    return 0;
}

kestrix_context& context() {
    return *g_context;
}

message_sink& dropped_messages() {
    static discarded_messages sink;
    return sink;
}

std::string sample_font(const char* name) {
    std::ifstream in(std::string(SAMPLE_FONTS_DIR) + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) throw std::runtime_error(std::string("missing sample font ") + name);
    return bytes;
}

}  // namespace fuzzkit

// The executables are linked with --wrap=fopen, so every fopen of the program (kestrix's
// open_file and font writer, brindle's readers) comes here first. The program reads with
// "r" modes and creates files only exclusively ("x"); those are confined. libFuzzer saves
// a crashing input with a plain "w" mode while the input is still running, and that must
// go through.
extern "C" std::FILE* __real_fopen(const char* path, const char* mode);
extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
    bool program_mode = mode && (std::strchr(mode, 'r') || std::strchr(mode, 'x'));
    if (fuzzkit::g_confined && program_mode && path && std::strchr(path, '/')) {
        errno = EACCES;
        return nullptr;
    }
    return __real_fopen(path, mode);
}

#ifdef KESTRIX_LIBFUZZER
// The targets print a great deal; unless told otherwise, libFuzzer sends their standard
// output and error to /dev/null (its own reports and the sanitizers' go to a saved copy of
// the standard error). libFuzzer reads its flags after this hook returns.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char quiet[] = "-close_fd_mask=3";
    for (int i = 0; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-close_fd_mask=", 15) == 0) return 0;
    // kestrix's messages are dropped (dropped_messages), but brindle prints its own: into
    // /dev/null, an unbuffered stderr costs a system call per message, and a hostile count
    // can make a parser repeat one 65,535 times.
    static char stderr_buffer[1 << 16];
    std::setvbuf(stderr, stderr_buffer, _IOFBF, sizeof stderr_buffer);
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, quiet);
    args.push_back(nullptr);
    *argc += 1;
    *argv = args.data();
    return 0;
}
#endif
