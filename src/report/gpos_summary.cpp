#include "report/gpos_summary.h"

#include <cstdio>

#include "tables/gpos.h"

void list_gpos_kerning(font_object& font) {
    if (find_table_index(font, "GPOS") >= font.table_dir.size()) return;
    const gpos_kerning& kerning = gpos_kern_pairs(font);
    std::printf("GPOS kern feature: %zu pair lookup%s, %zu kerned pair%s\n", kerning.pair_lookups,
                kerning.pair_lookups == 1 ? "" : "s", kerning.pairs.size(),
                kerning.pairs.size() == 1 ? "" : "s");
}
