// The gen command: the font, with every change made to it, written to a new file.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "tables/hmtx.h"
#include "writer/output.h"

namespace {

// hdmx, LTSH and VDMX hold values computed from the advance widths; gen copies them as
// they are, so after setaw they describe the old widths.
void warn_stale_device_tables(font_object& font) {
    if (!find_table(font, "hmtx", 0)) return;
    const hmtx_elab* hmtx = hmtx_table(font);
    if (!hmtx || !hmtx->widths_changed) return;
    std::string stale;
    for (const char* tag : {"hdmx", "LTSH", "VDMX"}) {
        if (!find_table(font, tag, 0)) continue;
        if (!stale.empty()) stale += ", ";
        stale += tag;
    }
    if (stale.empty()) return;
    std::fflush(stdout);
    std::fprintf(stderr,
                 "gen: warning: %s: %s copied unchanged, no longer matching the widths set by "
                 "setaw\n",
                 font.font_path.c_str(), stale.c_str());
}

}  // namespace

int gen_command(kestrix_context& context) {
    const command_voice voice{"gen"};
    stack_item operands[2];  // file name, font
    if (!pop_operands(context, voice, operands)) return -1;
    font_object* font = font_of(operands[1], voice, "font object");
    if (!font) return -1;
    const char* path = string_of(operands[0], voice, "file name");
    if (!path) return -1;
    warn_stale_device_tables(*font);
    return generate_font(path, *font, context.existing_outputs());
}
