// The setaw and getmetrics commands: one glyph's advance width, side bearing and box.
#pragma once

#include <cstdint>

class operand_stack;
struct font_object;

// Sets the named glyph's advance width (low 16 bits of width) in the hmtx record. 0 or -1.
int set_advance_width(font_object& font, const char* name, std::int32_t width);

// Pushes advanceWidth, lsb, xMin, yMin, xMax and yMax of the named glyph onto results.
// 0 or -1.
int get_glyph_metrics(font_object& font, const char* name, operand_stack& results);
