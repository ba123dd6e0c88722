// The chart commands: an SVG chart (or an HTML atlas) of one cmap subtable, written to a
// new file, over every code it maps or over a range of codes.
#include "report/chart.h"

#include <string>

#include "commands/commands.h"
#include "commands/operands.h"
#include "tables/cmap.h"

namespace {

// A code operand: an integer from 0 to U+10FFFF.
bool pop_code(kestrix_context& context, const command_voice& voice, const char* what, ULONG& out) {
    std::int32_t value = 0;
    if (!pop_integer(context, voice, what, value)) return false;
    if (value < 0 || static_cast<ULONG>(value) > kLastUnicode) {
        voice.fail(
            (std::string(what) + " arg " + std::to_string(value) + " out of range (0..1114111)")
                .c_str());
        return false;
    }
    out = static_cast<ULONG>(value);
    return true;
}

}  // namespace

// font M N file chart: consumes all four operands.
int chart_command(kestrix_context& context) {
    const command_voice voice{"chart", context.messages()};
    const char* path = pop_string(context, voice, "file name");
    if (!path) return -1;
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    return write_chart(*font, static_cast<USHORT>(platformID), static_cast<USHORT>(encodingID),
                       path, std::nullopt, "chart", context.existing_outputs());
}

// font M N first last file chartrange: consumes all six operands.
int chartrange_command(kestrix_context& context) {
    const command_voice voice{"chartrange", context.messages()};
    const char* path = pop_string(context, voice, "file name");
    if (!path) return -1;
    chart_range range;
    if (!pop_code(context, voice, "last code", range.last)) return -1;
    if (!pop_code(context, voice, "first code", range.first)) return -1;
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    if (range.first > range.last) return voice.fail("first code after last code");
    return write_chart(*font, static_cast<USHORT>(platformID), static_cast<USHORT>(encodingID),
                       path, range, "chartrange", context.existing_outputs());
}
