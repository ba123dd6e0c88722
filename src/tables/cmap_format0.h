// cmap format 0, byte encoding: one glyph byte for each of the codes 0..255.
//   0  USHORT format 0, length (262), language
//   6  BYTE glyphIdArray[256]
#pragma once

#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_support.h"

class cmap_format0 : public cmap_subtable {
  public:
    cmap_format0() { format = 0; }

    std::vector<USHORT> glyphIdArray;  // the 256 byte values
    USHORT glyphIdCount = 0;           // 256

    void walk(const cmap_visitor& visit) const override;
    char_range code_range() const override { return {0, 255}; }
    std::optional<dense_span> dense_codes() const override { return dense_span{0, 256}; }
    unsigned long byte_length() const override { return 6ul + glyphIdCount; }
    bool complete() const override { return glyphIdArray.size() >= glyphIdCount; }
    void write(mem_stream& out, unsigned long length) const override;
    void list() const override;

  protected:
    USHORT lookup(ULONG code) const override;
};

std::unique_ptr<cmap_subtable> read_cmap_format0(table_reader& in,
                                                 const cmap_read_context& context);
