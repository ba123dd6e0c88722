// Outlines of CFF-flavoured OpenType fonts ('CFF ' or 'CFF2' table), read through
// FreeType: exact glyph boxes and the glyph names of the CFF charset.
//
// FreeType interprets the Type 2 charstrings. Each font record owns its FreeType library,
// its face and a copy of the sfnt bytes the face reads, so records are independent and
// nothing is shared between fonts.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "font/font.h"
#include "font/types.h"
#include "tables/outline_pen.h"

// A glyph's bounding box in font units.
struct glyph_box {
    LONG xMin = 0;
    LONG yMin = 0;
    LONG xMax = 0;
    LONG yMax = 0;
    bool operator==(const glyph_box&) const = default;
};

// True when the font's outlines are in a 'CFF ' or 'CFF2' table (and glyf/loca are not
// to be expected).
bool has_cff_outlines(const font_object& font);

class cff_outlines : public elab_record {
  public:
    // FreeType's view of a whole sfnt (a copy of its bytes is kept). Nothing, and a
    // one-line reason in error, when FreeType refuses the font.
    static std::unique_ptr<cff_outlines> open(std::vector<BYTE> sfnt, std::string& error);
    ~cff_outlines() override;
    cff_outlines(const cff_outlines&) = delete;
    cff_outlines& operator=(const cff_outlines&) = delete;

    std::size_t glyph_count() const;
    // The exact box of the glyph's outline (curve extremes included, not the control
    // points' box), in font units, rounded outward; 0 0 0 0 for an empty glyph. Nothing,
    // and a reason in error, for a glyph FreeType cannot load or a gid past the end.
    std::optional<glyph_box> box(unsigned gid, std::string& error);
    // True when the font has glyph names: the CFF charset's (for CFF2, the post table's),
    // or for a CID-keyed font ".notdef" and "cid" with the five-digit CID.
    bool has_glyph_names() const;
    // The glyph's name, or nothing when the font has none for it.
    std::optional<std::string> name(unsigned gid);
    bool is_cid_keyed() const;
    // Walks the glyph's outline in font units (y up, as stored), each contour closed.
    // False, with nothing or part of the outline drawn, for a glyph FreeType cannot load
    // or decompose or a gid past the end.
    bool draw(unsigned gid, outline_pen& pen);

  private:
    struct freetype;
    explicit cff_outlines(std::unique_ptr<freetype> ft);
    std::unique_ptr<freetype> ft_;
    // Boxes already computed, by glyph: afm and gen ask for a glyph more than once.
    std::vector<std::optional<glyph_box>> boxes_;
};

// The CFF outlines of a loaded font, from its stream's bytes; nothing after printing
// "do_cff: <file>: <reason>" when FreeType refuses them.
std::unique_ptr<cff_outlines> do_cff(font_object& font);

// The parsed CFF outlines of a font ('CFF ' or 'CFF2' entry), or nothing; never parses.
cff_outlines* cff_table(font_object& font);
