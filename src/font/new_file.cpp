#include "font/new_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kTempAttempts = 100;

bool path_exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Only a plain file is replaced: renaming over a device, a link or a directory would swap
// out something that is not an output.
bool is_replaceable(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    return !fs::exists(status) || fs::is_regular_file(status);
}

void report_not_replaceable(const std::string& path, message_sink& messages) {
    say(messages, "open_file: cannot replace \"%s\": not a regular file\n", path.c_str());
}

// Random enough that concurrent runs pick different names; a clash only costs a retry,
// since temporary files are created exclusively.
std::string random_suffix() {
    static std::mt19937_64 engine = [] {
        std::seed_seq::result_type clock_bits = static_cast<std::seed_seq::result_type>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        std::seed_seq::result_type device_bits = 0;
        try {
            std::random_device device;
            device_bits = device();
        } catch (const std::exception&) {
            // No entropy source: the clock alone still varies between runs.
        }
        std::seed_seq seed{clock_bits, device_bits};
        return std::mt19937_64(seed);
    }();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(engine()));
    return text;
}

// A hidden name beside the target. Only the start of a long file name is kept, so the
// temporary name never grows past what the file system allows for the target itself.
fs::path temp_name_for(const fs::path& target) {
    std::string base = target.filename().string().substr(0, 32);
    return target.parent_path() / ("." + base + ".kestrix-" + random_suffix());
}

void report_open_failure(const char* path, const char* mode, int error, message_sink& messages) {
    say(messages, "Cannot open \"%s\" in mode \"%s\"\n", path, mode);
    errno = error;
    say_errno(messages, path);
}

void report_write_failure(const std::string& path, int error, message_sink& messages) {
    errno = error != 0 ? error : EIO;  // a short write need not set errno
    say_errno(messages, path.c_str());
    say(messages, "new_file: cannot write \"%s\"\n", path.c_str());
}

}  // namespace

bool write_fully(std::FILE* f, const std::vector<BYTE>& bytes) {
    const std::span<const BYTE> whole(bytes);
    return write_fully(f, byte_pieces(&whole, 1));
}

bool write_fully(std::FILE* f, byte_pieces pieces) {
    if (!f) return false;
    for (std::span<const BYTE> piece : pieces)
        if (!piece.empty() && std::fwrite(piece.data(), 1, piece.size(), f) != piece.size())
            return false;
    return std::fflush(f) == 0 && !std::ferror(f);
}

new_file::new_file(key, std::string path, fs::path temp, file_handle stream,
                   removal_on_signal removal, message_sink& messages, existing_file existing)
    : path_(std::move(path)),
      temp_(std::move(temp)),
      stream_(std::move(stream)),
      removal_(std::move(removal)),
      messages_(&messages),
      existing_(existing) {}

std::unique_ptr<new_file> new_file::create(const char* path, const char* mode,
                                           message_sink& messages, existing_file existing) {
    if (!path || !mode) return nullptr;
    if (std::strcmp(path, "-") == 0) {
        file_handle out = open_file(path, mode, messages);
        if (!out) return nullptr;
        return std::make_unique<new_file>(key{}, path, fs::path{}, std::move(out),
                                          removal_on_signal{}, messages);
    }
    if (existing == existing_file::refuse && path_exists(path)) {
        say(messages, "open_file: writing to existing file \"%s\" not allowed\n", path);
        return nullptr;
    }
    if (existing == existing_file::replace && !is_replaceable(path)) {
        report_not_replaceable(path, messages);
        return nullptr;
    }
    const fs::path target(path);
    int error = 0;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        fs::path temp = temp_name_for(target);
        // Armed before the file exists, so no moment of its life is left uncovered.
        removal_on_signal removal(temp.string());
        errno = 0;
        // "x": exclusive creation, never an existing file.
        if (std::FILE* f = std::fopen(temp.c_str(), "wbx"))
            return std::make_unique<new_file>(key{}, path, std::move(temp), file_handle(f, true),
                                              std::move(removal), messages, existing);
        error = errno;
        removal.release();
        if (!path_exists(temp)) break;  // a real failure, not a name clash
    }
    report_open_failure(path, mode, error, messages);
    return nullptr;
}

new_file::~new_file() {
    if (!committed_) discard_temp();
}

void new_file::discard_temp() {
    stream_.close();
    if (temp_.empty()) return;
    std::error_code ec;
    fs::remove(temp_, ec);
    removal_.release();
}

int new_file::commit(const std::vector<BYTE>& bytes) {
    const std::span<const BYTE> whole(bytes);
    return commit(byte_pieces(&whole, 1));
}

int new_file::commit(byte_pieces pieces) {
    if (committed_ || !stream_) return -1;
    if (is_standard_output()) {
        committed_ = true;
        if (write_fully(stream_.get(), pieces)) return 0;
        report_write_failure(path_, errno, *messages_);
        return -1;
    }

    errno = 0;
    bool written = write_fully(stream_.get(), pieces);
    int error = errno;
    if (stream_.close() != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        report_write_failure(path_, error, *messages_);
        discard_temp();
        return -1;
    }

    const int status =
        existing_ == existing_file::replace ? replace_existing() : put_in_place(pieces);
    discard_temp();
    committed_ = status == 0;
    return status;
}

int new_file::put_in_place(byte_pieces pieces) {
    // The link is the commit point: it creates the name only if nothing holds it.
    std::error_code ec;
    fs::create_hard_link(temp_, path_, ec);
    if (ec && path_exists(path_)) {
        say(*messages_, "new_file: \"%s\" appeared while writing; it is left as it was\n",
            path_.c_str());
        return -1;
    }
    // File systems without hard links: create the file itself exclusively instead.
    return ec ? write_fallback(pieces) : 0;
}

// The rename is the commit point: it puts the complete file in place in one step, so the
// path holds the old file or the new one, never a mix, and a failure leaves the old one.
int new_file::replace_existing() {
    if (!is_replaceable(path_)) {
        report_not_replaceable(path_, *messages_);
        return -1;
    }
    std::error_code ec;
    const fs::file_status old = fs::symlink_status(path_, ec);
    if (fs::is_regular_file(old)) fs::permissions(temp_, old.permissions(), ec);  // keep its mode
    fs::rename(temp_, path_, ec);
    if (!ec) return 0;
    say(*messages_, "new_file: cannot replace \"%s\": %s; it is left as it was\n", path_.c_str(),
        ec.message().c_str());
    return -1;
}

int new_file::write_fallback(byte_pieces pieces) {
    removal_on_signal removal(path_);  // until it is complete, the output itself
    errno = 0;
    std::FILE* f = std::fopen(path_.c_str(), "wbx");
    if (!f) {
        removal.release();
        report_open_failure(path_.c_str(), "wb", errno, *messages_);
        return -1;
    }
    file_handle out(f, true);
    errno = 0;
    bool written = write_fully(out.get(), pieces);
    int error = errno;
    if (out.close() != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) {
        removal.release();
        return 0;
    }
    report_write_failure(path_, error, *messages_);
    std::error_code ec;
    fs::remove(path_, ec);  // created exclusively above, so it is ours to remove
    return -1;
}
