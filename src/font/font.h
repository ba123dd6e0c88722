// The loaded font: its file in memory, the offset table and the table directory.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "font/fileio.h"
#include "font/messages.h"
#include "font/types.h"

// Base of every elaborated table record; the entry that holds it owns it.
struct elab_record {
    virtual ~elab_record() = default;
};

struct offset_table {
    ULONG version = 0;  // 0x00010000 or 'true' for TrueType outlines, 'OTTO' for CFF
    USHORT numTables = 0;
    USHORT searchRange = 0;    // 16 * largest power of 2 <= numTables
    USHORT entrySelector = 0;  // log2 of that power of 2
    USHORT rangeShift = 0;     // numTables * 16 - searchRange
};

struct table_entry {
    char tag[5] = {};  // the four tag bytes as stored, then a NUL
    ULONG checkSum = 0;
    ULONG offset = 0;
    ULONG length = 0;
    // Where the table lies in the source file, as the directory gave it. import replaces
    // offset and length (they then describe the imported bytes); parsers keep reading the
    // table as loaded from here.
    ULONG source_offset = 0;
    ULONG source_length = 0;
    std::unique_ptr<elab_record> ElabPtr;          // parsed table, if elaborated
    std::unique_ptr<std::vector<BYTE>> ImportPtr;  // bytes that replace the table
};

// Notices that a run of the program gives only once, however many fonts it loads.
struct run_notices {
    bool composite_glyphs = false;  // "composite glyph(s) ignored" was given
};

// How read_font (and load_font, which adds the tables' own load checks) treats a file.
struct load_options {
    bool forced_interpretation = false;  // failed offset-table checks only warn
    run_notices& notices;                // the run's; the font keeps a pointer for its parsers
    // The font of a collection to load, counting from 0. Without it, the first, and a
    // collection is named as such in a message.
    std::optional<std::size_t> face = std::nullopt;
    message_sink& messages = standard_error_sink();  // where the font's parsers report
};

struct font_object {
    std::string font_path;
    run_notices* notices = nullptr;  // the run's once-only notices; none: each parse its own
    message_sink* messages = &standard_error_sink();  // where parsers of the font report
    mem_stream in_stream;  // the whole font file; each parser reads its table's bytes of it
    std::unique_ptr<offset_table> otable;
    std::vector<table_entry> table_dir;

    USHORT numTables() const { return otable ? otable->numTables : 0; }
};

// Reads a font file (a plain sfnt, one font of a collection, or a web font decoded) and
// its table directory, reporting what is wrong with them; nothing when it cannot be read.
std::unique_ptr<font_object> read_font(const char* path, const load_options& options);
std::unique_ptr<offset_table> read_offset_table(font_object& font, bool forced_interpretation);
bool read_table_directory(mem_stream& stream, const offset_table& otable,
                          std::vector<table_entry>& dir);

USHORT entry_selector_for(USHORT n);
USHORT search_range_for(USHORT n);
USHORT range_shift_for(USHORT n);

// Sum of the big-endian 32-bit words of length bytes from offset (a final partial word
// counts, its missing bytes as zero).
ULONG file_checksum(mem_stream& stream, long offset, ULONG length, message_sink& messages);
// The same sum without moving the stream: whole words from offset covering length bytes.
ULONG checksum_of(const mem_stream& stream, std::size_t offset, std::size_t length);
// The sum of the big-endian words of bytes, a final partial word padded with zeros.
ULONG checksum_of(std::span<const BYTE> bytes);

// Index of the first entry with this tag, or numTables.
std::size_t find_table_index(const font_object& font, const char* tag);
// The first entry with this tag; nothing (and, with complain, a message) when the font has
// no such table.
table_entry* find_table(font_object& font, const char* tag, int complain);

// Releases the font and everything it owns.
void free_font(std::unique_ptr<font_object> font);
