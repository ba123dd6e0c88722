// The character-to-glyph table (cmap): its record, parser and lookups.
//
// Each subtable format is one type derived from cmap_subtable (cmap_format0.h,
// cmap_format2.h, cmap_format4.h, cmap_format6.h, cmap_groups.h for 12 and 13,
// cmap_format14.h, cmap_kept.h for every other format): it reads, looks up, walks, writes and lists
// itself. Everything outside this layer goes through the interface below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "font/font.h"
#include "font/types.h"

inline constexpr ULONG kLastUnicode = 0x10FFFF;

// Called for each (code, glyph) a walk meets; false stops the walk.
using cmap_visitor = std::function<bool(ULONG code, USHORT glyph)>;

// First and last character code a subtable covers, as OS/2 holds them (16 bits).
struct char_range {
    USHORT first = 0;
    USHORT last = 0;
};

// The codes a format that maps through one dense array covers: count codes from first.
struct dense_span {
    ULONG first = 0;
    ULONG count = 0;
};

// One subtable, for one platform.encoding pair.
struct cmap_subtable {
    virtual ~cmap_subtable() = default;

    USHORT platformID = 0;  // from the encoding record
    USHORT encodingID = 0;
    USHORT format = 0;
    USHORT length = 0;    // as read; the writer recomputes it
    USHORT language = 0;  // third header word, reported as the subtable's "version"
    // Where the subtable was read from in its cmap table: encoding records that shared
    // one subtable there are written sharing one again. None for a subtable built here.
    std::optional<ULONG> source_offset;
    // Where lookups and listings report: the font's sink for a subtable read from one.
    message_sink* messages = &standard_error_sink();

    // Glyph index of a character code; 0 means no glyph. 16-bit formats take the code
    // modulo 65536; code 0xFFFF maps to nothing.
    USHORT glyph_of(ULONG code) const;

    // Calls visit for each code the subtable maps to a glyph other than 0, in ascending
    // code order (up to U+10FFFF), until visit returns false. Lookup messages come as
    // glyph_of gives them, in code order.
    virtual void walk(const cmap_visitor& visit) const;

    // First and last code, for OS/2's usFirstCharIndex and usLastCharIndex.
    virtual char_range code_range() const { return {}; }
    // The codes of a format that maps through one dense array; none for sparse formats.
    virtual std::optional<dense_span> dense_codes() const { return std::nullopt; }

    // Bytes the subtable takes when written, from its counts.
    virtual unsigned long byte_length() const = 0;
    // True when the length field has 16 bits.
    virtual bool short_length() const { return true; }
    // The arrays the counts promise are all there, so the subtable can be written.
    virtual bool complete() const { return true; }
    // Writes the whole subtable, header included, with `length` (byte_length) in it.
    virtual void write(mem_stream& out, unsigned long length) const = 0;

    // Prints the subtable's fields as `list` shows them, after the heading line.
    virtual void list() const = 0;

    // Whether codes can be looked up in the subtable: one kept only as its bytes maps
    // nothing, so afm and chart refuse it rather than write a file without codes.
    virtual bool maps_codes() const { return true; }

  protected:
    // Formats 12 and 13 take 32-bit codes.
    virtual bool wide_codes() const { return false; }
    // The glyph of a code the subtable can hold (already reduced to 16 bits when it
    // takes 16-bit codes), other than 0xFFFF.
    virtual USHORT lookup(ULONG code) const = 0;
};

struct cmap_elab : elab_record {
    USHORT version = 0;    // 0 expected
    USHORT numTables = 0;  // encoding records in the file, and slots here
    // Slot i belongs to encoding record i, in file order; empty when that subtable could
    // not be read. Callers may replace a slot's subtable or relabel it in place.
    std::vector<std::unique_ptr<cmap_subtable>> subtables;
};

std::unique_ptr<cmap_elab> do_cmap(font_object& font);

// Reads the subtable of the first encoding record with this platform.encoding pair.
std::unique_ptr<cmap_subtable> read_cmap_subtable(font_object& font, USHORT platformID,
                                                  USHORT encodingID);

// The elaborated cmap (never parses; complains when the font has no cmap table).
cmap_elab* cmap_table(font_object& font);

// The first non-empty slot holding platformID.encodingID, or null.
std::unique_ptr<cmap_subtable>* find_cmap_subtable(font_object& font, USHORT platformID,
                                                   USHORT encodingID);

// Glyph index of a character code through a subtable (see cmap_subtable::glyph_of);
// without a subtable, 0 with a message.
USHORT char_to_glyph(ULONG code, const cmap_subtable* subtable,
                     message_sink& messages = standard_error_sink());

// "<prefix><font>: cmap M.N is a format F subtable, which kestrix cannot map codes
// through", as a message of the font.
void report_unmappable(const font_object& font, const cmap_subtable& subtable, const char* prefix);
