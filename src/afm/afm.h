// AFM 4.1 export: the metrics of a loaded font, as seen through one cmap subtable, in
// thousandths of an em.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct cmap_subtable;

// Converts a value in font units to AFM units (1000 per em), rounding half away from
// zero so that a font of 1000 units per em keeps every value as it is. unitsPerEm must
// not be 0 (write_afm refuses such a font before scaling anything).
long afm_scale(long v, USHORT unitsPerEm);

// The glyphs of all 65,536 codes through one subtable, for a walk over every code.
// char_to_glyph finds a code's format 4 segment by scanning from the first segment; here
// the first segment whose endCount reaches each code is worked out once, in one pass over
// the segments, so a subtable of tens of thousands of segments costs one pass rather than
// one per code. Every answer, and every message, is exactly char_to_glyph's.
class code_glyph_map {
  public:
    explicit code_glyph_map(const cmap_subtable& subtable);
    USHORT glyph_of(ULONG code) const;

  private:
    static constexpr std::uint32_t kNoSegment = 0xFFFFFFFF;

    const cmap_subtable& subtable_;
    std::vector<std::uint32_t> first_segment_;  // format 4: by code, or kNoSegment
};

// Writes the AFM text of the font through its platform.encoding subtable on the standard
// output; the header's comment echoes command_line (the program's arguments). 0 on success, -1
// after a message on failure (a font whose unitsPerEm is 0 is refused after the three header
// lines). All used marks of the post record are cleared first, so earlier name searches on the same
// font cannot hide unencoded glyphs. A code that the subtable maps to a glyph index at or beyond
// the glyph count is still listed, with the width lookup's complaint and WX 0, and with an empty
// box (B 0 0 0 0), as for a glyph without outline: nothing is read from beyond the glyf array. Such
// a glyph gives no CapHeight or XHeight line.
int write_afm(font_object& font, USHORT platformID, USHORT encodingID,
              std::span<char* const> command_line);
