// name table layout (big-endian):
//   0  USHORT format
//   2  USHORT count         name records that follow
//   4  USHORT stringOffset  start of the string storage, from the table's start
//   6  name records, 12 bytes each:
//        USHORT platformID, encodingID, languageID, nameID, length, offset
//        (offset from the start of the string storage)
#include "tables/name.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "font/parsers.h"
#include "font/registry.h"

namespace {

// Bytes of strings one name record may hold. Records may share their string storage, so
// a small hostile table could otherwise ask for gigabytes of copies; going over counts as
// running out of memory. Real name tables hold well under a megabyte.
constexpr std::size_t kStringStorageLimit = std::size_t{64} << 20;

// The bytes are missing from the file, not refused by the system: report that no system
// call failed rather than whatever an earlier call left behind.
void report_short_data(const char* text) {
    errno = 0;
    std::perror(text);
}

void read_record_header(mem_stream& s, name_record& r) {
    r.platformID = read_ushort(s);
    r.encodingID = read_ushort(s);
    r.languageID = read_ushort(s);
    r.nameID = read_ushort(s);
    r.length = read_ushort(s);
    r.offset = read_ushort(s);
}

}  // namespace

std::unique_ptr<name_elab> do_name(font_object& font) {
    table_entry* entry = find_table(font, "name", 1);
    if (!entry) return nullptr;
    mem_stream& s = font.in_stream;
    try {
        auto name = std::make_unique<name_elab>();
        name->format = read_ushort(s);
        name->count = read_ushort(s);
        name->stringOffset = read_ushort(s);
        name->records.resize(name->count);
        for (name_record& r : name->records) read_record_header(s, r);

        std::size_t storage_left = kStringStorageLimit;
        long storage = static_cast<long>(entry->offset) + name->stringOffset;
        for (name_record& r : name->records) {
            if (r.length > storage_left) throw std::bad_alloc();
            storage_left -= r.length;
            if (!s.seek(storage + r.offset))
                report_short_data("Cannot seek to name table string value");
            if (r.length == 0) continue;
            if (s.remaining() < r.length) {
                report_short_data("Cannot read name table");
                return nullptr;
            }
            r.string.resize(r.length);
            s.read(reinterpret_cast<BYTE*>(r.string.data()), r.length);
        }
        return name;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory!\n");
        return nullptr;
    }
}

std::unique_ptr<elab_record> parse_name(font_object& font) {
    return do_name(font);
}

name_elab* name_table(font_object& font) {
    return elab_as<name_elab>(font, "name");
}

name_record* find_name(font_object& font, USHORT platformID, USHORT encodingID, USHORT languageID,
                       USHORT nameID) {
    name_elab* name = name_table(font);
    if (!name) return nullptr;
    for (name_record& r : name->records)
        if (r.platformID == platformID && r.encodingID == encodingID &&
            r.languageID == languageID && r.nameID == nameID)
            return &r;
    return nullptr;
}
