#include "afm/tex_afm.h"

#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "tables/cmap.h"
#include "tables/post.h"

namespace {

// The Macintosh standard names that encoding vectors (and the Adobe Glyph List) spell
// otherwise. pdfTeX's own table of the standard names agrees on the first four only.
struct agl_spelling {
    std::string_view standard;
    const char* agl;
};
constexpr agl_spelling kAglSpellings[] = {
    {"overscore", "macron"}, {"increment", "Delta"},          {"Ohm", "Omega"},       {"mu1", "mu"},
    {"dmacron", "dcroat"},   {"nbspace", "nonbreakingspace"}, {"Idot", "Idotaccent"},
};

// Base letters of U+00C0..U+00FF and U+0100..U+017F; '?' where there is none.
constexpr std::string_view kLatin1Letters =
    "AAAAAA?CEEEEIIIIDNOOOOO?OUUUUY??aaaaaa?ceeeeiiiidnooooo?ouuuuy?y";
constexpr std::string_view kLatinExtendedA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLlL"
    "lLlNnNnNn???OoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz?";
static_assert(kLatin1Letters.size() == 64 && kLatinExtendedA.size() == 128);

// The next code point of UTF-8 text, or -1 for a byte that does not start one.
long next_code_point(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || lead >= 0xF8 || at + extra > text.size()) return -1;
    long code = lead & (0x3F >> extra);
    for (std::size_t i = 0; i < extra; ++i) {
        const auto c = static_cast<unsigned char>(text[at]);
        if ((c & 0xC0) != 0x80) return -1;
        code = code << 6 | (c & 0x3F);
        ++at;
    }
    return code;
}

std::string ascii_of(long code) {
    if (code >= 0 && code < 0x80) return std::string(1, static_cast<char>(code));
    switch (code) {
        case 0xA0:
            return " ";
        case 0xA9:
            return "(c)";
        case 0xAE:
            return "(R)";
        case 0x2122:
            return "(TM)";
        case 0xC6:
            return "AE";
        case 0xE6:
            return "ae";
        case 0xDF:
            return "ss";
        case 0x152:
            return "OE";
        case 0x153:
            return "oe";
        default:
            break;
    }
    if (code >= 0xC0 && code < 0x100) return std::string(1, kLatin1Letters[code - 0xC0]);
    if (code >= 0x100 && code < 0x180) return std::string(1, kLatinExtendedA[code - 0x100]);
    return "?";
}

std::string uni_name(ULONG code) {
    char text[16];
    std::snprintf(text, sizeof text, code > 0xFFFF ? "u%05lX" : "uni%04lX",
                  static_cast<unsigned long>(code));
    return text;
}

bool is_unicode(const cmap_subtable& s) {
    return s.platformID == 0 || (s.platformID == 3 && (s.encodingID == 1 || s.encodingID == 10));
}

// The lowest code of the font's Unicode subtable for each glyph (0 where none), worked out
// on first use: most fonts name every glyph they list.
class lowest_unicode {
  public:
    lowest_unicode(font_object& font, const cmap_subtable& chosen,
                   const std::vector<mapped_code>& mapped)
        : font_(font), chosen_(chosen), mapped_(mapped) {}

    ULONG of(USHORT g) {
        if (!codes_) fill();
        return g < codes_->size() ? (*codes_)[g] : 0;
    }

  private:
    void fill() {
        codes_.emplace();
        const cmap_subtable* unicode = is_unicode(chosen_) ? &chosen_ : find_unicode();
        if (!unicode) return;
        const std::vector<mapped_code> walked =
            unicode == &chosen_ ? std::vector<mapped_code>{} : codes_mapped_by(*unicode);
        for (const mapped_code& m : unicode == &chosen_ ? mapped_ : walked) {
            if (m.glyph >= codes_->size()) codes_->resize(m.glyph + std::size_t{1}, 0);
            if ((*codes_)[m.glyph] == 0) (*codes_)[m.glyph] = m.code;
        }
    }

    // Full-repertoire subtables first.
    const cmap_subtable* find_unicode() {
        constexpr USHORT kOrder[][2] = {{3, 10}, {0, 6}, {0, 4}, {3, 1},
                                        {0, 3},  {0, 2}, {0, 1}, {0, 0}};
        for (const auto& [platform, encoding] : kOrder)
            if (auto* slot = find_cmap_subtable(font_, platform, encoding); slot && *slot)
                return slot->get();
        return nullptr;
    }

    font_object& font_;
    const cmap_subtable& chosen_;
    const std::vector<mapped_code>& mapped_;
    std::optional<std::vector<ULONG>> codes_;
};

// The glyph's own name: its post or CFF name spelt as encoding vectors spell it, else the
// uni name of its lowest Unicode code; "" when it has neither.
std::string own_name(USHORT g, const post_elab& post, lowest_unicode& unicode) {
    std::string name = glyph_name(g, &post);
    if (g == 0) return name;
    if (name.empty() || name == fallback_glyph_name(g) || name == ".notdef") {
        const ULONG code = unicode.of(g);
        return code != 0 ? uni_name(code) : "";
    }
    for (const agl_spelling& s : kAglSpellings)
        if (s.standard == name) return s.agl;
    return name;
}

}  // namespace

std::vector<mapped_code> codes_mapped_by(const cmap_subtable& subtable) {
    std::vector<mapped_code> mapped;
    if (is_group_format(subtable.format)) {
        for (const cmap_group& group : subtable.groups)
            for (ULONG code = group.startCharCode; code <= group.endCharCode; ++code) {
                USHORT g = char_to_glyph(code, &subtable);
                if (g != 0) mapped.push_back({code, g});
            }
        return mapped;
    }
    const code_glyph_map glyphs(subtable);
    for (ULONG code = 0; code <= 0xFFFF; ++code) {
        USHORT g = glyphs.glyph_of(code);
        if (g != 0) mapped.push_back({code, g});
    }
    return mapped;
}

std::string ascii_text(std::string_view utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) out += ascii_of(next_code_point(utf8, at));
    return out;
}

tex_char_metrics tex_char_lines(font_object& font, const post_elab& post,
                                const cmap_subtable& chosen, const std::vector<mapped_code>& mapped,
                                const std::vector<USHORT>& unencoded) {
    tex_char_metrics out;
    lowest_unicode unicode(font, chosen, mapped);
    std::unordered_set<std::string> taken;
    auto add = [&](std::optional<ULONG> code, USHORT g) {
        if (g >= out.name_of_glyph.size()) out.name_of_glyph.resize(g + std::size_t{1});
        std::string& primary = out.name_of_glyph[g];
        std::string name = primary.empty() ? own_name(g, post, unicode) : std::string{};
        if ((name.empty() || taken.count(name)) && code && is_unicode(chosen))
            name = uni_name(*code);
        if (name.empty() || taken.count(name)) name = fallback_glyph_name(g);
        for (int n = 1; taken.count(name); ++n)
            name = fallback_glyph_name(g) + "." + std::to_string(n);
        taken.insert(name);
        if (primary.empty()) primary = name;
        out.lines.push_back({code, g, std::move(name)});
    };
    for (const mapped_code& m : mapped) {
        if (m.code < 256)
            add(m.code, m.glyph);
        else if (!out.name(m.glyph))
            add(std::nullopt, m.glyph);
    }
    for (USHORT g : unencoded)
        if (!out.name(g)) add(std::nullopt, g);
    return out;
}
