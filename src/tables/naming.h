// Words for the numeric identifiers of name records and cmap subtables: platform,
// encoding, language and name ID. Every identifier is a 16-bit value; a wider argument
// is reduced to its low 16 bits before the lookup.
#pragma once

#include <string>

// The platform's name; constant text.
const char* platform_name(long platformID);

// Writes the platform's name (no newline) on the standard output and flushes it.
void print_platform_name(long platformID);

// The encoding's name within its platform; constant text.
const char* encoding_name(long platformID, long encodingID);

// The language's name within its platform ("[unknown language id 0x....]" for one not
// known).
std::string language_name(long platformID, long languageID);

// Writes the description of a nameID (no newline) on the standard output and flushes it.
void print_name_id(long nameID);
