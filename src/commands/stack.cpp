#include "commands/stack.h"

#include <cctype>
#include <cstring>

#include "font/font.h"

namespace {

int digit_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

int operand_stack::push(const void* val, int type) {
    if (top_ + 1 >= kStackCapacity) {
        say(*messages_, "Stack overflow.\n");
        return -1;
    }
    stack_item& slot = items_[++top_];
    slot.val = val;
    slot.num = 0;
    slot.type = type;
    slot.length = type == ITEM_STRING && val ? std::strlen(static_cast<const char*>(val)) : 0;
    return 0;
}

int operand_stack::push_string(std::string_view text) {
    if (push(text.data(), ITEM_STRING) != 0) return -1;
    items_[top_].length = text.size();
    return 0;
}

int operand_stack::push_integer(std::int32_t n) {
    if (push(nullptr, ITEM_INTEGER) != 0) return -1;
    items_[top_].num = n;
    return 0;
}

int operand_stack::push_back(const stack_item& item) {
    if (push(item.val, item.type) != 0) return -1;
    items_[top_].num = item.num;
    items_[top_].length = item.length;
    return 0;
}

bool operand_stack::pop(stack_item& out) {
    if (top_ < 0) return false;
    out = items_[top_--];
    return true;
}

bool parse_c_integer(const char* text, std::int32_t& value, std::size_t& consumed) {
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';

    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    if (digit_value(*p) >= base) return false;

    // The magnitude may reach 2^31 for the most negative value.
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    bool overflow = false;
    for (; digit_value(*p) < base; ++p) {
        magnitude = magnitude * base + digit_value(*p);
        if (magnitude > limit) {
            overflow = true;
            magnitude = limit;
        }
    }
    if (overflow) return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    consumed = static_cast<std::size_t>(p - text);
    return true;
}

int stackcheck(operand_stack& stack, std::int32_t& out) {
    stack_item item;
    if (!stack.pop(item)) {
        say(stack.messages(), "stackcheck: expected integer, but stack is empty\n");
        return -1;
    }
    switch (item.type) {
        case ITEM_INTEGER:
            out = item.num;
            return 0;
        case ITEM_STRING: {
            const char* text = item.str() ? item.str() : "";
            std::int32_t value = 0;
            std::size_t consumed = 0;
            if (!parse_c_integer(text, value, consumed)) {
                say(stack.messages(), "typecheck: \"%s\" not an integer\n", text);
                return -1;
            }
            if (consumed < std::strlen(text)) {
                say(stack.messages(), "typecheck: extraneous chars in \"%s\"\n", text);
                return -1;
            }
            out = value;
            return 0;
        }
        case ITEM_FONT:
            say(stack.messages(), "typecheck: expected integer, got font\n");
            return -1;
        default:
            say(stack.messages(), "typecheck: expected integer, got undefined\n");
            return -1;
    }
}

int operand_stack::dump(std::FILE* stream) const {
    if (top_ < 0) {
        std::fprintf(stdout, "stack: stack is empty\n");
        std::fflush(stdout);
        return 0;
    }
    std::fputs(listing().c_str(), stream);
    std::fflush(stream);
    return 0;
}

std::string operand_stack::listing() const {
    std::string text;
    for (int i = top_; i >= 0; --i) {
        const stack_item& item = items_[i];
        text += formatted("stack[%d] = ", i);
        switch (item.type) {
            case ITEM_UNDEFINED:
                text += "[undefined object]";
                break;
            case ITEM_FONT: {
                const font_object* font = item.font();
                const char* path = font && !font->font_path.empty() ? font->font_path.c_str() : "?";
                text += formatted("font object for file \"%s\"", path);
                break;
            }
            case ITEM_STRING:
                text += formatted("string \"%s\"", item.str() ? item.str() : "<null>");
                break;
            case ITEM_INTEGER:
                text += formatted("integer %ld", static_cast<long>(item.num));
                break;
            default:
                break;
        }
        if (i == top_) text += " <-- top";
        text += "\n";
    }
    return text;
}
