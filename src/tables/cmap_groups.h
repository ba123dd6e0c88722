// cmap formats 12 (segmented coverage) and 13 (many-to-one range mappings): 32-bit codes
// in groups.
//   0  USHORT format, reserved
//   4  ULONG length, language, numGroups
//  16  numGroups groups of ULONG startCharCode, endCharCode, startGlyphID
// Codes startCharCode..endCharCode map to consecutive glyphs from startGlyphID (format 12)
// or all to startGlyphID (format 13).
#pragma once

#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_support.h"

struct cmap_group {
    ULONG startCharCode = 0;
    ULONG endCharCode = 0;
    ULONG startGlyphID = 0;
};

class cmap_group_subtable : public cmap_subtable {
  public:
    // The header's reserved word, 32-bit length and language, and the groups, ascending
    // and disjoint, with codes up to 0x10FFFF and glyphs below the glyph count (the reader
    // drops or cuts any other, with a message).
    USHORT reserved = 0;
    ULONG length32 = 0;
    ULONG language32 = 0;
    std::vector<cmap_group> groups;

    // Group by group: a supplementary-plane subtable spans 0x110000 codes, of which it
    // maps a few.
    void walk(const cmap_visitor& visit) const override;
    // OS/2 keeps 16 bits: a range reaching past 0xFFFF is stored as 0xFFFF.
    char_range code_range() const override;
    unsigned long byte_length() const override { return 16ul + 12ul * groups.size(); }
    bool short_length() const override { return false; }
    void write(mem_stream& out, unsigned long length) const override;
    void list() const override;

    // The glyph of a code inside group g.
    virtual ULONG glyph_in_group(const cmap_group& g, ULONG code) const = 0;
    // Format 12 gives each code of a group its own glyph, so a group may not run past the
    // last glyph.
    virtual bool glyph_per_code() const = 0;

  protected:
    bool wide_codes() const override { return true; }
    USHORT lookup(ULONG code) const override;
};

class cmap_format12 : public cmap_group_subtable {
  public:
    cmap_format12() { format = 12; }
    ULONG glyph_in_group(const cmap_group& g, ULONG code) const override {
        return g.startGlyphID + (code - g.startCharCode);
    }
    bool glyph_per_code() const override { return true; }
};

class cmap_format13 : public cmap_group_subtable {
  public:
    cmap_format13() { format = 13; }
    ULONG glyph_in_group(const cmap_group& g, ULONG) const override { return g.startGlyphID; }
    bool glyph_per_code() const override { return false; }
};

std::unique_ptr<cmap_subtable> read_cmap_format12(table_reader& in,
                                                  const cmap_read_context& context);
std::unique_ptr<cmap_subtable> read_cmap_format13(table_reader& in,
                                                  const cmap_read_context& context);
