// A font file from arbitrary bytes: load it (offset-table checks as warnings), elaborate
// the ten tables and kern, and walk the lookups the commands use.
#include <algorithm>
#include <cstdio>
#include <string>

#include "commands/context.h"
#include "font/font.h"
#include "harness.h"
#include "tables/cmap.h"
#include "tables/glyf.h"
#include "tables/hmtx.h"
#include "tables/kern.h"
#include "tables/maxp.h"
#include "tables/name.h"
#include "tables/post.h"
#include "tables/registry.h"

namespace {

// Bounded walks: enough to reach every code path, cheap enough for many inputs a second.
constexpr unsigned kGlyphsWalked = 512;
constexpr unsigned kCodesWalked = 0x300;
constexpr std::size_t kSubtablesWalked = 8;

void walk_lookups(font_object& font) {
    const USHORT glyphs = glyphs_in(font);
    post_elab* post = post_table(font);
    hmtx_elab* hmtx = hmtx_table(font);
    const unsigned walked = std::min<unsigned>(glyphs + 2u, kGlyphsWalked);
    for (unsigned g = 0; g < walked; ++g) {
        glyph_index_of(glyph_name(g, post).c_str(), post);
        advanceWidth_of(font, static_cast<USHORT>(g), hmtx);
        lsb_of(font, static_cast<USHORT>(g), hmtx);
    }
    glyph_index_of(".glyphindexFFFF", post);
    glyph_index_of("A", post);
    if (cmap_elab* cmap = cmap_table(font)) {
        const std::size_t walked_slots = std::min(cmap->subtables.size(), kSubtablesWalked);
        for (std::size_t i = 0; i < walked_slots; ++i) {
            const auto& slot = cmap->subtables[i];
            if (!slot) continue;
            for (ULONG code = 0; code < kCodesWalked; ++code) char_to_glyph(code, slot.get());
            for (ULONG code = 0xFF00; code <= 0xFFFF; ++code) char_to_glyph(code, slot.get());
            find_cmap_subtable(font, slot->platformID, slot->encodingID);
        }
    }
    find_name(font, 3, 1, 0x409, 6);
    find_name(font, 1, 0, 0, 1);
    kern_table(font);
    kern_table(font);  // cached the second time
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("load", {});
    fuzzkit::begin_input();
    fuzzkit::write_file("in.ttf", {reinterpret_cast<const char*>(data), size});
    // Forced interpretation lets damaged offset tables through to the parsers.
    fuzzkit::run_words({"force", "in.ttf", "font"});
    stack_item top;
    if (fuzzkit::context().stack.pop(top) && top.font()) walk_lookups(*top.font());
    // The second font of a collection, through face (a single font refuses index 1).
    fuzzkit::run_words({"in.ttf", "1", "face"});
    fuzzkit::end_input();
    return 0;
}
