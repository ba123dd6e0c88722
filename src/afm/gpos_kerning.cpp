#include "afm/gpos_kerning.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "afm/afm.h"
#include "tables/kern.h"
#include "tables/post.h"

namespace {

ULONG key_of(USHORT left, USHORT right) {
    return ULONG{left} << 16 | right;
}

// Every pair that some format 0 subtable lists, whatever its coverage: the kern table's
// value for such a pair stands.
std::vector<ULONG> kern_table_keys(const kern_elab& kern) {
    std::vector<ULONG> keys;
    for (std::size_t t = 0; t < kern.nTables && t < kern.subtables.size(); ++t) {
        const kern_subtable& sub = kern.subtables[t];
        if (sub.format() != 0 || !sub.format0) continue;
        const kern_format0& data = *sub.format0;
        for (std::size_t i = 0; i < data.nPairs && i < data.pairs.size(); ++i)
            keys.push_back(key_of(data.pairs[i].left, data.pairs[i].right));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace

std::vector<gpos_pair> gpos_pairs_beyond_kern(font_object& font, const kern_elab* kern) {
    const gpos_kerning& kerning = gpos_kern_pairs(font);
    if (!kern) return kerning.pairs;
    const std::vector<ULONG> listed = kern_table_keys(*kern);
    std::vector<gpos_pair> beyond;
    auto next = listed.begin();
    for (const gpos_pair& pair : kerning.pairs) {
        const ULONG key = key_of(pair.left, pair.right);
        next = std::lower_bound(next, listed.end(), key);
        if (next == listed.end() || *next != key) beyond.push_back(pair);
    }
    return beyond;
}

void write_gpos_kern_block(font_object& font, const post_elab& post, USHORT unitsPerEm,
                           const kern_elab* kern) {
    const std::vector<gpos_pair> pairs = gpos_pairs_beyond_kern(font, kern);
    if (pairs.empty()) return;
    std::printf("Comment Kern pairs from GPOS pair adjustments (kern feature)\n");
    std::printf("StartKernPairs %zu\n", pairs.size());
    for (const gpos_pair& pair : pairs) {
        std::printf("KPX %s %s %ld\n", afm_glyph_name(pair.left, post).c_str(),
                    afm_glyph_name(pair.right, post).c_str(), afm_scale(pair.value, unitsPerEm));
    }
    std::printf("EndKernPairs\n");
}

bool write_gpos_kern_data(font_object& font, const post_elab& post, USHORT unitsPerEm) {
    if (gpos_pairs_beyond_kern(font, nullptr).empty()) return false;
    std::printf("StartKernData\n");
    write_gpos_kern_block(font, post, unitsPerEm, nullptr);
    std::printf("EndKernData\n");
    return true;
}
