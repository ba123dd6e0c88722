// An encoding file from arbitrary bytes through encode: a new 3.1 subtable replaces the
// sample font's, a 3.10 one is inserted, and both go through afm, the cmap writer and a
// reload of the written font.
#include <string>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up())
        fuzzkit::setup("encode", {{"v.ttf", fuzzkit::sample_font("Vera.ttf")}});
    fuzzkit::begin_input();
    fuzzkit::write_file("in.enc", {reinterpret_cast<const char*>(data), size});
    if (fuzzkit::run_words({"v.ttf", "font", "in.enc", "3", "1", "encode", "in.enc", "3", "10",
                            "encode", "dup", "3", "10", "afm", "out.ttf", "gen"}) == 0) {
        fuzzkit::run_words({"out.ttf", "font", "dup", "3", "1", "afm", "free"});
    }
    fuzzkit::end_input();
    return 0;
}
