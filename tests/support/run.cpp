#include "support/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testrun {
namespace {

std::string slurp_fd(int fd) {
    std::string data;
    char buf[65536];
    lseek(fd, 0, SEEK_SET);
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    return data;
}

int temp_fd() {
    char name[] = "/tmp/kestrix-test-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    unlink(name);
    return fd;
}

}  // namespace

result run(const std::string& program, const std::vector<std::string>& args, const options& opts) {
    int out_fd = temp_fd();
    int err_fd = opts.merge_streams ? out_fd : temp_fd();
    int in_fd = -1;
    if (!opts.stdin_file.empty()) {
        in_fd = open(opts.stdin_file.c_str(), O_RDONLY);
    } else {
        in_fd = temp_fd();
        if (!opts.stdin_data.empty() &&
            write(in_fd, opts.stdin_data.data(), opts.stdin_data.size()) < 0)
            throw std::runtime_error("cannot write stdin data");
        lseek(in_fd, 0, SEEK_SET);
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) != 0) _exit(127);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);

    result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = slurp_fd(out_fd);
    if (!opts.merge_streams) r.err = slurp_fd(err_fd);
    close(out_fd);
    if (!opts.merge_streams) close(err_fd);
    if (in_fd >= 0) close(in_fd);
    return r;
}

result kestrix(const std::vector<std::string>& args, const options& opts) {
    return run(KESTRIX_BIN, args, opts);
}

result brindle(const std::vector<std::string>& args, const options& opts) {
    return run(BRINDLE_BIN, args, opts);
}

scratch_dir::scratch_dir() {
    char name[] = "/tmp/kestrix-dir-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    path_ = name;
}

scratch_dir::~scratch_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string sample_font(const std::string& name) {
    return std::string(SAMPLE_FONTS_DIR) + "/" + name;
}

}  // namespace testrun
