// A bounded big-endian reader over one table of a font held in memory.
//
// The reader sees only the table's own bytes: those the directory of the source file gives
// it (an import does not change them), cut off at the end of the file. Reads beyond them yield
// zeros (the position still advances), so a hostile count or offset can make a parser read zeros
// but never memory outside the file or another table's bytes. Such a read also sets a sticky
// flag, which the parser checks once when it is done instead of after every field. Every read
// is an inline bounds test and a load, which keeps the per-field cost of the glyph loop low.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "font/font.h"
#include "font/messages.h"
#include "font/types.h"

class table_reader {
  public:
    table_reader() = default;
    table_reader(const BYTE* data, std::size_t size, message_sink& messages = standard_error_sink())
        : data_(data), size_(size), messages_(&messages) {}
    // The bytes of `entry` in the font's source file; messages go where the font's do.
    table_reader(const font_object& font, const table_entry& entry) : messages_(font.messages) {
        const std::span<const BYTE> file = font.in_stream.contents();
        if (entry.source_offset < file.size()) {
            data_ = file.data() + entry.source_offset;
            size_ = std::min<std::size_t>(entry.source_length, file.size() - entry.source_offset);
        }
    }

    std::size_t size() const { return size_; }
    // Where parsers reading through this reader report.
    message_sink& messages() const { return *messages_; }
    std::size_t tell() const { return pos_; }
    // Positions past the end are allowed; reads there give zeros.
    void seek(std::size_t pos) { pos_ = pos; }
    void skip(std::size_t n) { pos_ += n; }
    std::size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }

    BYTE u8() {
        BYTE b = 0;
        if (pos_ < size_)
            b = data_[pos_];
        else
            overran_ = true;
        ++pos_;
        return b;
    }
    CHAR s8() { return static_cast<CHAR>(u8()); }
    USHORT u16() {
        if (remaining() >= 2) {
            const BYTE* p = data_ + pos_;
            pos_ += 2;
            return static_cast<USHORT>(p[0] << 8 | p[1]);
        }
        BYTE hi = u8();
        return static_cast<USHORT>(hi << 8 | u8());
    }
    SHORT s16() { return static_cast<SHORT>(u16()); }
    ULONG u32() {
        ULONG hi = u16();
        return hi << 16 | u16();
    }
    LONG s32() { return static_cast<LONG>(u32()); }

    // The next n bytes as far as they lie inside the table (fewer, or none, near its end),
    // for decoding an array in one pass; the position does not move.
    std::span<const BYTE> peek(std::size_t n) const {
        return {data_ + (pos_ < size_ ? pos_ : size_), std::min(n, remaining())};
    }

    // Copies n bytes to dst, zeros for those beyond the table; returns how many were real.
    std::size_t read(BYTE* dst, std::size_t n) {
        std::size_t real = std::min(n, remaining());
        if (real > 0) std::memcpy(dst, data_ + pos_, real);
        if (n > real) {
            std::memset(dst + real, 0, n - real);
            overran_ = true;
        }
        pos_ += n;
        return real;
    }

    // True once a read has run past the table's end: the zeros it gave were not in the file.
    bool overran() const { return overran_; }

    // How many of `claimed` records of `unit` bytes lie between the position and the table's
    // end. When that is fewer, one warning names the table, its count field and both counts,
    // so the caller reads only the records that are there.
    std::size_t fitting(std::size_t claimed, std::size_t unit, const char* table, const char* field,
                        const char* records) const {
        const std::size_t fit = remaining() / unit;
        if (claimed <= fit) return claimed;
        say(*messages_, "Warning: %s: %s claims %zu %s, %zu fit in the table\n", table, field,
            claimed, records, fit);
        return fit;
    }

    // Says once, naming the table, that a read ran past its end (true when one did).
    bool report_overrun(const char* table) const {
        if (overran_)
            say(*messages_,
                "Warning: %s: the table is cut short; fields past its %zu bytes read as 0\n", table,
                size_);
        return overran_;
    }

  private:
    const BYTE* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool overran_ = false;
    message_sink* messages_ = &standard_error_sink();
};
