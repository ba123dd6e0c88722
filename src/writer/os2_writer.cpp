// OS/2 table as written, field for field from the record (nothing recomputed):
// version 0 is 78 bytes; version 1 adds ulCodePageRange1 and 2 for 86 bytes.
#include <cstdio>

#include "tables/os2.h"
#include "writer/output.h"
#include "writer/table_writers.h"

long generate_os2(font_object& font, mem_stream& out, long offset) {
    // Only versions 0 and 1 are parsed; a font with a later OS/2 table can be written once
    // that table has been imported (its bytes then take precedence over this writer).
    const os2_elab* os2 = os2_table(font);
    if (!os2 || (os2->version != 0 && os2->version != 1)) {
        std::fprintf(stderr, "generate_os2: no OS/2 table of version 0 or 1 to write\n");
        return -1;
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
    return kOS2Rev1Length;
}
