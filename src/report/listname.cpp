#include "report/listname.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "font/font.h"
#include "tables/name.h"
#include "tables/name_text.h"
#include "tables/naming.h"

namespace {

void put_name_byte(BYTE b, bool escape) {
    if (escape && b == ')') std::putchar('\\');
    std::putchar(b);
}

// Prints the record as a fragment that, followed by a font and the word rename, gives
// it back: four comment lines in words, the identifiers, the string in parentheses.
void print_listing(const name_key& key, const name_record& record) {
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
    print_name_utf8(record, true);
    std::printf(")\n");
    std::fflush(stdout);
}

}  // namespace

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

void print_name_utf8(const name_record& record, bool escape) {
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    const std::string text = name_text_utf8(
        record.platformID, reinterpret_cast<const BYTE*>(record.string.data()), length);
    for (char c : text) put_name_byte(static_cast<BYTE>(c), escape);
}

int list_name(font_object& font, const name_key& key) {
    std::fflush(stdout);
    const name_record* record =
        find_name(font, static_cast<USHORT>(key.platform), static_cast<USHORT>(key.encoding),
                  static_cast<USHORT>(key.language), static_cast<USHORT>(key.name));
    if (!record) {
        std::fprintf(stderr, "listname: no name %u %u 0x%x %u in %s\n",
                     static_cast<unsigned>(key.platform), static_cast<unsigned>(key.encoding),
                     static_cast<unsigned>(key.language), static_cast<unsigned>(key.name),
                     font.font_path.c_str());
        return -1;
    }
    print_listing(key, *record);
    return 0;
}
