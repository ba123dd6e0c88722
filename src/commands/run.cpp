// The run command: the tokens of a script file, run as if they stood in its place.
#include "commands/commands.h"
#include "commands/operands.h"

int run_command(kestrix_context& context) {
    const command_voice voice{"run", context.messages()};
    stack_item item;
    if (!pop_operand(context, voice, item, false)) return -1;
    const char* path = string_of(item, voice, "file name");
    if (!path) return -1;
    return context.run_script(context, path);
}
