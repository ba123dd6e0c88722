#include "commands/metrics.h"

#include <cstdio>
#include <optional>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/maxp.h"
#include "tables/outlines.h"
#include "tables/post.h"

namespace {

// The glyph the name stands for, or 0 after the command's message.
USHORT named_glyph(font_object& font, const char* name, const char* command) {
    post_elab* post = post_table(font);
    if (!post) {
        say(*font.messages, "%s: no post table\n", font.font_path.c_str());
        return 0;
    }
    USHORT glyph = glyph_index_of(name, post);
    if (glyph == 0)
        say(*font.messages, "%s: no glyph name \"%s\" in font %s\n", command, name,
            font.font_path.c_str());
    return glyph;
}

// The font's outlines, with glyphs, or nothing after the command's message.
std::optional<glyph_outlines> glyph_data(font_object& font, const char* command) {
    std::optional<glyph_outlines> outlines = glyph_outlines::of(font);
    if (!outlines) {
        say(*font.messages, "%s: no glyf table\n", font.font_path.c_str());
        return std::nullopt;
    }
    if (outlines->count() == 0) {
        say(*font.messages, "%s: no glyph data in font %s\n", command, font.font_path.c_str());
        return std::nullopt;
    }
    return outlines;
}

// Pops the glyph name and the font under it; nothing after the command's message.
struct glyph_operands {
    font_object* font = nullptr;
    const char* name = nullptr;
};

bool pop_font_and_name(kestrix_context& context, const char* command, glyph_operands& out) {
    const command_voice voice{command, context.messages()};
    stack_item operands[2];  // glyph name, font
    if (!pop_operands(context, voice, operands)) return false;
    out.font = font_of(operands[1], voice, "font object");
    out.name = out.font ? string_of(operands[0], voice, "glyph name") : nullptr;
    return out.name != nullptr;
}

}  // namespace

int set_advance_width(font_object& font, const char* name, std::int32_t width) {
    USHORT glyph = named_glyph(font, name, "setaw");
    if (glyph == 0) return -1;
    if (!glyph_data(font, "setaw")) return -1;
    hhea_elab* hhea = hhea_table(font);
    hmtx_elab* hmtx = hmtx_table(font);
    if (!hhea || !hmtx || hmtx->hMetrics.empty()) {
        say(*font.messages, "setaw: missing hhea/hmtx table or hMetrics data in font %s\n",
            font.font_path.c_str());
        return -1;
    }
    // The array was sized by the glyph count when hmtx was parsed; check both bounds.
    if (glyph >= glyphs_in(font) || glyph >= hmtx->hMetrics.size()) {
        say(*font.messages, "setaw: %s: glyph index %d too large\n", font.font_path.c_str(), glyph);
        return -1;
    }
    hmtx->hMetrics[glyph].advanceWidth = static_cast<USHORT>(width);
    hmtx->widths_changed = true;
    return 0;
}

int get_glyph_metrics(font_object& font, const char* name, operand_stack& results) {
    USHORT glyph = named_glyph(font, name, "getmetrics");
    if (glyph == 0) return -1;
    const std::optional<glyph_outlines> outlines = glyph_data(font, "getmetrics");
    if (!outlines) return -1;

    const hmtx_elab* hmtx = hmtx_table(font);
    results.push_integer(advanceWidth_of(font, glyph, hmtx));
    results.push_integer(lsb_of(font, glyph, hmtx));
    // A ".glyphindex" name can reach past the glyphs; such a glyph has an empty box.
    const glyph_box g = outlines->box(glyph);
    results.push_integer(g.xMin);
    results.push_integer(g.yMin);
    results.push_integer(g.xMax);
    results.push_integer(g.yMax);
    return 0;
}

int setaw_command(kestrix_context& context) {
    std::int32_t width = 0;
    if (!pop_ushort(context, {"setaw", context.messages()}, "AW", width)) return -1;
    glyph_operands op;
    if (!pop_font_and_name(context, "setaw", op)) return -1;
    return set_advance_width(*op.font, op.name, width);
}

int getmetrics_command(kestrix_context& context) {
    glyph_operands op;
    if (!pop_font_and_name(context, "getmetrics", op)) return -1;
    return get_glyph_metrics(*op.font, op.name, context.stack);
}
