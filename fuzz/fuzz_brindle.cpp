// brindle's three input files from arbitrary bytes: the large code table, the small code
// table and, when a second separator line is present, the synonym file.
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"
#include "joiner.h"

namespace {

// Separates the files inside one input; a comment line in all three formats.
constexpr std::string_view kSeparator = "\n#####\n";

std::vector<std::string_view> split_files(std::string_view input) {
    std::vector<std::string_view> parts;
    while (parts.size() < 2) {
        std::size_t at = input.find(kSeparator);
        if (at == std::string_view::npos) break;
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(input);
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("brindle", {});
    fuzzkit::begin_input();
    std::vector<std::string_view> parts = split_files({reinterpret_cast<const char*>(data), size});
    static const char* const names[] = {"large.cod", "small.cod", "syn.txt"};
    std::vector<char*> argv{const_cast<char*>("brindle")};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        fuzzkit::write_file(names[i], parts[i]);
        argv.push_back(const_cast<char*>(names[i]));
    }
    if (parts.size() == 1) {  // no separator: the same text serves as both tables
        argv.push_back(const_cast<char*>(names[0]));
    }
    argv.push_back(nullptr);
    brindle::run_brindle(static_cast<int>(argv.size()) - 1, argv.data());
    fuzzkit::end_input();
    return 0;
}
