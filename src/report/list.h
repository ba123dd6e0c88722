// The list command: a readable report of one loaded font on the standard output.
#pragma once

struct font_object;
struct cmap_subtable;

// The whole report; missing tables are reported on the standard error stream and
// skipped. Always 0.
int do_list(font_object& font);

// One cmap subtable: its header, segment arrays and glyph indices. Null prints nothing.
void list_cmap_subtable(const cmap_subtable* subtable);
