// The tables gen regenerates from their elaborated records: cmap, name, OS/2, hhea and
// hmtx. Each writer takes the font, the output and the table's data offset, seeks there
// itself, writes the whole table and returns its length in bytes, or -1.
#pragma once

#include "font/font.h"
#include "font/types.h"

struct cmap_subtable;
struct hmtx_elab;

long generate_cmap(font_object& font, mem_stream& out, long offset);
// Writes the encoding record at record_offset and the subtable at data_offset; returns
// the subtable's length (at most 65535), or -1.
long generate_cmap_subtable(mem_stream& out, const cmap_subtable* subtable, long cmap_offset,
                            long data_offset, long record_offset);

// Also stores each record's new string offset back into the name record.
long generate_name(font_object& font, mem_stream& out, long offset);

long generate_os2(font_object& font, mem_stream& out, long offset);

// Recompute advanceWidthMax, minLeftSideBearing, minRightSideBearing, xMaxExtent and
// numberOfHMetrics, and store them back into the hhea record.
long generate_hhea(font_object& font, mem_stream& out, long offset);
long generate_hmtx(font_object& font, mem_stream& out, long offset);

// How many glyphs just before the last one share its advance width (counting back to
// the first difference): those glyphs need no advance width of their own in hmtx.
USHORT trailing_width_run(const hmtx_elab* hmtx, USHORT num_glyphs);
