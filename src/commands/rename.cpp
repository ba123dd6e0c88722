#include "commands/rename.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "report/listname.h"
#include "tables/name.h"
#include "tables/name_text.h"

int set_name(name_record* record, const char* text, message_sink& messages) {
    return text ? set_name(record, std::string_view(text), messages) : -1;
}

int set_name(name_record* record, std::string_view text, message_sink& messages) {
    if (!record) return -1;
    stored_name_text stored;
    try {
        stored = encode_name_text(record->platformID, text);
    } catch (const std::bad_alloc&) {
        say(messages, "set_name: out of memory\n");
        return -1;
    }
    const std::size_t len = stored.bytes.size();
    if (len > 0xFFFF) {  // the record's length field is 16 bits
        say(messages, "set_name: name of %zu bytes too long, at most 65535\n", len);
        return -1;
    }
    if (stored.unmappable > 0)
        say(messages, "rename: warning: %zu character(s) not in Mac Roman stored as \"?\"\n",
            stored.unmappable);
    record->string = std::move(stored.bytes);
    record->length = static_cast<USHORT>(len);
    return 0;
}

int rename_command(kestrix_context& context) {
    const command_voice voice{"rename", context.messages()};
    stack_item text_item;
    if (!pop_operand(context, voice, text_item, true) ||
        !string_of(text_item, voice, "name string"))
        return -1;
    const std::string_view text = text_item.text();
    name_key key;
    if (!pop_name_key(context, voice, key)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;

    const auto M = static_cast<unsigned>(key.platform), N = static_cast<unsigned>(key.encoding);
    const auto languageID = static_cast<unsigned>(key.language);
    const auto nameID = static_cast<unsigned>(key.name);
    name_record* record = find_name(*font, static_cast<USHORT>(M), static_cast<USHORT>(N),
                                    static_cast<USHORT>(languageID), static_cast<USHORT>(nameID));
    if (!record) {
        say(context.messages(), "rename: no name %u %u 0x%x %u in %s\n", M, N, languageID, nameID,
            font->font_path.c_str());
        return -1;
    }
    return set_name(record, text, context.messages());
}
