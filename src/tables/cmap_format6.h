// cmap format 6, trimmed table: one glyph word for each code of one run.
//   0  USHORT format 6, length, language
//   6  USHORT firstCode, entryCount
//  10  USHORT glyphIdArray[entryCount]
#pragma once

#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_support.h"

class cmap_format6 : public cmap_subtable {
  public:
    cmap_format6() { format = 6; }

    USHORT firstCode = 0;
    std::vector<USHORT> glyphIdArray;
    USHORT glyphIdCount = 0;  // entryCount

    void walk(const cmap_visitor& visit) const override;
    char_range code_range() const override {
        return {firstCode, static_cast<USHORT>(firstCode + glyphIdCount - 1)};
    }
    std::optional<dense_span> dense_codes() const override {
        return dense_span{firstCode, glyphIdCount};
    }
    unsigned long byte_length() const override { return 10ul + 2ul * glyphIdCount; }
    bool complete() const override { return glyphIdArray.size() >= glyphIdCount; }
    void write(mem_stream& out, unsigned long length) const override;
    void list() const override;

  protected:
    USHORT lookup(ULONG code) const override;
};

std::unique_ptr<cmap_subtable> read_cmap_format6(table_reader& in,
                                                 const cmap_read_context& context);
