// The OS/2 parser on raw table bytes.
// Input: see table_input.h.
#include "tables/os2.h"

#include "harness.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("os2", {});
    run_notices notices;
    auto font = fuzzkit::table_target_font({"OS/2"}, data, size, notices);
    do_os2(*font);
    return 0;
}
