// cmap table as written (big-endian):
//   0  USHORT version     always 0
//   2  USHORT numTables   subtables written (the non-empty slots)
//   4  encoding records, 8 bytes each, in slot order:
//        USHORT platformID, USHORT encodingID, ULONG offset (from the table's start)
//   then the subtables in the same order, back to back (every length is even), each as its
//   type writes it; encoding records whose subtables were one in the source table point
//   at one written copy.
// Lengths are computed from the counts; the stored length field is not used.
#include <cstdio>
#include <map>
#include <vector>

#include "tables/cmap.h"
#include "writer/table_writers.h"

namespace {

constexpr unsigned long kMaxSubtableLength = 0xFFFF;  // the length field has 16 bits
constexpr long kEncodingRecordSize = 8;

bool write_encoding_record(mem_stream& out, const cmap_subtable& sub, long record_offset,
                           long subtable_offset) {
    if (!out.seek(record_offset)) {
        say(*sub.messages, "generate_cmap_subtable: cannot seek\n");
        return false;
    }
    vwrite(sub.platformID, 2, out);
    vwrite(sub.encodingID, 2, out);
    vwrite(static_cast<ULONG>(subtable_offset), 4, out);
    return true;
}

// A subtable written before that was one with `sub` in the source table.
struct written_subtable {
    const cmap_subtable* sub = nullptr;
    long offset = 0;  // from the cmap table's start
};

const written_subtable* shared_with(const std::map<ULONG, written_subtable>& written,
                                    const cmap_subtable& sub) {
    if (!sub.source_offset) return nullptr;
    auto it = written.find(*sub.source_offset);
    if (it == written.end()) return nullptr;
    const cmap_subtable& earlier = *it->second.sub;
    // Both copies are still what was read: a subtable replaced since has no source offset.
    if (earlier.format != sub.format || earlier.byte_length() != sub.byte_length()) return nullptr;
    return &it->second;
}

}  // namespace

long generate_cmap_subtable(mem_stream& out, const cmap_subtable* subtable, long cmap_offset,
                            long data_offset, long record_offset) {
    if (!subtable) return -1;
    const cmap_subtable& sub = *subtable;
    if (!out.seek(record_offset)) {
        say(*sub.messages, "generate_cmap_subtable: cannot seek\n");
        return -1;
    }
    const long subtable_offset = data_offset - cmap_offset;
    if (subtable_offset <= 0) return -1;

    unsigned long length = sub.byte_length();
    if (sub.short_length() && length > kMaxSubtableLength) {
        // Cutting the length field would make the next subtable overlap this one.
        say(*sub.messages,
            "generate_cmap_subtable: cmap %u.%u subtable (format %u) needs %lu bytes, "
            "more than its 16-bit length allows\n",
            sub.platformID, sub.encodingID, sub.format, length);
        return -1;
    }
    if (!sub.complete()) return -1;

    if (!write_encoding_record(out, sub, record_offset, subtable_offset)) return -1;
    if (!out.seek(data_offset)) {
        say(*sub.messages, "generate_cmap_subtable: cannot seek\n");
        return -1;
    }
    sub.write(out, length);
    return static_cast<long>(length);
}

long generate_cmap(font_object& font, mem_stream& out, long offset) {
    const cmap_elab* cmap = cmap_table(font);
    if (!cmap || cmap->subtables.size() < cmap->numTables) return -1;

    USHORT count = 0;
    for (std::size_t i = 0; i < cmap->numTables; ++i)
        if (cmap->subtables[i]) ++count;
    if (count != cmap->numTables)
        say(*font.messages, "The cmap subtable count is adjusted to %u from original %u\n", count,
            cmap->numTables);

    if (!out.seek(offset)) {
        say(*font.messages, "generate_cmap: cannot seek\n");
        return -1;
    }
    vwrite(USHORT{0}, 2, out);  // version
    vwrite(count, 2, out);

    long record_position = offset + 4;
    long header_length = 4 + kEncodingRecordSize * count;
    long data_position = offset + header_length;
    long length = header_length;
    std::map<ULONG, written_subtable> written;  // by source offset
    for (std::size_t i = 0; i < cmap->numTables; ++i) {
        const cmap_subtable* sub = cmap->subtables[i].get();
        if (!sub) continue;
        if (const written_subtable* earlier = shared_with(written, *sub)) {
            if (!write_encoding_record(out, *sub, record_position, earlier->offset)) return -1;
            record_position += kEncodingRecordSize;
            continue;
        }
        long size = generate_cmap_subtable(out, sub, offset, data_position, record_position);
        if (size < 0) return -1;
        if (sub->source_offset)
            written.try_emplace(*sub->source_offset, written_subtable{sub, data_position - offset});
        length += size;
        data_position += size;
        record_position += kEncodingRecordSize;
    }
    return length;
}
