// kern table layout (big-endian, the 16-bit header form):
//   0  USHORT version
//   2  USHORT nTables
//   4  subtables, one after another, each starting with:
//        USHORT version, USHORT length (header included), USHORT coverage
//      format 0 (coverage high byte 0) goes on with:
//        USHORT nPairs, searchRange, entrySelector, rangeShift
//        pairs: USHORT left, USHORT right, SHORT value (6 bytes each)
#include "tables/kern.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

std::unique_ptr<kern_format0> read_format0(table_reader& in) {
    auto f = std::make_unique<kern_format0>();
    f->nPairs = in.u16();
    f->searchRange = in.u16();
    f->entrySelector = in.u16();
    f->rangeShift = in.u16();
    // Only the table's end bounds the pairs: the 16-bit subtable length overflows in fonts
    // with more than 10,920 pairs, which set it modulo 65,536.
    f->nPairs = static_cast<USHORT>(in.fitting(f->nPairs, 6, "kern", "nPairs", "pairs"));
    f->pairs.resize(f->nPairs);
    for (kern_pair& pair : f->pairs) {
        pair.left = in.u16();
        pair.right = in.u16();
        pair.value = in.s16();
    }
    return f;
}

}  // namespace

std::unique_ptr<kern_elab> do_kern(font_object& font) {
    const table_entry* entry = find_table(font, "kern", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    try {
        auto kern = std::make_unique<kern_elab>();
        kern->version = in.u16();
        kern->nTables = in.u16();
        kern->subtables.reserve(std::min<std::size_t>(kern->nTables, in.remaining() / 6));
        for (USHORT t = 0; t < kern->nTables; ++t) {
            const std::size_t start = in.tell();
            if (start >= in.size()) {
                // A subtable starting past the table's end would be all zeros: an empty
                // format 0 table. A hostile count would make 65,535 of them.
                say(in.messages(),
                    "Warning: kern: nTables claims %u subtables, %u start inside the "
                    "table\n",
                    unsigned{kern->nTables}, unsigned{t});
                kern->nTables = t;
                break;
            }
            kern_subtable& sub = kern->subtables.emplace_back();
            sub.version = in.u16();
            sub.length = in.u16();
            sub.coverage = in.u16();
            if (sub.format() != 0) {
                say(in.messages(), "Warning: ignoring kern format %ld\n", long{sub.format()});
                // The subtable's own data follows its header; the next one starts where
                // its length says.
                in.seek(start + sub.length);
                continue;
            }
            sub.format0 = read_format0(in);
        }
        in.report_overrun("kern");
        return kern;
    } catch (const std::bad_alloc&) {
        say(in.messages(), "Out of memory!\n");
        return nullptr;
    }
}

kern_elab* kern_table(font_object& font) {
    return static_cast<kern_elab*>(load_elab_table(font, "kern", 0));
}
