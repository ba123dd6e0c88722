#include "commands/metrics.h"

#include <cstdio>

#include "commands/command_util.h"
#include "font/font.h"
#include "interp/interp.h"
#include "interp/stack.h"
#include "tables/glyf.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/maxp.h"
#include "tables/post.h"

using commands::fail;

namespace {

// The glyph the name stands for, or 0 after the command's message.
USHORT named_glyph(font_object& font, const char* name, const char* command) {
    post_elab* post = post_table(font);
    if (!post) {
        std::fprintf(stderr, "%s: no post table\n", font.font_path.c_str());
        return 0;
    }
    USHORT glyph = glyph_index_of(name, post);
    if (glyph == 0)
        std::fprintf(stderr, "%s: no glyph name \"%s\" in font %s\n", command, name,
                     font.font_path.c_str());
    return glyph;
}

// The glyf record with its glyphs, or nothing after the command's message.
const glyf_elab* glyph_data(font_object& font, const char* command) {
    const glyf_elab* glyf = glyf_table(font);
    if (!glyf) {
        std::fprintf(stderr, "%s: no glyf table\n", font.font_path.c_str());
        return nullptr;
    }
    if (glyf->glyphs.empty()) {
        std::fprintf(stderr, "%s: no glyph data in font %s\n", command, font.font_path.c_str());
        return nullptr;
    }
    return glyf;
}

// Pops the glyph name and the font under it; 0, or -1 after the command's message.
int pop_font_and_name(const char* command, font_object*& font, const char*& name) {
    stack_item name_item, font_item;
    bool have_name = pop_item(name_item);
    if (!have_name || !pop_item(font_item)) {
        std::fprintf(stderr, "%s: stack is empty\n", command);
        return -1;
    }
    if (font_item.type != ITEM_FONT || !font_item.font()) {
        std::fprintf(stderr, "%s: expected font object\n", command);
        return -1;
    }
    if (name_item.type != ITEM_STRING || !name_item.str()) {
        std::fprintf(stderr, "%s: expected glyph name\n", command);
        return -1;
    }
    font = font_item.font();
    name = name_item.str();
    return 0;
}

}  // namespace

int set_advance_width(font_object& font, const char* name, std::int32_t width) {
    USHORT glyph = named_glyph(font, name, "setaw");
    if (glyph == 0) return -1;
    if (!glyph_data(font, "setaw")) return -1;
    hhea_elab* hhea = hhea_table(font);
    hmtx_elab* hmtx = hmtx_table(font);
    if (!hhea || !hmtx || hmtx->hMetrics.empty()) {
        std::fprintf(stderr, "setaw: missing hhea/hmtx table or hMetrics data in font %s\n",
                     font.font_path.c_str());
        return -1;
    }
    // The array was sized by the glyph count when hmtx was parsed; check both bounds.
    if (glyph >= glyphs_in(font) || glyph >= hmtx->hMetrics.size()) {
        std::fprintf(stderr, "setaw: %s: glyph index %d too large\n", font.font_path.c_str(),
                     glyph);
        return -1;
    }
    hmtx->hMetrics[glyph].advanceWidth = static_cast<USHORT>(width);
    return 0;
}

int get_glyph_metrics(font_object& font, const char* name) {
    USHORT glyph = named_glyph(font, name, "getmetrics");
    if (glyph == 0) return -1;
    const glyf_elab* glyf = glyph_data(font, "getmetrics");
    if (!glyf) return -1;

    const hmtx_elab* hmtx = hmtx_table(font);
    push_integer(advanceWidth_of(font, glyph, hmtx));
    push_integer(lsb_of(font, glyph, hmtx));
    // A ".glyphindex" name can reach past the glyphs; such a glyph has an empty box.
    glyph_record none;
    const glyph_record& g = glyph < glyf->glyphs.size() ? glyf->glyphs[glyph] : none;
    push_integer(g.xMin);
    push_integer(g.yMin);
    push_integer(g.xMax);
    push_integer(g.yMax);
    return 0;
}

int setaw_command() {
    std::int32_t width = 0;
    if (stackcheck(width) != 0) return fail("setaw: bad AW arg\n");
    font_object* font = nullptr;
    const char* name = nullptr;
    if (pop_font_and_name("setaw", font, name) != 0) return -1;
    return set_advance_width(*font, name, width);
}

int getmetrics_command() {
    font_object* font = nullptr;
    const char* name = nullptr;
    if (pop_font_and_name("getmetrics", font, name) != 0) return -1;
    return get_glyph_metrics(*font, name);
}
