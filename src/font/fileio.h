// Byte streams, big-endian integers and the file-opening rules.
//
// Font files are held in memory: a mem_stream is a byte buffer with a position. Reading
// past the end yields zero bytes (the position still advances), so a parser that trusts a
// hostile count never touches memory outside the buffer. Writers assemble their output in
// a mem_stream too, which grows as it is written. A font file read from disk is mapped
// rather than copied: the stream then reads the mapping in place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "font/messages.h"
#include "font/signal_cleanup.h"
#include "font/types.h"

// A regular file's bytes mapped read-only into memory; unmapped with the last holder.
class mapped_file {
  public:
    // The file behind f, mapped whole; nothing for an empty file, a file that is not a
    // regular one, a mapping the system refuses, or one whose SIGBUS cannot be guarded
    // (the caller then reads the file). If another program cuts the file short while it
    // is mapped, the run ends with a message naming path (mapped_input_guard).
    static std::shared_ptr<const mapped_file> map(std::FILE* f, const char* path);
    mapped_file(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    mapped_file(const mapped_file&) = delete;
    mapped_file& operator=(const mapped_file&) = delete;
    ~mapped_file();
    std::span<const BYTE> bytes() const { return {data_, size_}; }

  private:
    const BYTE* data_;
    std::size_t size_;
    mapped_input_guard guard_;
};

class mem_stream {
  public:
    mem_stream() = default;
    explicit mem_stream(std::vector<BYTE> bytes) : data_(std::move(bytes)) {}
    // Reads the mapped file in place. Writing, or asking for bytes(), first copies it into a
    // buffer of the stream's own; the mapping stays, so views taken of it stay valid.
    explicit mem_stream(std::shared_ptr<const mapped_file> file)
        : mapped_(std::move(file)), in_mapping_(mapped_ != nullptr) {}

    // Absolute positioning; a negative offset fails. Positions past the end are allowed:
    // reads there give zeros, writes there first fill the gap with zeros.
    bool seek(long offset) {
        if (offset < 0) return false;
        pos_ = static_cast<std::size_t>(offset);
        return true;
    }
    long tell() const { return static_cast<long>(pos_); }
    void rewind() { pos_ = 0; }

    // Next byte, or EOF when the position is at or past the end (the position advances
    // either way, like a read that gives zero).
    int get() {
        const std::span<const BYTE> bytes = contents();
        int c = pos_ < bytes.size() ? bytes[pos_] : EOF;
        ++pos_;
        return c;
    }
    BYTE get_byte() {
        const std::span<const BYTE> bytes = contents();
        BYTE b = pos_ < bytes.size() ? bytes[pos_] : 0;
        ++pos_;
        return b;
    }
    // Copies n bytes to dst (zeros for any beyond the end); returns how many were real.
    std::size_t read(BYTE* dst, std::size_t n);
    // Bytes available from the current position to the end.
    std::size_t remaining() const { return pos_ < size() ? size() - pos_ : 0; }

    void put(BYTE b) {
        // Inline for the common case, appending: writers build tables a field at a time.
        if (!in_mapping_ && pos_ == data_.size()) {
            data_.push_back(b);
            ++pos_;
            return;
        }
        put_elsewhere(b);
    }
    void write(const BYTE* src, std::size_t n);

    std::size_t size() const { return contents().size(); }
    // Everything the stream holds, without copying a mapped file.
    std::span<const BYTE> contents() const {
        if (in_mapping_) return mapped_->bytes();
        return data_;
    }
    const std::vector<BYTE>& bytes() const {
        own();
        return data_;
    }
    std::vector<BYTE>& bytes() {
        own();
        return data_;
    }

  private:
    void put_elsewhere(BYTE b);
    // Copies a mapped file into the stream's own buffer, once.
    void own() const {
        if (!in_mapping_) return;
        const std::span<const BYTE> file = mapped_->bytes();
        data_.assign(file.begin(), file.end());
        in_mapping_ = false;
    }

    // The buffer; for a mapped file empty until the first write or call of bytes().
    mutable std::vector<BYTE> data_;
    std::shared_ptr<const mapped_file> mapped_;
    mutable bool in_mapping_ = false;  // reads see the mapping, not data_
    std::size_t pos_ = 0;
};

// Reads one big-endian integer of `width` bytes (1, 2 or 4) into dest; bytes beyond the
// end of the stream count as zero. Any other width prints a message and reads nothing.
void vread_bytes(ULONG& value, int width, mem_stream& stream, bool& ok);

template <class T>
void vread(T& dest, int width, mem_stream& stream) {
    static_assert(std::is_integral_v<T>);
    ULONG value = 0;
    bool ok = false;
    vread_bytes(value, width, stream, ok);
    if (ok) dest = static_cast<T>(static_cast<std::make_unsigned_t<T>>(value));
}

// Convenience readers for the common widths.
inline USHORT read_ushort(mem_stream& s) {
    USHORT v = 0;
    vread(v, 2, s);
    return v;
}
inline SHORT read_short(mem_stream& s) {
    SHORT v = 0;
    vread(v, 2, s);
    return v;
}
inline ULONG read_ulong(mem_stream& s) {
    ULONG v = 0;
    vread(v, 4, s);
    return v;
}
inline LONG read_long(mem_stream& s) {
    LONG v = 0;
    vread(v, 4, s);
    return v;
}
inline BYTE read_byte(mem_stream& s) {
    return s.get_byte();
}

// Writes the integer src as `width` big-endian bytes (1, 2 or 4).
void vwrite_bytes(ULONG value, int width, mem_stream& stream);

template <class T>
void vwrite(const T& src, int width, mem_stream& stream) {
    static_assert(std::is_integral_v<T>);
    const auto value = static_cast<ULONG>(static_cast<std::make_unsigned_t<T>>(src));
    if (width == 2) {  // the commonest field, written inline
        stream.put(static_cast<BYTE>(value >> 8));
        stream.put(static_cast<BYTE>(value));
        return;
    }
    vwrite_bytes(value, width, stream);
}

// An open C stream. Real files are closed when the handle goes away; the standard
// streams handed out for "-" are only flushed, so later output still reaches them.
class file_handle {
  public:
    file_handle() = default;
    file_handle(std::FILE* f, bool owned) : f_(f), owned_(owned) {}
    file_handle(file_handle&& other) noexcept;
    file_handle& operator=(file_handle&& other) noexcept;
    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    ~file_handle() { close(); }

    std::FILE* get() const { return f_; }
    explicit operator bool() const { return f_ != nullptr; }
    bool is_standard() const { return f_ != nullptr && !owned_; }
    // Closes (or flushes a standard stream); returns 0, or EOF when that failed.
    int close();

  private:
    std::FILE* f_ = nullptr;
    bool owned_ = false;
};

// What a writer does about a file already at its output path: refuse to write (the rule),
// or, after the replace command, put the new file in its place once it is complete.
enum class existing_file { refuse, replace };

// Opens path in the given mode. "-" stands for the standard input ("r" modes) or output
// ("w" modes). A mode with "w" never truncates: an existing file is refused, and the file
// is created exclusively, so one appearing meanwhile is refused as well.
file_handle open_file(const char* path, const char* mode, message_sink& messages);

// The most any input file (a font, an imported table, an encoding file, a script) may hold. 32-bit
// table offsets address 4 GiB, but real fonts stay far below 1 GiB; the limit keeps an
// endless or huge input (/dev/zero, a pipe) from taking the machine's memory.
inline constexpr std::size_t kMaxInputBytes = std::size_t{1} << 30;

// Reads everything from an open stream into memory, in bounded chunks; nothing on a read
// error, or after "\"<name>\" is larger than 1 GiB, the limit for an input file" (errno
// EFBIG) when the stream holds more than `limit` bytes, found out before they are stored.
std::optional<std::vector<BYTE>> read_all(std::FILE* f, const char* name, message_sink& messages,
                                          std::size_t limit = kMaxInputBytes);

// True when the stream is a regular file larger than limit, known without reading it.
bool known_to_exceed(std::FILE* f, std::size_t limit = kMaxInputBytes);

// Prints the refusal of an input larger than kMaxInputBytes, and sets errno to EFBIG.
void report_input_too_large(const char* name, message_sink& messages);

// size bytes from offset, or nothing when the range does not lie inside the stream.
std::optional<std::vector<BYTE>> file_to_memory(mem_stream& stream, long offset, std::size_t size,
                                                message_sink& messages);

// Size of the stream in bytes.
ULONG file_size(const mem_stream& stream);
