// The kerning table (kern): its record and parser. Elaborated on first use, not at load.
#pragma once

#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct kern_pair {
    USHORT left = 0;   // glyph index
    USHORT right = 0;  // glyph index
    SHORT value = 0;   // font units
};

struct kern_format0 {
    USHORT nPairs = 0;
    USHORT searchRange = 0;  // as read, not checked
    USHORT entrySelector = 0;
    USHORT rangeShift = 0;
    std::vector<kern_pair> pairs;  // nPairs pairs in file order
};

struct kern_subtable {
    USHORT version = 0;
    USHORT length = 0;
    // Low byte: 0x01 horizontal, 0x02 minimum values, 0x04 cross-stream, 0x08 override.
    // High byte: the subtable format.
    USHORT coverage = 0;
    std::unique_ptr<kern_format0> format0;  // format 0 subtables only

    BYTE format() const { return static_cast<BYTE>(coverage >> 8); }
};

struct kern_elab : elab_record {
    USHORT version = 0;  // not checked
    USHORT nTables = 0;
    std::vector<kern_subtable> subtables;  // nTables subtables in file order
};

std::unique_ptr<kern_elab> do_kern(font_object& font);

// The kern record, parsed on first use; null without a message when the font has none.
kern_elab* kern_table(font_object& font);
