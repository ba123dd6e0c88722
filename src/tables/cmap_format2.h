// cmap format 2, the high-byte mapping of the two-byte encodings of older Chinese,
// Japanese and Korean fonts (Shift-JIS, Big5, GB 2312, KS C 5601). The subtable keeps its
// stored bytes as cmap_kept does, and gen writes them back unchanged; lookups and the
// listing read them.
//
// Layout (big-endian, offsets from the subtable's start):
//   0  USHORT format             2
//   2  USHORT length
//   4  USHORT language
//   6  USHORT subHeaderKeys[256]  by first byte: 8 * the subHeader it selects
// 518  subHeaders, 8 bytes each, as many as the largest key selects:
//        USHORT firstCode        first second byte (or single byte) mapped
//        USHORT entryCount       bytes mapped from firstCode on
//        SHORT  idDelta          added, modulo 65536, to a non-zero glyph index
//        USHORT idRangeOffset    bytes from this field to the glyph index of firstCode
//      USHORT glyphIdArray[]      to the end of the subtable
// A first byte whose key is 0 is a one-byte code, mapped through subHeader 0; a first
// byte with a non-zero key starts a two-byte code whose second byte its subHeader maps.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "tables/cmap_kept.h"

class cmap_format2 : public cmap_kept {
  public:
    // Says once when the subtable cannot hold its keys or the subHeaders they select;
    // codes through those map nothing.
    void check() const;

    // How many codes are mapped, the header, the first bytes of two-byte codes with their
    // subHeaders, the subHeaders, then one line per range of codes a subHeader maps (first
    // code, last code, subHeader).
    void list() const override;
    bool maps_codes() const override { return !stored.empty(); }

  protected:
    USHORT lookup(ULONG code) const override;
};

std::unique_ptr<cmap_subtable> read_cmap_format2(table_reader& in,
                                                 const cmap_read_context& context);

// The glyph of a 16-bit code through a format 2 subtable's bytes: 0 when the subtable maps
// nothing there, nothing when the glyph index it points to lies outside the subtable.
std::optional<USHORT> format2_glyph(const std::vector<BYTE>& stored, USHORT code);
