// Commands on the stack itself.
#include <cstdio>

#include "commands/commands.h"
#include "commands/operands.h"

int pop_command(kestrix_context& context) {
    stack_item item;
    return pop_operand(context, {"pop", context.messages()}, item, false) ? 0 : -1;
}

int dup_command(kestrix_context& context) {
    stack_item item;
    if (!pop_operand(context, {"dup", context.messages()}, item, false)) return -1;
    context.stack.push_back(item);
    return context.stack.push_back(item);
}

int show_command(kestrix_context& context) {
    stack_item item;
    if (!pop_operand(context, {"show", context.messages()}, item, false)) return -1;
    say(context.messages(), "show: val=%p type=%d\n", item.val, item.type);
    return 0;
}

int stack_command(kestrix_context& context) {
    return finish_standard_output({"stack", context.messages()}, context.stack.dump(stdout));
}
