// The list and listname commands: readable reports on the standard output. Their messages
// follow the report lines already printed, also when both streams go to one file.
#include "report/list.h"
#include "commands/commands.h"
#include "commands/operands.h"
#include "report/listname.h"

int list_command(kestrix_context& context) {
    const command_voice voice{"list", context.messages()};
    stack_item item;
    // A missing operand is reported as the wrong one.
    if (!context.stack.pop(item)) return voice.fail("expected font");
    font_object* font = font_of(item, voice);
    if (!font) return -1;
    return finish_standard_output(voice, do_list(*font, context.list_ids));
}

int listname_command(kestrix_context& context) {
    const command_voice voice{"listname", context.messages()};
    name_key key;
    if (!pop_name_key(context, voice, key)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    return finish_standard_output(voice, list_name(*font, key, context.is_command));
}
