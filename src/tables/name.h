// The naming table (name): its record, parser and the lookup of one name record.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct name_record {
    USHORT platformID = 0;
    USHORT encodingID = 0;
    USHORT languageID = 0;
    USHORT nameID = 0;
    USHORT length = 0;  // string length in bytes; go by this, not by a terminating zero
    USHORT offset = 0;  // from the start of the string storage
    // The bytes exactly as stored: big-endian 16-bit units for platforms 0 and 3, single
    // bytes otherwise. As parsed it holds `length` bytes (c_str() adds the zero byte).
    std::string string;
};

struct name_elab : elab_record {
    USHORT format = 0;  // not checked
    USHORT count = 0;
    USHORT stringOffset = 0;           // string storage, from the start of the table
    std::vector<name_record> records;  // count records, in file order
};

std::unique_ptr<name_elab> do_name(font_object& font);

// The elaborated name table (never parses; complains when the font has no name table).
name_elab* name_table(font_object& font);

// The first record, in table order, with exactly these four keys; null when none.
name_record* find_name(font_object& font, USHORT platformID, USHORT encodingID, USHORT languageID,
                       USHORT nameID);
