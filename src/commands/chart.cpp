// The chart command: an SVG chart of one cmap subtable, written to a new file.
#include <cstdint>
#include <cstdio>

#include "commands/command_util.h"
#include "interp/interp.h"
#include "interp/stack.h"
#include "report/chart.h"

using commands::fail;

// font M N file chart: consumes all four operands.
int chart_command() {
    stack_item file;
    if (!pop_item(file)) return fail("chart: stack is empty\n");
    if (file.type != ITEM_STRING || !file.str()) return fail("chart: expected file name\n");
    std::int32_t encodingID = 0;
    if (stackcheck(encodingID) != 0) return fail("chart: bad N arg\n");
    std::int32_t platformID = 0;
    if (stackcheck(platformID) != 0) return fail("chart: bad M arg\n");
    stack_item font;
    if (!pop_item(font) || !font.val) return fail("chart: stack is empty\n");
    if (font.type != ITEM_FONT) return fail("chart: expected font\n");
    return write_chart(*font.font(), static_cast<USHORT>(platformID),
                       static_cast<USHORT>(encodingID), file.str());
}
