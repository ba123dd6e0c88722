// A font file from arbitrary bytes through every command that reads or writes a font:
// list, listname, afm and chart for each encoding of its cmap, getmetrics, encode, gen (and a
// reload of what it wrote), export of every table, import of each back and gen again, and the
// editing commands (family among them) followed by one more gen, as a plain font and as
// WOFF.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commands/context.h"
#include "font/font.h"
#include "harness.h"
#include "tables/cmap.h"
#include "tables/maxp.h"
#include "tables/post.h"

namespace {

// Each afm maps all 65,536 codes; a few encodings per input keep the target quick.
constexpr std::size_t kMaxEncodings = 4;
constexpr std::size_t kMaxTablesExported = 48;
// A hostile cmap may claim up to 65,535 encodings, each a copy of a subtable, which every
// command then lists, maps or writes one by one. Such fonts are left to the load target:
// past a few hundred the copies only cost time.
constexpr std::size_t kMaxEncodingSlots = 256;

constexpr const char* kEncoding =
    "StartCharMetrics 3\n"
    "CH <0041> ; N A ;\n"
    "CH <0061> ; N a ;\n"
    "CH <00c5> ; N .glyphindex1 ;\n"
    "CH <ffff> ; N .glyphindexFFFF ;\n"
    "EndCharMetrics\n";

stack_item g_font;  // the font item under test

// Runs one command on the font under test: the font item, then the words.
int on_font(std::initializer_list<std::string_view> words) {
    fuzzkit::context().stack.clear();
    fuzzkit::context().stack.push_back(g_font);
    return fuzzkit::run_words(words);
}

std::vector<std::pair<USHORT, USHORT>> encodings_of(font_object& font) {
    std::set<std::pair<USHORT, USHORT>> seen;
    std::vector<std::pair<USHORT, USHORT>> out;
    if (cmap_elab* cmap = cmap_table(font)) {
        for (const auto& slot : cmap->subtables) {
            if (!slot || out.size() == kMaxEncodings) continue;
            if (seen.insert({slot->platformID, slot->encodingID}).second)
                out.emplace_back(slot->platformID, slot->encodingID);
        }
    }
    return out;
}

// Loads a font this input wrote: the writer's output goes through every parser again.
// (Not listed: a hostile cmap may hold tens of thousands of subtables, and one listing of
// them per input is enough.)
void reload(const char* path) {
    fuzzkit::context().stack.clear();
    fuzzkit::run_words({path, "font"});
}

void exercise(font_object& font) {
    if (cmap_elab* cmap = cmap_table(font); cmap && cmap->subtables.size() > kMaxEncodingSlots)
        return;
    on_font({"list"});
    on_font({"3", "1", "1033", "1", "listname"});
    on_font({"1", "0", "0", "4", "listname"});
    for (auto [platform, encoding] : encodings_of(font)) {
        on_font({std::to_string(platform), std::to_string(encoding), "afm"});
        const std::string chart =
            "chart" + std::to_string(platform) + "." + std::to_string(encoding) + ".svg";
        on_font({std::to_string(platform), std::to_string(encoding), chart, "chart"});
    }

    on_font({"A", "getmetrics"});
    on_font({".glyphindex1", "getmetrics"});
    char beyond[32];
    std::snprintf(beyond, sizeof beyond, ".glyphindex%X", glyphs_in(font));
    on_font({beyond, "getmetrics"});
    on_font({glyph_name(1, post_table(font)), "getmetrics"});

    if (on_font({"gen1.ttf", "gen"}) == 0) reload("gen1.ttf");

    const std::size_t tables = std::min(font.table_dir.size(), kMaxTablesExported);
    std::vector<std::string> exported;
    for (std::size_t i = 0; i < tables; ++i) {
        std::string file = "t" + std::to_string(i) + ".bin";
        if (on_font({font.table_dir[i].tag, file, "export"}) == 0) exported.push_back(file);
    }
    for (std::size_t i = 0; i < exported.size(); ++i)
        on_font({font.table_dir[i].tag, exported[i], "import"});
    if (on_font({"gen2.ttf", "gen"}) == 0) reload("gen2.ttf");

    on_font({"e.enc", "3", "1", "encode"});
    on_font({"A", "1000", "setaw"});
    on_font({".glyphindex1", "70000", "setaw"});
    on_font({"3", "1", "1033", "4", "Renamed Font", "rename"});
    on_font({"1", "0", "0", "1", "", "rename"});
    on_font({"3", "1", "3", "10", "platform"});
    on_font({"1", "0", "1", "0", "platform"});
    on_font({"Fuzz Family", "family"});
    if (on_font({"gen3.ttf", "gen"}) == 0) reload("gen3.ttf");
    // WOFF 1.0 through zlib; WOFF2's Brotli is too slow for every input.
    if (on_font({"gen4.woff", "gen"}) == 0) reload("gen4.woff");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzzkit::is_set_up()) fuzzkit::setup("font", {{"e.enc", kEncoding}});
    fuzzkit::begin_input();
    fuzzkit::write_file("in.ttf", {reinterpret_cast<const char*>(data), size});
    // Forced interpretation lets damaged offset tables through to the parsers.
    fuzzkit::run_words({"force", "in.ttf", "font"});
    if (fuzzkit::context().stack.pop(g_font) && g_font.font()) exercise(*g_font.font());
    g_font = stack_item{};
    fuzzkit::end_input();
    return 0;
}
