// Commands on the life of font objects: loading one, releasing one, and the two switches
// of a run: the forced interpretation that loading obeys, and replacing existing outputs.
#include <cstdint>
#include <cstdio>

#include "commands/commands.h"
#include "commands/operands.h"
#include "tables/registry.h"

namespace {

// Loads the file, elaborates its tables and pushes the font object.
int push_font(kestrix_context& context, const command_voice& voice, const char* path,
              const load_options& options) {
    std::unique_ptr<font_object> loaded = load_font(path, options);
    if (!loaded) return voice.fail("load failed");
    font_object* font = context.adopt_font(std::move(loaded));
    for (const char* tag : font_elab_order_of(*font)) {
        if (!load_elab_table(*font, tag, 1)) say(context.messages(), "font: no %s table\n", tag);
    }
    if (context.stack.push(font, ITEM_FONT) != 0) {
        context.release_font(font);
        return -1;
    }
    return 0;
}

}  // namespace

int font_command(kestrix_context& context) {
    const command_voice voice{"font", context.messages()};
    stack_item item;
    // A missing operand is reported as the wrong one.
    if (!context.stack.pop(item) || !item.val) return voice.fail("expected string");
    const char* path = string_of(item, voice, "string");
    if (!path) return -1;
    return push_font(context, voice, path, context.font_options());
}

int face_command(kestrix_context& context) {
    const command_voice voice{"face", context.messages()};
    std::int32_t index = 0;
    if (!pop_integer(context, voice, "index", index)) return -1;
    const char* path = pop_string(context, voice, "string");
    if (!path) return -1;
    if (index < 0) return voice.fail("the index counts fonts from 0");
    return push_font(context, voice, path, context.font_options(static_cast<std::size_t>(index)));
}

int free_command(kestrix_context& context) {
    font_object* font = pop_font(context, {"free", context.messages()});
    if (!font) return -1;
    for (int i = context.stack.depth() - 1; i >= 0; --i) {
        const stack_item& other = context.stack.slot(i);
        if (other.type == ITEM_FONT && other.val == font) {
            say(context.messages(), "free: font referenced duplicated in stack item %d\n", i);
            return -1;
        }
    }
    context.release_font(font);
    return 0;
}

int force_command(kestrix_context& context) {
    context.forced_interpretation = !context.forced_interpretation;
    if (context.forced_interpretation)
        say(context.messages(), "Warning: forced file interpretation is ON\n");
    return 0;
}

int replace_command(kestrix_context& context) {
    context.replace_outputs = true;
    return 0;
}
