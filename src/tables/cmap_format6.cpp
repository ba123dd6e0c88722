#include "tables/cmap_format6.h"

#include <algorithm>

#include "tables/table_words.h"

std::unique_ptr<cmap_subtable> read_cmap_format6(table_reader& in,
                                                 const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_format6>(context);
    read_short_header(in, *sub);
    sub->firstCode = in.u16();
    sub->glyphIdCount = in.u16();  // entryCount
    context.budget.take_words(sub->glyphIdCount);
    read_words(in, sub->glyphIdArray, sub->glyphIdCount);
    return sub;
}

USHORT cmap_format6::lookup(ULONG code) const {
    if (code < firstCode) return 0;
    std::size_t k = code - firstCode;
    return k < glyphIdCount && k < glyphIdArray.size() ? glyphIdArray[k] : 0;
}

void cmap_format6::walk(const cmap_visitor& visit) const {
    // Codes past 0xFFFE are not reached: 16-bit codes stop there.
    const std::size_t entries = std::min<std::size_t>(glyphIdCount, glyphIdArray.size());
    for (std::size_t k = 0; k < entries && firstCode + k < 0xFFFF; ++k) {
        const auto code = static_cast<ULONG>(firstCode + k);
        if (glyphIdArray[k] != 0 && !visit(code, glyphIdArray[k])) return;
    }
}

void cmap_format6::write(mem_stream& out, unsigned long length) const {
    write_short_header(out, *this, length);
    vwrite(firstCode, 2, out);
    vwrite(glyphIdCount, 2, out);  // entryCount
    write_words(out, glyphIdArray, glyphIdCount);
}

void cmap_format6::list() const {
    list_array_head(*this, glyphIdCount, {});
    list_no_segments();
    list_glyph_ids(glyphIdArray, glyphIdCount);
}
