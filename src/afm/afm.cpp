// The afm command: Adobe Font Metrics 4.1 text for a loaded TrueType font.
//
// Layout of the output, in this order:
//   StartFontMetrics 4.1, three Comment lines (date, command line, encoding)
//   FontName/FullName/FamilyName/Weight, CapHeight, XHeight, FontBBox, Version, Notice,
//   EncodingScheme, UnderlinePosition, UnderlineThickness, ItalicAngle, IsFixedPitch
//   StartCharMetrics: a CH line per mapped code, a C -1 line per unencoded named glyph
//   the kern pairs (KPX, or KPY for a vertical subtable), EndFontMetrics
// Every metric is converted from font units to thousandths of an em by afm_scale.
#include "afm/afm.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "afm/gpos_kerning.h"
#include "font/registry.h"
#include "report/name_text.h"
#include "report/naming.h"
#include "tables/cmap.h"
#include "tables/head.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/kern.h"
#include "tables/name.h"
#include "tables/outlines.h"
#include "tables/post.h"

namespace {

constexpr USHORT kEnglishUS = 0x409;  // the language of every name the AFM text carries
constexpr USHORT kMacintosh = 1;
constexpr USHORT kMacEnglish = 0;

// Kern coverage bits and the format byte.
constexpr USHORT kKernHorizontal = 0x01;
constexpr USHORT kKernMinimum = 0x02;
constexpr USHORT kKernCrossStream = 0x04;

// Everything the writer reads, fetched once.
struct afm_source {
    font_object& font;
    const post_elab& post;
    glyph_outlines outlines;
    hmtx_elab& hmtx;
    head_elab& head;
    kern_elab* kern;        // optional
    const hhea_elab* hhea;  // optional
    const cmap_subtable& cmap;
    USHORT platformID;
    USHORT encodingID;
    afm_flavour flavour;

    long scale(long v) const { return afm_scale(v, head.unitsPerEm); }
};

// "Www Mmm dd hh:mm:ss yyyy\n" in the classic 24-character form: the local time now, or
// the fixed time in UTC.
std::string date_line(std::optional<std::time_t> fixed) {
    std::time_t now = fixed ? *fixed : std::time(nullptr);
    std::tm when{};
    char text[32];
    const bool converted = fixed ? gmtime_r(&now, &when) : localtime_r(&now, &when);
    if (now == static_cast<std::time_t>(-1) || !converted ||
        std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y\n", &when) == 0)
        return "Thu Jan  1 00:00:00 1970\n";
    return text;
}

void write_header(USHORT platformID, USHORT encodingID, std::span<char* const> command_line,
                  std::optional<std::time_t> date) {
    std::printf("StartFontMetrics 4.1\n");
    std::printf("Comment Vantrel TTF remapper output %sComment", date_line(date).c_str());
    for (const char* word : command_line)
        if (word) std::printf(" %s", word);
    std::printf("\nComment Encoding table %ld.%ld: ", static_cast<long>(platformID),
                static_cast<long>(encodingID));
    print_platform_name(platformID);
    std::printf(" %s\n", encoding_name(platformID, encodingID));
}

// A failure after the header: the AFM text written so far goes out before the message.
int fail(const char* format, const font_object& font) {
    std::fflush(stdout);
    std::fprintf(stderr, format, font.font_path.c_str());
    return -1;
}

// Macintosh-platform records give English as language 0; the others as US English.
const name_record* english_name(const afm_source& src, USHORT nameID) {
    const USHORT language = src.platformID == kMacintosh ? kMacEnglish : kEnglishUS;
    return find_name(src.font, src.platformID, src.encodingID, language, nameID);
}

// The name as UTF-8 on one line: a notice's line breaks must not start lines that are
// not AFM.
void write_name_line(const char* keyword, const name_record* record) {
    if (!record) return;
    const std::size_t length = std::min<std::size_t>(record->length, record->string.size());
    std::printf("%s %s\n", keyword,
                name_text_one_line(record->platformID,
                                   reinterpret_cast<const BYTE*>(record->string.data()), length)
                    .c_str());
}

// CapHeight and XHeight come from the glyphs that the subtable maps "H" and "x" to, when
// those glyphs really carry those names.
void write_height(const afm_source& src, USHORT code, const char* glyph, const char* keyword) {
    USHORT g = char_to_glyph(code, &src.cmap);
    if (g == 0 || glyph_name(g, &src.post) != glyph) return;
    // A subtable may map a code to a glyph the font does not have.
    if (g < src.outlines.count())
        std::printf("%s %ld\n", keyword, src.scale(src.outlines.box(g).yMax));
}

void write_italic_angle(LONG italicAngle) {
    if ((italicAngle & 0xFFFF) == 0)
        std::printf("ItalicAngle %ld\n", static_cast<long>(italicAngle / 65536));
    else
        std::printf("ItalicAngle %.2f\n", italicAngle / 65536.0);
}

void write_font_header(const afm_source& src) {
    const name_record* postscript_name = english_name(src, 6);
    if (postscript_name) {
        write_name_line("FontName", postscript_name);
    } else {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: warning: no PostScript font name for AFM output\n",
                     src.font.font_path.c_str());
        std::printf("Comment No PostScript font name\n");
    }
    write_name_line("FullName", english_name(src, 4));
    write_name_line("FamilyName", english_name(src, 1));
    write_name_line("Weight", english_name(src, 2));
    const name_record* version = english_name(src, 5);

    write_height(src, 0x48, "H", "CapHeight");
    write_height(src, 0x78, "x", "XHeight");
    if (src.flavour == afm_flavour::tex && src.hhea) {
        std::printf("Ascender %ld\n", src.scale(src.hhea->ascender));
        std::printf("Descender %ld\n", src.scale(src.hhea->descender));
    }
    std::printf("FontBBox %ld %ld %ld %ld\n", src.scale(src.head.xMin), src.scale(src.head.yMin),
                src.scale(src.head.xMax), src.scale(src.head.yMax));
    write_name_line("Version", version);
    write_name_line("Notice", english_name(src, 0));
    write_name_line("Notice", english_name(src, 7));
    std::printf("EncodingScheme %s\n", encoding_name(src.platformID, src.encodingID));
    std::printf("UnderlinePosition %ld\n", src.scale(src.post.underlinePosition));
    std::printf("UnderlineThickness %ld\n", src.scale(src.post.underlineThickness));
    write_italic_angle(src.post.italicAngle);
    if (src.post.isFixedPitch != 0) std::printf("IsFixedPitch true\n");
}

// The glyph's line: "CH <code> ; N name ; WX w ; B llx lly urx ury ;", or for TeX's
// readers "C code ; WX w ; N name ; B ... ;" with the code in decimal below 256 and -1
// otherwise (and for unencoded glyphs). A glyph beyond the outlines gets an empty box,
// like a glyph without outline.
void write_metrics_line(const afm_source& src, std::optional<ULONG> code, USHORT g) {
    const std::string name = glyph_name(g, &src.post);
    const long width = src.scale(advanceWidth_of(src.font, g, &src.hmtx));
    if (src.flavour == afm_flavour::tex) {
        const long decimal = code && *code < 256 ? static_cast<long>(*code) : -1;
        std::printf("C %ld ; WX %ld ; N %s ;", decimal, width, name.c_str());
    } else {
        if (code)
            std::printf("CH <%04lx> ; N %s ;", static_cast<unsigned long>(*code), name.c_str());
        else
            std::printf("C -1 ; N %s ;", name.c_str());
        std::printf(" WX %ld ;", width);
    }
    if (src.outlines.count() != 0) {
        const glyph_box box = src.outlines.box(g);
        std::printf(" B %ld %ld %ld %ld ;", src.scale(box.xMin), src.scale(box.yMin),
                    src.scale(box.xMax), src.scale(box.yMax));
    }
    std::printf("\n");
}

struct mapped_code {
    ULONG code;
    USHORT glyph;
};

// Each code the subtable maps to a glyph, in code order. Walked once: the lookup reports
// codes it cannot map, and the count of lines comes before the lines.
std::vector<mapped_code> mapped_codes(const afm_source& src) {
    std::vector<mapped_code> mapped;
    src.cmap.walk([&](ULONG code, USHORT glyph) {
        mapped.push_back({code, glyph});
        return true;
    });
    return mapped;
}

// A line per code the subtable maps to a glyph, then a C -1 line per glyph the post table
// (format 2.0 only) or a CFF charset names, but .notdef, that no code reached.
// StartCharMetrics gives the number of lines.
void write_char_metrics(const afm_source& src) {
    const std::vector<mapped_code> mapped = mapped_codes(src);
    std::vector<bool> encoded(
        std::max<std::size_t>(src.post.numberOfGlyphs, src.post.charset_names.size()));
    for (const mapped_code& m : mapped)
        if (m.glyph < encoded.size()) encoded[m.glyph] = true;
    std::vector<USHORT> unencoded;
    for (std::size_t i = 1; i < encoded.size(); ++i)
        if (!encoded[i]) unencoded.push_back(static_cast<USHORT>(i));

    std::printf("StartCharMetrics %zu\n", mapped.size() + unencoded.size());
    for (const mapped_code& m : mapped) write_metrics_line(src, m.code, m.glyph);
    for (USHORT g : unencoded) write_metrics_line(src, std::nullopt, g);
    std::printf("EndCharMetrics\n");
}

void write_kern_pairs(const afm_source& src, const kern_format0& data, const char* keyword) {
    std::printf("StartKernPairs %ld\n", static_cast<long>(data.nPairs));
    for (std::size_t i = 0; i < data.nPairs && i < data.pairs.size(); ++i) {
        const kern_pair& pair = data.pairs[i];
        std::printf("%s %s %s %ld\n", keyword, glyph_name(pair.left, &src.post).c_str(),
                    glyph_name(pair.right, &src.post).c_str(), src.scale(pair.value));
    }
    std::printf("EndKernPairs\n");
}

void write_kerning(const afm_source& src) {
    if (!src.kern) {
        if (write_gpos_kern_data(src.font, src.post, src.head.unitsPerEm)) return;
        std::printf("Comment No kerning\n");
        return;
    }
    std::printf("StartKernData\n");
    const kern_elab& kern = *src.kern;
    for (std::size_t t = 0; t < kern.nTables && t < kern.subtables.size(); ++t) {
        const kern_subtable& sub = kern.subtables[t];
        std::printf("Comment Kern table %d, coverage 0x%04lx\n", static_cast<int>(t + 1),
                    static_cast<unsigned long>(sub.coverage));
        if (sub.coverage & (kKernMinimum | kKernCrossStream)) {
            std::printf("Comment Skipped unknown coverage\n");
            continue;
        }
        const char* keyword = (sub.coverage & kKernHorizontal) ? "KPX" : "KPY";
        if ((sub.coverage >> 8) != 0)
            std::printf("Comment Skipped unknown-format kern table\n");
        else if (sub.format0)
            write_kern_pairs(src, *sub.format0, keyword);
    }
    write_gpos_kern_block(src.font, src.post, src.head.unitsPerEm, src.kern);
    std::printf("EndKernData\n");
}

}  // namespace

long afm_scale(long v, USHORT unitsPerEm) {
    const long half = unitsPerEm / 2;
    if (v >= 0) return (v * 1000 + half) / unitsPerEm;
    return -((-v * 1000 + half) / unitsPerEm);
}

int write_afm(font_object& font, USHORT platformID, USHORT encodingID,
              std::span<char* const> command_line, const afm_options& options) {
    write_header(platformID, encodingID, command_line, options.date);

    post_elab* post = post_table(font);
    if (!post) return fail("%s: no post table\n", font);
    std::optional<glyph_outlines> outlines = glyph_outlines::of(font);
    if (!outlines) return fail("%s: no glyf table\n", font);
    hmtx_elab* hmtx = hmtx_table(font);
    if (!hmtx) return fail("%s: no hmtx table\n", font);
    head_elab* head = head_table(font);
    if (!head) return fail("%s: no head table\n", font);
    if (head->unitsPerEm == 0)
        return fail("%s: head unitsPerEm is 0, cannot scale metrics\n", font);
    kern_elab* kern = kern_table(font);

    std::unique_ptr<cmap_subtable>* slot = find_cmap_subtable(font, platformID, encodingID);
    if (!slot || !*slot) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: no cmap %d.%d table\n", font.font_path.c_str(),
                     static_cast<int>(platformID), static_cast<int>(encodingID));
        return -1;
    }
    if (!(*slot)->maps_codes()) {
        report_unmappable(font, **slot, "");
        return -1;
    }

    const hhea_elab* hhea = options.flavour == afm_flavour::tex && find_table(font, "hhea", 0)
                                ? hhea_table(font)
                                : nullptr;
    const afm_source src{font, *post,  *outlines,  *hmtx,      *head,          kern,
                         hhea, **slot, platformID, encodingID, options.flavour};
    write_font_header(src);
    write_char_metrics(src);
    write_kerning(src);
    std::printf("EndFontMetrics\n");
    std::fflush(stdout);
    return 0;
}
