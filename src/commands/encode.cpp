// The encode command: a new format 4 cmap subtable from an encoding file.
#include "encoding/encode.h"
#include "commands/commands.h"
#include "commands/operands.h"

int encode_command(kestrix_context& context) {
    const command_voice voice{"encode", context.messages()};
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    stack_item operands[2];  // file name, font
    if (!pop_operands(context, voice, operands)) return -1;
    if (!operands[1].val) return voice.fail("stack is empty");
    const char* path = string_of(operands[0], voice, "afm-filename string");
    if (!path) return -1;
    font_object* font = font_of(operands[1], voice);
    if (!font) return -1;
    if (encode_font(*font, path, static_cast<USHORT>(platformID),
                    static_cast<USHORT>(encodingID)) != 0)
        return -1;
    context.stack.push(font, ITEM_FONT);
    return 0;
}
