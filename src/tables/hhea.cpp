// hhea table layout (36 bytes):
//   0 Fixed  version            1.0
//   4 SHORT  ascender, descender, lineGap
//  10 USHORT advanceWidthMax
//  12 SHORT  minLeftSideBearing, minRightSideBearing, xMaxExtent
//  18 SHORT  caretSlopeRise, caretSlopeRun
//  22 SHORT  reserved[5]
//  32 SHORT  metricDataFormat   0
//  34 USHORT numberOfHMetrics
#include "tables/hhea.h"

#include <cstdio>

#include "tables/alloc.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {
constexpr LONG kVersion1 = 0x00010000;
}

std::unique_ptr<hhea_elab> do_hhea(font_object& font) {
    table_entry* entry = find_table(font, "hhea", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    auto hhea = new_record<hhea_elab>(*font.messages);
    if (!hhea) return nullptr;

    hhea->version = in.s32();
    if (hhea->version != kVersion1) {
        say(*font.messages, "do_hhea: version 0x%08lx of hhea table unknown\n",
            static_cast<unsigned long>(static_cast<ULONG>(hhea->version)));
        return nullptr;
    }
    hhea->ascender = in.s16();
    hhea->descender = in.s16();
    hhea->lineGap = in.s16();
    hhea->advanceWidthMax = in.u16();
    hhea->minLeftSideBearing = in.s16();
    hhea->minRightSideBearing = in.s16();
    hhea->xMaxExtent = in.s16();
    hhea->caretSlopeRise = in.s16();
    hhea->caretSlopeRun = in.s16();
    for (USHORT& word : hhea->reserved) word = in.u16();
    hhea->metricDataFormat = in.s16();
    if (hhea->metricDataFormat != 0)
        say(*font.messages, "%s: unknown hhea metricDataFormat: %d\n", font.font_path.c_str(),
            hhea->metricDataFormat);
    hhea->numberOfHMetrics = in.u16();
    return hhea;
}

hhea_elab* hhea_table(font_object& font) {
    return elab_as<hhea_elab>(font, "hhea");
}
