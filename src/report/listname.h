// The listname command and the printing of name-record strings, which list and the AFM
// writer share.
#pragma once

#include <cstddef>

#include "font/types.h"

struct name_record;

// Writes a name string's bytes on the standard output. For platforms 0 and 3 the string
// is big-endian 16-bit units and only the low byte of each whole unit is written (a
// final odd byte is dropped); for other platforms every byte is written. With escape,
// a backslash goes before each ")" so the text reads back as one string token. Nothing
// else is changed, and the output is not flushed.
void print_name_bytes(USHORT platformID, const BYTE* bytes, std::size_t length, bool escape);

// The record's string, as above; never more than `length` bytes, nor more than it holds.
void print_name_string(const name_record& record, bool escape);
