// Construction of a format 12 (segmented coverage) cmap subtable from code/glyph pairs:
// the subtable of the Unicode full-repertoire encodings, which reaches past 0xFFFF.
#pragma once

#include <memory>
#include <vector>

#include "encoding/encoding_pairs.h"
#include "font/messages.h"

struct cmap_subtable;

// Platform.encoding pairs whose subtable is built as format 12: Microsoft UCS-4 (3.10)
// and Unicode full repertoire (0.4, 0.6).
bool takes_format12(USHORT platformID, USHORT encodingID);

// Groups of consecutive codes mapped to consecutive glyphs, ascending. The pairs are sorted
// in place; of several pairs for one code the one a lookup would find is kept and every
// duplicate is warned about, as for format 4. Nothing when there are no pairs.
std::unique_ptr<cmap_subtable> build_cmap12_subtable(std::vector<encoding_pair>& pairs,
                                                     message_sink& messages);
