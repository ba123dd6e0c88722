#include "commands/rename.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "commands/command_util.h"
#include "font/font.h"
#include "interp/interp.h"
#include "interp/stack.h"
#include "tables/name.h"

using commands::fail;

namespace {

bool is_two_byte_platform(USHORT platformID) {
    return platformID == 0 || platformID == 3;
}

}  // namespace

int set_name(name_record* record, const char* text) {
    if (!record || !text) return -1;
    const std::size_t chars = std::strlen(text);
    const bool wide = is_two_byte_platform(record->platformID);
    const std::size_t len = wide ? 2 * chars : chars;
    if (len > 0xFFFF) {  // the record's length field is 16 bits
        std::fprintf(stderr, "set_name: name of %zu bytes too long, at most 65535\n", len);
        return -1;
    }
    std::string stored;
    try {
        stored.reserve(len);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "set_name: out of memory\n");
        return -1;
    }
    for (std::size_t i = 0; i < chars; ++i) {
        if (wide) stored.push_back('\0');
        stored.push_back(text[i]);
    }
    record->string = std::move(stored);
    record->length = static_cast<USHORT>(len);
    return 0;
}

int rename_command() {
    stack_item text;
    if (!pop_item(text) || !text.val) return fail("rename: stack is empty\n");
    if (text.type != ITEM_STRING) return fail("rename: expected name string\n");

    std::int32_t nameID = 0, languageID = 0, N = 0, M = 0;
    if (stackcheck(nameID) != 0) return fail("rename: bad name id arg\n");
    if (stackcheck(languageID) != 0) return fail("rename: bad language id arg\n");
    if (stackcheck(N) != 0) return fail("rename: bad N id arg\n");
    if (stackcheck(M) != 0) return fail("rename: bad M id arg\n");

    stack_item item;
    if (!pop_item(item) || !item.val) return fail("rename: stack is empty\n");
    if (item.type != ITEM_FONT) return fail("rename: expected font\n");
    font_object& font = *item.font();

    name_record* record = find_name(font, static_cast<USHORT>(M), static_cast<USHORT>(N),
                                    static_cast<USHORT>(languageID), static_cast<USHORT>(nameID));
    if (!record) {
        std::fprintf(stderr, "rename: no name %u %u 0x%x %u in %s\n", static_cast<unsigned>(M),
                     static_cast<unsigned>(N), static_cast<unsigned>(languageID),
                     static_cast<unsigned>(nameID), font.font_path.c_str());
        return -1;
    }
    return set_name(record, text.str());
}
