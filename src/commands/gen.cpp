// The gen command: the font, with every change made to it, written to a new file.
#include <cstdio>
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "tables/hmtx.h"
#include "writer/output.h"
#include "writer/web_font.h"

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
    say(*font.messages,
        "gen: warning: %s: %s copied unchanged, no longer matching the widths set by "
        "setaw\n",
        font.font_path.c_str(), stale.c_str());
}

// .ttf names TrueType outlines and .otf CFF ones, by a custom other programs follow.
void warn_outline_suffix(font_object& font, std::string_view path) {
    const bool cff = find_table(font, "CFF ", 0) || find_table(font, "CFF2", 0);
    const bool truetype = find_table(font, "glyf", 0) != nullptr;
    const char* mismatch = nullptr;
    if (cff && !truetype && has_suffix(path, ".ttf"))
        mismatch = "a font with CFF outlines written under a .ttf name (.otf is usual)";
    else if (truetype && !cff && has_suffix(path, ".otf"))
        mismatch = "a TrueType font written under an .otf name (.ttf is usual)";
    if (!mismatch) return;
    say(*font.messages, "gen: warning: %.*s: %s\n", static_cast<int>(path.size()), path.data(),
        mismatch);
}

}  // namespace

int gen_command(kestrix_context& context) {
    const command_voice voice{"gen", context.messages()};
    stack_item operands[2];  // file name, font
    if (!pop_operands(context, voice, operands)) return -1;
    font_object* font = font_of(operands[1], voice, "font object");
    if (!font) return -1;
    const char* path = string_of(operands[0], voice, "file name");
    if (!path) return -1;
    warn_stale_device_tables(*font);
    warn_outline_suffix(*font, path);
    return generate_font(path, *font, context.existing_outputs());
}
