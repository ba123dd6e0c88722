// Construction of a format 4 (segment mapping) cmap subtable from sorted code/glyph pairs.
//
// The specified layout reaches every glyph through glyphIdArray: each segment's
// idRangeOffset points at the glyphIdArray entry of its first code, and idDelta is 0 except
// in the final 0xFFFF segment, which maps to glyph 0 (idDelta 1 added to 0xFFFF). Where
// that layout passes 65535 bytes, the compact one maps each long run of consecutive glyph
// IDs through idDelta alone, as fonts of many glyphs store their mapping.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "encoding/encoding_pairs.h"
#include "font/messages.h"
#include "font/types.h"

// The fields and arrays of a format 4 subtable, as the TrueType layout names them.
struct cmap4_layout {
    USHORT length = 0;  // 16 + 8 * segCount + 2 * glyphIdArray entries
    USHORT segCountX2 = 0;
    USHORT segCount = 0;
    USHORT searchRange = 0;    // 2 * 2^entrySelector
    USHORT entrySelector = 0;  // floor(log2 segCount)
    USHORT rangeShift = 0;     // segCountX2 - searchRange
    std::vector<USHORT> endCount;
    std::vector<USHORT> startCount;
    std::vector<USHORT> idDelta;
    std::vector<USHORT> idRangeOffset;
    std::vector<USHORT> glyphIdArray;
};

// The pair count and the subtable's length are 16-bit fields.
inline constexpr std::size_t kMaxSubtableBytes = 0xFFFF;
inline constexpr std::size_t kMaxEncodingPairs = 0xFFFF;

// Prints "Warning: encoding duplicates char code 0x%04lx\n" once per adjacent pair of
// equal codes in the sorted pairs.
void warn_duplicate_codes(const std::vector<encoding_pair>& sorted, message_sink& messages);

// Keeps only the first pair of each code: the one a lookup finds, since lookups take the
// first segment whose end is at or above the code. The others could never be reached and
// would make overlapping segments.
void drop_unreachable_duplicates(std::vector<encoding_pair>& sorted);

// True when the code after `prev` in the sorted pairs opens a new segment. 0xFFFF always
// stands alone, so that the last segment is exactly 0xFFFF-0xFFFF.
inline bool opens_segment(USHORT prev, USHORT next) {
    return next != prev + 1u || next == 0xFFFF;
}

// Segments needed for sorted pairs with distinct codes, the final 0xFFFF one included.
std::size_t count_segments(const std::vector<encoding_pair>& unique);

// Fills the segment arrays for segCount segments; false (after "Corrupted cmap during
// build!\n") when the pairs need more segments than that.
bool fill_segments(const std::vector<encoding_pair>& unique, cmap4_layout& out,
                   message_sink& messages);

// The compact layout of sorted pairs with distinct codes: the same code runs, each split
// into idDelta segments (runs of consecutive glyph IDs of at least kMinDeltaRun codes, or a
// whole code run) and glyphIdArray segments (what lies between them). `length` is set to
// the subtable's size in bytes; nothing when that passes 65535.
inline constexpr std::size_t kMinDeltaRun = 8;
std::optional<cmap4_layout> compact_layout(const std::vector<encoding_pair>& unique,
                                           std::size_t& length);

// The whole subtable from pairs in any order (they are sorted in place): the specified
// layout, or the compact one where the specified one would not fit in 65535 bytes. Nothing,
// after a message, when the pairs are too many or neither layout fits; nothing and no
// message when there are no pairs.
std::optional<cmap4_layout> build_cmap4_layout(std::vector<encoding_pair>& pairs,
                                               message_sink& messages);
