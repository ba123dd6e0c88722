// Taking a command's operands off the stack, with the command's own messages: each
// problem is reported as "<command>: <problem>" through the run's messages.
#pragma once

#include <cstdint>
#include <span>

#include "commands/context.h"

struct name_key;

// How a command reports an operand it cannot use: through the run's messages.
struct command_voice {
    const char* name;
    message_sink& messages;

    // Prints "<name>: <problem>\n"; returns -1.
    int fail(const char* problem) const;
};

// Pops one operand: "stack is empty" when there is none, and, with need_value, also for an
// item that carries no value (an integer).
bool pop_operand(kestrix_context& context, const command_voice& voice, stack_item& out,
                 bool need_value);

// Pops out.size() operands, top first, before looking at any: "stack is empty" when there
// are fewer (those there were are gone).
bool pop_operands(kestrix_context& context, const command_voice& voice, std::span<stack_item> out);

// The item's font or text; nothing after "expected <expected>" when it holds something
// else. A text naming an existing file, where a font was expected, adds the line
// "load it first: <text> font <command>".
font_object* font_of(const stack_item& item, const command_voice& voice,
                     const char* expected = "font");
const char* string_of(const stack_item& item, const command_voice& voice, const char* expected);

// pop_operand with a value, then font_of / string_of.
font_object* pop_font(kestrix_context& context, const command_voice& voice);
const char* pop_string(kestrix_context& context, const command_voice& voice, const char* expected);

// Pops an integer by stackcheck's rules; after its message "bad <what> arg".
bool pop_integer(kestrix_context& context, const command_voice& voice, const char* what,
                 std::int32_t& out);

// pop_integer for a 16-bit field: a value outside 0..65535 fails with
// "<what> arg <value> out of range (0..65535)".
bool pop_ushort(kestrix_context& context, const command_voice& voice, const char* what,
                std::int32_t& out);

// An encoding's two IDs, pushed platform first: pops the encoding ID ("bad N arg"), then
// the platform ID ("bad M arg"), each 0..65535 (pop_ushort); other names for the second pair of
// platform.
bool pop_encoding(kestrix_context& context, const command_voice& voice, std::int32_t& platform,
                  std::int32_t& encoding, const char* platform_word = "M",
                  const char* encoding_word = "N");

// A name record's four IDs, pushed platform, encoding, language, name: popped name first
// ("bad name id arg", "bad language id arg", "bad N id arg", "bad M id arg"), each
// 0..65535.
bool pop_name_key(kestrix_context& context, const command_voice& voice, name_key& key);

// The end of a command that writes to the standard output: its status, or -1 after
// "<name>: cannot write standard output: <system's error text>" when the stream has failed
// (a closed stream, a full disk). Output still buffered is checked when the program ends.
int finish_standard_output(const command_voice& voice, int status);

// The program's last check of the standard output: flushes it; 0, or -1 after the message
// "<who>: cannot write standard output: <system's error text>".
int flush_standard_output(const char* who, message_sink& messages);
