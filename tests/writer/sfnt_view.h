// Reads back the layout of a font file for the writer tests, independently of the code
// under test: offset table, directory records and table bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sfnt {

inline uint32_t u32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | (at + i < b.size() ? static_cast<uint8_t>(b[at + i]) : 0u);
    return v;
}
inline uint16_t u16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(u32(b, at) >> 16);
}

// Sum of big-endian words; a last partial word counts its missing bytes as zero.
inline uint32_t checksum(const std::string& b, size_t offset, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < length && offset + i + k < b.size()
                                      ? static_cast<uint8_t>(b[offset + i + k])
                                      : 0u);
        sum += word;
    }
    return sum;
}
inline uint32_t checksum(const std::string& b) {
    return checksum(b, 0, b.size());
}

struct record {
    std::string tag;
    uint32_t checkSum, offset, length;
};

struct view {
    std::string bytes;
    uint32_t version() const { return u32(bytes, 0); }
    uint16_t numTables() const { return u16(bytes, 4); }
    uint16_t searchRange() const { return u16(bytes, 6); }
    uint16_t entrySelector() const { return u16(bytes, 8); }
    uint16_t rangeShift() const { return u16(bytes, 10); }

    std::vector<record> directory() const {
        std::vector<record> dir;
        for (size_t i = 0; i < numTables(); ++i) {
            size_t at = 12 + 16 * i;
            dir.push_back(
                {bytes.substr(at, 4), u32(bytes, at + 4), u32(bytes, at + 8), u32(bytes, at + 12)});
        }
        return dir;
    }
    std::optional<record> find(const std::string& tag) const {
        for (const record& r : directory())
            if (r.tag == tag) return r;
        return std::nullopt;
    }
    // The table's bytes as the directory gives them; empty when the tag is missing.
    std::string table(const std::string& tag) const {
        std::optional<record> r = find(tag);
        return r ? bytes.substr(r->offset, r->length) : std::string();
    }
};

}  // namespace sfnt
