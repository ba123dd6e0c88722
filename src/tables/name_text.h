// The text of name records: what their bytes mean as Unicode, and how text given as UTF-8
// is stored. Platforms 0 and 3 hold UTF-16 big-endian units, platform 1 Mac Roman bytes;
// other platforms' bytes are taken as they are, both ways.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "font/types.h"

// The string as UTF-8. UTF-16 surrogate pairs are joined, a lone surrogate becomes
// U+FFFD and a final odd byte is dropped; U+0000 is one zero byte. Pure ASCII text comes
// out byte for byte as stored (in the low bytes of UTF-16 units).
std::string name_text_utf8(USHORT platformID, const BYTE* bytes, std::size_t length);

// The code points of UTF-16 big-endian bytes: surrogate pairs joined, a lone surrogate as
// U+FFFD, a final odd byte dropped.
std::vector<char32_t> decode_utf16be(const BYTE* bytes, std::size_t length);

// The code points of a name string: UTF-16 for platforms 0 and 3, Mac Roman for platform
// 1, one code point per byte otherwise.
std::vector<char32_t> name_text_code_points(USHORT platformID, const BYTE* bytes,
                                            std::size_t length);

// The same text for a field that must stay on one line: every control character (C0, DEL,
// C1, and the Unicode line and paragraph separators) becomes a space.
std::string name_text_one_line(USHORT platformID, const BYTE* bytes, std::size_t length);

// Control characters: C0, DEL, C1, and the Unicode line and paragraph separators.
bool is_control_char(char32_t c);

// The first character of text in strict UTF-8 (no overlong forms, no surrogates, nothing
// beyond U+10FFFF) and its length in bytes; nothing when text is empty or does not start
// with a well-formed sequence.
struct utf8_char {
    char32_t c = 0;
    std::size_t length = 0;
};
std::optional<utf8_char> first_utf8_char(std::string_view text);

// The bytes that store text for the platform, and how many characters Mac Roman could
// not hold (each stored as "?"). Text that is not valid UTF-8 is taken one byte per
// character: a zero byte before each for platforms 0 and 3, the byte itself otherwise.
struct stored_name_text {
    std::string bytes;
    std::size_t unmappable = 0;
};
stored_name_text encode_name_text(USHORT platformID, std::string_view utf8);
