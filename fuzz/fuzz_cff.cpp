// The CFF outlines on raw table bytes, after head and maxp, through FreeType: the box
// and name of the first glyphs.
// Input: see table_input.h.
#include <algorithm>
#include <string>

#include "tables/cff.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("cff", {});
    run_notices notices;
    auto font =
        fuzzkit::table_target_font({"head", "maxp", "CFF "}, data, size, notices, 0x4F54544F);
    auto cff = do_cff(*font);
    if (cff) {
        std::string error;
        const std::size_t walked = std::min<std::size_t>(cff->glyph_count() + 1, 64);
        for (unsigned gid = 0; gid < walked; ++gid) {
            cff->box(gid, error);
            cff->name(gid);
        }
    }
    return 0;
}
