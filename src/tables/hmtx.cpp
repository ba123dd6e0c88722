// hmtx table layout:
//   { USHORT advanceWidth; SHORT lsb; } hMetrics[hhea numberOfHMetrics]
//   SHORT  leftSideBearing[numGlyphs - numberOfHMetrics]   (advance = the last pair's)
#include "tables/hmtx.h"

#include <cstdio>

#include "tables/alloc.h"
#include "tables/hhea.h"
#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

// The entry of glyph i, or nothing after the lookup's message (prefixed by who).
const long_hor_metric* metric_of(font_object& font, USHORT i, const hmtx_elab* hmtx,
                                 const char* who) {
    if (!hmtx) {
        say(*font.messages, "%s: missing hmtx table\n", who);
        return nullptr;
    }
    if (hmtx->hMetrics.empty()) {
        say(*font.messages, "%s: no hmtx hMetrics table\n", who);
        return nullptr;
    }
    // A glyph of the font whose entry the table was too short to hold has no metric; the
    // parser said so once.
    if (hmtx->cut_short && i < glyphs_in(font) && i >= hmtx->hMetrics.size()) return nullptr;
    // The array is as long as the glyph count when parsed; guard both bounds.
    if (i >= glyphs_in(font) || i >= hmtx->hMetrics.size()) {
        say(*font.messages, "%s: glyph index %d too large\n", who, i);
        return nullptr;
    }
    return &hmtx->hMetrics[i];
}

}  // namespace

std::unique_ptr<hmtx_elab> do_hmtx(font_object& font) {
    const hhea_elab* hhea = hhea_table(font);
    std::size_t pairs = hhea ? hhea->numberOfHMetrics : 0;
    std::size_t glyphs = glyphs_in(font);
    if (glyphs < pairs) {
        say(*font.messages, "do_hmtx: nr of horz metrics (%ld) > nr of glyphs (%ld)!\n",
            static_cast<long>(pairs), static_cast<long>(glyphs));
        pairs = glyphs;
    }
    table_entry* entry = find_table(font, "hmtx", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);

    auto hmtx = new_record<hmtx_elab>(*font.messages);
    if (!hmtx) return nullptr;
    if (glyphs == 0) {
        // Nothing to hold: the glyph count comes from maxp, which is missing or says 0.
        say(*font.messages, "do_hmtx: the font has no glyphs (no maxp table, or numGlyphs 0)\n");
        return nullptr;
    }
    // Only the glyphs whose entries lie in the table get a metric, rather than a width of 0
    // made up from bytes past its end; the lookups give 0 for the others without a message
    // per glyph, this warning having said so once.
    const std::size_t fitting_pairs = in.fitting(pairs, 4, "hmtx", "numberOfHMetrics", "metrics");
    in.seek(4 * pairs);
    const std::size_t fitting_bearings =
        fitting_pairs < pairs ? 0
                              : in.fitting(glyphs - pairs, 2, "hmtx",
                                           "numGlyphs - numberOfHMetrics", "leftSideBearings");
    in.seek(0);
    hmtx->cut_short = fitting_pairs + fitting_bearings < glyphs;
    if (!allocate_array(hmtx->hMetrics, fitting_pairs + fitting_bearings, *font.messages))
        return nullptr;

    for (std::size_t i = 0; i < fitting_pairs; ++i) {
        hmtx->hMetrics[i].advanceWidth = in.u16();
        hmtx->hMetrics[i].lsb = in.s16();
    }
    // Without any pair (numberOfHMetrics 0, or no hhea) the other glyphs advance by 0.
    const USHORT shared_advance =
        pairs > 0 && fitting_pairs == pairs ? hmtx->hMetrics[pairs - 1].advanceWidth : 0;
    for (std::size_t i = pairs; i < pairs + fitting_bearings; ++i) {
        hmtx->hMetrics[i].advanceWidth = shared_advance;
        hmtx->hMetrics[i].lsb = in.s16();
    }
    return hmtx;
}

hmtx_elab* hmtx_table(font_object& font) {
    return elab_as<hmtx_elab>(font, "hmtx");
}

USHORT advanceWidth_of(font_object& font, USHORT glyph, const hmtx_elab* hmtx) {
    const long_hor_metric* m = metric_of(font, glyph, hmtx, "advanceWidth_of");
    return m ? m->advanceWidth : 0;
}

SHORT lsb_of(font_object& font, USHORT glyph, const hmtx_elab* hmtx) {
    const long_hor_metric* m = metric_of(font, glyph, hmtx, "lsb_of");
    return m ? m->lsb : 0;
}
