// OS/2 table layout, versions 0 (78 bytes), 1 (86), 2 to 4 (96) and 5 (100):
//   0 USHORT version
//   2 SHORT  xAvgCharWidth
//   4 USHORT usWeightClass, usWidthClass
//   8 SHORT  fsType
//  10 SHORT  ySubscript{X,Y}Size, ySubscript{X,Y}Offset,
//            ySuperscript{X,Y}Size, ySuperscript{X,Y}Offset,
//            yStrikeoutSize, yStrikeoutPosition, sFamilyClass
//  32 BYTE   panose[10]
//  42 ULONG  ulCharRange[4]      (version 1: ulUnicodeRange1..4)
//  58 CHAR   achVendID[4]
//  62 USHORT fsSelection, usFirstCharIndex, usLastCharIndex
//  68 SHORT  sTypoAscender, sTypoDescender, sTypoLineGap
//  74 USHORT usWinAscent, usWinDescent
//  78 ULONG  ulCodePageRange1, ulCodePageRange2   (version 1 and later)
//  86 SHORT  sxHeight, sCapHeight                 (version 2 and later)
//  90 USHORT usDefaultChar, usBreakChar, usMaxContext
//  96 USHORT usLowerOpticalPointSize, usUpperOpticalPointSize   (version 5)
#include "tables/os2.h"

#include <cstdio>

#include "font/parsers.h"
#include "font/registry.h"
#include "tables/alloc.h"
#include "tables/table_reader.h"

namespace {

void read_revision(os2_revision& r, table_reader& in) {
    r.xAvgCharWidth = in.s16();
    r.usWeightClass = in.u16();
    r.usWidthClass = in.u16();
    r.fsType = in.s16();
    r.ySubscriptXSize = in.s16();
    r.ySubscriptYSize = in.s16();
    r.ySubscriptXOffset = in.s16();
    r.ySubscriptYOffset = in.s16();
    r.ySuperscriptXSize = in.s16();
    r.ySuperscriptYSize = in.s16();
    r.ySuperscriptXOffset = in.s16();
    r.ySuperscriptYOffset = in.s16();
    r.yStrikeoutSize = in.s16();
    r.yStrikeoutPosition = in.s16();
    r.sFamilyClass = in.s16();
    in.read(r.panose, sizeof r.panose);
    for (ULONG& range : r.ulCharRange) range = in.u32();
    for (CHAR& c : r.achVendID) c = in.s8();
    r.fsSelection = in.u16();
    r.usFirstCharIndex = in.u16();
    r.usLastCharIndex = in.u16();
    r.sTypoAscender = in.s16();
    r.sTypoDescender = in.s16();
    r.sTypoLineGap = in.s16();
    r.usWinAscent = in.u16();
    r.usWinDescent = in.u16();
    if (r.version < 1) return;
    r.ulCodePageRange1 = in.u32();
    r.ulCodePageRange2 = in.u32();
    if (r.version < 2) return;
    r.sxHeight = in.s16();
    r.sCapHeight = in.s16();
    r.usDefaultChar = in.u16();
    r.usBreakChar = in.u16();
    r.usMaxContext = in.u16();
    if (r.version < 5) return;
    r.usLowerOpticalPointSize = in.u16();
    r.usUpperOpticalPointSize = in.u16();
}

}  // namespace

ULONG os2_length_of(USHORT version) {
    if (version == 0) return kOS2Rev0Length;
    if (version == 1) return kOS2Rev1Length;
    return version < 5 ? kOS2Rev2Length : kOS2Rev5Length;
}

std::unique_ptr<os2_elab> do_os2(font_object& font) {
    table_entry* entry = find_table(font, "OS/2", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    auto os2 = new_record<os2_elab>();
    if (!os2) return nullptr;

    os2->version = in.u16();
    if (os2->version > kOS2LastVersion) {
        std::fprintf(stderr, "do_os2: version %d of OS/2 table unknown\n", os2->version);
        return nullptr;
    }
    try {
        os2->v = std::make_unique<os2_revision>();
    } catch (const std::bad_alloc&) {
        return nullptr;  // no message of its own for the revision block
    }
    os2->v->version = os2->version;
    read_revision(*os2->v, in);
    return os2;
}

os2_elab* os2_table(font_object& font) {
    return elab_as<os2_elab>(font, "OS/2");
}

std::unique_ptr<elab_record> parse_os2(font_object& font) {
    return do_os2(font);
}
