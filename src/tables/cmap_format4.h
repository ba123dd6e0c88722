// cmap format 4, segment mapping to delta values: 16-bit codes in segments.
//   0  USHORT format 4, length, language
//   6  USHORT segCountX2, searchRange, entrySelector, rangeShift
//  14  USHORT endCount[segCount], reservedPad, startCount[segCount], SHORT idDelta[segCount],
//      USHORT idRangeOffset[segCount], glyphIdArray[] (to the end of the subtable)
#pragma once

#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_support.h"

class cmap_format4 : public cmap_subtable {
  public:
    cmap_format4() { format = 4; }

    USHORT segCountX2 = 0;
    USHORT segCount = 0;  // segCountX2 >> 1
    USHORT searchRange = 0;
    USHORT entrySelector = 0;
    USHORT rangeShift = 0;
    std::vector<USHORT> endCount;       // segCount entries
    std::vector<USHORT> startCount;     // segCount entries
    std::vector<SHORT> idDelta;         // segCount entries, added modulo 65536
    std::vector<USHORT> idRangeOffset;  // segCount entries, byte offsets as in the file
    // The words after idRangeOffset. An idRangeOffset reaches into this array as if it
    // followed idRangeOffset directly, as it does in the file.
    std::vector<USHORT> glyphIdArray;
    USHORT glyphIdCount = 0;  // computed from the length

    // The walk works out the first segment whose endCount reaches each code once, in one
    // pass over the segments, instead of scanning from the first segment per code as a
    // lookup does; both resolve the code within its segment alike, so every answer, and
    // every message, is the lookup's.
    void walk(const cmap_visitor& visit) const override;
    char_range code_range() const override;
    unsigned long byte_length() const override {
        return 16ul + 8ul * segCount + 2ul * glyphIdCount;
    }
    bool complete() const override;
    void write(mem_stream& out, unsigned long length) const override;
    void list() const override;

  protected:
    USHORT lookup(ULONG code) const override;

  private:
    std::size_t usable_segments() const;
    USHORT glyph_in_segment(USHORT code, std::size_t i, std::size_t segments) const;
};

std::unique_ptr<cmap_subtable> read_cmap_format4(table_reader& in,
                                                 const cmap_read_context& context);
