// The gen command: the font, with every change made to it, written to a new file.
#include "commands/commands.h"
#include "commands/operands.h"
#include "writer/output.h"

int gen_command(kestrix_context& context) {
    const command_voice voice{"gen"};
    stack_item operands[2];  // file name, font
    if (!pop_operands(context, voice, operands)) return -1;
    font_object* font = font_of(operands[1], voice, "font object");
    if (!font) return -1;
    const char* path = string_of(operands[0], voice, "file name");
    if (!path) return -1;
    return generate_font(path, *font);
}
