// Runs a program as a child process and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace testrun {

struct result {
    int status = -1;  // exit status 0..255, or -1 when the child did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

struct options {
    std::string stdin_data;      // fed to the child's standard input
    std::string stdin_file;      // or: this file opened as standard input
    std::string cwd;             // working directory of the child, if not empty
    bool merge_streams = false;  // send standard error into `out` as well
};

// Runs `program` with `args` (argv[1]...) and waits for it.
result run(const std::string& program, const std::vector<std::string>& args,
           const options& opts = {});

// Convenience wrappers for the two programs of the project.
result kestrix(const std::vector<std::string>& args, const options& opts = {});
result brindle(const std::vector<std::string>& args, const options& opts = {});

// A fresh empty directory under the system's temporary area, removed with the object.
class scratch_dir {
  public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
std::vector<std::string> files_in(const std::string& dir);  // names, sorted
std::string sample_font(const std::string& name);           // path of a bundled font

}  // namespace testrun
