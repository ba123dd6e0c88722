// loca table layout: numGlyphs + 1 offsets into glyf, by head indexToLocFormat:
//   format 0: USHORT offset / 2 each
//   format 1: ULONG offset each
#include "tables/loca.h"

#include <cstdio>

#include "tables/alloc.h"
#include "tables/head.h"
#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

std::unique_ptr<loca_elab> do_loca(font_object& font) {
    std::size_t glyphs = glyphs_in(font);
    const head_elab* head = head_table(font);
    if (!head) return nullptr;
    SHORT format = head->indexToLocFormat;
    if (format != 0 && format != 1) {
        say(*font.messages, "do_loca: unknown format %d\n", format);
        return nullptr;
    }
    table_entry* entry = find_table(font, "loca", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);

    auto loca = new_record<loca_elab>(*font.messages);
    if (!loca || !allocate_array(loca->offsets, glyphs + 1, *font.messages)) return nullptr;
    // Entries beyond the end of the table read as offset 0.
    if (format == 0)
        for (LONG& offset : loca->offsets) offset = static_cast<LONG>(in.u16()) * 2;
    else
        for (LONG& offset : loca->offsets) offset = in.s32();
    return loca;
}

loca_elab* loca_table(font_object& font) {
    return elab_as<loca_elab>(font, "loca");
}
