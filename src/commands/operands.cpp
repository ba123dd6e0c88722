#include "commands/operands.h"

#include <cstdio>
#include <string>

#include "report/listname.h"

int command_voice::fail(const char* problem) const {
    if (flush_output) std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", name, problem);
    return -1;
}

bool pop_operand(kestrix_context& context, const command_voice& voice, stack_item& out,
                 bool need_value) {
    if (context.stack.pop(out) && (out.val || !need_value)) return true;
    voice.fail("stack is empty");
    return false;
}

bool pop_operands(kestrix_context& context, const command_voice& voice, std::span<stack_item> out) {
    for (stack_item& item : out)
        if (!pop_operand(context, voice, item, false)) return false;
    return true;
}

font_object* font_of(const stack_item& item, const command_voice& voice, const char* expected) {
    if (font_object* font = item.font()) return font;
    voice.fail(("expected " + std::string(expected)).c_str());
    return nullptr;
}

const char* string_of(const stack_item& item, const command_voice& voice, const char* expected) {
    if (const char* text = item.str()) return text;
    voice.fail(("expected " + std::string(expected)).c_str());
    return nullptr;
}

font_object* pop_font(kestrix_context& context, const command_voice& voice) {
    stack_item item;
    return pop_operand(context, voice, item, true) ? font_of(item, voice) : nullptr;
}

const char* pop_string(kestrix_context& context, const command_voice& voice, const char* expected) {
    stack_item item;
    return pop_operand(context, voice, item, true) ? string_of(item, voice, expected) : nullptr;
}

bool pop_integer(kestrix_context& context, const command_voice& voice, const char* what,
                 std::int32_t& out) {
    if (stackcheck(context.stack, out) == 0) return true;
    voice.fail(("bad " + std::string(what) + " arg").c_str());
    return false;
}

bool pop_encoding(kestrix_context& context, const command_voice& voice, std::int32_t& platform,
                  std::int32_t& encoding, const char* platform_word, const char* encoding_word) {
    return pop_integer(context, voice, encoding_word, encoding) &&
           pop_integer(context, voice, platform_word, platform);
}

bool pop_name_key(kestrix_context& context, const command_voice& voice, name_key& key) {
    return pop_integer(context, voice, "name id", key.name) &&
           pop_integer(context, voice, "language id", key.language) &&
           pop_integer(context, voice, "N id", key.encoding) &&
           pop_integer(context, voice, "M id", key.platform);
}
