#include "report/listname.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "font/font.h"
#include "interp/interp.h"
#include "interp/stack.h"
#include "report/naming.h"
#include "tables/name.h"

namespace {

void put_name_byte(BYTE b, bool escape) {
    if (escape && b == ')') std::putchar('\\');
    std::putchar(b);
}

int fail(const char* message) {
    std::fflush(stdout);
    std::fputs(message, stderr);
    return -1;
}

// The four identifiers as the user gave them; the lookups reduce them to 16 bits.
struct name_key {
    std::int32_t platform = 0, encoding = 0, language = 0, name = 0;
};

// Prints the record as a fragment that, followed by a font and the word rename, gives
// it back: four comment lines in words, the identifiers, the string in parentheses.
void print_listing(const name_key& key, const name_record& record) {
    std::printf("%% ");
    print_platform_name(key.platform);
    std::printf("\n");
    std::printf("%% %s\n", encoding_name(key.platform, key.encoding));
    std::printf("%% %s\n", language_name(key.platform, key.language));
    std::printf("%% ");
    print_name_id(key.name);
    std::printf("\n");
    std::printf("%u %u 0x%x %u\n(", static_cast<unsigned>(key.platform),
                static_cast<unsigned>(key.encoding), static_cast<unsigned>(key.language),
                static_cast<unsigned>(key.name));
    print_name_string(record, true);
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

int listname_command() {
    name_key key;
    if (stackcheck(key.name) != 0) return fail("listname: bad name id arg\n");
    if (stackcheck(key.language) != 0) return fail("listname: bad language id arg\n");
    if (stackcheck(key.encoding) != 0) return fail("listname: bad N id arg\n");
    if (stackcheck(key.platform) != 0) return fail("listname: bad M id arg\n");

    stack_item item;
    if (!pop_item(item) || !item.val) return fail("listname: stack is empty\n");
    font_object* font = item.font();
    if (!font) return fail("listname: expected font\n");

    std::fflush(stdout);
    const name_record* record =
        find_name(*font, static_cast<USHORT>(key.platform), static_cast<USHORT>(key.encoding),
                  static_cast<USHORT>(key.language), static_cast<USHORT>(key.name));
    if (!record) {
        std::fprintf(stderr, "listname: no name %u %u 0x%x %u in %s\n",
                     static_cast<unsigned>(key.platform), static_cast<unsigned>(key.encoding),
                     static_cast<unsigned>(key.language), static_cast<unsigned>(key.name),
                     font->font_path.c_str());
        return -1;
    }
    print_listing(key, *record);
    return 0;
}
