// AFM 4.1 export: the metrics of a loaded font, as seen through one cmap subtable, in
// thousandths of an em.
#pragma once

#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "font/font.h"
#include "font/types.h"

struct post_elab;

// Converts a value in font units to AFM units (1000 per em), rounding half away from
// zero so that a font of 1000 units per em keeps every value as it is. unitsPerEm must
// not be 0 (write_afm refuses such a font before scaling anything).
long afm_scale(long v, USHORT unitsPerEm);

// A glyph's name as AFM text carries it, from the post table or a CFF charset alike:
// every byte outside 0x21..0x7E (the rule post names are read with) and every ";" (which
// ends an AFM field) becomes "X", so that no name adds a field or a line.
std::string afm_glyph_name(ULONG glyph, const post_elab& post);

// Writes the AFM text of the font through its platform.encoding subtable on the standard
// output; the header's comment echoes command_line (the program's arguments). 0 on success, -1
// after a message on failure (a font whose unitsPerEm is 0 is refused after the three header
// lines). The glyphs listed as unencoded are those no code reaches, whatever earlier commands
// asked of the font. A code that the subtable maps to a glyph index at or beyond the glyph count
// is still listed, with the width lookup's complaint and WX 0, and with an empty box (B 0 0 0 0),
// as for a glyph without outline: nothing is read from beyond the glyf array. Such a glyph gives
// no CapHeight or XHeight line.
//
// The TeX flavour is the AFM that TeX's font tools and every other AFM reader take: a header
// in plain ASCII with Ascender and Descender (hhea) and one Notice line; decimal
// "C code ; WX w ; N name ; B ... ;" lines (see tex_char_lines for which lines and names),
// with "L second ligature ;" entries for the liga feature's two-glyph ligatures; one
// StartKernData block holding one StartKernPairs list of every nonzero pair.
enum class afm_flavour { standard, tex };

struct afm_options {
    afm_flavour flavour = afm_flavour::standard;
    std::optional<std::time_t> date;  // the date to give, in UTC; the local time now when unset
};

int write_afm(font_object& font, USHORT platformID, USHORT encodingID,
              std::span<char* const> command_line, const afm_options& options = {});
