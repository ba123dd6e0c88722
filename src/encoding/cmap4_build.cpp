#include "encoding/cmap4_build.h"

#include <cstdio>
#include <new>

#include "font/font.h"

void warn_duplicate_codes(const std::vector<encoding_pair>& sorted, message_sink& messages) {
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i)
        if (sorted[i].code == sorted[i + 1].code)
            say(messages, "Warning: encoding duplicates char code 0x%04lx\n",
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

bool fill_segments(const std::vector<encoding_pair>& unique, cmap4_layout& out,
                   message_sink& messages) {
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
            say(messages, "Corrupted cmap during build!\n");
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

// Segments of the compact layout: pairs [first, last] of the sorted pairs, mapped through
// idDelta alone or through glyphIdArray.
struct planned_segment {
    std::size_t first = 0;
    std::size_t last = 0;
    bool by_delta = false;
};

bool glyphs_follow(const encoding_pair& a, const encoding_pair& b) {
    return static_cast<USHORT>(a.glyph + 1u) == b.glyph;
}

// Splits the code run [first, last] into segments: a run of consecutive glyph IDs becomes
// an idDelta segment when it spans the whole code run or is long enough to pay for its
// segment (and for the one it may split in two); the rest goes through glyphIdArray.
void plan_code_run(const std::vector<encoding_pair>& unique, std::size_t first, std::size_t last,
                   std::vector<planned_segment>& plan) {
    std::size_t array_start = first;  // first pair not yet in a segment
    for (std::size_t i = first; i <= last;) {
        std::size_t end = i;
        while (end < last && glyphs_follow(unique[end], unique[end + 1])) ++end;
        const bool whole = i == first && end == last;
        if (whole || end - i + 1 >= kMinDeltaRun) {
            if (array_start < i) plan.push_back({array_start, i - 1, false});
            plan.push_back({i, end, true});
            array_start = end + 1;
        }
        i = end + 1;
    }
    if (array_start <= last) plan.push_back({array_start, last, false});
}

std::vector<planned_segment> plan_compact(const std::vector<encoding_pair>& unique) {
    std::vector<planned_segment> plan;
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < unique.size(); ++i) {
        if (i + 1 < unique.size() && !opens_segment(unique[i].code, unique[i + 1].code)) continue;
        plan_code_run(unique, run_start, i, plan);
        run_start = i + 1;
    }
    return plan;
}

// The header fields that follow from segCount and the subtable's length.
void set_header(cmap4_layout& out, std::size_t segments, std::size_t length) {
    out.segCount = static_cast<USHORT>(segments);
    out.segCountX2 = static_cast<USHORT>(2 * segments);
    out.length = static_cast<USHORT>(length);
    out.entrySelector = entry_selector_for(out.segCount);
    out.searchRange = static_cast<USHORT>(2u << out.entrySelector);
    out.rangeShift = static_cast<USHORT>(out.segCountX2 - out.searchRange);
}

std::size_t layout_bytes(std::size_t segments, std::size_t array_entries) {
    return 16 + 8 * segments + 2 * array_entries;
}

void warn_too_long(std::size_t length, message_sink& messages) {
    say(messages,
        "build_cmap4_subtable: the subtable would take %zu bytes, more than its "
        "16-bit length can hold\n",
        length);
}

std::optional<cmap4_layout> layout_sorted_pairs(std::vector<encoding_pair>& pairs,
                                                message_sink& messages) {
    sort_encoding_pairs(pairs);
    warn_duplicate_codes(pairs, messages);
    drop_unreachable_duplicates(pairs);

    const std::size_t segments = count_segments(pairs);
    const std::size_t length = layout_bytes(segments, pairs.size());
    if (length > kMaxSubtableBytes) {
        std::size_t compact_length = 0;
        std::optional<cmap4_layout> compact = compact_layout(pairs, compact_length);
        if (!compact) warn_too_long(compact_length, messages);
        return compact;
    }

    cmap4_layout out;
    set_header(out, segments, length);
    if (!fill_segments(pairs, out, messages)) return std::nullopt;
    return out;
}

}  // namespace

std::optional<cmap4_layout> compact_layout(const std::vector<encoding_pair>& unique,
                                           std::size_t& length) {
    length = 0;
    if (unique.empty()) return std::nullopt;
    cmap4_layout out;
    const std::vector<planned_segment> plan = plan_compact(unique);
    const bool terminator = unique.back().code != 0xFFFF;
    const std::size_t segments = plan.size() + (terminator ? 1 : 0);
    for (const planned_segment& p : plan)
        if (!p.by_delta)
            for (std::size_t i = p.first; i <= p.last; ++i)
                out.glyphIdArray.push_back(unique[i].glyph);

    // idRangeOffset[s] is the byte distance from its own word to the glyphIdArray entry
    // of the segment's first code; glyphIdArray follows the segCount idRangeOffset words.
    std::size_t array_index = 0;
    for (std::size_t s = 0; s < plan.size(); ++s) {
        const encoding_pair& first = unique[plan[s].first];
        out.startCount.push_back(first.code);
        out.endCount.push_back(unique[plan[s].last].code);
        if (plan[s].by_delta) {
            out.idDelta.push_back(static_cast<USHORT>(first.glyph - first.code));
            out.idRangeOffset.push_back(0);
        } else {
            out.idDelta.push_back(0);
            out.idRangeOffset.push_back(static_cast<USHORT>(2 * (segments - s + array_index)));
            array_index += plan[s].last - plan[s].first + 1;
        }
    }
    if (terminator) {
        out.startCount.push_back(0xFFFF);
        out.endCount.push_back(0xFFFF);
        out.idDelta.push_back(1);  // 0xFFFF + 1 wraps to glyph 0
        out.idRangeOffset.push_back(0);
    }
    length = layout_bytes(segments, out.glyphIdArray.size());
    if (length > kMaxSubtableBytes) return std::nullopt;
    set_header(out, segments, length);
    return out;
}

std::optional<cmap4_layout> build_cmap4_layout(std::vector<encoding_pair>& pairs,
                                               message_sink& messages) {
    if (pairs.empty()) return std::nullopt;
    if (pairs.size() > kMaxEncodingPairs) {
        say(messages,
            "build_cmap4_subtable: %zu char codes, more than a format 4 subtable can "
            "hold (%zu)\n",
            pairs.size(), kMaxEncodingPairs);
        return std::nullopt;
    }
    try {
        return layout_sorted_pairs(pairs, messages);
    } catch (const std::bad_alloc&) {
        say(messages, "Out of memory!");
        return std::nullopt;
    }
}
