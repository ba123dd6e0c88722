#include "tables/cmap_format4.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "tables/table_words.h"

std::unique_ptr<cmap_subtable> read_cmap_format4(table_reader& in,
                                                 const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_format4>(context);
    read_short_header(in, *sub);
    sub->segCountX2 = in.u16();
    sub->segCount = sub->segCountX2 >> 1;
    sub->searchRange = in.u16();
    sub->entrySelector = in.u16();
    sub->rangeShift = in.u16();
    // Whatever follows the segment arrays up to `length` is glyphIdArray. A length too
    // small for the segments wraps around to a large count, as 16-bit arithmetic does.
    int words_left = (int{sub->length} - 8 * int{sub->segCount} - 16) / 2;
    sub->glyphIdCount = static_cast<USHORT>(words_left);
    if (sub->segCount == 0) {
        say(in.messages(), "Empty %u.%u cmap!", sub->platformID, sub->encodingID);
        return nullptr;
    }
    context.budget.take_words(4 * std::size_t{sub->segCount} + sub->glyphIdCount);
    read_words(in, sub->endCount, sub->segCount);
    if (sub->endCount.back() != 0xFFFF) {
        say(in.messages(), "Bad %u.%u cmap--last endCode is not 0xffff\n", sub->platformID,
            sub->encodingID);
        return nullptr;
    }
    in.u16();  // reservedPad
    read_words(in, sub->startCount, sub->segCount);
    read_words(in, sub->idDelta, sub->segCount);
    read_words(in, sub->idRangeOffset, sub->segCount);
    read_words(in, sub->glyphIdArray, sub->glyphIdCount);
    return sub;
}

// Segments that can be indexed: the count says how many, the arrays how many are there.
// Records built in memory are trusted no more than parsed ones.
std::size_t cmap_format4::usable_segments() const {
    return std::min({std::size_t{segCount}, endCount.size(), startCount.size(), idDelta.size(),
                     idRangeOffset.size()});
}

// The glyph of `code` in the segment found for it: the first whose endCount is `code` or
// more, or `segments` (usable_segments) when there is none.
USHORT cmap_format4::glyph_in_segment(USHORT code, std::size_t i, std::size_t segments) const {
    if (i >= segments) return unmappable_code(code, *messages);
    if (startCount[i] > code) return 0;  // between two segments
    USHORT delta = static_cast<USHORT>(idDelta[i]);
    if (idRangeOffset[i] == 0) return static_cast<USHORT>(code + delta);
    // idRangeOffset counts bytes from its own entry; glyphIdArray follows the
    // idRangeOffset array in the file, so subtract the entries left to its end.
    long long index = static_cast<long long>(idRangeOffset[i] / 2) + (code - startCount[i]) -
                      (static_cast<long long>(segCount) - static_cast<long long>(i));
    if (index < 0 || index >= static_cast<long long>(glyphIdCount) ||
        static_cast<std::size_t>(index) >= glyphIdArray.size())
        return unmappable_code(code, *messages);
    USHORT glyph = glyphIdArray[static_cast<std::size_t>(index)];
    return glyph == 0 ? 0 : static_cast<USHORT>(glyph + delta);
}

USHORT cmap_format4::lookup(ULONG code) const {
    const auto c = static_cast<USHORT>(code);
    std::size_t segments = usable_segments();
    std::size_t i = 0;
    while (i < segments && endCount[i] < c) ++i;
    return glyph_in_segment(c, i, segments);
}

void cmap_format4::walk(const cmap_visitor& visit) const {
    // Code c belongs to the first segment whose endCount is c or more: walking the
    // segments in order, each one takes the codes from just above the highest endCount
    // before it up to its own endCount. Codes above every endCount belong to none.
    const std::size_t segments = usable_segments();
    ULONG code = 0;
    for (std::size_t i = 0; i < segments && code < 0xFFFF; ++i)
        for (; code <= endCount[i] && code < 0xFFFF; ++code)
            if (USHORT g = glyph_in_segment(static_cast<USHORT>(code), i, segments);
                g != 0 && !visit(code, g))
                return;
    for (; code < 0xFFFF; ++code) glyph_in_segment(static_cast<USHORT>(code), segments, segments);
}

char_range cmap_format4::code_range() const {
    // The last segment is the closing 0xFFFF one.
    if (segCount > 1 && startCount.size() >= segCount && endCount.size() >= segCount)
        return {startCount[0], endCount[segCount - 2]};
    return {};
}

bool cmap_format4::complete() const {
    const std::size_t segments = segCount;
    return endCount.size() >= segments && startCount.size() >= segments &&
           idDelta.size() >= segments && idRangeOffset.size() >= segments &&
           glyphIdArray.size() >= glyphIdCount;
}

void cmap_format4::write(mem_stream& out, unsigned long length) const {
    write_short_header(out, *this, length);
    // segCountX2 and the search fields as held: whoever builds a record keeps them right.
    vwrite(segCountX2, 2, out);
    vwrite(searchRange, 2, out);
    vwrite(entrySelector, 2, out);
    vwrite(rangeShift, 2, out);
    write_words(out, endCount, segCount);
    vwrite(USHORT{0}, 2, out);  // reservedPad
    write_words(out, startCount, segCount);
    write_words(out, idDelta, segCount);
    write_words(out, idRangeOffset, segCount);
    write_words(out, glyphIdArray, glyphIdCount);
}

void cmap_format4::list() const {
    list_array_head(*this, glyphIdCount, {segCountX2, searchRange, entrySelector, rangeShift});
    list_segment_array("endCode", endCount, segCount, "\t0x%04lx");
    list_segment_array("startCode", startCount, segCount, "\t0x%04lx");
    list_segment_array("idDelta", idDelta, segCount, " %5ld");
    list_segment_array("idRangeOffset", idRangeOffset, segCount, " %4ld");
    list_glyph_ids(glyphIdArray, glyphIdCount);
}
