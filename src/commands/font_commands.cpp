// Commands on the life of font objects: loading one, releasing one, and the forced
// interpretation that loading obeys.
#include <cstdio>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/registry.h"

int font_command(kestrix_context& context) {
    const command_voice voice{"font"};
    stack_item item;
    // A missing operand is reported as the wrong one.
    if (!context.stack.pop(item) || !item.val) return voice.fail("expected string");
    const char* path = string_of(item, voice, "string");
    if (!path) return -1;
    std::unique_ptr<font_object> loaded = load_font(path, context.font_options());
    if (!loaded) return voice.fail("load failed");
    font_object* font = context.adopt_font(std::move(loaded));
    for (const char* tag : font_elab_order) {
        if (!load_elab_table(*font, tag, 1)) std::fprintf(stderr, "font: no %s table\n", tag);
    }
    if (context.stack.push(font, ITEM_FONT) != 0) {
        context.release_font(font);
        return -1;
    }
    return 0;
}

int free_command(kestrix_context& context) {
    font_object* font = pop_font(context, {"free"});
    if (!font) return -1;
    for (int i = context.stack.depth() - 1; i >= 0; --i) {
        const stack_item& other = context.stack.slot(i);
        if (other.type == ITEM_FONT && other.val == font) {
            std::fprintf(stderr, "free: font referenced duplicated in stack item %d\n", i);
            return -1;
        }
    }
    context.release_font(font);
    return 0;
}

int force_command(kestrix_context& context) {
    context.forced_interpretation = !context.forced_interpretation;
    if (context.forced_interpretation)
        std::fprintf(stderr, "Warning: forced file interpretation is ON\n");
    return 0;
}
