// One name record as script text (the listname command's output), and the printing of name-record
// strings, which list and the AFM writer share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "font/types.h"

struct font_object;
struct name_record;

// The four identifiers of a name record as the user gave them; lookups reduce each to its
// low 16 bits.
struct name_key {
    std::int32_t platform = 0, encoding = 0, language = 0, name = 0;
};

// Whether a word names a command of the program.
using command_word_test = bool (*)(std::string_view word);

// Prints the record the key names as a fragment that, followed by a font and the word
// rename, gives it back: four comment lines in words, the identifiers, the string as UTF-8
// (name_text_utf8) in parentheses, written by script_string_text. 0, or -1 after a message
// when the font has no such record.
int list_name(font_object& font, const name_key& key, command_word_test spells_command);

// The text as it stands between the parentheses of a script string that the token reader
// gives back byte for byte, as an operand: a backslash before each "\" and ")", before a
// leading "%", and before the first character of a text that spells a command; each byte
// of a control character (C0, DEL, C1, line and paragraph separators) and each byte that is
// not part of well-formed UTF-8 as a backslash and three octal digits. Everything else,
// non-ASCII letters included, stands as it is.
std::string script_string_text(std::string_view text, bool spells_command);

// Writes a name string's bytes on the standard output. For platforms 0 and 3 the string
// is big-endian 16-bit units and only the low byte of each whole unit is written (a
// final odd byte is dropped); for other platforms every byte is written. With escape,
// a backslash goes before each ")" so the text reads back as one string token. Nothing
// else is changed, and the output is not flushed.
void print_name_bytes(USHORT platformID, const BYTE* bytes, std::size_t length, bool escape);

// The record's string, as above; never more than `length` bytes, nor more than it holds.
void print_name_string(const name_record& record, bool escape);
