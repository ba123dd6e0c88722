// Inputs of the per-table fuzz targets: the raw bytes of one table, preceded by those of
// the tables its parser reads first.
//
// An input for a target of tags {T1, ..., Tk} is k-1 length-prefixed tables (a big-endian
// 32-bit length, then that many bytes; a length past the input takes what is left) and
// then the bytes of Tk, the target's own table, to the end. The tables are laid out as an
// sfnt in memory, as load_font would hold one, so each parser runs on exactly the bytes
// given; the earlier tables are parsed through the registry, as `font` parses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "font/font.h"

namespace fuzzkit {

// Splits an input into the bytes of each of `count` tables, as described above.
std::vector<std::vector<BYTE>> split_tables(const std::uint8_t* data, std::size_t size,
                                            std::size_t count);

// The inverse of split_tables: the input that gives these tables.
inline std::string join_tables(const std::vector<std::string>& tables) {
    std::string input;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (i + 1 < tables.size()) {
            const auto n = static_cast<std::uint32_t>(tables[i].size());
            for (int shift = 24; shift >= 0; shift -= 8)
                input.push_back(static_cast<char>(n >> shift));
        }
        input += tables[i];
    }
    return input;
}

// A font whose file is an sfnt holding these tables in this order, with a correct offset
// table and directory, ready for the parsers (its notices are the given ones).
std::unique_ptr<font_object> font_of_tables(const std::vector<const char*>& tags,
                                            std::vector<std::vector<BYTE>> tables,
                                            run_notices& notices, ULONG version = 0x00010000);

// Splits the input, builds the font and parses every table but the last through the
// registry; the target then calls its own parser.
std::unique_ptr<font_object> table_target_font(const std::vector<const char*>& tags,
                                               const std::uint8_t* data, std::size_t size,
                                               run_notices& notices, ULONG version = 0x00010000);

}  // namespace fuzzkit
