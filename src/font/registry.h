// Table elaboration: which parser serves which tag, the per-entry cache of parsed
// records, and the accessors the commands use.
#pragma once

#include <vector>

#include "font/font.h"

// Parses the table on first request and caches the record on its directory entry.
elab_record* load_elab_table(font_object& font, const char* tag, int complain);

// The cached record of a table (never parses); the lookup complains if the table is
// missing. Each table's source defines its typed accessor (cmap_table ...) on top.
elab_record* elab_of(font_object& font, const char* tag);

template <class T>
T* elab_as(font_object& font, const char* tag) {
    return static_cast<T*>(elab_of(font, tag));
}

// The ten tables the font command elaborates, in order: later parsers read the
// records of earlier ones.
extern const char* const font_elab_order[10];

// The tables the font command elaborates for this font, in order: font_elab_order for a
// TrueType font; for a font with CFF outlines, the CFF table in place of loca and glyf,
// before post.
std::vector<const char*> font_elab_order_of(const font_object& font);
