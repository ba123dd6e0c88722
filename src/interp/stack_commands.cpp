// Commands on the stack itself and on the life of font objects.
#include <cstdio>

#include "font/font.h"
#include "font/registry.h"
#include "interp/interp.h"
#include "interp/stack.h"

int font_command() {
    stack_item item;
    if (!pop_item(item) || !item.val || item.type != ITEM_STRING) {
        std::fprintf(stderr, "font: expected string\n");
        return -1;
    }
    std::unique_ptr<font_object> loaded = load_font(item.str());
    if (!loaded) {
        std::fprintf(stderr, "font: load failed\n");
        return -1;
    }
    font_object* font = adopt_font(std::move(loaded));
    for (const char* tag : font_elab_order) {
        if (!load_elab_table(*font, tag, 1)) std::fprintf(stderr, "font: no %s table\n", tag);
    }
    if (push_item(font, ITEM_FONT) != 0) {
        release_font(font);
        return -1;
    }
    return 0;
}

int pop_command() {
    stack_item item;
    if (!pop_item(item)) {
        std::fprintf(stderr, "pop: stack is empty\n");
        return -1;
    }
    return 0;
}

int dup_command() {
    stack_item item;
    if (!pop_item(item)) {
        std::fprintf(stderr, "dup: stack is empty\n");
        return -1;
    }
    push_back_item(item);
    return push_back_item(item);
}

int show_command() {
    stack_item item;
    if (!pop_item(item)) {
        std::fprintf(stderr, "show: stack is empty\n");
        return -1;
    }
    std::fprintf(stderr, "show: val=%p type=%d\n", item.val, item.type);
    return 0;
}

int free_command() {
    stack_item item;
    if (!pop_item(item) || !item.val) {
        std::fprintf(stderr, "free: stack is empty\n");
        return -1;
    }
    if (item.type != ITEM_FONT) {
        std::fprintf(stderr, "free: expected font\n");
        return -1;
    }
    for (int i = stack_depth() - 1; i >= 0; --i) {
        const stack_item& other = stack_slot(i);
        if (other.type == ITEM_FONT && other.val == item.val) {
            std::fprintf(stderr, "free: font referenced duplicated in stack item %d\n", i);
            return -1;
        }
    }
    release_font(item.font());
    return 0;
}

int stack_command() {
    return dump_stack(stdout);
}
