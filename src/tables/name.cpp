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

#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

// Bytes of strings one name record may hold. Records may share their string storage, so
// a small hostile table could otherwise ask for gigabytes of copies; going over counts as
// running out of memory. Real name tables hold well under a megabyte.
constexpr std::size_t kStringStorageLimit = std::size_t{64} << 20;

// The bytes are missing from the table, not refused by the system: report that no system
// call failed rather than whatever an earlier call left behind.
void report_short_data(const char* text, message_sink& messages) {
    errno = 0;
    say_errno(messages, text);
}

void read_record_header(table_reader& in, name_record& r) {
    r.platformID = in.u16();
    r.encodingID = in.u16();
    r.languageID = in.u16();
    r.nameID = in.u16();
    r.length = in.u16();
    r.offset = in.u16();
}

}  // namespace

std::unique_ptr<name_elab> do_name(font_object& font) {
    const table_entry* entry = find_table(font, "name", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    try {
        auto name = std::make_unique<name_elab>();
        name->format = in.u16();
        name->count = in.u16();
        name->stringOffset = in.u16();
        name->count =
            static_cast<USHORT>(in.fitting(name->count, 12, "name", "count", "name records"));
        name->records.resize(name->count);
        for (name_record& r : name->records) read_record_header(in, r);

        std::size_t storage_left = kStringStorageLimit;
        for (name_record& r : name->records) {
            if (r.length > storage_left) throw std::bad_alloc();
            storage_left -= r.length;
            if (r.length == 0) continue;
            // stringOffset and the record's offset may together point anywhere up to
            // 128 KiB from the table's start; a string that does not lie wholly inside the
            // table is refused, as one past the end of the file always was, rather than
            // taken from the bytes of whatever table follows.
            in.seek(std::size_t{name->stringOffset} + r.offset);
            if (in.remaining() < r.length) {
                report_short_data("Cannot read name table", in.messages());
                return nullptr;
            }
            r.string.resize(r.length);
            in.read(reinterpret_cast<BYTE*>(r.string.data()), r.length);
        }
        in.report_overrun("name");
        return name;
    } catch (const std::bad_alloc&) {
        say(in.messages(), "Out of memory!\n");
        return nullptr;
    }
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
