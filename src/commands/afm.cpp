// The afm command: AFM text for a font through one of its cmap subtables.
#include "afm/afm.h"
#include "commands/commands.h"
#include "commands/operands.h"

int afm_command(kestrix_context& context) {
    const command_voice voice{"afm"};
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    return finish_standard_output(voice, write_afm(*font, static_cast<USHORT>(platformID),
                                                   static_cast<USHORT>(encodingID), context.args));
}
