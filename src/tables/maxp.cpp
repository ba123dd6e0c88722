// maxp table layout, version 1.0 (32 bytes):
//   0 Fixed  version            1.0
//   4 USHORT numGlyphs
//   6 USHORT maxPoints, maxContours, maxCompositePoints, maxCompositeContours,
//            maxZones, maxTwilightPoints, maxStorage, maxFunctionDefs,
//            maxInstructionDefs, maxStackElements, maxSizeOfInstructions,
//            maxComponentElements, maxComponentDepth
#include "tables/maxp.h"

#include <cstdio>

#include "tables/alloc.h"
#include "tables/cff.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {
constexpr LONG kVersion1 = 0x00010000;
// The 6-byte version of fonts whose outlines are in CFF: numGlyphs only.
constexpr LONG kVersion05 = 0x00005000;
}  // namespace

std::unique_ptr<maxp_elab> do_maxp(font_object& font) {
    table_entry* entry = find_table(font, "maxp", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    auto maxp = new_record<maxp_elab>(*font.messages);
    if (!maxp) return nullptr;

    maxp->version = in.s32();
    const bool glyph_count_only = maxp->version == kVersion05 && has_cff_outlines(font);
    if (maxp->version != kVersion1 && !glyph_count_only) {
        say(*font.messages, "do_maxp: version 0x%08lx of maxp table unknown\n",
            static_cast<unsigned long>(static_cast<ULONG>(maxp->version)));
        return nullptr;
    }
    maxp->numGlyphs = in.u16();
    if (maxp->numGlyphs == 0)
        say(*font.messages, "%s: warning: numGlyphs is 0\n", font.font_path.c_str());
    if (glyph_count_only) return maxp;
    for (USHORT* field :
         {&maxp->maxPoints, &maxp->maxContours, &maxp->maxCompositePoints,
          &maxp->maxCompositeContours, &maxp->maxZones, &maxp->maxTwilightPoints, &maxp->maxStorage,
          &maxp->maxFunctionDefs, &maxp->maxInstructionDefs, &maxp->maxStackElements,
          &maxp->maxSizeOfInstructions, &maxp->maxComponentElements, &maxp->maxComponentDepth})
        *field = in.u16();
    return maxp;
}

maxp_elab* maxp_table(font_object& font) {
    return elab_as<maxp_elab>(font, "maxp");
}

USHORT glyphs_in(font_object& font) {
    const maxp_elab* maxp = maxp_table(font);
    if (!maxp) {
        say(*font.messages, "glyphs_in: no maxp table\n");
        return 0;
    }
    return maxp->numGlyphs;
}
