// The OS/2 and Windows metrics (OS/2) table, versions 0 to 5.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "font/font.h"
#include "font/types.h"

inline constexpr ULONG kOS2Rev0Length = 78;
inline constexpr ULONG kOS2Rev1Length = 86;
inline constexpr ULONG kOS2Rev2Length = 96;  // versions 2, 3 and 4
inline constexpr ULONG kOS2Rev5Length = 100;
inline constexpr USHORT kOS2LastVersion = 5;

// The bytes a table of this version (0 to 5) holds.
ULONG os2_length_of(USHORT version);

// The fields of one OS/2 revision, in file order. Revision 1 names ulCharRange[0..3]
// ulUnicodeRange1..4 and adds the two code-page words; revisions 2 to 4 add five more
// words and revision 5 the optical size range. Fields a revision lacks stay 0.
struct os2_revision {
    USHORT version = 0;  // copy of the table version
    SHORT xAvgCharWidth = 0;
    USHORT usWeightClass = 0;
    USHORT usWidthClass = 0;
    SHORT fsType = 0;  // embedding licensing rights
    SHORT ySubscriptXSize = 0;
    SHORT ySubscriptYSize = 0;
    SHORT ySubscriptXOffset = 0;
    SHORT ySubscriptYOffset = 0;
    SHORT ySuperscriptXSize = 0;
    SHORT ySuperscriptYSize = 0;
    SHORT ySuperscriptXOffset = 0;
    SHORT ySuperscriptYOffset = 0;
    SHORT yStrikeoutSize = 0;
    SHORT yStrikeoutPosition = 0;
    SHORT sFamilyClass = 0;
    BYTE panose[10] = {};       // as stored
    ULONG ulCharRange[4] = {};  // revision 1: ulUnicodeRange1..ulUnicodeRange4
    CHAR achVendID[4] = {};
    USHORT fsSelection = 0;
    USHORT usFirstCharIndex = 0;
    USHORT usLastCharIndex = 0;
    SHORT sTypoAscender = 0;
    SHORT sTypoDescender = 0;
    SHORT sTypoLineGap = 0;
    USHORT usWinAscent = 0;
    USHORT usWinDescent = 0;
    ULONG ulCodePageRange1 = 0;  // revision 1 and later
    ULONG ulCodePageRange2 = 0;  // revision 1 and later
    SHORT sxHeight = 0;          // revision 2 and later
    SHORT sCapHeight = 0;
    USHORT usDefaultChar = 0;
    USHORT usBreakChar = 0;
    USHORT usMaxContext = 0;
    USHORT usLowerOpticalPointSize = 0;  // revision 5
    USHORT usUpperOpticalPointSize = 0;
};

class table_reader;

// One field of the table after the version word: the reader, the writer and the listing
// all go through the list of these.
struct os2_field {
    const char* name;     // as listed
    const char* name_v1;  // the name from version 1 on, when it changes; else null
    USHORT since;         // the first version holding the field
    bool listed;          // false for the panose bytes, which the listing leaves out
    int width;            // bytes in the file
    void (*read)(os2_revision& r, table_reader& in);
    long (*value)(const os2_revision& r);  // sign-extended when the field is signed
};

// Every field after the version word, in file order.
std::span<const os2_field> os2_fields();

struct os2_elab : elab_record {
    USHORT version = 0;  // 0 to 5
    std::unique_ptr<os2_revision> v;

    // The block seen as its revision: present only when the version matches.
    os2_revision* rev0() const { return version == 0 ? v.get() : nullptr; }
    os2_revision* rev1() const { return version == 1 ? v.get() : nullptr; }
};

std::unique_ptr<os2_elab> do_os2(font_object& font);

// The elaborated OS/2 record, or nothing; never parses.
os2_elab* os2_table(font_object& font);
