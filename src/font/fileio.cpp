#include "font/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>

#include <sys/mman.h>
#include <sys/stat.h>

std::size_t mem_stream::read(BYTE* dst, std::size_t n) {
    std::size_t avail = std::min(n, remaining());
    if (avail > 0) std::memcpy(dst, contents().data() + pos_, avail);
    if (n > avail) std::memset(dst + avail, 0, n - avail);
    pos_ += n;
    return avail;
}

void mem_stream::put_elsewhere(BYTE b) {
    own();
    if (pos_ > data_.size()) data_.resize(pos_, 0);
    if (pos_ == data_.size())
        data_.push_back(b);
    else
        data_[pos_] = b;
    ++pos_;
}

void mem_stream::write(const BYTE* src, std::size_t n) {
    if (n == 0) return;
    own();
    if (pos_ > data_.size()) data_.resize(pos_, 0);
    // Bytes over the old end are appended, not zeroed first: gen copies whole tables here.
    const std::size_t over = std::min(n, data_.size() - pos_);
    if (over != 0) std::memcpy(data_.data() + pos_, src, over);  // an empty vector has no data
    data_.insert(data_.end(), src + over, src + n);
    pos_ += n;
}

void vread_bytes(ULONG& value, int width, mem_stream& stream, bool& ok) {
    ok = false;
    if (width != 1 && width != 2 && width != 4) {
        // A width other than 1, 2 or 4 is a fault of the calling code, not of a file.
        say(standard_error_sink(), "vread: integer length %d unexpected!\n", width);
        return;
    }
    value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | stream.get_byte();
    ok = true;
}

void vwrite_bytes(ULONG value, int width, mem_stream& stream) {
    if (width != 1 && width != 2 && width != 4) {
        say(standard_error_sink(), "vwrite: integer length %d unexpected!\n", width);
        return;
    }
    for (int i = width - 1; i >= 0; --i) stream.put(static_cast<BYTE>(value >> (8 * i)));
}

file_handle::file_handle(file_handle&& other) noexcept : f_(other.f_), owned_(other.owned_) {
    other.f_ = nullptr;
}

file_handle& file_handle::operator=(file_handle&& other) noexcept {
    if (this != &other) {
        close();
        f_ = other.f_;
        owned_ = other.owned_;
        other.f_ = nullptr;
    }
    return *this;
}

int file_handle::close() {
    if (!f_) return 0;
    int status = owned_ ? std::fclose(f_) : std::fflush(f_);
    if (!owned_ && std::ferror(f_)) status = EOF;
    f_ = nullptr;
    return status;
}

namespace {

bool path_exists(const char* path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

file_handle open_file(const char* path, const char* mode, message_sink& messages) {
    if (!path || !mode) return {};
    bool reading = std::strchr(mode, 'r') != nullptr;
    bool writing = std::strchr(mode, 'w') != nullptr;
    if (std::strcmp(path, "-") == 0) {
        // POSIX streams make no text/binary distinction, so there is nothing to switch.
        if (reading) return {stdin, false};
        if (writing) return {stdout, false};
        say(messages, "open_file: file name \"-\" must have mode \"r\" or \"w\"\n");
        return {};
    }
    std::string real_mode = mode;
    if (writing) {
        if (path_exists(path)) {
            say(messages, "open_file: writing to existing file \"%s\" not allowed\n", path);
            return {};
        }
        // "x": create exclusively, so a file that appears after the check is not truncated.
        real_mode += 'x';
    }
    std::FILE* f = std::fopen(path, real_mode.c_str());
    if (!f) {
        int saved = errno;
        say(messages, "Cannot open \"%s\" in mode \"%s\"\n", path, mode);
        errno = saved;
        say_errno(messages, path);
        return {};
    }
    return {f, true};
}

void report_input_too_large(const char* name, message_sink& messages) {
    say(messages, "\"%s\" is larger than 1 GiB, the limit for an input file\n", name);
    errno = EFBIG;
}

// A regular file tells its size up front, so a huge one is refused without reading it.
bool known_to_exceed(std::FILE* f, std::size_t limit) {
    struct stat st {};
    return fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<std::uintmax_t>(st.st_size) > limit;
}

// The size of a regular file (checked against the limit before), else 0.
std::size_t regular_file_size(std::FILE* f) {
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return 0;
    return static_cast<std::size_t>(st.st_size);
}

std::shared_ptr<const mapped_file> mapped_file::map(std::FILE* f, const char* path) {
    const std::size_t size = regular_file_size(f);
    if (size == 0) return nullptr;
    // Private and read-only: nothing written through the mapping, none of it shared back.
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(f), 0);
    if (data == MAP_FAILED) return nullptr;
    std::shared_ptr<mapped_file> file;
    try {
        file = std::make_shared<mapped_file>(static_cast<const BYTE*>(data), size);
    } catch (const std::bad_alloc&) {
        munmap(data, size);
        return nullptr;
    }
    if (!file->guard_.watch(data, size, path)) return nullptr;
    return file;
}

mapped_file::~mapped_file() {
    munmap(const_cast<BYTE*>(data_), size_);
}

std::optional<std::vector<BYTE>> read_all(std::FILE* f, const char* name, message_sink& messages,
                                          std::size_t limit) {
    if (known_to_exceed(f, limit)) {
        report_input_too_large(name, messages);
        return std::nullopt;
    }
    std::vector<BYTE> data;
    // A regular file is read straight into a buffer of its size; whatever follows (a file
    // that grew meanwhile, or a pipe) comes in chunks.
    if (std::size_t size = regular_file_size(f)) {
        data.resize(size);
        data.resize(std::fread(data.data(), 1, size, f));
        if (data.size() < size) {  // the file shrank meanwhile, or a read failed
            if (std::ferror(f)) return std::nullopt;
            return data;
        }
    }
    std::vector<BYTE> chunk(65536);
    for (;;) {
        std::size_t n = std::fread(chunk.data(), 1, chunk.size(), f);
        if (n > limit - data.size()) {
            report_input_too_large(name, messages);
            return std::nullopt;
        }
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < chunk.size()) break;
    }
    if (std::ferror(f)) return std::nullopt;
    return data;
}

std::optional<std::vector<BYTE>> file_to_memory(mem_stream& stream, long offset, std::size_t size,
                                                message_sink& messages) {
    if (offset < 0) return std::nullopt;
    if (!stream.seek(offset)) {
        say(messages, "file_to_memory: cannot seek to %ld\n", offset);
        return std::nullopt;
    }
    if (stream.remaining() < size) return std::nullopt;
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        say(messages, "file_to_memory: Out of memory! Cannot malloc %ld bytes\n",
            static_cast<long>(size));
        return std::nullopt;
    }
    stream.read(buffer.data(), size);
    return buffer;
}

ULONG file_size(const mem_stream& stream) {
    return static_cast<ULONG>(stream.size());
}
