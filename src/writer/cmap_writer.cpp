// cmap table as written (big-endian):
//   0  USHORT version     always 0
//   2  USHORT numTables   subtables written (the non-empty slots)
//   4  encoding records, 8 bytes each, in slot order:
//        USHORT platformID, USHORT encodingID, ULONG offset (from the table's start)
//   then the subtables in the same order, back to back (every length is even):
//   format 0: USHORT format, length, language, BYTE glyphIdArray[256]
//   format 4: USHORT format, length, language, segCountX2, searchRange, entrySelector,
//             rangeShift, endCount[segCount], reservedPad (0), startCount[segCount],
//             idDelta[segCount], idRangeOffset[segCount], glyphIdArray[glyphIdCount]
//   format 6: USHORT format, length, language, firstCode, entryCount,
//             glyphIdArray[entryCount]
//   format 12, 13: USHORT format, reserved, ULONG length, language, numGroups, then
//             numGroups groups of ULONG startCharCode, endCharCode, startGlyphID
//   others:   the subtable's bytes as read, unchanged (without any: format, length 6,
//             language, a stub)
// Lengths are computed from the counts; the stored length field is not used.
#include <cstdio>
#include <vector>

#include "tables/cmap.h"
#include "writer/table_writers.h"

namespace {

constexpr unsigned long kMaxSubtableLength = 0xFFFF;  // the length field has 16 bits
constexpr long kEncodingRecordSize = 8;

unsigned long subtable_length(const cmap_subtable& sub) {
    switch (sub.format) {
        case 0:
            return 6ul + sub.glyphIdCount;
        case 4:
            return 16ul + 8ul * sub.segCount + 2ul * sub.glyphIdCount;
        case 6:
            return 10ul + 2ul * sub.glyphIdCount;
        case 12:
        case 13:
            return 16ul + 12ul * sub.groups.size();
        default:
            return sub.stored.empty() ? 6 : sub.stored.size();  // a record without bytes: a stub
    }
}

// Formats 0, 4 and 6 hold their length in 16 bits.
bool has_short_length(const cmap_subtable& sub) {
    return sub.format == 0 || sub.format == 4 || sub.format == 6;
}

// The arrays the subtable's counts promise are all there.
bool arrays_complete(const cmap_subtable& sub) {
    const std::size_t segments = sub.segCount;
    switch (sub.format) {
        case 0:
        case 6:
            return sub.glyphIdArray.size() >= sub.glyphIdCount;
        case 4:
            return sub.endCount.size() >= segments && sub.startCount.size() >= segments &&
                   sub.idDelta.size() >= segments && sub.idRangeOffset.size() >= segments &&
                   sub.glyphIdArray.size() >= sub.glyphIdCount;
        default:
            return true;
    }
}

template <class T>
void write_words(mem_stream& out, const std::vector<T>& words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) vwrite(words[i], 2, out);
}

void write_format0(mem_stream& out, const cmap_subtable& sub) {
    for (std::size_t i = 0; i < sub.glyphIdCount; ++i)
        out.put(static_cast<BYTE>(sub.glyphIdArray[i]));
}

void write_format4(mem_stream& out, const cmap_subtable& sub) {
    // segCountX2 and the search fields as held: whoever builds a record keeps them right.
    vwrite(sub.segCountX2, 2, out);
    vwrite(sub.searchRange, 2, out);
    vwrite(sub.entrySelector, 2, out);
    vwrite(sub.rangeShift, 2, out);
    write_words(out, sub.endCount, sub.segCount);
    vwrite(USHORT{0}, 2, out);  // reservedPad
    write_words(out, sub.startCount, sub.segCount);
    write_words(out, sub.idDelta, sub.segCount);
    write_words(out, sub.idRangeOffset, sub.segCount);
    write_words(out, sub.glyphIdArray, sub.glyphIdCount);
}

void write_groups(mem_stream& out, const cmap_subtable& sub, unsigned long length) {
    vwrite(sub.format, 2, out);
    vwrite(sub.reserved, 2, out);
    vwrite(static_cast<ULONG>(length), 4, out);
    vwrite(sub.language32, 4, out);
    vwrite(static_cast<ULONG>(sub.groups.size()), 4, out);
    for (const cmap_group& g : sub.groups) {
        vwrite(g.startCharCode, 4, out);
        vwrite(g.endCharCode, 4, out);
        vwrite(g.startGlyphID, 4, out);
    }
}

void write_format6(mem_stream& out, const cmap_subtable& sub) {
    vwrite(sub.firstCode, 2, out);
    vwrite(sub.glyphIdCount, 2, out);  // entryCount
    write_words(out, sub.glyphIdArray, sub.glyphIdCount);
}

}  // namespace

long generate_cmap_subtable(mem_stream& out, const cmap_subtable* subtable, long cmap_offset,
                            long data_offset, long record_offset) {
    if (!subtable) return -1;
    const cmap_subtable& sub = *subtable;
    if (!out.seek(record_offset)) {
        std::fprintf(stderr, "generate_cmap_subtable: cannot seek\n");
        return -1;
    }
    long subtable_offset = data_offset - cmap_offset;
    if (subtable_offset <= 0) return -1;

    unsigned long length = subtable_length(sub);
    if (has_short_length(sub) && length > kMaxSubtableLength) {
        // Cutting the length field would make the next subtable overlap this one.
        std::fprintf(stderr,
                     "generate_cmap_subtable: cmap %u.%u subtable (format %u) needs %lu bytes, "
                     "more than its 16-bit length allows\n",
                     sub.platformID, sub.encodingID, sub.format, length);
        return -1;
    }
    if (!arrays_complete(sub)) return -1;

    vwrite(sub.platformID, 2, out);
    vwrite(sub.encodingID, 2, out);
    vwrite(static_cast<ULONG>(subtable_offset), 4, out);

    if (!out.seek(data_offset)) {
        std::fprintf(stderr, "generate_cmap_subtable: cannot seek\n");
        return -1;
    }
    if (is_group_format(sub.format)) {
        write_groups(out, sub, length);
        return static_cast<long>(length);
    }
    if (!has_short_length(sub) && !sub.stored.empty()) {
        out.write(sub.stored.data(), sub.stored.size());
        return static_cast<long>(length);
    }
    if (!has_short_length(sub))
        std::fprintf(stderr, "generate_cmap_subtable: unknown format %u\n", sub.format);
    vwrite(sub.format, 2, out);
    vwrite(static_cast<USHORT>(length), 2, out);
    vwrite(sub.language, 2, out);
    if (sub.format == 0) write_format0(out, sub);
    if (sub.format == 4) write_format4(out, sub);
    if (sub.format == 6) write_format6(out, sub);
    return static_cast<long>(length);
}

long generate_cmap(font_object& font, mem_stream& out, long offset) {
    const cmap_elab* cmap = cmap_table(font);
    if (!cmap || cmap->subtables.size() < cmap->numTables) return -1;

    USHORT count = 0;
    for (std::size_t i = 0; i < cmap->numTables; ++i)
        if (cmap->subtables[i]) ++count;
    if (count != cmap->numTables)
        std::fprintf(stderr, "The cmap subtable count is adjusted to %u from original %u\n", count,
                     cmap->numTables);

    if (!out.seek(offset)) {
        std::fprintf(stderr, "generate_cmap: cannot seek\n");
        return -1;
    }
    vwrite(USHORT{0}, 2, out);  // version
    vwrite(count, 2, out);

    long record_position = offset + 4;
    long header_length = 4 + kEncodingRecordSize * count;
    long data_position = offset + header_length;
    long length = header_length;
    for (std::size_t i = 0; i < cmap->numTables; ++i) {
        const cmap_subtable* sub = cmap->subtables[i].get();
        if (!sub) continue;
        long written = generate_cmap_subtable(out, sub, offset, data_position, record_position);
        if (written < 0) return -1;
        length += written;
        data_position += written;
        record_position += kEncodingRecordSize;
    }
    return length;
}
