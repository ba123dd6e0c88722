// The glyf parser on raw table bytes, after maxp, head and loca, then the components
// of every glyph.
// Input: see table_input.h.
#include "tables/glyf.h"
#include "tables/maxp.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("glyf", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"maxp", "head", "loca", "glyf"}, data, size, notices);
    auto glyf = do_glyf(*font);
    if (glyf) {
        font->table_dir[3].ElabPtr = std::move(glyf);
        const USHORT glyphs = glyphs_in(*font);
        for (unsigned g = 0; g < glyphs && g < 256; ++g)
            read_components(*font, static_cast<USHORT>(g));
    }
    return 0;
}
