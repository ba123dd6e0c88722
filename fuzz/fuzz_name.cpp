// The name parser on raw table bytes, then a lookup of the first records it found.
// Input: see table_input.h.
#include <algorithm>

#include "tables/name.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("name", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"name"}, data, size, notices);
    auto name = do_name(*font);
    if (name) {
        font->table_dir[0].ElabPtr = std::move(name);
        auto& parsed = static_cast<name_elab&>(*font->table_dir[0].ElabPtr);
        // Each lookup scans the records: a bounded number keeps the input fast.
        const std::size_t looked_up = std::min<std::size_t>(parsed.records.size(), 64);
        for (std::size_t i = 0; i < looked_up; ++i) {
            const name_record& r = parsed.records[i];
            find_name(*font, r.platformID, r.encodingID, r.languageID, r.nameID);
        }
    }
    return 0;
}
