// cmap format 14, Unicode variation sequences: for each variation selector, the base
// characters whose sequence shows the glyph the character maps to anyway (default UVS) and
// those with a glyph of their own (non-default UVS). It maps no single codes; the subtable
// keeps its stored bytes as cmap_kept does, gen writes them back unchanged, and the
// listing reads them.
//
// Layout (big-endian, offsets from the subtable's start):
//   0  USHORT format                  14
//   2  ULONG  length
//   6  ULONG  numVarSelectorRecords
//  10  records, 11 bytes each: UINT24 varSelector, ULONG defaultUVSOffset,
//        ULONG nonDefaultUVSOffset (0: none)
// Default UVS: ULONG numUnicodeValueRanges, then 4-byte ranges of UINT24 startUnicodeValue
//   and BYTE additionalCount (the range covers additionalCount + 1 characters).
// Non-default UVS: ULONG numUVSMappings, then 5-byte mappings of UINT24 unicodeValue and
//   USHORT glyphID.
#pragma once

#include <memory>

#include "tables/cmap_kept.h"

class cmap_format14 : public cmap_kept {
  public:
    // The header, then one line per variation selector with how many default and
    // non-default mappings it has. Counts that claim more than the subtable holds are cut
    // to what it holds, with a warning.
    void list() const override;
};

std::unique_ptr<cmap_subtable> read_cmap_format14(table_reader& in,
                                                  const cmap_read_context& context);
