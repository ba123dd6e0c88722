// OS/2 table as written, field for field from the record through the table's field list
// (nothing recomputed): version 0 is 78 bytes; version 1 adds ulCodePageRange1 and 2 for 86 bytes;
// versions 2 to 4 add sxHeight, sCapHeight, usDefaultChar, usBreakChar and usMaxContext for 96
// bytes; version 5 adds usLowerOpticalPointSize and usUpperOpticalPointSize for 100 bytes. A table
// of a later version has no record and is copied from the source unchanged.
#include <cstdio>

#include "font/font.h"
#include "tables/os2.h"
#include "tables/table_reader.h"
#include "writer/output.h"
#include "writer/table_writers.h"

namespace {

// A table of a version the parser does not know keeps its source bytes; an encode could
// not have updated its character range, which the message says.
long copy_later_version(font_object& font, mem_stream& out, long offset) {
    const table_entry* entry = find_table(font, "OS/2", 0);
    if (!entry) return -1;
    USHORT version = table_reader(font, *entry).u16();
    if (version <= kOS2LastVersion) return -1;
    say(*font.messages,
        "generate_os2: version %u of OS/2 table copied unchanged (its character range "
        "is not updated)\n",
        version);
    return file_copy(font.in_stream, static_cast<long>(entry->source_offset), entry->source_length,
                     out, offset, *font.messages);
}

}  // namespace

long generate_os2(font_object& font, mem_stream& out, long offset) {
    const os2_elab* os2 = os2_table(font);
    if (!os2 || os2->version > kOS2LastVersion) {
        long copied = copy_later_version(font, out, offset);
        if (copied < 0)
            say(*font.messages, "generate_os2: no OS/2 table of version 0 to 5 to write\n");
        return copied;
    }
    if (!out.seek(offset)) {
        say(*font.messages, "generate_os2: cannot seek\n");
        return -1;
    }
    const os2_revision* v = os2->v.get();
    if (!v) return -1;

    vwrite(os2->version, 2, out);
    for (const os2_field& f : os2_fields())
        if (f.since <= os2->version) vwrite_bytes(static_cast<ULONG>(f.value(*v)), f.width, out);
    return static_cast<long>(os2_length_of(os2->version));
}
