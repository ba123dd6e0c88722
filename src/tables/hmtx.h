// The horizontal metrics (hmtx) table and the per-glyph metric lookups.
#pragma once

#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct long_hor_metric {
    USHORT advanceWidth = 0;
    SHORT lsb = 0;  // left side bearing
};

struct hmtx_elab : elab_record {
    // The table was too short for every glyph's entry: hMetrics holds those it has, and
    // the others' lookups give 0 without a message each (the parser gave one).
    bool cut_short = false;
    // One entry per glyph (numGlyphs when parsed, fewer when cut_short): the numberOfHMetrics
    // pairs, then the glyphs that share the last advance width, each with its own lsb.
    std::vector<long_hor_metric> hMetrics;
    // Set by setaw: the device tables (hdmx, LTSH, VDMX) were made for the old widths.
    bool widths_changed = false;
};

std::unique_ptr<hmtx_elab> do_hmtx(font_object& font);

// The elaborated hmtx record, or nothing; never parses.
hmtx_elab* hmtx_table(font_object& font);

// Metrics of one glyph from the caller's hmtx record; 0 (with a message) when the record
// or its array is missing or the glyph is not below the font's glyph count.
USHORT advanceWidth_of(font_object& font, USHORT glyph, const hmtx_elab* hmtx);
SHORT lsb_of(font_object& font, USHORT glyph, const hmtx_elab* hmtx);
