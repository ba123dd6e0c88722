#include "afm/tex_afm.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
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

// The glyph names of TeX's text encoding vectors (T1's ec.enc and 8r.enc, and ASCII's), by
// the one code each stands for, as the Adobe Glyph List gives it (dotlessj as U+0237, the
// f-ligatures as U+FB00..U+FB04). A glyph a font names otherwise (Tcommaaccent, uniFB01,
// ssharp, uni0041 where the post table names nothing) is listed a second time under such
// a name, so that the vectors reach it.
struct encoding_name {
    ULONG code;
    const char* name;
};
// clang-format off
constexpr encoding_name kEncodingNames[] = {
    {0x0020, "space"}, {0x0021, "exclam"}, {0x0022, "quotedbl"}, {0x0023, "numbersign"},
    {0x0024, "dollar"}, {0x0025, "percent"}, {0x0026, "ampersand"}, {0x0027, "quotesingle"},
    {0x0028, "parenleft"}, {0x0029, "parenright"}, {0x002A, "asterisk"}, {0x002B, "plus"},
    {0x002C, "comma"}, {0x002D, "hyphen"}, {0x002E, "period"}, {0x002F, "slash"},
    {0x0030, "zero"}, {0x0031, "one"}, {0x0032, "two"}, {0x0033, "three"}, {0x0034, "four"},
    {0x0035, "five"}, {0x0036, "six"}, {0x0037, "seven"}, {0x0038, "eight"}, {0x0039, "nine"},
    {0x003A, "colon"}, {0x003B, "semicolon"}, {0x003C, "less"}, {0x003D, "equal"},
    {0x003E, "greater"}, {0x003F, "question"}, {0x0040, "at"}, {0x0041, "A"}, {0x0042, "B"},
    {0x0043, "C"}, {0x0044, "D"}, {0x0045, "E"}, {0x0046, "F"}, {0x0047, "G"}, {0x0048, "H"},
    {0x0049, "I"}, {0x004A, "J"}, {0x004B, "K"}, {0x004C, "L"}, {0x004D, "M"}, {0x004E, "N"},
    {0x004F, "O"}, {0x0050, "P"}, {0x0051, "Q"}, {0x0052, "R"}, {0x0053, "S"}, {0x0054, "T"},
    {0x0055, "U"}, {0x0056, "V"}, {0x0057, "W"}, {0x0058, "X"}, {0x0059, "Y"}, {0x005A, "Z"},
    {0x005B, "bracketleft"}, {0x005C, "backslash"}, {0x005D, "bracketright"},
    {0x005E, "asciicircum"}, {0x005F, "underscore"}, {0x0060, "grave"}, {0x0061, "a"},
    {0x0062, "b"}, {0x0063, "c"}, {0x0064, "d"}, {0x0065, "e"}, {0x0066, "f"}, {0x0067, "g"},
    {0x0068, "h"}, {0x0069, "i"}, {0x006A, "j"}, {0x006B, "k"}, {0x006C, "l"}, {0x006D, "m"},
    {0x006E, "n"}, {0x006F, "o"}, {0x0070, "p"}, {0x0071, "q"}, {0x0072, "r"}, {0x0073, "s"},
    {0x0074, "t"}, {0x0075, "u"}, {0x0076, "v"}, {0x0077, "w"}, {0x0078, "x"}, {0x0079, "y"},
    {0x007A, "z"}, {0x007B, "braceleft"}, {0x007C, "bar"}, {0x007D, "braceright"},
    {0x007E, "asciitilde"},
    {0x00A1, "exclamdown"}, {0x00A2, "cent"}, {0x00A3, "sterling"}, {0x00A4, "currency"},
    {0x00A5, "yen"}, {0x00A6, "brokenbar"}, {0x00A7, "section"}, {0x00A8, "dieresis"},
    {0x00A9, "copyright"}, {0x00AA, "ordfeminine"}, {0x00AB, "guillemotleft"},
    {0x00AC, "logicalnot"}, {0x00AE, "registered"}, {0x00AF, "macron"}, {0x00B0, "degree"},
    {0x00B1, "plusminus"}, {0x00B2, "twosuperior"}, {0x00B3, "threesuperior"}, {0x00B4, "acute"},
    {0x00B5, "mu"}, {0x00B6, "paragraph"}, {0x00B7, "periodcentered"}, {0x00B8, "cedilla"},
    {0x00B9, "onesuperior"}, {0x00BA, "ordmasculine"}, {0x00BB, "guillemotright"},
    {0x00BC, "onequarter"}, {0x00BD, "onehalf"}, {0x00BE, "threequarters"},
    {0x00BF, "questiondown"}, {0x00C0, "Agrave"}, {0x00C1, "Aacute"}, {0x00C2, "Acircumflex"},
    {0x00C3, "Atilde"}, {0x00C4, "Adieresis"}, {0x00C5, "Aring"}, {0x00C6, "AE"},
    {0x00C7, "Ccedilla"}, {0x00C8, "Egrave"}, {0x00C9, "Eacute"}, {0x00CA, "Ecircumflex"},
    {0x00CB, "Edieresis"}, {0x00CC, "Igrave"}, {0x00CD, "Iacute"}, {0x00CE, "Icircumflex"},
    {0x00CF, "Idieresis"}, {0x00D0, "Eth"}, {0x00D1, "Ntilde"}, {0x00D2, "Ograve"},
    {0x00D3, "Oacute"}, {0x00D4, "Ocircumflex"}, {0x00D5, "Otilde"}, {0x00D6, "Odieresis"},
    {0x00D7, "multiply"}, {0x00D8, "Oslash"}, {0x00D9, "Ugrave"}, {0x00DA, "Uacute"},
    {0x00DB, "Ucircumflex"}, {0x00DC, "Udieresis"}, {0x00DD, "Yacute"}, {0x00DE, "Thorn"},
    {0x00DF, "germandbls"}, {0x00E0, "agrave"}, {0x00E1, "aacute"}, {0x00E2, "acircumflex"},
    {0x00E3, "atilde"}, {0x00E4, "adieresis"}, {0x00E5, "aring"}, {0x00E6, "ae"},
    {0x00E7, "ccedilla"}, {0x00E8, "egrave"}, {0x00E9, "eacute"}, {0x00EA, "ecircumflex"},
    {0x00EB, "edieresis"}, {0x00EC, "igrave"}, {0x00ED, "iacute"}, {0x00EE, "icircumflex"},
    {0x00EF, "idieresis"}, {0x00F0, "eth"}, {0x00F1, "ntilde"}, {0x00F2, "ograve"},
    {0x00F3, "oacute"}, {0x00F4, "ocircumflex"}, {0x00F5, "otilde"}, {0x00F6, "odieresis"},
    {0x00F7, "divide"}, {0x00F8, "oslash"}, {0x00F9, "ugrave"}, {0x00FA, "uacute"},
    {0x00FB, "ucircumflex"}, {0x00FC, "udieresis"}, {0x00FD, "yacute"}, {0x00FE, "thorn"},
    {0x00FF, "ydieresis"}, {0x0102, "Abreve"}, {0x0103, "abreve"}, {0x0104, "Aogonek"},
    {0x0105, "aogonek"}, {0x0106, "Cacute"}, {0x0107, "cacute"}, {0x010C, "Ccaron"},
    {0x010D, "ccaron"}, {0x010E, "Dcaron"}, {0x010F, "dcaron"}, {0x0111, "dcroat"},
    {0x0118, "Eogonek"}, {0x0119, "eogonek"}, {0x011A, "Ecaron"}, {0x011B, "ecaron"},
    {0x011E, "Gbreve"}, {0x011F, "gbreve"}, {0x0130, "Idotaccent"}, {0x0131, "dotlessi"},
    {0x0132, "IJ"}, {0x0133, "ij"}, {0x0139, "Lacute"}, {0x013A, "lacute"}, {0x013D, "Lcaron"},
    {0x013E, "lcaron"}, {0x0141, "Lslash"}, {0x0142, "lslash"}, {0x0143, "Nacute"},
    {0x0144, "nacute"}, {0x0147, "Ncaron"}, {0x0148, "ncaron"}, {0x014A, "Eng"}, {0x014B, "eng"},
    {0x0150, "Ohungarumlaut"}, {0x0151, "ohungarumlaut"}, {0x0152, "OE"}, {0x0153, "oe"},
    {0x0154, "Racute"}, {0x0155, "racute"}, {0x0158, "Rcaron"}, {0x0159, "rcaron"},
    {0x015A, "Sacute"}, {0x015B, "sacute"}, {0x015E, "Scedilla"}, {0x015F, "scedilla"},
    {0x0160, "Scaron"}, {0x0161, "scaron"}, {0x0162, "Tcedilla"}, {0x0163, "tcedilla"},
    {0x0164, "Tcaron"}, {0x0165, "tcaron"}, {0x016E, "Uring"}, {0x016F, "uring"},
    {0x0170, "Uhungarumlaut"}, {0x0171, "uhungarumlaut"}, {0x0178, "Ydieresis"},
    {0x0179, "Zacute"}, {0x017A, "zacute"}, {0x017B, "Zdotaccent"}, {0x017C, "zdotaccent"},
    {0x017D, "Zcaron"}, {0x017E, "zcaron"}, {0x0192, "florin"}, {0x0237, "dotlessj"},
    {0x02C6, "circumflex"}, {0x02C7, "caron"}, {0x02D8, "breve"}, {0x02D9, "dotaccent"},
    {0x02DA, "ring"}, {0x02DB, "ogonek"}, {0x02DC, "tilde"}, {0x02DD, "hungarumlaut"},
    {0x03C0, "pi"}, {0x2013, "endash"}, {0x2014, "emdash"}, {0x2018, "quoteleft"},
    {0x2019, "quoteright"}, {0x201A, "quotesinglbase"}, {0x201C, "quotedblleft"},
    {0x201D, "quotedblright"}, {0x201E, "quotedblbase"}, {0x2020, "dagger"},
    {0x2021, "daggerdbl"}, {0x2022, "bullet"}, {0x2026, "ellipsis"}, {0x2030, "perthousand"},
    {0x2039, "guilsinglleft"}, {0x203A, "guilsinglright"}, {0x2044, "fraction"}, {0x20AC, "Euro"},
    {0x2122, "trademark"}, {0x2126, "Omega"}, {0x2202, "partialdiff"}, {0x2206, "Delta"},
    {0x220F, "product"}, {0x2211, "summation"}, {0x2212, "minus"}, {0x221A, "radical"},
    {0x221E, "infinity"}, {0x222B, "integral"}, {0x2248, "approxequal"}, {0x2260, "notequal"},
    {0x2264, "lessequal"}, {0x2265, "greaterequal"}, {0x25CA, "lozenge"}, {0xFB00, "ff"},
    {0xFB01, "fi"}, {0xFB02, "fl"}, {0xFB03, "ffi"}, {0xFB04, "ffl"},
};
// clang-format on

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

// The codes of the font's Unicode subtable, worked out on first use: most fonts name every
// glyph they list and need no alias, and a font has none only when the chosen subtable is
// not Unicode.
class unicode_codes {
  public:
    unicode_codes(font_object& font, const cmap_subtable& chosen,
                  const std::vector<mapped_code>& mapped)
        : font_(font), chosen_(chosen), mapped_(mapped) {}

    // The lowest code mapped to the glyph, 0 for none.
    ULONG lowest(USHORT g) {
        if (lowest_.empty()) {
            lowest_.assign(0x10000, 0);
            for (const mapped_code& m : all())
                if (lowest_[m.glyph] == 0) lowest_[m.glyph] = m.code;
        }
        return lowest_[g];
    }

    const std::vector<mapped_code>& all() {
        if (is_unicode(chosen_)) return mapped_;
        if (!walked_) {
            walked_.emplace();
            if (const cmap_subtable* unicode = find_unicode()) *walked_ = codes_mapped_by(*unicode);
        }
        return *walked_;
    }

  private:
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
    std::optional<std::vector<mapped_code>> walked_;
    std::vector<ULONG> lowest_;
};

const char* encoding_name_of(ULONG code) {
    auto it = std::lower_bound(std::begin(kEncodingNames), std::end(kEncodingNames), code,
                               [](const encoding_name& e, ULONG c) { return e.code < c; });
    return it != std::end(kEncodingNames) && it->code == code ? it->name : nullptr;
}

// A name as the Adobe Glyph List composes them, of letters, digits, periods and
// underscores: fontTools' AFM reader takes no other (nor a name such as "U+0041").
bool usable(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_';
    });
}

// The glyph's own name: its post or CFF name spelt as encoding vectors spell it, else the
// uni name of its lowest Unicode code; "" when it has neither.
std::string own_name(USHORT g, const post_elab& post, unicode_codes& unicode) {
    std::string name = glyph_name(g, &post);
    if (g == 0) return name;
    if (!usable(name) || name == fallback_glyph_name(g) || name == ".notdef") {
        const ULONG code = unicode.lowest(g);
        return code != 0 ? uni_name(code) : "";
    }
    for (const agl_spelling& s : kAglSpellings)
        if (s.standard == name) return s.agl;
    return name;
}

}  // namespace

std::vector<mapped_code> codes_mapped_by(const cmap_subtable& subtable) {
    std::vector<mapped_code> mapped;
    subtable.walk([&](ULONG code, USHORT glyph) {
        mapped.push_back({code, glyph});
        return true;
    });
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
    unicode_codes unicode(font, chosen, mapped);
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
    // A second line for a listed glyph under the encoding vectors' name for its code.
    for (const mapped_code& m : unicode.all()) {
        const char* name = encoding_name_of(m.code);
        if (name && out.name(m.glyph) && !taken.count(name)) {
            taken.insert(name);
            out.lines.push_back({std::nullopt, m.glyph, name});
        }
    }
    return out;
}
