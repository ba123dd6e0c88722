#include "tables/name_text.h"

#include <array>
#include <optional>
#include <vector>

namespace {

// Unicode values of the Mac Roman bytes 0x80-0xFF (0x00-0x7F are ASCII).
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

constexpr char32_t kReplacement = 0xFFFD;

bool is_two_byte_platform(USHORT platformID) {
    return platformID == 0 || platformID == 3;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool is_high_surrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::vector<char32_t> decode_utf16be(const BYTE* bytes, std::size_t length) {
    std::vector<char32_t> text;
    const std::size_t units = length / 2;
    auto unit = [bytes](std::size_t i) -> char32_t {
        return (bytes[2 * i] << 8) | bytes[2 * i + 1];
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unit(i);
        if (is_high_surrogate(u) && i + 1 < units && is_low_surrogate(unit(i + 1))) {
            text.push_back(0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            text.push_back(is_high_surrogate(u) || is_low_surrogate(u) ? kReplacement : u);
        }
    }
    return text;
}

namespace {

std::vector<char32_t> decode_mac_roman(const BYTE* bytes, std::size_t length) {
    std::vector<char32_t> text;
    for (std::size_t i = 0; i < length; ++i)
        text.push_back(bytes[i] < 0x80 ? bytes[i] : kMacRomanHigh[bytes[i] - 0x80]);
    return text;
}

// The code points of a name string; nothing for platforms whose bytes are kept as they are.
std::optional<std::vector<char32_t>> decode(USHORT platformID, const BYTE* bytes,
                                            std::size_t length) {
    if (!bytes) return std::vector<char32_t>{};
    if (is_two_byte_platform(platformID)) return decode_utf16be(bytes, length);
    if (platformID == 1) return decode_mac_roman(bytes, length);
    return std::nullopt;
}

// Every character of strict UTF-8 text; nothing when a sequence is malformed.
std::optional<std::vector<char32_t>> decode_utf8(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto one = first_utf8_char(text.substr(i));
        if (!one) return std::nullopt;
        out.push_back(one->c);
        i += one->length;
    }
    return out;
}

void encode_utf16be(std::string& out, char32_t c) {
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<char>(u >> 8));
        out.push_back(static_cast<char>(u & 0xFF));
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

std::optional<char> mac_roman_byte(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    for (std::size_t i = 0; i < kMacRomanHigh.size(); ++i)
        if (kMacRomanHigh[i] == c) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

}  // namespace

bool is_control_char(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
std::optional<utf8_char> first_utf8_char(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t extra = 0;
    char32_t c = 0, least = 0;
    if (lead < 0x80) {
        c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() <= extra) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[k]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    return utf8_char{c, extra + 1};
}

std::string name_text_utf8(USHORT platformID, const BYTE* bytes, std::size_t length) {
    const auto text = decode(platformID, bytes, length);
    if (!text) return std::string(reinterpret_cast<const char*>(bytes), length);
    std::string out;
    for (char32_t c : *text) append_utf8(out, c);
    return out;
}

std::string name_text_one_line(USHORT platformID, const BYTE* bytes, std::size_t length) {
    const auto text = decode(platformID, bytes, length);
    std::string out;
    if (!text) {
        for (std::size_t i = 0; i < length; ++i)
            out.push_back(
                is_control_char(bytes[i]) && bytes[i] < 0x80 ? ' ' : static_cast<char>(bytes[i]));
        return out;
    }
    for (char32_t c : *text) append_utf8(out, is_control_char(c) ? U' ' : c);
    return out;
}

stored_name_text encode_name_text(USHORT platformID, std::string_view utf8) {
    stored_name_text stored;
    const auto text = decode_utf8(utf8);
    const bool wide = is_two_byte_platform(platformID);
    if (!text || (!wide && platformID != 1)) {  // one byte per character
        for (char b : utf8) {
            if (wide) stored.bytes.push_back('\0');
            stored.bytes.push_back(b);
        }
        return stored;
    }
    for (char32_t c : *text) {
        if (wide) {
            encode_utf16be(stored.bytes, c);
        } else if (auto b = mac_roman_byte(c)) {
            stored.bytes.push_back(*b);
        } else {
            stored.bytes.push_back('?');
            ++stored.unmappable;
        }
    }
    return stored;
}

std::vector<char32_t> name_text_code_points(USHORT platformID, const BYTE* bytes,
                                            std::size_t length) {
    if (std::optional<std::vector<char32_t>> text = decode(platformID, bytes, length)) return *text;
    return std::vector<char32_t>(bytes, bytes + length);
}
