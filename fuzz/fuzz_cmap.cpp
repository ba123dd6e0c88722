// The cmap parser on raw table bytes, then the lookup of one subtable by its pair.
// Input: see table_input.h.
#include "tables/cmap.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("cmap", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"cmap"}, data, size, notices);
    auto cmap = do_cmap(*font);
    if (cmap)
        for (const auto& sub : cmap->subtables)
            if (sub) read_cmap_subtable(*font, sub->platformID, sub->encodingID);
    return 0;
}
