// The character-to-glyph table (cmap): its record, parser and lookups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"

// One group of a format 12 or 13 subtable: codes startCharCode..endCharCode map to
// consecutive glyphs from startGlyphID (format 12) or all to startGlyphID (format 13).
struct cmap_group {
    ULONG startCharCode = 0;
    ULONG endCharCode = 0;
    ULONG startGlyphID = 0;
};

inline constexpr ULONG kLastUnicode = 0x10FFFF;

// Formats mapped through groups of 32-bit codes.
inline bool is_group_format(USHORT format) {
    return format == 12 || format == 13;
}
// Formats whose fields the record holds; any other subtable is kept as its stored bytes.
inline bool is_parsed_format(USHORT format) {
    return format == 0 || format == 4 || format == 6 || is_group_format(format);
}

struct cmap_subtable;

// Whether codes can be looked up in the subtable: a kept subtable maps nothing, so afm and
// chart refuse it rather than write a file without codes.
bool maps_codes(const cmap_subtable& subtable);

// "<prefix><font>: cmap M.N is a format F subtable, which kestrix cannot map codes
// through", on the standard error stream.
void report_unmappable(const font_object& font, const cmap_subtable& subtable, const char* prefix);

// One subtable, for one platform.encoding pair. Formats 0, 4, 6, 12 and 13 are read field
// by field; a subtable of any other format keeps its bytes, and of those format 2 maps
// codes through them (cmap_format2.h), the others nothing.
struct cmap_subtable {
    USHORT platformID = 0;  // from the encoding record
    USHORT encodingID = 0;
    USHORT format = 0;
    USHORT length = 0;    // as read; the writer recomputes it
    USHORT language = 0;  // third header word, reported as the subtable's "version"

    // Format 4 only.
    USHORT segCountX2 = 0;
    USHORT segCount = 0;  // segCountX2 >> 1
    USHORT searchRange = 0;
    USHORT entrySelector = 0;
    USHORT rangeShift = 0;
    std::vector<USHORT> endCount;       // segCount entries
    std::vector<USHORT> startCount;     // segCount entries
    std::vector<SHORT> idDelta;         // segCount entries, added modulo 65536
    std::vector<USHORT> idRangeOffset;  // segCount entries, byte offsets as in the file

    // Glyph indices: format 0 holds 256 byte values, format 6 entryCount words, format 4
    // the words after idRangeOffset. An idRangeOffset reaches into this array as if it
    // followed idRangeOffset directly, as it does in the file.
    std::vector<USHORT> glyphIdArray;
    USHORT glyphIdCount = 0;  // 256, entryCount, or computed from the format 4 length
    USHORT firstCode = 0;     // format 6 only

    // Formats 12 and 13: the header's reserved word, 32-bit length and language, and the
    // groups, ascending and disjoint, with codes up to 0x10FFFF and glyphs below the glyph
    // count (the parser drops or cuts any other, with a message).
    USHORT reserved = 0;
    ULONG length32 = 0;  // also the stored length of a kept subtable
    ULONG language32 = 0;
    std::vector<cmap_group> groups;

    // Any other format: the subtable's bytes as stored (its length, cut at the end of the
    // table), written back unchanged.
    std::vector<BYTE> stored;
};

struct cmap_elab : elab_record {
    USHORT version = 0;    // 0 expected
    USHORT numTables = 0;  // encoding records in the file, and slots here
    // Slot i belongs to encoding record i, in file order; empty when that subtable could
    // not be read. Callers may replace a slot's subtable or relabel it in place.
    std::vector<std::unique_ptr<cmap_subtable>> subtables;
};

std::unique_ptr<cmap_elab> do_cmap(font_object& font);

// Reads the subtable of the first encoding record with this platform.encoding pair.
std::unique_ptr<cmap_subtable> read_cmap_subtable(font_object& font, USHORT platformID,
                                                  USHORT encodingID);

// The elaborated cmap (never parses; complains when the font has no cmap table).
cmap_elab* cmap_table(font_object& font);

// The first non-empty slot holding platformID.encodingID, or null.
std::unique_ptr<cmap_subtable>* find_cmap_subtable(font_object& font, USHORT platformID,
                                                   USHORT encodingID);

// Glyph index of a character code; 0 means no glyph. Formats 12 and 13 take codes up to
// 0x10FFFF; the others take the code modulo 65536; a kept subtable other than format 2
// maps nothing.
USHORT char_to_glyph(ULONG code, const cmap_subtable* subtable);

// The glyphs of all 65,536 codes through one subtable, for a walk over every code.
// char_to_glyph finds a code's format 4 segment by scanning from the first segment; here
// the first segment whose endCount reaches each code is worked out once, in one pass over
// the segments, so a subtable of tens of thousands of segments costs one pass rather than
// one per code. Both resolve the code within its segment alike, so every answer, and
// every message, is exactly char_to_glyph's. The subtable must outlive the map.
class code_glyph_map {
  public:
    explicit code_glyph_map(const cmap_subtable& subtable);
    USHORT glyph_of(ULONG code) const;

  private:
    static constexpr std::uint32_t kNoSegment = 0xFFFFFFFF;

    const cmap_subtable& subtable_;
    std::size_t segments_ = 0;                  // format 4: the usable segments
    std::vector<std::uint32_t> first_segment_;  // format 4: by code, or kNoSegment
};
