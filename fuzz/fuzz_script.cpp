// A script from arbitrary bytes, through the token reader and the dispatcher. The
// working directory holds two sample fonts, an encoding file and a small script for it
// to use; whatever it writes there is removed after each input, and it can open nothing
// outside.
#include <string>

#include "harness.h"

namespace {

constexpr const char* kEncoding =
    "StartCharMetrics 3\n"
    "CH <0041> ; N A ;\n"
    "CH <0042> ; N B ;\n"
    "C 97 ; WX 500 ; N a ; B 0 0 10 10 ;\n"
    "EndCharMetrics\n";

constexpr const char* kNested = "% nested\ndup stack pop\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) {
        fuzzkit::setup("script", {{"v.ttf", fuzzkit::sample_font("Vera.ttf")},
                                  {"m.ttf", fuzzkit::sample_font("VeraMono.ttf")},
                                  {"e.enc", kEncoding},
                                  {"n.ks", kNested}});
    }
    fuzzkit::begin_input();
    fuzzkit::write_file("s.ks", {reinterpret_cast<const char*>(data), size});
    fuzzkit::run_words({"s.ks", "run"});
    fuzzkit::end_input();
    return 0;
}
