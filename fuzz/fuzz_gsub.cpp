// The GSUB parser on raw table bytes, after maxp, then the ligatures it gives.
// Input: see table_input.h.
#include "tables/gsub.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("gsub", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"maxp", "GSUB"}, data, size, notices);
    auto gsub = do_gsub(*font);
    if (gsub) {
        font->table_dir[1].ElabPtr = std::move(gsub);
        gsub_ligatures(*font);
    }
    return 0;
}
