// The AFM kerning block that GPOS adds to the kern table's pairs: the pairs the `kern`
// feature's pair adjustments kern and no format 0 kern subtable lists.
#pragma once

#include <vector>

#include "font/font.h"
#include "font/types.h"
#include "tables/gpos.h"

struct kern_elab;
struct post_elab;

// The GPOS pairs that no format 0 subtable of kern (which may be null) lists, in GPOS
// order: by left glyph index, then right.
std::vector<gpos_pair> gpos_pairs_beyond_kern(font_object& font, const kern_elab* kern);

// Inside a kerning section: a comment, then "StartKernPairs N", a KPX line per pair of
// gpos_pairs_beyond_kern and "EndKernPairs". Nothing when there are no such pairs.
void write_gpos_kern_block(font_object& font, const post_elab& post, USHORT unitsPerEm,
                           const kern_elab* kern);

// For a font without kern: the whole kerning section ("StartKernData", the block,
// "EndKernData") when GPOS kerns any pair; false, with nothing written, otherwise.
bool write_gpos_kern_data(font_object& font, const post_elab& post, USHORT unitsPerEm);
