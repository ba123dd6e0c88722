// post table layout (big-endian):
//   0  Fixed  version             0x00010000, 0x00020000, 0x00028000 or 0x00030000
//   4  Fixed  italicAngle
//   8  SHORT  underlinePosition
//  10  SHORT  underlineThickness
//  12  ULONG  isFixedPitch
//  16  ULONG  minMemType42, maxMemType42, minMemType1, maxMemType1
// Format 2.0 goes on with:
//  32  USHORT numberOfGlyphs
//  34  USHORT glyphNameIndex[numberOfGlyphs]
//      then the names area to the end of the table: Pascal strings (a length byte, then
//      that many characters), name k being name index 258 + k.
#include "tables/post.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "tables/cff.h"
#include "tables/registry.h"
#include "tables/table_reader.h"
#include "tables/table_words.h"

namespace {

constexpr ULONG kFormat1 = 0x00010000;
constexpr ULONG kFormat2 = 0x00020000;
constexpr ULONG kFormat25 = 0x00028000;
constexpr ULONG kFormat3 = 0x00030000;
constexpr USHORT kStandardNames = 258;
constexpr char kFallbackPrefix[] = ".glyphindex";
constexpr std::size_t kFallbackPrefixLength = sizeof kFallbackPrefix - 1;

}  // namespace

// clang-format off
const char* const standard_mac_names[258] = {
    /*   0 */ ".notdef", ".null", "nonmarkingreturn", "space", "exclam", "quotedbl",
    /*   6 */ "numbersign", "dollar", "percent", "ampersand", "quotesingle", "parenleft",
    /*  12 */ "parenright", "asterisk", "plus", "comma", "hyphen", "period",
    /*  18 */ "slash", "zero", "one", "two", "three", "four",
    /*  24 */ "five", "six", "seven", "eight", "nine", "colon",
    /*  30 */ "semicolon", "less", "equal", "greater", "question", "at",
    /*  36 */ "A", "B", "C", "D", "E", "F",
    /*  42 */ "G", "H", "I", "J", "K", "L",
    /*  48 */ "M", "N", "O", "P", "Q", "R",
    /*  54 */ "S", "T", "U", "V", "W", "X",
    /*  60 */ "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum",
    /*  66 */ "underscore", "grave", "a", "b", "c", "d",
    /*  72 */ "e", "f", "g", "h", "i", "j",
    /*  78 */ "k", "l", "m", "n", "o", "p",
    /*  84 */ "q", "r", "s", "t", "u", "v",
    /*  90 */ "w", "x", "y", "z", "braceleft", "bar",
    /*  96 */ "braceright", "asciitilde", "Adieresis", "Aring", "Ccedilla", "Eacute",
    /* 102 */ "Ntilde", "Odieresis", "Udieresis", "aacute", "agrave", "acircumflex",
    /* 108 */ "adieresis", "atilde", "aring", "ccedilla", "eacute", "egrave",
    /* 114 */ "ecircumflex", "edieresis", "iacute", "igrave", "icircumflex", "idieresis",
    /* 120 */ "ntilde", "oacute", "ograve", "ocircumflex", "odieresis", "otilde",
    /* 126 */ "uacute", "ugrave", "ucircumflex", "udieresis", "dagger", "degree",
    /* 132 */ "cent", "sterling", "section", "bullet", "paragraph", "germandbls",
    /* 138 */ "registered", "copyright", "trademark", "acute", "dieresis", "notequal",
    /* 144 */ "AE", "Oslash", "infinity", "plusminus", "lessequal", "greaterequal",
    /* 150 */ "yen", "mu1", "partialdiff", "summation", "product", "pi",
    /* 156 */ "integral", "ordfeminine", "ordmasculine", "Ohm", "ae", "oslash",
    /* 162 */ "questiondown", "exclamdown", "logicalnot", "radical", "florin", "approxequal",
    /* 168 */ "increment", "guillemotleft", "guillemotright", "ellipsis", "nbspace", "Agrave",
    /* 174 */ "Atilde", "Otilde", "OE", "oe", "endash", "emdash",
    /* 180 */ "quotedblleft", "quotedblright", "quoteleft", "quoteright", "divide", "lozenge",
    /* 186 */ "ydieresis", "Ydieresis", "fraction", "currency", "guilsinglleft", "guilsinglright",
    /* 192 */ "fi", "fl", "daggerdbl", "periodcentered", "quotesinglbase", "quotedblbase",
    /* 198 */ "perthousand", "Acircumflex", "Ecircumflex", "Aacute", "Edieresis", "Egrave",
    /* 204 */ "Iacute", "Icircumflex", "Idieresis", "Igrave", "Oacute", "Ocircumflex",
    /* 210 */ "applelogo", "Ograve", "Uacute", "Ucircumflex", "Ugrave", "dotlessi",
    /* 216 */ "circumflex", "tilde", "overscore", "breve", "dotaccent", "ring",
    /* 222 */ "cedilla", "hungarumlaut", "ogonek", "caron", "Lslash", "lslash",
    /* 228 */ "Scaron", "scaron", "Zcaron", "zcaron", "brokenbar", "Eth",
    /* 234 */ "eth", "Yacute", "yacute", "Thorn", "thorn", "minus",
    /* 240 */ "multiply", "onesuperior", "twosuperior", "threesuperior", "onehalf", "onequarter",
    /* 246 */ "threequarters", "franc", "Gbreve", "gbreve", "Idot", "Scedilla",
    /* 252 */ "scedilla", "Cacute", "cacute", "Ccaron", "ccaron", "dmacron",
};
// clang-format on

namespace {

void read_header(table_reader& in, post_elab& post) {
    post.version = in.u32();
    post.italicAngle = in.s32();
    post.underlinePosition = in.s16();
    post.underlineThickness = in.s16();
    post.isFixedPitch = in.u32();
    post.minMemType42 = in.u32();
    post.maxMemType42 = in.u32();
    post.minMemType1 = in.u32();
    post.maxMemType1 = in.u32();
}

// Returns true when the version has a glyph-name array to read; other versions are
// kept with their warning and name every glyph but 0 by its fallback name.
bool names_follow(const post_elab& post, message_sink& messages) {
    switch (post.version) {
        case kFormat1:
            return false;
        case kFormat2:
            return true;
        case kFormat3:
            // A CFF font's names are in its charset: nothing falls back.
            if (!post.charset_names.empty()) return false;
            say(messages,
                "do_post: warning: empty 3.0 \"post\" table, fallback names will be "
                "used\n");
            return false;
        case kFormat25:
            say(messages, "do_post: warning: post format 2.5 not supported\n");
            return false;
        default:
            say(messages, "do_post: warning: unknown post format 0x%08lx\n",
                static_cast<unsigned long>(post.version));
            return false;
    }
}

bool is_name_char(unsigned char c) {
    return c >= 0x21 && c <= 0x7E;
}

// Whether each of the eight bytes of `word` is graphic ASCII, 0x21 to 0x7E, tested all at
// once: a byte below 0x21 borrows into its top bit when 0x21 is taken away, and one above
// 0x7E has its top bit set once 1 is added (or had it already).
bool graphic_word(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ull, tops = 0x8080808080808080ull;
    const std::uint64_t below = (word - 0x21 * ones) & ~word & tops;
    const std::uint64_t above = ((word + ones) | word) & tops;
    return (below | above) == 0;
}

// Whether all k characters at p are graphic ASCII, taken eight at a time where the text
// holds eight (a font may hold tens of thousands of names). `end` is the end of the text.
bool all_name_chars(const char* p, std::size_t k, const char* end) {
    std::size_t i = 0;
    for (; i + 8 <= k || (i < k && p + i + 8 <= end); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        // Bytes after the name, when the last eight reach past it, count as graphic.
        static constexpr BYTE kName[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        std::uint64_t in_name;
        std::memcpy(&in_name, kName + 8 - std::min<std::size_t>(k - i, 8), sizeof in_name);
        if (!graphic_word((word & in_name) | (0x2121212121212121ull & ~in_name))) return false;
    }
    for (; i < k; ++i)
        if (!is_name_char(static_cast<unsigned char>(p[i]))) return false;
    return true;
}

// Turns the Pascal strings of GlyphText into NUL-ended names in place: each name moves
// one byte back over its length byte and gets a zero byte where its last character was.
// Stops at the first malformed length, keeping the names before it.
void convert_names(post_elab& post, message_sink& messages) {
    std::vector<char>& text = post.GlyphText;
    std::size_t left = text.size();
    std::size_t p = 0;
    while (left > 0) {
        auto k = static_cast<signed char>(text[p]);
        std::size_t start = p;
        ++p;
        --left;
        if (k < 0) {
            say(messages, "Cannot read all of POST: negative string length\n");
            break;
        }
        if (static_cast<std::size_t>(k) > left) {
            say(messages, "Cannot read all of POST: glyph name too long or misplaced\n");
            break;
        }
        if (all_name_chars(text.data() + p, static_cast<std::size_t>(k),
                           text.data() + text.size())) {
            std::memmove(text.data() + p - 1, text.data() + p, static_cast<std::size_t>(k));
            p += static_cast<std::size_t>(k);
            left -= static_cast<std::size_t>(k);
            k = 0;  // moved already
        }
        for (int i = 0; i < k; ++i, ++p, --left) {
            auto c = static_cast<unsigned char>(text[p]);
            if (!is_name_char(c)) {
                say(messages,
                    "Non-graphic or non-ASCII char in POST glyph name: '%c' (using "
                    "'X' instead)\n",
                    c);
                c = 'X';
            }
            text[p - 1] = static_cast<char>(c);
        }
        text[p - 1] = '\0';
        // Name indices stop at 65535, so later names could never be asked for.
        if (post.names.size() < 0xFFFF) post.names.push_back(text.data() + start);
    }
    post.nameCount = static_cast<USHORT>(post.names.size());
}

// Reads the format 2.0 part; false (after its message) when the names area is missing.
bool read_glyph_names(table_reader& in, const table_entry& entry, post_elab& post) {
    post.numberOfGlyphs = in.u16();
    post.numberOfGlyphs = static_cast<USHORT>(
        in.fitting(post.numberOfGlyphs, 2, "post", "numberOfGlyphs", "glyph name indices"));
    if (post.numberOfGlyphs >= 0x8000)
        say(in.messages(),
            "Warning: This font contain more PostScript names (32,767) than I can "
            "reliably encode\n");
    read_words(in, post.glyphNameIndex, post.numberOfGlyphs);

    // The names area runs to the end of the table as the directory gives its length; the
    // reader's size may be less where the table is cut off by the end of the file.
    long long consumed = static_cast<long long>(in.tell());
    post.GlyphTextLength =
        static_cast<LONG>(static_cast<long long>(entry.source_length) - consumed);
    if (post.GlyphTextLength == 0) return true;
    if (post.GlyphTextLength < 0) {
        // The glyph index array already runs past the table's end; this has always been
        // reported as running out of memory.
        say(in.messages(), "Out of memory!\n");
        return false;
    }
    auto length = static_cast<std::size_t>(post.GlyphTextLength);
    if (in.remaining() < length) {
        say(in.messages(), "Cannot read post->GlyphText!\n");
        return false;
    }
    const std::span<const BYTE> text = in.peek(length);  // all of it, checked above
    post.GlyphText.assign(text.begin(), text.end());
    in.skip(length);
    // Room for every name the text can hold, up to the last index: pages never written to
    // cost nothing, while growing the array step by step copies it again and again.
    post.names.reserve(std::min<std::size_t>(length, 0xFFFF));
    convert_names(post, in.messages());
    return true;
}

// The name of glyph g; null where the fallback name applies.
const char* post_name(USHORT g, const post_elab& post) {
    if (g == 0) return standard_mac_names[0];
    if (post.version == kFormat1) return g < kStandardNames ? standard_mac_names[g] : nullptr;
    if (post.version != kFormat2 || g >= post.numberOfGlyphs || g >= post.glyphNameIndex.size())
        return nullptr;
    USHORT index = post.glyphNameIndex[g];
    if (index < kStandardNames) return standard_mac_names[index];
    std::size_t k = index - kStandardNames;
    return k < post.nameCount && k < post.names.size() ? post.names[k] : nullptr;
}

// The post name of glyph g, else its CFF charset name; null where the fallback applies.
const char* known_name(USHORT g, const post_elab& post) {
    if (const char* name = post_name(g, post)) return name;
    if (g < post.charset_names.size() && !post.charset_names[g].empty())
        return post.charset_names[g].c_str();
    return nullptr;
}

// The names of a CFF font's charset, by glyph ("" where it has none), for the glyphs the
// post table leaves unnamed.
void take_charset_names(font_object& font, post_elab& post) {
    if (!has_cff_outlines(font)) return;
    cff_outlines* cff = cff_table(font);
    if (!cff || !cff->has_glyph_names()) return;
    const std::size_t count = std::min<std::size_t>(cff->glyph_count(), 0x10000);
    post.charset_names.resize(count);
    for (std::size_t g = 0; g < count; ++g)
        post.charset_names[g] = cff->name(static_cast<unsigned>(g)).value_or("");
}

}  // namespace

std::unique_ptr<post_elab> do_post(font_object& font) {
    const table_entry* entry = find_table(font, "post", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    try {
        auto post = std::make_unique<post_elab>();
        read_header(in, *post);
        take_charset_names(font, *post);
        if (names_follow(*post, in.messages()) && !read_glyph_names(in, *entry, *post))
            return nullptr;
        in.report_overrun("post");
        return post;
    } catch (const std::bad_alloc&) {
        say(in.messages(), "Out of memory!\n");
        return nullptr;
    }
}

post_elab* post_table(font_object& font) {
    return elab_as<post_elab>(font, "post");
}

// One map per record answers every name search as a scan from glyph 0 would.
const std::unordered_map<std::string_view, USHORT>& post_elab::glyph_of_name() const {
    std::call_once(name_map_built_, [this] {
        const std::size_t count = std::max<std::size_t>(numberOfGlyphs, charset_names.size());
        glyph_of_name_.reserve(count);
        for (std::size_t g = 0; g < count && g <= 0xFFFF; ++g) {
            // Fallback names begin with ".glyphindex" and are resolved without a search.
            if (const char* name = known_name(static_cast<USHORT>(g), *this))
                glyph_of_name_.try_emplace(name, static_cast<USHORT>(g));
        }
    });
    return glyph_of_name_;
}

std::string fallback_glyph_name(ULONG glyph) {
    char text[20];
    std::snprintf(text, sizeof text, "%s%04lx", kFallbackPrefix,
                  static_cast<unsigned long>(static_cast<USHORT>(glyph)));
    return text;
}

std::string printable_glyph_name(std::string_view name) {
    std::string printable(name);
    for (char& c : printable)
        if (!is_name_char(static_cast<unsigned char>(c))) c = 'X';
    return printable;
}

std::string glyph_name(ULONG glyph, const post_elab* post) {
    auto g = static_cast<USHORT>(glyph);
    if (g == 0) return standard_mac_names[0];
    const char* name = post ? known_name(g, *post) : nullptr;
    return name ? name : fallback_glyph_name(g);
}

namespace {

// Names that other tools (and the Adobe Glyph List) give seven of the standard Macintosh
// glyphs, with the standard name each stands for.
struct modern_name {
    std::string_view modern;
    const char* standard;
};
constexpr modern_name kModernNames[] = {
    {"macron", "overscore"}, {"Delta", "increment"},          {"Omega", "Ohm"},       {"mu", "mu1"},
    {"dcroat", "dmacron"},   {"nonbreakingspace", "nbspace"}, {"Idotaccent", "Idot"},
};

USHORT glyph_named(std::string_view name, const post_elab& post) {
    const auto& index = post.glyph_of_name();
    auto it = index.find(name);
    return it == index.end() ? 0 : it->second;
}

}  // namespace

USHORT glyph_index_of(const char* name, const post_elab* post) {
    if (!name || !post) return 0;
    if (std::strncmp(name, kFallbackPrefix, kFallbackPrefixLength) == 0) {
        const char* digits = name + kFallbackPrefixLength;
        char* end = nullptr;
        unsigned long value = std::strtoul(digits, &end, 16);
        return end == digits ? 0 : static_cast<USHORT>(value);
    }
    if (USHORT g = glyph_named(name, *post)) return g;
    for (const modern_name& m : kModernNames)
        if (m.modern == name) return glyph_named(m.standard, *post);
    return 0;
}

USHORT glyph_index_within(const char* name, const post_elab* post, std::size_t glyph_count) {
    if (!name || !post) return 0;
    if (std::strncmp(name, kFallbackPrefix, kFallbackPrefixLength) == 0) {
        const char* digits = name + kFallbackPrefixLength;
        char* end = nullptr;
        // A sign or an overflow gives a number no font reaches.
        unsigned long value = std::strtoul(digits, &end, 16);
        return end == digits || value >= glyph_count ? 0 : static_cast<USHORT>(value);
    }
    USHORT glyph = glyph_index_of(name, post);
    return glyph < glyph_count ? glyph : 0;
}
