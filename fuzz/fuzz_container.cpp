// Container decoding from arbitrary bytes: every font of a collection (up to a bound),
// WOFF and WOFF2, and FreeType's reading of the CFF outlines of what comes out.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "font/container.h"
#include "harness.h"
#include "tables/cff.h"

namespace {

// Bounded walks: enough to reach every code path, cheap enough for many inputs a second.
constexpr std::size_t kFacesTried = 4;
constexpr unsigned kGlyphsWalked = 64;

bool is_cff_flavoured(const std::vector<BYTE>& sfnt) {
    return sfnt.size() >= 4 && std::equal(sfnt.begin(), sfnt.begin() + 4, "OTTO");
}

void walk_outlines(const std::vector<BYTE>& sfnt) {
    std::string error;
    auto cff = cff_outlines::open(sfnt, error);
    if (!cff) return;
    const unsigned walked =
        static_cast<unsigned>(std::min<std::size_t>(cff->glyph_count() + 1, kGlyphsWalked));
    for (unsigned gid = 0; gid < walked; ++gid) {
        cff->box(gid, error);
        cff->name(gid);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Nothing here opens files; the harness keeps the process set up as every target's.
    if (!fuzzkit::is_set_up()) fuzzkit::setup("container", {});
    const std::vector<BYTE> file(data, data + size);
    std::string error;
    for (std::size_t face = 0; face < kFacesTried; ++face) {
        auto opened = open_face(file, face, "in.font", error);
        if (!opened) break;
        if (is_cff_flavoured(opened->sfnt)) walk_outlines(opened->sfnt);
        if (face + 1 >= opened->face_count) break;
    }
    return 0;
}
