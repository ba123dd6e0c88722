// The (character code, glyph index) pairs an encoding file yields, and their sort.
#pragma once

#include <cstddef>
#include <vector>

#include "font/types.h"

struct encoding_pair {
    ULONG code = 0;  // up to 0xFFFF for a format 4 subtable, 0x10FFFF for format 12
    USHORT glyph = 0;
};

// Sorts by code, ascending. Pairs with equal codes end up in the order that this exchange
// sort leaves them in:
//
//     for i in 1 .. n-1: for j in 0 .. i-1: if code(i) < code(j): exchange pairs i and j
//
// That order decides which of several glyphs for one code a lookup finds, so it is kept
// exactly; the work is O(n log n) all the same (see the source for how).
void sort_encoding_pairs(std::vector<encoding_pair>& pairs);
