#include "commands/operands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "report/listname.h"

int command_voice::fail(const char* problem) const {
    say(messages, "%s: %s\n", name, problem);
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

namespace {

bool names_a_file(const char* text) {
    std::error_code ec;
    return text && *text && std::filesystem::is_regular_file(text, ec);
}

}  // namespace

font_object* font_of(const stack_item& item, const command_voice& voice, const char* expected) {
    if (font_object* font = item.font()) return font;
    voice.fail(("expected " + std::string(expected)).c_str());
    // The natural first try, "FILE list", leaves out the loading step.
    if (names_a_file(item.str()))
        say(voice.messages, "load it first: %s font %s\n", item.str(), voice.name);
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

bool pop_ushort(kestrix_context& context, const command_voice& voice, const char* what,
                std::int32_t& out) {
    if (!pop_integer(context, voice, what, out)) return false;
    if (out >= 0 && out <= 0xFFFF) return true;
    voice.fail(
        (std::string(what) + " arg " + std::to_string(out) + " out of range (0..65535)").c_str());
    return false;
}

bool pop_encoding(kestrix_context& context, const command_voice& voice, std::int32_t& platform,
                  std::int32_t& encoding, const char* platform_word, const char* encoding_word) {
    return pop_ushort(context, voice, encoding_word, encoding) &&
           pop_ushort(context, voice, platform_word, platform);
}

bool pop_name_key(kestrix_context& context, const command_voice& voice, name_key& key) {
    return pop_ushort(context, voice, "name id", key.name) &&
           pop_ushort(context, voice, "language id", key.language) &&
           pop_ushort(context, voice, "N id", key.encoding) &&
           pop_ushort(context, voice, "M id", key.platform);
}

namespace {

// The reason of the failed write: errno as the failing write left it, unless another
// flush of what is still buffered gives a newer one.
std::string output_failure() {
    int error = errno;
    errno = 0;
    std::fflush(stdout);
    if (errno != 0) error = errno;
    if (error == 0) error = EIO;
    return std::string("cannot write standard output: ") + std::strerror(error);
}

}  // namespace

int finish_standard_output(const command_voice& voice, int status) {
    if (!std::ferror(stdout)) return status;
    return voice.fail(output_failure().c_str());
}

int flush_standard_output(const char* who, message_sink& messages) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    say(messages, "%s: %s\n", who, output_failure().c_str());
    return -1;
}
