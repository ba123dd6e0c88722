// The operand stack the commands take their operands from and leave their results on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "font/messages.h"

struct font_object;

enum item_type : int { ITEM_UNDEFINED = 0, ITEM_FONT = 1, ITEM_STRING = 2, ITEM_INTEGER = 3 };

struct stack_item {
    const void* val = nullptr;  // ITEM_FONT: the font_object; ITEM_STRING: the text
    std::int32_t num = 0;       // ITEM_INTEGER: the value
    int type = ITEM_UNDEFINED;
    std::size_t length = 0;  // ITEM_STRING: bytes of the text, escaped zero bytes included

    font_object* font() const {
        return type == ITEM_FONT ? static_cast<font_object*>(const_cast<void*>(val)) : nullptr;
    }
    const char* str() const {
        return type == ITEM_STRING ? static_cast<const char*>(val) : nullptr;
    }
    // The whole text of a string item (str() stops at a zero byte a script escaped).
    std::string_view text() const { return str() ? std::string_view(str(), length) : ""; }
};

constexpr int kStackCapacity = 128;

// The operand stack: at most kStackCapacity items, the last pushed on top.
class operand_stack {
  public:
    // Pushes an item; on a full stack reports "Stack overflow." and returns -1 (the item is
    // lost, the stack keeps what it had). 0 on success.
    int push(const void* val, int type);
    // A string item of exactly this text, which must be followed by a zero byte.
    int push_string(std::string_view text);
    int push_integer(std::int32_t n);
    int push_back(const stack_item& item);

    // The top item, removed; nothing when the stack is empty. The returned copy stays valid.
    bool pop(stack_item& out);

    int depth() const { return top_ + 1; }
    const stack_item& slot(int index) const { return items_[index]; }  // 0 is the bottom

    // Prints every item, top first ("stack: stack is empty" on the standard output when
    // there is none).
    int dump(std::FILE* stream) const;
    // The lines dump prints for a stack that holds items.
    std::string listing() const;

    // Where the stack and stackcheck report; the context points it at the run's sink.
    void report_to(message_sink& messages) { messages_ = &messages; }
    message_sink& messages() const { return *messages_; }

    void clear() { top_ = -1; }

  private:
    stack_item items_[kStackCapacity];
    int top_ = -1;
    message_sink* messages_ = &standard_error_sink();
};

// Pops one operand and converts it to a 32-bit integer ("%i" rules).
int stackcheck(operand_stack& stack, std::int32_t& out);

// Parses text as the "%i%n" conversion would; returns false when no integer could be
// read or it lies outside the 32-bit range. consumed receives the characters used.
bool parse_c_integer(const char* text, std::int32_t& value, std::size_t& consumed);
