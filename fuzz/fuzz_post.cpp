// The post parser on raw table bytes, then the names of the first glyphs and back.
// Input: see table_input.h.
#include <string>

#include "tables/post.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("post", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"post"}, data, size, notices);
    auto post = do_post(*font);
    if (post) {
        for (ULONG g = 0; g < 300; ++g) {
            const std::string name = glyph_name(g, post.get());
            glyph_index_of(name.c_str(), post.get());
            glyph_index_within(name.c_str(), post.get(), 300);
        }
    }
    return 0;
}
