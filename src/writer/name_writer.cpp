// name table as written (format 0; the source's format is not kept):
//   0  USHORT format        0
//   2  USHORT count         name records
//   4  USHORT stringOffset  6 + 12 * count
//   6  name records, 12 bytes each, in record order:
//        USHORT platformID, encodingID, languageID, nameID, length, offset
//   stringOffset: the strings, in record order, unshared and unpadded; each record's
//        offset is the sum of the lengths before it.
#include <cstdio>

#include "tables/name.h"
#include "writer/table_writers.h"

namespace {

constexpr unsigned long kMaxOffset = 0xFFFF;  // stringOffset and offset have 16 bits
constexpr unsigned long kNameRecordSize = 12;

}  // namespace

long generate_name(font_object& font, mem_stream& out, long offset) {
    name_elab* name = name_table(font);
    if (!name || name->records.size() < name->count) return -1;

    unsigned long string_offset = 6 + kNameRecordSize * name->count;
    unsigned long total = 0;  // running length of the string storage
    bool addressable = string_offset <= kMaxOffset;
    for (std::size_t i = 0; i < name->count; ++i) {
        const name_record& r = name->records[i];
        if (r.string.size() < r.length) {
            say(*font.messages, "generate_name: name record %zu holds %zu of its %u bytes\n", i,
                r.string.size(), r.length);
            return -1;
        }
        if (total > kMaxOffset) addressable = false;  // this record's offset
        total += r.length;
    }
    if (!addressable) {
        say(*font.messages,
            "generate_name: name table too large: %lu records and %lu bytes of strings "
            "exceed its 16-bit offsets\n",
            static_cast<unsigned long>(name->count), total);
        return -1;
    }
    // Everything fits: the new offsets go into the records.
    USHORT next = 0;
    for (std::size_t i = 0; i < name->count; ++i) {
        name->records[i].offset = next;
        next = static_cast<USHORT>(next + name->records[i].length);
    }

    if (!out.seek(offset)) {
        say(*font.messages, "generate_name: cannot seek\n");
        return -1;
    }
    vwrite(USHORT{0}, 2, out);  // format
    vwrite(name->count, 2, out);
    vwrite(static_cast<USHORT>(string_offset), 2, out);
    for (std::size_t i = 0; i < name->count; ++i) {
        const name_record& r = name->records[i];
        vwrite(r.platformID, 2, out);
        vwrite(r.encodingID, 2, out);
        vwrite(r.languageID, 2, out);
        vwrite(r.nameID, 2, out);
        vwrite(r.length, 2, out);
        vwrite(r.offset, 2, out);
    }
    for (std::size_t i = 0; i < name->count; ++i) {
        const name_record& r = name->records[i];
        out.write(reinterpret_cast<const BYTE*>(r.string.data()), r.length);
    }
    return static_cast<long>(string_offset + total);
}
