#include "encoding/cmap4_build.h"

#include <cstdio>
#include <new>

#include "font/font.h"

void warn_duplicate_codes(const std::vector<encoding_pair>& sorted) {
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i)
        if (sorted[i].code == sorted[i + 1].code)
            std::fprintf(stderr, "Warning: encoding duplicates char code 0x%04lx\n",
                         static_cast<unsigned long>(sorted[i].code));
}

void drop_unreachable_duplicates(std::vector<encoding_pair>& sorted) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (kept == 0 || sorted[kept - 1].code != sorted[i].code) sorted[kept++] = sorted[i];
    sorted.resize(kept);
}

std::size_t count_segments(const std::vector<encoding_pair>& unique) {
    if (unique.empty()) return 0;
    std::size_t segments = 1;
    for (std::size_t i = 0; i + 1 < unique.size(); ++i)
        if (opens_segment(unique[i].code, unique[i + 1].code)) ++segments;
    if (unique.back().code != 0xFFFF) ++segments;  // the terminating 0xFFFF segment
    return segments;
}

bool fill_segments(const std::vector<encoding_pair>& unique, cmap4_layout& out) {
    const std::size_t segCount = out.segCount;
    if (unique.empty() || segCount == 0) return false;
    out.endCount.assign(segCount, 0);
    out.startCount.assign(segCount, 0);
    out.idDelta.assign(segCount, 0);
    out.idRangeOffset.assign(segCount, 0);
    out.glyphIdArray.resize(unique.size());
    for (std::size_t i = 0; i < unique.size(); ++i) out.glyphIdArray[i] = unique[i].glyph;

    auto next_segment = [&](std::size_t& s) {
        if (++s > segCount - 1) {
            std::fprintf(stderr, "Corrupted cmap during build!\n");
            return false;
        }
        return true;
    };

    // idRangeOffset[s] is the byte distance from its own word to the glyphIdArray entry
    // of the segment's first code; glyphIdArray follows the segCount idRangeOffset words.
    std::size_t s = 0;
    out.startCount[0] = unique[0].code;
    out.idRangeOffset[0] = static_cast<USHORT>(2 * segCount);
    for (std::size_t j = 0; j + 1 < unique.size(); ++j) {
        if (!opens_segment(unique[j].code, unique[j + 1].code)) continue;
        out.endCount[s] = unique[j].code;
        if (!next_segment(s)) return false;
        out.startCount[s] = unique[j + 1].code;
        out.idRangeOffset[s] = static_cast<USHORT>(2 * (segCount - s + j + 1));
    }
    out.endCount[s] = unique.back().code;
    if (unique.back().code != 0xFFFF) {
        if (!next_segment(s)) return false;
        out.endCount[s] = out.startCount[s] = 0xFFFF;
        out.idDelta[s] = 1;  // 0xFFFF + 1 wraps to glyph 0
        out.idRangeOffset[s] = 0;
    }
    return true;
}

namespace {

std::optional<cmap4_layout> layout_sorted_pairs(std::vector<encoding_pair>& pairs) {
    sort_encoding_pairs(pairs);
    warn_duplicate_codes(pairs);
    drop_unreachable_duplicates(pairs);

    const std::size_t segments = count_segments(pairs);
    const std::size_t length = 16 + 8 * segments + 2 * pairs.size();
    if (length > kMaxSubtableBytes) {
        std::fprintf(stderr,
                     "build_cmap4_subtable: the subtable would take %zu bytes, more than its "
                     "16-bit length can hold\n",
                     length);
        return std::nullopt;
    }

    cmap4_layout out;
    out.segCount = static_cast<USHORT>(segments);
    out.segCountX2 = static_cast<USHORT>(2 * segments);
    out.length = static_cast<USHORT>(length);
    out.entrySelector = entry_selector_for(out.segCount);
    out.searchRange = static_cast<USHORT>(2u << out.entrySelector);
    out.rangeShift = static_cast<USHORT>(out.segCountX2 - out.searchRange);
    if (!fill_segments(pairs, out)) return std::nullopt;
    return out;
}

}  // namespace

std::optional<cmap4_layout> build_cmap4_layout(std::vector<encoding_pair>& pairs) {
    if (pairs.empty()) return std::nullopt;
    if (pairs.size() > kMaxEncodingPairs) {
        std::fprintf(stderr,
                     "build_cmap4_subtable: %zu char codes, more than a format 4 subtable can "
                     "hold (%zu)\n",
                     pairs.size(), kMaxEncodingPairs);
        return std::nullopt;
    }
    try {
        return layout_sorted_pairs(pairs);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory!");
        return std::nullopt;
    }
}
