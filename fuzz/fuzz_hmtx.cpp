// The hmtx parser on raw table bytes, after maxp and hhea, then every glyph's metrics.
// Input: see table_input.h.
#include "tables/hmtx.h"
#include "tables/maxp.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("hmtx", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"maxp", "hhea", "hmtx"}, data, size, notices);
    auto hmtx = do_hmtx(*font);
    if (hmtx) {
        const USHORT glyphs = glyphs_in(*font);
        for (unsigned g = 0; g <= glyphs && g < 4096; ++g) {
            advanceWidth_of(*font, static_cast<USHORT>(g), hmtx.get());
            lsb_of(*font, static_cast<USHORT>(g), hmtx.get());
        }
    }
    return 0;
}
