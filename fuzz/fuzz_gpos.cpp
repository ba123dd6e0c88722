// The GPOS parser on raw table bytes, after maxp, then the pair kerning it gives.
// Input: see table_input.h.
#include "tables/gpos.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("gpos", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"maxp", "GPOS"}, data, size, notices);
    auto gpos = do_gpos(*font);
    if (gpos) {
        font->table_dir[1].ElabPtr = std::move(gpos);
        gpos_kern_pairs(*font);
    }
    return 0;
}
