// The family command: a new family name in every name record that holds part of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct font_object;

// The longest PostScript name that PostScript interpreters are sure to accept.
inline constexpr std::size_t kPostScriptNameMax = 63;

// Text as a PostScript name: its ASCII letters, digits and hyphens, in order, and no more
// than kPostScriptNameMax of them.
std::string postscript_form(std::string_view text);

// Gives the font the family name `family` (UTF-8) in every record that exists, of every
// platform, encoding and language: IDs 1, 16 and 21 the family, 4 and 18 the family and
// the style of the record's own platform, encoding and language (ID 17, else 2), 6 and 20
// the PostScript form of family-style. No record is added. `changed` receives how many
// records now hold other bytes. 0, or -1 after a message with nothing changed.
int rename_family(font_object& font, std::string_view family, std::size_t& changed);
