// cmap table layout (big-endian):
//   0  USHORT version    0
//   2  USHORT numTables  encoding records that follow
//   4  encoding records, 8 bytes each:
//        USHORT platformID, USHORT encodingID, ULONG offset (from the table's start)
// Every subtable starts with USHORT format; the rest is the format's own (see the
// cmap_format*.h headers), read by the reader registered for the format below.
#include "tables/cmap.h"

#include <cstdio>
#include <new>
#include <unordered_map>

#include "tables/cmap_format0.h"
#include "tables/cmap_format14.h"
#include "tables/cmap_format2.h"
#include "tables/cmap_format4.h"
#include "tables/cmap_format6.h"
#include "tables/cmap_groups.h"
#include "tables/cmap_kept.h"
#include "tables/cmap_support.h"
#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

// The formats read by their own type (field by field, or, for 2 and 14, from their kept
// bytes); any other is kept as bytes.
struct cmap_format_entry {
    USHORT format;
    cmap_format_reader read;
};
constexpr cmap_format_entry kCmapFormats[] = {
    {0, read_cmap_format0},   {2, read_cmap_format2},   {4, read_cmap_format4},
    {6, read_cmap_format6},   {12, read_cmap_format12}, {13, read_cmap_format13},
    {14, read_cmap_format14},
};

cmap_format_reader reader_of(USHORT format) {
    for (const cmap_format_entry& entry : kCmapFormats)
        if (entry.format == format) return entry.read;
    return read_cmap_kept;
}

struct encoding_record {
    USHORT platformID = 0;
    USHORT encodingID = 0;
    ULONG offset = 0;
};

encoding_record read_encoding_record(table_reader& in) {
    encoding_record r;
    r.platformID = in.u16();
    r.encodingID = in.u16();
    r.offset = in.u32();
    return r;
}

ULONG pair_key(USHORT platformID, USHORT encodingID) {
    return (ULONG{platformID} << 16) | encodingID;
}

// How many of the claimed encoding records lie inside the table, read from the reader's
// position on; a count that claims more is cut to those, with a warning when `who` is given.
USHORT records_that_fit(const table_reader& in, USHORT claimed, const char* who) {
    constexpr std::size_t kRecordSize = 8;
    const std::size_t fit = in.remaining() / kRecordSize;
    if (claimed <= fit) return claimed;
    if (who)
        say(in.messages(),
            "Warning: %s: numTables claims %u encoding records, %zu fit in the table\n", who,
            claimed, fit);
    return static_cast<USHORT>(fit);
}

// Reads the subtable at `offset` from the start of the cmap table for the pair P.E.
// The offset is 32 bits and may point anywhere; the reader confines it to the cmap
// table's own bytes, so a subtable placed past the table's end reads as zeros (as one past
// the end of the file always did) instead of as the bytes of whatever table follows.
std::unique_ptr<cmap_subtable> read_subtable_at(table_reader in, USHORT platformID,
                                                USHORT encodingID, ULONG offset,
                                                cmap_storage_budget& budget, ULONG numGlyphs) {
    in.seek(offset);
    try {
        const USHORT format = in.u16();
        const cmap_read_context context{platformID, encodingID, format,       offset,
                                        budget,     numGlyphs,  in.messages()};
        std::unique_ptr<cmap_subtable> sub = reader_of(format)(in, context);
        if (sub) sub->source_offset = offset;
        return sub;
    } catch (const std::bad_alloc&) {
        say(in.messages(), "Out of memory!\n");
        return nullptr;
    }
}

// The glyph count group readers check against; 0 when the font has no maxp record.
ULONG glyph_count_of(font_object& font) {
    const table_entry* entry = find_table(font, "maxp", 0);  // quietly: maxp is optional here
    const auto* maxp = entry ? static_cast<const maxp_elab*>(entry->ElabPtr.get()) : nullptr;
    return maxp ? maxp->numGlyphs : 0;
}

}  // namespace

std::unique_ptr<cmap_subtable> read_cmap_subtable(font_object& font, USHORT platformID,
                                                  USHORT encodingID) {
    const table_entry* entry = find_table(font, "cmap", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    in.u16();  // version
    const USHORT numTables = records_that_fit(in, in.u16(), nullptr);
    for (unsigned i = 0; i < numTables; ++i) {
        encoding_record r = read_encoding_record(in);
        if (r.platformID == platformID && r.encodingID == encodingID) {
            cmap_storage_budget budget;
            return read_subtable_at(in, platformID, encodingID, r.offset, budget,
                                    glyph_count_of(font));
        }
    }
    say(*font.messages, "Cannot find encoding %ld.%ld in cmap table\n", long{platformID},
        long{encodingID});
    return nullptr;
}

std::unique_ptr<cmap_elab> do_cmap(font_object& font) {
    const table_entry* entry = find_table(font, "cmap", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    std::unique_ptr<cmap_elab> cmap;
    // The subtable of a platform.encoding pair is always that of the first encoding record
    // with the pair; remembering those offsets spares a rescan of the records per slot.
    std::unordered_map<ULONG, ULONG> first_offset;
    try {
        cmap = std::make_unique<cmap_elab>();
        cmap->version = in.u16();
        cmap->numTables = in.u16();
        if (cmap->version != 0) say(*font.messages, "do_cmap: strange version %u\n", cmap->version);
        cmap->numTables = records_that_fit(in, cmap->numTables, "do_cmap");
        cmap->subtables.resize(cmap->numTables);
        first_offset.reserve(cmap->numTables);
    } catch (const std::bad_alloc&) {
        say(*font.messages, "Out of memory!\n");
        return nullptr;
    }
    cmap_storage_budget budget;
    const ULONG numGlyphs = glyph_count_of(font);
    for (auto& slot : cmap->subtables) {
        encoding_record r = read_encoding_record(in);
        ULONG offset =
            first_offset.try_emplace(pair_key(r.platformID, r.encodingID), r.offset).first->second;
        slot = read_subtable_at(in, r.platformID, r.encodingID, offset, budget, numGlyphs);
        if (!slot) say(*font.messages, "do_cmap: no %u.%u subtable\n", r.platformID, r.encodingID);
    }
    return cmap;
}

cmap_elab* cmap_table(font_object& font) {
    return elab_as<cmap_elab>(font, "cmap");
}

std::unique_ptr<cmap_subtable>* find_cmap_subtable(font_object& font, USHORT platformID,
                                                   USHORT encodingID) {
    cmap_elab* cmap = cmap_table(font);
    if (!cmap) return nullptr;
    for (auto& slot : cmap->subtables)
        if (slot && slot->platformID == platformID && slot->encodingID == encodingID) return &slot;
    return nullptr;
}

USHORT cmap_subtable::glyph_of(ULONG code) const {
    const ULONG c = wide_codes() ? code : code & 0xFFFF;
    return c == 0xFFFF ? 0 : lookup(c);
}

void cmap_subtable::walk(const cmap_visitor& visit) const {
    for (ULONG code = 0; code < 0xFFFF; ++code)
        if (USHORT g = lookup(code); g != 0 && !visit(code, g)) return;
}

USHORT char_to_glyph(ULONG code, const cmap_subtable* subtable, message_sink& messages) {
    if (subtable) return subtable->glyph_of(code);
    if (static_cast<USHORT>(code) != 0xFFFF) say(messages, "No cmap!\n");
    return 0;
}

void report_unmappable(const font_object& font, const cmap_subtable& subtable, const char* prefix) {
    say(*font.messages,
        "%s%s: cmap %d.%d is a format %d subtable, which kestrix cannot map codes "
        "through\n",
        prefix, font.font_path.c_str(), static_cast<int>(subtable.platformID),
        static_cast<int>(subtable.encodingID), static_cast<int>(subtable.format));
}
