// Bulk reading of big-endian 16-bit arrays, for the long arrays of cmap and post.
#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include "font/fileio.h"
#include "font/types.h"

// Replaces dest by `count` 16-bit values read from the stream; values past the end of the
// data read as zero, like every other read.
template <class T>
void read_words(mem_stream& s, std::vector<T>& dest, std::size_t count) {
    static_assert(std::is_integral_v<T> && sizeof(T) == 2);
    std::vector<BYTE> raw(count * 2);
    s.read(raw.data(), raw.size());
    dest.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        dest[i] = static_cast<T>(static_cast<USHORT>((raw[2 * i] << 8) | raw[2 * i + 1]));
}
