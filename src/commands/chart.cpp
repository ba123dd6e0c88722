// The chart command: an SVG chart of one cmap subtable, written to a new file.
#include "report/chart.h"
#include "commands/commands.h"
#include "commands/operands.h"

// font M N file chart: consumes all four operands.
int chart_command(kestrix_context& context) {
    const command_voice voice{"chart"};
    const char* path = pop_string(context, voice, "file name");
    if (!path) return -1;
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    return write_chart(*font, static_cast<USHORT>(platformID), static_cast<USHORT>(encodingID),
                       path, context.existing_outputs());
}
