// The kern parser on raw table bytes.
// Input: see table_input.h.
#include "tables/kern.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("kern", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"kern"}, data, size, notices);
    do_kern(*font);
    return 0;
}
