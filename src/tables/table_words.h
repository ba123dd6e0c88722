// Bulk reading of big-endian 16-bit arrays, for the long arrays of cmap and post.
#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include "font/types.h"
#include "tables/table_reader.h"

// Replaces dest by `count` 16-bit values read from the table; values past its end read as
// zero, like every other read.
template <class T>
void read_words(table_reader& in, std::vector<T>& dest, std::size_t count) {
    static_assert(std::is_integral_v<T> && sizeof(T) == 2);
    std::vector<BYTE> raw(count * 2);
    in.read(raw.data(), raw.size());
    dest.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        dest[i] = static_cast<T>(static_cast<USHORT>((raw[2 * i] << 8) | raw[2 * i + 1]));
}
