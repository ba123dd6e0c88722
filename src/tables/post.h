// The PostScript table (post): its record, parser and the glyph-name lookups.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "font/font.h"
#include "font/types.h"

// The 258 standard Macintosh glyph names of post formats 1.0 and 2.0.
extern const char* const standard_mac_names[258];

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
    LONG GlyphTextLength = 0;            // bytes of the names area
    std::vector<char> GlyphText;         // the names area, converted to NUL-ended names
    USHORT nameCount = 0;                // names taken from GlyphText
    std::vector<const char*> names;      // into GlyphText; name k is name index 258 + k

    // A font with CFF outlines: its charset's glyph names, by glyph ("" for none). They
    // name the glyphs the post table leaves unnamed (all of them in format 3.0).
    std::vector<std::string> charset_names;

    // Each name that does not begin with ".glyphindex", with the lowest glyph that has it.
    // Built on the first name lookup: most jobs never look a name up, and for a font of
    // tens of thousands of glyphs the map costs more than reading the table.
    const std::unordered_map<std::string_view, USHORT>& glyph_of_name() const;

    post_elab() = default;
    post_elab(const post_elab&) = delete;  // names point into GlyphText
    post_elab& operator=(const post_elab&) = delete;

  private:
    // The names above are fixed once the record is parsed, so building the map changes
    // nothing a caller can see.
    mutable std::once_flag name_map_built_;
    mutable std::unordered_map<std::string_view, USHORT> glyph_of_name_;
};

std::unique_ptr<post_elab> do_post(font_object& font);

// The elaborated post table (never parses; complains when the font has no post table).
post_elab* post_table(font_object& font);

// The name of a glyph (index taken modulo 65536): its post name, else its CFF charset
// name, or ".glyphindex" and the index in at least four hex digits where neither exists.
std::string glyph_name(ULONG glyph, const post_elab* post);
std::string fallback_glyph_name(ULONG glyph);

// The name as post names are read: every byte outside 0x21..0x7E (white space, control
// characters, non-ASCII) becomes "X". The AFM writer gives CFF charset names the same rule.
std::string printable_glyph_name(std::string_view name);

// The glyph with this name: ".glyphindex" plus hex digits names an index directly, any
// other name finds the lowest glyph whose name equals it. A name other tools use for a
// standard glyph (macron, Delta, Omega, mu, dcroat, nonbreakingspace, Idotaccent) that no
// glyph has finds the glyph of the standard name (overscore, increment, Ohm, mu1, dmacron,
// nbspace, Idot). 0 when not found.
USHORT glyph_index_of(const char* name, const post_elab* post);

// As glyph_index_of, for a font of glyph_count glyphs: a name names a glyph only below the
// count, and the number of a ".glyphindex" name is taken whole, never modulo 65536.
USHORT glyph_index_within(const char* name, const post_elab* post, std::size_t glyph_count);
