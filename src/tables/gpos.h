// The glyph positioning table (GPOS): the lists it is built from, and the pair kerning
// that its `kern` feature applies. Elaborated on first use, like kern.
//
// Only what pair kerning needs is kept: the feature list (tags and lookup indices), which
// features the scripts and language systems use, and each lookup's type and subtable
// offsets. Subtables are read from the table's bytes when the kerning is computed.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "font/font.h"
#include "font/types.h"

struct gpos_feature {
    BYTE tag[4] = {};
    // Features that point at one lookup-index list share it; none when it ran past the table.
    std::shared_ptr<const std::vector<USHORT>> lookupListIndices;
};

struct gpos_lookup {
    USHORT lookupType = 0;  // GPOS: 2 pair adjustment, 9 extension; GSUB: 4 ligature, 7 extension
    USHORT lookupFlag = 0;
    std::vector<ULONG> subtables;  // offsets from the start of GPOS
};

// The lists GPOS and GSUB share: features, which of them a script or language system
// uses, and lookups.
struct layout_lists {
    std::vector<gpos_feature> features;  // the feature list, in file order
    std::vector<bool> used_features;     // by feature index: some language system uses it
    std::vector<gpos_lookup> lookups;    // the lookup list, in file order
    message_sink* messages = &standard_error_sink();  // the font's, once the lists are read
};

// Where the three lists start, from the start of the table (0: none).
struct layout_offsets {
    USHORT scriptList = 0;
    USHORT featureList = 0;
    USHORT lookupList = 0;
};

// Reads the three lists of a GPOS or GSUB table; `who` begins each message about a list
// that runs past the table.
class table_reader;
void read_layout_lists(table_reader& r, const layout_offsets& at, layout_lists& lists,
                       const char* who);

// Reads a GPOS or GSUB table from its header: the version into majorVersion and
// minorVersion and, for version 1, the three lists. Another major version is reported
// (after `who`, naming `tag`) and leaves the lists empty.
void read_layout_table(table_reader& r, layout_lists& lists, USHORT& majorVersion,
                       USHORT& minorVersion, const char* who, const char* tag);

// The lookups, in lookup-list order and each once, that some feature with this tag used by
// a script or language system refers to. A reference past the lookup list is reported,
// after `who`.
std::vector<USHORT> feature_lookups(const layout_lists& lists, const BYTE (&tag)[4],
                                    const char* who);

struct covered_glyph {
    USHORT glyph = 0;
    ULONG index = 0;  // coverage index
};

// The glyphs below glyph_count of the coverage table at `at`, with their coverage indices,
// in table order. `charge` is asked for the work before the glyphs are read; when it
// refuses, the glyphs read so far stand. Null, or why the table cannot be read.
const char* read_coverage(table_reader& r, std::size_t at, std::size_t glyph_count,
                          const std::function<bool(std::size_t)>& charge,
                          std::vector<covered_glyph>& glyphs);

struct gpos_pair {
    USHORT left = 0;   // glyph index
    USHORT right = 0;  // glyph index
    LONG value = 0;    // font units: XAdvance of the left glyph, summed over the lookups
};

struct gpos_kerning {
    std::size_t pair_lookups = 0;  // lookups of the kern feature that adjust pairs
    std::vector<gpos_pair> pairs;  // nonzero, by left glyph index, then right
};

struct gpos_elab : elab_record, layout_lists {
    USHORT majorVersion = 0;
    USHORT minorVersion = 0;
    std::unique_ptr<gpos_kerning> kerning;  // computed on the first gpos_kern_pairs
};

std::unique_ptr<gpos_elab> do_gpos(font_object& font);

// The GPOS record, parsed on first use; null without a message when the font has none.
gpos_elab* gpos_table(font_object& font);

// The lookups, in lookup-list order and each once, that some `kern` feature used by a
// script or language system refers to. A reference past the lookup list is reported.
std::vector<USHORT> kern_feature_lookups(const gpos_elab& gpos);

// The kerning of the font's `kern` feature, computed on first use and kept with the GPOS
// record; empty (no lookups, no pairs) for a font without GPOS. For each lookup of
// kern_feature_lookups, the first of its pair subtables that covers a pair gives the
// pair's value there (the XAdvance of the first glyph); a pair's kerning is the sum over
// the lookups. Glyphs at or beyond maxp's glyph count are left out. A damaged subtable is
// skipped with one message.
const gpos_kerning& gpos_kern_pairs(font_object& font);

// At most this many pair values are expanded from the kern lookups (a class-based subtable
// of 65,536 glyphs on each side would otherwise ask for four billion).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing builds reach the limit through the same code a thousand times sooner.
inline constexpr std::size_t kMaxGposPairValues = std::size_t{1} << 14;
#else
inline constexpr std::size_t kMaxGposPairValues = std::size_t{1} << 24;
#endif
