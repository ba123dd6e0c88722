// The tables kestrix reads: loading a font with the tables' own checks, which parser serves
// which tag, the order the font command elaborates them in, the per-entry cache of parsed
// records, and the accessors the commands use.
#pragma once

#include <memory>
#include <vector>

#include "font/font.h"

// Reads the font file and its directory (read_font), then checks what the tables
// themselves promise at load (head's magic number); nothing when the file cannot be read.
std::unique_ptr<font_object> load_font(const char* path, const load_options& options);

// Parses the table on first request and caches the record on its directory entry.
elab_record* load_elab_table(font_object& font, const char* tag, int complain);

// The cached record of a table (never parses); the lookup complains if the table is
// missing. Each table's source defines its typed accessor (cmap_table ...) on top.
elab_record* elab_of(font_object& font, const char* tag);

template <class T>
T* elab_as(font_object& font, const char* tag) {
    return static_cast<T*>(elab_of(font, tag));
}

// The tables the font command elaborates for this font, in order (later parsers read the
// records of earlier ones): for a TrueType font maxp, cmap, name, post, OS/2, hhea, hmtx,
// head, loca and glyf; for a font with CFF outlines, its CFF table in place of loca and
// glyf, before post, whose parser takes the charset's glyph names from it.
std::vector<const char*> font_elab_order_of(const font_object& font);
