// The font header (head) table.
#pragma once

#include <memory>

#include "font/font.h"
#include "font/types.h"

inline constexpr ULONG kHeadTableLength = 54;
inline constexpr ULONG kHeadMagicNumber = 0x5F0F3CF5;

struct head_elab : elab_record {
    LONG version = 0;       // 16.16, must be 1.0
    LONG fontRevision = 0;  // 16.16, set by the font maker
    ULONG checkSumAdjustment = 0;
    ULONG magicNumber = 0;  // kHeadMagicNumber; load_font checks it, the parser keeps it
    USHORT flags = 0;
    USHORT unitsPerEm = 0;
    BYTE created[8] = {};   // 64-bit date as stored: most significant byte first
    BYTE modified[8] = {};  // likewise
    SHORT xMin = 0;         // bounding box of all glyphs
    SHORT yMin = 0;
    SHORT xMax = 0;
    SHORT yMax = 0;
    USHORT macStyle = 0;
    USHORT lowestRecPPEM = 0;
    SHORT fontDirectionHint = 0;
    SHORT indexToLocFormat = 0;  // 0: loca holds USHORT offsets / 2; 1: ULONG offsets
    SHORT glyphDataFormat = 0;
};

std::unique_ptr<head_elab> do_head(font_object& font);

// Warns when the font's head table lacks the magic number. It is looked for in the first
// 16 bytes at head's offset whatever length the directory gives the table: a head cut
// short by its length still has it checked.
void check_head_magic(font_object& font);

// The elaborated head record, or nothing; never parses.
head_elab* head_table(font_object& font);
