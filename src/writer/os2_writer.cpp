// OS/2 table as written, field for field from the record (nothing recomputed):
// version 0 is 78 bytes; version 1 adds ulCodePageRange1 and 2 for 86 bytes; versions 2
// to 4 add sxHeight, sCapHeight, usDefaultChar, usBreakChar and usMaxContext for 96 bytes;
// version 5 adds usLowerOpticalPointSize and usUpperOpticalPointSize for 100 bytes.
// A table of a later version has no record and is copied from the source unchanged.
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
    std::fprintf(stderr,
                 "generate_os2: version %u of OS/2 table copied unchanged (its character range "
                 "is not updated)\n",
                 version);
    return file_copy(font.in_stream, static_cast<long>(entry->source_offset), entry->source_length,
                     out, offset);
}

}  // namespace

long generate_os2(font_object& font, mem_stream& out, long offset) {
    const os2_elab* os2 = os2_table(font);
    if (!os2 || os2->version > kOS2LastVersion) {
        long copied = copy_later_version(font, out, offset);
        if (copied < 0)
            std::fprintf(stderr, "generate_os2: no OS/2 table of version 0 to 5 to write\n");
        return copied;
    }
    if (!out.seek(offset)) {
        std::fprintf(stderr, "generate_os2: cannot seek\n");
        return -1;
    }
    const os2_revision* v = os2->v.get();
    if (!v) return -1;

    vwrite(os2->version, 2, out);
    vwrite(v->xAvgCharWidth, 2, out);
    vwrite(v->usWeightClass, 2, out);
    vwrite(v->usWidthClass, 2, out);
    vwrite(v->fsType, 2, out);
    vwrite(v->ySubscriptXSize, 2, out);
    vwrite(v->ySubscriptYSize, 2, out);
    vwrite(v->ySubscriptXOffset, 2, out);
    vwrite(v->ySubscriptYOffset, 2, out);
    vwrite(v->ySuperscriptXSize, 2, out);
    vwrite(v->ySuperscriptYSize, 2, out);
    vwrite(v->ySuperscriptXOffset, 2, out);
    vwrite(v->ySuperscriptYOffset, 2, out);
    vwrite(v->yStrikeoutSize, 2, out);
    vwrite(v->yStrikeoutPosition, 2, out);
    vwrite(v->sFamilyClass, 2, out);
    out.write(v->panose, sizeof v->panose);
    for (ULONG range : v->ulCharRange) vwrite(range, 4, out);
    for (CHAR c : v->achVendID) vwrite(c, 1, out);
    vwrite(v->fsSelection, 2, out);
    vwrite(v->usFirstCharIndex, 2, out);
    vwrite(v->usLastCharIndex, 2, out);
    vwrite(v->sTypoAscender, 2, out);
    vwrite(v->sTypoDescender, 2, out);
    vwrite(v->sTypoLineGap, 2, out);
    vwrite(v->usWinAscent, 2, out);
    vwrite(v->usWinDescent, 2, out);
    if (os2->version == 0) return kOS2Rev0Length;
    vwrite(v->ulCodePageRange1, 4, out);
    vwrite(v->ulCodePageRange2, 4, out);
    if (os2->version == 1) return kOS2Rev1Length;
    vwrite(v->sxHeight, 2, out);
    vwrite(v->sCapHeight, 2, out);
    vwrite(v->usDefaultChar, 2, out);
    vwrite(v->usBreakChar, 2, out);
    vwrite(v->usMaxContext, 2, out);
    if (os2->version < 5) return kOS2Rev2Length;
    vwrite(v->usLowerOpticalPointSize, 2, out);
    vwrite(v->usUpperOpticalPointSize, 2, out);
    return kOS2Rev5Length;
}
