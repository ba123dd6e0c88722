// What the cmap subtable formats share: reading a subtable through the format registry,
// the storage budget of one cmap record, the 16-bit header of formats 0, 4 and 6, and the
// listing of subtables that map through a glyph array. Used only by the format types.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "font/fileio.h"
#include "font/types.h"
#include "tables/cmap.h"
#include "tables/table_reader.h"

// Bytes of subtable arrays one cmap record may hold. Encoding records that share a
// platform.encoding pair each get their own copy of its subtable, so a small hostile
// table could otherwise ask for many gigabytes; going over counts as running out of
// memory. Real fonts stay far below it.
class cmap_storage_budget {
  public:
    // Throws like a failed allocation when the record would grow past its limit.
    void take_bytes(std::size_t bytes) {
        if (bytes > left_) throw std::bad_alloc();
        left_ -= bytes;
    }
    // Reserves room for `words` 16-bit entries.
    void take_words(std::size_t words) { take_bytes(words * sizeof(USHORT)); }

  private:
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzzing builds reach the limit through the same code with far less work per input.
    std::size_t left_ = std::size_t{1} << 20;
#else
    std::size_t left_ = std::size_t{64} << 20;
#endif
};

// What a format's reader is given besides the reader, which stands just after the format
// word of the subtable.
struct cmap_read_context {
    USHORT platformID = 0;
    USHORT encodingID = 0;
    USHORT format = 0;
    std::size_t start = 0;  // the subtable's offset in the cmap table
    cmap_storage_budget& budget;
    ULONG numGlyphs = 0;  // 0: no maxp to check glyph indices with
    message_sink& messages;
};

// Reads one subtable; null (after a message) when it cannot be used.
using cmap_format_reader = std::unique_ptr<cmap_subtable> (*)(table_reader& in,
                                                              const cmap_read_context& context);

// A new subtable of type T labelled from the context.
template <class T>
std::unique_ptr<T> new_cmap_subtable(const cmap_read_context& context) {
    auto sub = std::make_unique<T>();
    sub->platformID = context.platformID;
    sub->encodingID = context.encodingID;
    sub->format = context.format;
    sub->messages = &context.messages;
    return sub;
}

// A code whose glyph index lies outside the subtable: reported, and mapped to glyph 0.
USHORT unmappable_code(USHORT code, message_sink& messages);

// The length and language words of formats 0, 4 and 6.
void read_short_header(table_reader& in, cmap_subtable& sub);
void write_short_header(mem_stream& out, const cmap_subtable& sub, unsigned long length);

template <class T>
void write_words(mem_stream& out, const std::vector<T>& words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) vwrite(words[i], 2, out);
}

// Listing of the formats that map through glyphIdArray (0, 4 and 6), which all show the
// format 4 fields; those a format does not have show as zero or empty.
struct cmap_segment_fields {
    USHORT segCountX2 = 0;
    USHORT searchRange = 0;
    USHORT entrySelector = 0;
    USHORT rangeShift = 0;
};
void list_array_head(const cmap_subtable& sub, USHORT glyphIdCount, cmap_segment_fields fields);
// Segment arrays print 8 values to a line; entries past an array's end show as zero.
void list_segment_array(const char* heading, const std::vector<USHORT>& values, USHORT segCount,
                        const char* format);
void list_segment_array(const char* heading, const std::vector<SHORT>& values, USHORT segCount,
                        const char* format);
void list_no_segments();
// Glyph indices, 16 to a line.
void list_glyph_ids(const std::vector<USHORT>& glyphIdArray, USHORT glyphIdCount);
