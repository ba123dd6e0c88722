// kern table layout (big-endian, the 16-bit header form):
//   0  USHORT version
//   2  USHORT nTables
//   4  subtables, one after another, each starting with:
//        USHORT version, USHORT length (header included), USHORT coverage
//      format 0 (coverage high byte 0) goes on with:
//        USHORT nPairs, searchRange, entrySelector, rangeShift
//        pairs: USHORT left, USHORT right, SHORT value (6 bytes each)
#include "tables/kern.h"

#include <cstdio>
#include <new>

#include "font/parsers.h"
#include "font/registry.h"

namespace {

std::unique_ptr<kern_format0> read_format0(mem_stream& s) {
    auto f = std::make_unique<kern_format0>();
    f->nPairs = read_ushort(s);
    f->searchRange = read_ushort(s);
    f->entrySelector = read_ushort(s);
    f->rangeShift = read_ushort(s);
    f->pairs.resize(f->nPairs);
    for (kern_pair& pair : f->pairs) {
        pair.left = read_ushort(s);
        pair.right = read_ushort(s);
        pair.value = read_short(s);
    }
    return f;
}

}  // namespace

std::unique_ptr<kern_elab> do_kern(font_object& font) {
    if (!find_table(font, "kern", 1)) return nullptr;
    mem_stream& s = font.in_stream;
    try {
        auto kern = std::make_unique<kern_elab>();
        kern->version = read_ushort(s);
        kern->nTables = read_ushort(s);
        kern->subtables.resize(kern->nTables);
        for (kern_subtable& sub : kern->subtables) {
            long start = s.tell();
            sub.version = read_ushort(s);
            sub.length = read_ushort(s);
            sub.coverage = read_ushort(s);
            if (sub.format() != 0) {
                std::fprintf(stderr, "Warning: ignoring kern format %ld\n", long{sub.format()});
                // The subtable's own data follows its header; the next one starts where
                // its length says.
                s.seek(start + sub.length);
                continue;
            }
            sub.format0 = read_format0(s);
        }
        return kern;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory!\n");
        return nullptr;
    }
}

std::unique_ptr<elab_record> parse_kern(font_object& font) {
    return do_kern(font);
}

kern_elab* kern_table(font_object& font) {
    return static_cast<kern_elab*>(load_elab_table(font, "kern", 0));
}
