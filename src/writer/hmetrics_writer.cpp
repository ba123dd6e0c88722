// hhea and hmtx as written.
//   hhea (36 bytes): version, ascender, descender, lineGap, advanceWidthMax*,
//     minLeftSideBearing*, minRightSideBearing*, xMaxExtent*, caretSlopeRise,
//     caretSlopeRun, reserved[5], metricDataFormat, numberOfHMetrics*
//     (* recomputed from hmtx and the glyph boxes, and stored back into the record)
//   hmtx: numberOfHMetrics pairs {USHORT advanceWidth, SHORT lsb}, then the lsb alone of
//     each remaining glyph, which shares the last pair's advance width.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/maxp.h"
#include "tables/outlines.h"
#include "writer/table_writers.h"

namespace {

constexpr LONG kHheaVersion = 0x00010000;

// The font format's 16-bit signed arithmetic: the value modulo 65536.
SHORT to_short(long value) {
    return static_cast<SHORT>(static_cast<USHORT>(value & 0xFFFF));
}

struct side_bearings {
    SHORT min_lsb;
    SHORT min_rsb;
    SHORT max_extent;
};

side_bearings bearings_of(const long_hor_metric& m, const glyph_box& g) {
    long width = long{g.xMax} - g.xMin;
    return {m.lsb, to_short(long{m.advanceWidth} - m.lsb - width), to_short(m.lsb + width)};
}

// Sets the four extremes of hhea from every glyph; glyphs without contours add their
// advance width only. With no contour glyph at all, the bearing fields stay as they were.
void recompute_extremes(font_object& font, hhea_elab& hhea, const hmtx_elab& hmtx,
                        const glyph_outlines& outlines, USHORT num_glyphs) {
    hhea.advanceWidthMax = 0;
    auto has_contours = [&](USHORT i) { return outlines.has_contours(i); };
    USHORT seed = 0;
    while (seed < num_glyphs && !has_contours(seed)) ++seed;
    if (seed < num_glyphs) {
        side_bearings b = bearings_of(hmtx.hMetrics[seed], outlines.box(seed));
        hhea.minLeftSideBearing = b.min_lsb;
        hhea.minRightSideBearing = b.min_rsb;
        hhea.xMaxExtent = b.max_extent;
    } else {
        say(*font.messages, "%s: no glyph in this font has a contour!\n", font.font_path.c_str());
    }
    for (USHORT i = 0; i < num_glyphs; ++i) {
        hhea.advanceWidthMax = std::max(hhea.advanceWidthMax, hmtx.hMetrics[i].advanceWidth);
        if (!has_contours(i)) continue;
        side_bearings b = bearings_of(hmtx.hMetrics[i], outlines.box(i));
        hhea.minLeftSideBearing = std::min(hhea.minLeftSideBearing, b.min_lsb);
        hhea.minRightSideBearing = std::min(hhea.minRightSideBearing, b.min_rsb);
        hhea.xMaxExtent = std::max(hhea.xMaxExtent, b.max_extent);
    }
}

void write_hhea(mem_stream& out, const hhea_elab& hhea) {
    vwrite(hhea.version, 4, out);
    vwrite(hhea.ascender, 2, out);
    vwrite(hhea.descender, 2, out);
    vwrite(hhea.lineGap, 2, out);
    vwrite(hhea.advanceWidthMax, 2, out);
    vwrite(hhea.minLeftSideBearing, 2, out);
    vwrite(hhea.minRightSideBearing, 2, out);
    vwrite(hhea.xMaxExtent, 2, out);
    vwrite(hhea.caretSlopeRise, 2, out);
    vwrite(hhea.caretSlopeRun, 2, out);
    for (USHORT r : hhea.reserved) vwrite(r, 2, out);
    vwrite(hhea.metricDataFormat, 2, out);
    vwrite(hhea.numberOfHMetrics, 2, out);
}

}  // namespace

USHORT trailing_width_run(const hmtx_elab* hmtx, USHORT num_glyphs) {
    if (!hmtx || hmtx->hMetrics.empty() || num_glyphs == 0) return 0;
    std::size_t last = std::min<std::size_t>(num_glyphs, hmtx->hMetrics.size()) - 1;
    USHORT width = hmtx->hMetrics[last].advanceWidth;
    USHORT run = 0;
    for (std::size_t i = last; i-- > 0 && hmtx->hMetrics[i].advanceWidth == width;) ++run;
    return run;
}

long generate_hhea(font_object& font, mem_stream& out, long offset) {
    USHORT n = glyphs_in(font);
    hhea_elab* hhea = hhea_table(font);
    if (!hhea || hhea->version != kHheaVersion) return -1;
    const hmtx_elab* hmtx = hmtx_table(font);
    if (!hmtx || hmtx->hMetrics.empty() || hmtx->hMetrics.size() < n) return -1;
    const std::optional<glyph_outlines> outlines = glyph_outlines::of(font);
    if (!outlines || outlines->count() == 0 || outlines->count() < n) return -1;
    if (!out.seek(offset)) {
        say(*font.messages, "generate_hhea: cannot seek\n");
        return -1;
    }
    hhea->numberOfHMetrics = static_cast<USHORT>(n - trailing_width_run(hmtx, n));
    recompute_extremes(font, *hhea, *hmtx, *outlines, n);
    write_hhea(out, *hhea);
    return kHheaTableLength;
}

long generate_hmtx(font_object& font, mem_stream& out, long offset) {
    USHORT n = glyphs_in(font);
    hhea_elab* hhea = hhea_table(font);
    const hmtx_elab* hmtx = hmtx_table(font);
    if (!hhea || !hmtx || hmtx->hMetrics.empty() || hmtx->hMetrics.size() < n || n == 0) return -1;
    if (!out.seek(offset)) {
        say(*font.messages, "generate_hmtx: cannot seek\n");
        return -1;
    }
    USHORT pairs = static_cast<USHORT>(n - trailing_width_run(hmtx, n));
    hhea->numberOfHMetrics = pairs;
    // Laid out in a buffer of its final size and written at once: a font may have 65535
    // glyphs.
    std::vector<BYTE> table(4 * std::size_t{pairs} + 2 * (std::size_t{n} - pairs));
    BYTE* at = table.data();
    auto put = [&at](USHORT value) {
        *at++ = static_cast<BYTE>(value >> 8);
        *at++ = static_cast<BYTE>(value);
    };
    for (USHORT i = 0; i < n; ++i) {
        if (i < pairs) put(hmtx->hMetrics[i].advanceWidth);
        put(static_cast<USHORT>(hmtx->hMetrics[i].lsb));
    }
    out.write(table.data(), table.size());
    return static_cast<long>(table.size());
}
