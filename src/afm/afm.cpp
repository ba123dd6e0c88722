// The afm command: Adobe Font Metrics 4.1 text for a loaded TrueType font.
//
// Layout of the output, in this order:
//   StartFontMetrics 4.1, three Comment lines (date, command line, encoding)
//   FontName/FullName/FamilyName/Weight, CapHeight, XHeight, FontBBox, Version, Notice,
//   EncodingScheme, UnderlinePosition, UnderlineThickness, ItalicAngle, IsFixedPitch
//   StartCharMetrics: a CH line per mapped code, a C -1 line per unencoded named glyph
//   the kern pairs (KPX, or KPY for a vertical subtable), EndFontMetrics
// Every metric is converted from font units to thousandths of an em by afm_scale. The TeX
// flavour (texafm) differs as afm.h says.
#include "afm/afm.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "afm/gpos_kerning.h"
#include "afm/tex_afm.h"
#include "tables/cmap.h"
#include "tables/gsub.h"
#include "tables/head.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/kern.h"
#include "tables/name.h"
#include "tables/name_text.h"
#include "tables/naming.h"
#include "tables/outlines.h"
#include "tables/post.h"
#include "tables/registry.h"

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
    bool tex() const { return flavour == afm_flavour::tex; }
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

// A command-line word as the Comment line holds it: a control character (a newline in a
// file name) would start a line of its own, so it becomes a space.
std::string comment_word(std::string_view word) {
    std::string out;
    while (!word.empty()) {
        const auto one = first_utf8_char(word);
        const std::size_t length = one ? one->length : 1;
        const char32_t c = one ? one->c : static_cast<unsigned char>(word[0]);
        if (is_control_char(c))
            out += ' ';
        else
            out += word.substr(0, length);
        word.remove_prefix(length);
    }
    return out;
}

void write_header(USHORT platformID, USHORT encodingID, std::span<char* const> command_line,
                  const afm_options& options) {
    std::printf("StartFontMetrics 4.1\n");
    std::printf("Comment Vantrel TTF remapper output %sComment", date_line(options.date).c_str());
    for (const char* word : command_line) {
        if (!word) continue;
        const std::string text = comment_word(word);
        if (options.flavour == afm_flavour::tex)
            std::printf(" %s", ascii_text(text).c_str());
        else
            std::printf(" %s", text.c_str());
    }
    std::printf("\nComment Encoding table %ld.%ld: ", static_cast<long>(platformID),
                static_cast<long>(encodingID));
    print_platform_name(platformID);
    std::printf(" %s\n", encoding_name(platformID, encodingID));
}

// A failure after the header: the AFM text written so far goes out before the message.
int fail(const char* format, const font_object& font) {
    say(*font.messages, format, font.font_path.c_str());
    return -1;
}

// Macintosh-platform records give English as language 0; the others as US English.
const name_record* english_name(const afm_source& src, USHORT nameID) {
    const USHORT language = src.platformID == kMacintosh ? kMacEnglish : kEnglishUS;
    return find_name(src.font, src.platformID, src.encodingID, language, nameID);
}

// The text of a name record on one line: a notice's line breaks must not start lines that
// are not AFM. UTF-8, or plain ASCII for the readers that take nothing else.
std::string one_line_text(const name_record& record, bool ascii) {
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    std::string text = name_text_one_line(
        record.platformID, reinterpret_cast<const BYTE*>(record.string.data()), length);
    return ascii ? ascii_text(text) : text;
}

void write_name_line(const afm_source& src, const char* keyword, const name_record* record) {
    if (record) std::printf("%s %s\n", keyword, one_line_text(*record, src.tex()).c_str());
}

// Readers keep one Notice line: the copyright and the trademark share it.
void write_notice(const afm_source& src, const name_record* copyright,
                  const name_record* trademark) {
    if (!src.tex()) {
        write_name_line(src, "Notice", copyright);
        write_name_line(src, "Notice", trademark);
        return;
    }
    if (!copyright && !trademark) return;
    std::string notice = copyright ? one_line_text(*copyright, true) : "";
    if (copyright && trademark) notice += ' ';
    if (trademark) notice += one_line_text(*trademark, true);
    std::printf("Notice %s\n", notice.c_str());
}

// CapHeight and XHeight come from the glyphs that the subtable maps "H" and "x" to, when
// those glyphs really carry those names.
void write_height(const afm_source& src, USHORT code, const char* glyph, const char* keyword) {
    USHORT g = char_to_glyph(code, &src.cmap, *src.font.messages);
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
        write_name_line(src, "FontName", postscript_name);
    } else {
        say(*src.font.messages, "%s: warning: no PostScript font name for AFM output\n",
            src.font.font_path.c_str());
        std::printf("Comment No PostScript font name\n");
    }
    write_name_line(src, "FullName", english_name(src, 4));
    write_name_line(src, "FamilyName", english_name(src, 1));
    write_name_line(src, "Weight", english_name(src, 2));
    const name_record* version = english_name(src, 5);

    write_height(src, 0x48, "H", "CapHeight");
    write_height(src, 0x78, "x", "XHeight");
    if (src.tex() && src.hhea) {
        std::printf("Ascender %ld\n", src.scale(src.hhea->ascender));
        std::printf("Descender %ld\n", src.scale(src.hhea->descender));
    }
    std::printf("FontBBox %ld %ld %ld %ld\n", src.scale(src.head.xMin), src.scale(src.head.yMin),
                src.scale(src.head.xMax), src.scale(src.head.yMax));
    write_name_line(src, "Version", version);
    write_notice(src, english_name(src, 0), english_name(src, 7));
    std::printf("EncodingScheme %s\n", encoding_name(src.platformID, src.encodingID));
    std::printf("UnderlinePosition %ld\n", src.scale(src.post.underlinePosition));
    std::printf("UnderlineThickness %ld\n", src.scale(src.post.underlineThickness));
    write_italic_angle(src.post.italicAngle);
    if (src.post.isFixedPitch != 0) std::printf("IsFixedPitch true\n");
}

// " B llx lly urx ury ;" when the font has outlines. A glyph beyond the outlines gets an
// empty box, like a glyph without outline.
void write_box(const afm_source& src, USHORT g) {
    if (src.outlines.count() == 0) return;
    const glyph_box box = src.outlines.box(g);
    std::printf(" B %ld %ld %ld %ld ;", src.scale(box.xMin), src.scale(box.yMin),
                src.scale(box.xMax), src.scale(box.yMax));
}

long width_of(const afm_source& src, USHORT g) {
    return src.scale(advanceWidth_of(src.font, g, &src.hmtx));
}

// The glyph's line: "CH <code> ; N name ; WX w ; B llx lly urx ury ;", or "C -1 ..." for
// an unencoded glyph.
void write_metrics_line(const afm_source& src, std::optional<ULONG> code, USHORT g) {
    const std::string name = afm_glyph_name(g, src.post);
    if (code)
        std::printf("CH <%04lx> ; N %s ;", static_cast<unsigned long>(*code), name.c_str());
    else
        std::printf("C -1 ; N %s ;", name.c_str());
    std::printf(" WX %ld ;", width_of(src, g));
    write_box(src, g);
    std::printf("\n");
}

// The codes the subtable maps (walked once: the lookup reports codes it cannot map, and the
// count of lines comes before the lines), and the glyphs the post table (format 2.0 only)
// or a CFF charset names, but .notdef, that no code reaches.
struct char_list {
    std::vector<mapped_code> mapped;
    std::vector<USHORT> unencoded;
};

char_list list_chars(const afm_source& src) {
    char_list list{codes_mapped_by(src.cmap), {}};
    std::vector<bool> encoded(
        std::max<std::size_t>(src.post.numberOfGlyphs, src.post.charset_names.size()));
    for (const mapped_code& m : list.mapped)
        if (m.glyph < encoded.size()) encoded[m.glyph] = true;
    for (std::size_t i = 1; i < encoded.size(); ++i)
        if (!encoded[i]) list.unencoded.push_back(static_cast<USHORT>(i));
    return list;
}

// A line per code the subtable maps to a glyph, then a C -1 line per unencoded glyph.
// StartCharMetrics gives the number of lines.
void write_char_metrics(const afm_source& src, const char_list& list) {
    std::printf("StartCharMetrics %zu\n", list.mapped.size() + list.unencoded.size());
    for (const mapped_code& m : list.mapped) write_metrics_line(src, m.code, m.glyph);
    for (USHORT g : list.unencoded) write_metrics_line(src, std::nullopt, g);
    std::printf("EndCharMetrics\n");
}

// " L second ligature ;" for each two-glyph ligature of the glyph whose glyphs are listed.
void write_ligatures(const tex_char_metrics& tex, const std::vector<gsub_ligature>& ligatures,
                     USHORT first) {
    auto it =
        std::lower_bound(ligatures.begin(), ligatures.end(), first,
                         [](const gsub_ligature& l, USHORT glyph) { return l.first < glyph; });
    for (; it != ligatures.end() && it->first == first; ++it) {
        const std::string* second = tex.name(it->second);
        const std::string* ligature = tex.name(it->ligature);
        if (second && ligature) std::printf(" L %s %s ;", second->c_str(), ligature->c_str());
    }
}

// "C code ; WX w ; N name ; B ... ;" lines, the code decimal (-1 for none), with the
// ligatures on the glyph's first line.
void write_tex_char_metrics(const afm_source& src, const tex_char_metrics& tex) {
    const std::vector<gsub_ligature>& ligatures = gsub_ligatures(src.font);
    std::printf("StartCharMetrics %zu\n", tex.lines.size());
    for (const tex_char_line& line : tex.lines) {
        const long code = line.code ? static_cast<long>(*line.code) : -1;
        std::printf("C %ld ; WX %ld ; N %s ;", code, width_of(src, line.glyph), line.name.c_str());
        write_box(src, line.glyph);
        if (*tex.name(line.glyph) == line.name) write_ligatures(tex, ligatures, line.glyph);
        std::printf("\n");
    }
    std::printf("EndCharMetrics\n");
}

void write_kern_pairs(const afm_source& src, const kern_format0& data, const char* keyword) {
    std::printf("StartKernPairs %ld\n", static_cast<long>(data.nPairs));
    for (std::size_t i = 0; i < data.nPairs && i < data.pairs.size(); ++i) {
        const kern_pair& pair = data.pairs[i];
        std::printf("%s %s %s %ld\n", keyword, afm_glyph_name(pair.left, src.post).c_str(),
                    afm_glyph_name(pair.right, src.post).c_str(), src.scale(pair.value));
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

struct kern_line {
    const std::string* left;
    const std::string* right;
    long value;
};

// The horizontal pairs of write_kerning in one block, for readers that take one: the kern
// table's, then those GPOS adds; each pair of listed glyphs once, the first value standing,
// and no pair whose value is 0.
std::vector<kern_line> tex_kern_lines(const afm_source& src, const tex_char_metrics& tex) {
    std::vector<kern_line> lines;
    std::unordered_set<ULONG> seen;
    auto add = [&](USHORT left, USHORT right, long value) {
        const std::string* l = tex.name(left);
        const std::string* r = tex.name(right);
        if (value != 0 && l && r && seen.insert(ULONG{left} << 16 | right).second)
            lines.push_back({l, r, value});
    };
    const kern_elab* kern = src.kern;
    for (std::size_t t = 0; kern && t < kern->nTables && t < kern->subtables.size(); ++t) {
        const kern_subtable& sub = kern->subtables[t];
        // Vertical kerning is left out: matplotlib takes no KPY line, TeX has no use for one.
        if (!(sub.coverage & kKernHorizontal) ||
            (sub.coverage & (kKernMinimum | kKernCrossStream)) || (sub.coverage >> 8) != 0 ||
            !sub.format0)
            continue;
        const kern_format0& data = *sub.format0;
        for (std::size_t i = 0; i < data.nPairs && i < data.pairs.size(); ++i)
            add(data.pairs[i].left, data.pairs[i].right, src.scale(data.pairs[i].value));
    }
    for (const gpos_pair& pair : gpos_pairs_beyond_kern(src.font, kern))
        add(pair.left, pair.right, src.scale(pair.value));
    return lines;
}

void write_tex_kerning(const afm_source& src, const tex_char_metrics& tex) {
    const std::vector<kern_line> lines = tex_kern_lines(src, tex);
    if (lines.empty()) return;
    std::printf("StartKernData\nStartKernPairs %zu\n", lines.size());
    for (const kern_line& line : lines)
        std::printf("KPX %s %s %ld\n", line.left->c_str(), line.right->c_str(), line.value);
    std::printf("EndKernPairs\nEndKernData\n");
}

}  // namespace

std::string afm_glyph_name(ULONG glyph, const post_elab& post) {
    std::string name = printable_glyph_name(glyph_name(glyph, &post));
    std::replace(name.begin(), name.end(), ';', 'X');
    return name;
}

long afm_scale(long v, USHORT unitsPerEm) {
    const long half = unitsPerEm / 2;
    if (v >= 0) return (v * 1000 + half) / unitsPerEm;
    return -((-v * 1000 + half) / unitsPerEm);
}

int write_afm(font_object& font, USHORT platformID, USHORT encodingID,
              std::span<char* const> command_line, const afm_options& options) {
    write_header(platformID, encodingID, command_line, options);

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
        say(*font.messages, "%s: no cmap %d.%d table\n", font.font_path.c_str(),
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
    const char_list chars = list_chars(src);
    if (src.tex()) {
        const tex_char_metrics tex =
            tex_char_lines(font, *post, **slot, chars.mapped, chars.unencoded);
        write_tex_char_metrics(src, tex);
        write_tex_kerning(src, tex);
    } else {
        write_char_metrics(src, chars);
        write_kerning(src);
    }
    std::printf("EndFontMetrics\n");
    std::fflush(stdout);
    return 0;
}
