// The PostScript table (post): its record, parser and the glyph-name lookups.
#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "font/font.h"
#include "font/types.h"

// The 258 standard Macintosh glyph names of post formats 1.0 and 2.0.
extern const char* const standard_mac_names[258];

// One "name produced" flag per glyph. The AFM writer lists the glyphs no code reached by
// the ones whose name was never asked for. Marks are kept apart from glyphNameIndex so
// that name indices of 0x8000 and above stay intact.
class glyph_name_marks {
  public:
    void reset(std::size_t glyphs);
    bool test(USHORT glyph) const { return glyph < flags_.size() && flags_[glyph] != 0; }
    void set(USHORT glyph) {
        if (glyph < flags_.size()) flags_[glyph] = 1;
    }
    void clear(USHORT glyph);
    // Marks glyphs 1 to last (glyph 0 is never marked), as a name search that went up to
    // `last` does. Repeated searches only pay for glyphs not already covered.
    void set_through(USHORT last);

  private:
    std::vector<BYTE> flags_;
    std::size_t marked_from_1_to_ = 0;  // glyphs 1 .. this - 1 are known to be marked
};

struct post_elab : elab_record {
    ULONG version = 0;     // 16.16: 0x00010000, 0x00020000, 0x00028000, 0x00030000 or other
    LONG italicAngle = 0;  // 16.16
    SHORT underlinePosition = 0;
    SHORT underlineThickness = 0;
    ULONG isFixedPitch = 0;  // non-zero: fixed pitch
    ULONG minMemType42 = 0;
    ULONG maxMemType42 = 0;
    ULONG minMemType1 = 0;
    ULONG maxMemType1 = 0;

    // Format 2.0 only.
    USHORT numberOfGlyphs = 0;
    std::vector<USHORT> glyphNameIndex;  // per glyph: < 258 standard name, else 258 + k
    glyph_name_marks used;               // per glyph: its name has been produced
    LONG GlyphTextLength = 0;            // bytes of the names area
    std::vector<char> GlyphText;         // the names area, converted to NUL-ended names
    USHORT nameCount = 0;                // names taken from GlyphText
    std::vector<const char*> names;      // into GlyphText; name k is name index 258 + k

    // Built by the first glyph_index_of on this record: each name that does not begin
    // with ".glyphindex", with the lowest glyph that has it.
    std::unordered_map<std::string_view, USHORT> glyph_of_name;
    bool glyph_of_name_built = false;

    post_elab() = default;
    post_elab(const post_elab&) = delete;  // names point into GlyphText
    post_elab& operator=(const post_elab&) = delete;
};

std::unique_ptr<post_elab> do_post(font_object& font);

// The elaborated post table (never parses; complains when the font has no post table).
post_elab* post_table(font_object& font);

// The name of a glyph (index taken modulo 65536); sets the glyph's used mark in format
// 2.0. A fallback name lives in one shared buffer, valid until the next fallback name.
const char* glyph_name(ULONG glyph, post_elab* post);
const char* fallback_glyph_name(ULONG glyph);

// The glyph with this name: ".glyphindex" plus hex digits names an index directly, any
// other name finds the lowest glyph whose name equals it. 0 when not found.
USHORT glyph_index_of(const char* name, post_elab* post);
