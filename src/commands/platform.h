// The platform command: relabels an encoding (its cmap subtable and its name records).
#pragma once

#include <cstdint>

struct font_object;

// Moves the cmap subtable M.N and every name record of M.N to MM.NN, in place; nothing
// is converted or reordered. All four IDs are compared as 16-bit values. 0, or -1 with
// the font unchanged.
int relabel_encoding(font_object& font, std::int32_t M, std::int32_t N, std::int32_t MM,
                     std::int32_t NN);
