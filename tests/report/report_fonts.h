// Fonts whose reports exercise every section of list and listname.
#pragma once

#include <string>

#include "support/font_builder.h"

namespace reportfont {

using namespace testfont;

inline name_record record(uint16_t platformID, uint16_t encodingID, uint16_t languageID,
                          uint16_t nameID, bytes string) {
    name_record r;
    r.platformID = platformID;
    r.encodingID = encodingID;
    r.languageID = languageID;
    r.nameID = nameID;
    r.string = std::move(string);
    return r;
}

// Ten segments: plain deltas of both signs, a delta that wraps, two segments that go
// through glyphIdArray, and the closing 0xFFFF segment.
inline cmap_format4 ten_segments() {
    cmap_format4 t;
    // idRangeOffset reaches glyphIdArray[k] from segment i as 2 * (10 - i) + 2 * k.
    t.segments = {
        {0x0020, 0x0020, -31, 0},  {0x0042, 0x0041, -63, 0},  {0x0061, 0x0061, 0, 16},
        {0x00C5, 0x00C5, -191, 0}, {0x02DA, 0x02DA, -725, 0}, {0x0391, 0x0391, -911, 0},
        {0x0392, 0x0392, -911, 0}, {0x2001, 0x2000, 0, 8},    {0xF000, 0xF000, 4103, 0},
        {0xFFFF, 0xFFFF, 1, 0},
    };
    t.glyphIdArray = {G_a, G_SPACE, 0};
    return t;
}

// Every cmap subtable layout (formats 0, 4 and 6, and a format 2 that is not read), an
// OS/2 revision 0 table with negative and high values, name records of every platform
// and of awkward text, two kern subtables and raw date bytes.
inline font_parts sections_parts() {
    font_parts p = standard_parts();

    cmap_format0 short_bytes = cmap_format0::from({{0x20, G_SPACE}, {0x41, G_A}, {0x7F, G_B}});
    short_bytes.array_bytes = 128;  // a 134-byte subtable: codes 128..255 stay 0
    cmap_format6 trimmed;
    trimmed.firstCode = 0x41;
    trimmed.glyphIdArray = {G_A, G_B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, G_a};
    be_writer high_byte;  // format 2: header and 256 subHeaderKeys, never read further
    high_byte.u16(2).u16(518).u16(0).zeros(512);
    p.cmap.encodings = {
        {0, 3, ten_segments(), std::nullopt},
        {3, 1, trimmed, std::nullopt},
        {1, 1, high_byte.take(), std::nullopt},
        {2, 1, short_bytes, std::nullopt},
    };

    p.os2.version = 0;
    p.os2.fsType = static_cast<int16_t>(0x8000);
    p.os2.sTypoDescender = -200;
    p.os2.usWinAscent = 0xFFFF;
    p.os2.ulUnicodeRange = {0x80000001u, 0, 0, 0xFFFFFFFFu};
    p.os2.achVendID = {'K', static_cast<char>(0xE9), 's', 'T'};

    p.name.records = {
        mac_name(1, "Sections"),
        mac_name(3, "caf\xe9"),
        record(1, 33, 23, 2, text_bytes("Odd Mac")),
        record(0, 3, 0, 1, utf16be("Uni")),
        record(2, 2, 0, 7, text_bytes("ISO (text)")),
        ms_name(4, "Foo (Bar)"),
        ms_name(5, "a\\b"),
        record(3, 1, 0x409, 6, {0, 'A', 0, 'B', 'Z'}),   // odd length: Z is dropped
        record(3, 1, 0x409, 7, {0x01, 'A', 0x20, 'x'}),  // high bytes are not shown
        record(3, 1, 0x808, 256, utf16be("Hi")),
        record(3, 1, 0x409, 9, {}),
    };

    kern_subtable high;
    high.coverage = 0x0201;
    high.body = bytes{0, 6, 0, 0, 0, 0};
    p.kern.subtables.push_back(high);

    p.head.fontRevision = 0x00018000;
    p.head.created = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    p.head.modified = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    p.head.macStyle = 3;
    p.head.fontDirectionHint = -2;
    return p;
}

// The standard font without hmtx, head and kern, with an OS/2 table of a revision that
// is not read and a name table without records.
inline font_builder sparse_font() {
    font_parts p = standard_parts();
    p.os2.version = 6;
    // The version word grows by 4 in its high half; the weight class, in the next word's
    // high half, gives it back so that the directory's checksum stays as it was.
    p.os2.usWeightClass = static_cast<uint16_t>(p.os2.usWeightClass - 4);
    p.name.records.clear();
    p.with_kern = false;
    font_builder b = p.builder();
    b.table("OS/2").data.resize(96);  // the size of the version 2 table it stands in for
    b.remove_table("hmtx");
    b.remove_table("head");
    return b;
}

// A font whose only table is gasp.
inline font_builder gasp_only_font() {
    font_builder b;
    b.add_table("gasp", bytes{0, 1, 0, 1, 0xFF, 0xFF, 0, 2});
    return b;
}

}  // namespace reportfont
