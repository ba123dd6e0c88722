#include "report/listname.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "font/font.h"
#include "tables/name.h"
#include "tables/name_text.h"
#include "tables/naming.h"

namespace {

void put_name_byte(BYTE b, bool escape) {
    if (escape && b == ')') std::putchar('\\');
    std::putchar(b);
}

void append_octal_escape(std::string& out, unsigned char b) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(b));
    out += escape;
}

// How many bytes at the start of text stand as they are in a script string: one
// well-formed UTF-8 character that is not a control character, or 0.
std::size_t printable_length(std::string_view text) {
    const auto one = first_utf8_char(text);
    return one && !is_control_char(one->c) ? one->length : 0;
}

// Prints the record as a fragment that, followed by a font and the word rename, gives
// it back: four comment lines in words, the identifiers, the string in parentheses.
void print_listing(const name_key& key, const name_record& record,
                   command_word_test spells_command) {
    std::printf("%% ");
    print_platform_name(key.platform);
    std::printf("\n");
    std::printf("%% %s\n", encoding_name(key.platform, key.encoding));
    std::printf("%% %s\n", language_name(key.platform, key.language).c_str());
    std::printf("%% ");
    print_name_id(key.name);
    std::printf("\n");
    std::printf("%u %u 0x%x %u\n(", static_cast<unsigned>(key.platform),
                static_cast<unsigned>(key.encoding), static_cast<unsigned>(key.language),
                static_cast<unsigned>(key.name));
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    const std::string text = name_text_utf8(
        record.platformID, reinterpret_cast<const BYTE*>(record.string.data()), length);
    std::fputs(script_string_text(text, spells_command && spells_command(text)).c_str(), stdout);
    std::printf(")\n");
}

}  // namespace

std::string script_string_text(std::string_view text, bool spells_command) {
    std::string out;
    if (!text.empty() && (text[0] == '%' || spells_command)) out += '\\';
    while (!text.empty()) {
        const std::size_t keep = printable_length(text);
        if (keep == 0) {
            append_octal_escape(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (text[0] == '\\' || text[0] == ')') out += '\\';
        out.append(text.substr(0, keep));
        text.remove_prefix(keep);
    }
    return out;
}

void print_name_bytes(USHORT platformID, const BYTE* bytes, std::size_t length, bool escape) {
    if (!bytes) return;
    const bool two_byte_units = platformID == 0 || platformID == 3;
    if (two_byte_units) {
        for (std::size_t i = 1; i < length; i += 2) put_name_byte(bytes[i], escape);
    } else {
        for (std::size_t i = 0; i < length; ++i) put_name_byte(bytes[i], escape);
    }
}

void print_name_string(const name_record& record, bool escape) {
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    print_name_bytes(record.platformID, reinterpret_cast<const BYTE*>(record.string.data()), length,
                     escape);
}

int list_name(font_object& font, const name_key& key, command_word_test spells_command) {
    const name_record* record =
        find_name(font, static_cast<USHORT>(key.platform), static_cast<USHORT>(key.encoding),
                  static_cast<USHORT>(key.language), static_cast<USHORT>(key.name));
    if (!record) {
        say(*font.messages, "listname: no name %u %u 0x%x %u in %s\n",
            static_cast<unsigned>(key.platform), static_cast<unsigned>(key.encoding),
            static_cast<unsigned>(key.language), static_cast<unsigned>(key.name),
            font.font_path.c_str());
        return -1;
    }
    print_listing(key, *record, spells_command);
    return 0;
}
