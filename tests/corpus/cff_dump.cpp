// Prints what the CFF reader finds in a font, one glyph a line:
//     GID NAME XMIN YMIN XMAX YMAX
// (NAME is "-" when the font has none for the glyph). check_cff.py compares the lines
// with fontTools.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tables/cff.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cff_dump FONT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string error;
    auto outlines = cff_outlines::open(std::move(bytes), error);
    if (!outlines) {
        std::fprintf(stderr, "cff_dump: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (unsigned gid = 0; gid < outlines->glyph_count(); ++gid) {
        auto box = outlines->box(gid, error);
        if (!box) {
            std::fprintf(stderr, "cff_dump: %s: %s\n", argv[1], error.c_str());
            return 1;
        }
        std::string name = outlines->name(gid).value_or("-");
        std::printf("%u %s %d %d %d %d\n", gid, name.c_str(), box->xMin, box->yMin, box->xMax,
                    box->yMax);
    }
    return 0;
}
