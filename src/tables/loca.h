// The index-to-location (loca) table.
#pragma once

#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct loca_elab : elab_record {
    // numGlyphs + 1 byte offsets from the start of glyf: glyph g lies from offsets[g]
    // up to offsets[g + 1].
    std::vector<LONG> offsets;
};

std::unique_ptr<loca_elab> do_loca(font_object& font);

// The elaborated loca record, or nothing; never parses.
loca_elab* loca_table(font_object& font);
