// A chart of one cmap subtable as a standalone SVG file: a grid of 16 codes per row, each
// mapped code drawn with its glyph's outline, its code, the glyph's name and a line at the
// advance width; unmapped codes are grey. The `chart` command handler is declared with
// the others in commands/commands.h.
#pragma once

#include "font/fileio.h"
#include "font/font.h"
#include "font/types.h"

// The layout, in SVG pixels. A row of 16 cells is kRowLabelWidth to the right of the left
// margin; rows follow the title from top to bottom, a skipped run of rows taking
// kGapHeight.
namespace chart_layout {
inline constexpr int kMargin = 16;
inline constexpr int kTitleHeight = 40;
inline constexpr int kRowLabelWidth = 64;
inline constexpr int kCellWidth = 64;
inline constexpr int kCellHeight = 80;
inline constexpr int kGapHeight = 28;
inline constexpr int kColumns = 16;
// Inside a cell: the code on top, the outline in the band below, the name at the bottom.
inline constexpr int kGlyphTop = 14;
inline constexpr int kGlyphHeight = 50;
}  // namespace chart_layout

// Writes the chart of the font's platformID.encodingID subtable to a new file at path
// ("-": the standard output). Formats 0 and 6 get every row of their code range; a
// format 2 or 4 subtable (and 12 or 13, up to U+FFFF) gets the rows that map at least
// one code, with a labelled gap where rows are left out. A subtable kept only as bytes
// fails with a message. An existing file at path is refused, or replaced when the new one is
// complete. 0, or -1 after a message (no file is left behind, a replaced one stays).
int write_chart(font_object& font, USHORT platformID, USHORT encodingID, const char* path,
                existing_file existing = existing_file::refuse);
