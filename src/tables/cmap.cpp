// cmap table layout (big-endian):
//   0  USHORT version    0
//   2  USHORT numTables  encoding records that follow
//   4  encoding records, 8 bytes each:
//        USHORT platformID, USHORT encodingID, ULONG offset (from the table's start)
// Every subtable starts with USHORT format, USHORT length, USHORT language, then:
//   format 0: BYTE glyphIdArray[256]
//   format 4: USHORT segCountX2, searchRange, entrySelector, rangeShift,
//             endCount[segCount], reservedPad, startCount[segCount], idDelta[segCount],
//             idRangeOffset[segCount], glyphIdArray[] (to the end of the subtable)
//   format 6: USHORT firstCode, entryCount, glyphIdArray[entryCount]
// Formats 12 and 13 start with USHORT format, USHORT reserved, ULONG length, ULONG language,
// ULONG numGroups, then numGroups groups of ULONG startCharCode, endCharCode, startGlyphID.
// Formats 8 and 10 also carry a 32-bit length at offset 4, format 14 one at offset 2.
#include "tables/cmap.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <optional>
#include <unordered_map>

#include "font/parsers.h"
#include "font/registry.h"
#include "tables/cmap_format2.h"
#include "tables/maxp.h"
#include "tables/table_reader.h"
#include "tables/table_words.h"

namespace {

constexpr USHORT kByteEncodingLength = 262;  // 6-byte header + 256 glyph bytes

// Bytes of subtable arrays one cmap record may hold. Encoding records that share a
// platform.encoding pair each get their own copy of its subtable, so a small hostile
// table could otherwise ask for many gigabytes; going over counts as running out of
// memory. Real fonts stay far below it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing builds reach the limit through the same code with far less work per input.
constexpr std::size_t kSubtableStorageLimit = std::size_t{1} << 20;
#else
constexpr std::size_t kSubtableStorageLimit = std::size_t{64} << 20;
#endif

class storage_budget {
  public:
    void take_bytes(std::size_t bytes) {
        if (bytes > left_) throw std::bad_alloc();
        left_ -= bytes;
    }
    // Reserves room for `words` 16-bit entries; throws like a failed allocation when the
    // record would grow past its limit.
    void take_words(std::size_t words) {
        std::size_t bytes = words * sizeof(USHORT);
        if (bytes > left_) throw std::bad_alloc();
        left_ -= bytes;
    }

  private:
    std::size_t left_ = kSubtableStorageLimit;
};

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

bool read_format0(table_reader& in, cmap_subtable& sub, storage_budget& budget) {
    if (sub.length != kByteEncodingLength)
        std::fprintf(stderr, "Byte-encoding cmap should have %d bytes, but has %u instead\n",
                     kByteEncodingLength, sub.length);
    budget.take_words(256);
    sub.glyphIdArray.assign(256, 0);
    sub.glyphIdCount = 256;
    // The record holds 256 entries. A length field outside 6..262 cannot describe them
    // correctly, so such a subtable is read as its first 256 bytes.
    std::size_t wanted = sub.length >= 6 && sub.length <= kByteEncodingLength
                             ? std::size_t{sub.length} - 6
                             : std::size_t{256};
    BYTE bytes[256] = {};
    if (in.read(bytes, wanted) < wanted) {
        errno = 0;  // the bytes are missing from the table; no system call failed
        std::perror("Cannot read byte encoding table in cmap");
        return false;
    }
    for (std::size_t i = 0; i < wanted; ++i) sub.glyphIdArray[i] = bytes[i];
    return true;
}

bool read_format4(table_reader& in, cmap_subtable& sub, storage_budget& budget) {
    sub.segCountX2 = in.u16();
    sub.segCount = sub.segCountX2 >> 1;
    sub.searchRange = in.u16();
    sub.entrySelector = in.u16();
    sub.rangeShift = in.u16();
    // Whatever follows the segment arrays up to `length` is glyphIdArray. A length too
    // small for the segments wraps around to a large count, as 16-bit arithmetic does.
    int words_left = (int{sub.length} - 8 * int{sub.segCount} - 16) / 2;
    sub.glyphIdCount = static_cast<USHORT>(words_left);
    if (sub.segCount == 0) {
        std::fprintf(stderr, "Empty %u.%u cmap!", sub.platformID, sub.encodingID);
        return false;
    }
    budget.take_words(4 * std::size_t{sub.segCount} + sub.glyphIdCount);
    read_words(in, sub.endCount, sub.segCount);
    if (sub.endCount.back() != 0xFFFF) {
        std::fprintf(stderr, "Bad %u.%u cmap--last endCode is not 0xffff\n", sub.platformID,
                     sub.encodingID);
        return false;
    }
    in.u16();  // reservedPad
    read_words(in, sub.startCount, sub.segCount);
    read_words(in, sub.idDelta, sub.segCount);
    read_words(in, sub.idRangeOffset, sub.segCount);
    read_words(in, sub.glyphIdArray, sub.glyphIdCount);
    return true;
}

bool read_format6(table_reader& in, cmap_subtable& sub, storage_budget& budget) {
    sub.firstCode = in.u16();
    sub.glyphIdCount = in.u16();  // entryCount
    budget.take_words(sub.glyphIdCount);
    read_words(in, sub.glyphIdArray, sub.glyphIdCount);
    return true;
}

constexpr std::size_t kGroupBytes = 12;
constexpr std::size_t kGroupHeaderBytes = 16;

// What a group reader dropped or cut, reported once per kind and subtable.
struct group_faults {
    unsigned long reversed = 0;      // endCharCode below startCharCode
    unsigned long past_unicode = 0;  // a code above 0x10FFFF
    unsigned long disorder = 0;      // not above the group before
    unsigned long past_glyphs = 0;   // glyphs at or past the glyph count (dropped or cut)
};

void report(unsigned long count, const cmap_subtable& sub, const char* what) {
    if (count == 0) return;
    std::fprintf(stderr, "Warning: cmap %u.%u format %u: %lu group(s) %s\n", sub.platformID,
                 sub.encodingID, sub.format, count, what);
}

// Keeps the group if lookups can use it as it is, cuts it to the glyph count when a
// format 12 run goes past the last glyph, or drops it. numGlyphs 0: no maxp to check with.
bool admit_group(cmap_group& g, const cmap_subtable& sub, ULONG numGlyphs, group_faults& faults) {
    if (g.endCharCode < g.startCharCode) return ++faults.reversed, false;
    if (g.endCharCode > kLastUnicode) return ++faults.past_unicode, false;
    if (!sub.groups.empty() && g.startCharCode <= sub.groups.back().endCharCode)
        return ++faults.disorder, false;
    if (numGlyphs == 0) return true;
    if (g.startGlyphID >= numGlyphs) return ++faults.past_glyphs, false;
    if (sub.format == 12 && g.endCharCode - g.startCharCode >= numGlyphs - g.startGlyphID) {
        ++faults.past_glyphs;
        g.endCharCode = g.startCharCode + (numGlyphs - 1 - g.startGlyphID);
    }
    return true;
}

void read_groups(table_reader& in, cmap_subtable& sub, storage_budget& budget, ULONG numGlyphs) {
    sub.reserved = in.u16();
    sub.length32 = in.u32();
    sub.language32 = in.u32();
    sub.length = static_cast<USHORT>(sub.length32);
    sub.language = static_cast<USHORT>(sub.language32);
    if (sub.language32 != 0)
        std::fprintf(stderr, "Warning: encoding %u.%u: version %lu unknown\n", sub.platformID,
                     sub.encodingID, static_cast<unsigned long>(sub.language32));
    const ULONG numGroups = in.u32();
    // Only the groups that both the length and the table hold are read.
    std::size_t room = std::min<std::size_t>(
        in.remaining(), sub.length32 >= kGroupHeaderBytes ? sub.length32 - kGroupHeaderBytes : 0);
    std::size_t count = std::min<std::size_t>(numGroups, room / kGroupBytes);
    if (count < numGroups)
        std::fprintf(stderr, "Warning: cmap %u.%u format %u: %lu groups claimed, %zu present\n",
                     sub.platformID, sub.encodingID, sub.format,
                     static_cast<unsigned long>(numGroups), count);
    budget.take_bytes(count * sizeof(cmap_group));
    sub.groups.reserve(count);
    group_faults faults;
    for (std::size_t i = 0; i < count; ++i) {
        cmap_group g;
        g.startCharCode = in.u32();
        g.endCharCode = in.u32();
        g.startGlyphID = in.u32();
        if (admit_group(g, sub, numGlyphs, faults)) sub.groups.push_back(g);
    }
    report(faults.reversed, sub, "ending below their start dropped");
    report(faults.past_unicode, sub, "with codes above 0x10ffff dropped");
    report(faults.disorder, sub, "out of order or overlapping dropped");
    report(faults.past_glyphs, sub, "reaching past the glyph count dropped or cut");
}

// The length a subtable of a format the record does not hold gives itself.
ULONG stored_length(table_reader in, USHORT format) {
    if (format == 8 || format == 10) return in.skip(2), in.u32();
    if (format == 14) return in.u32();
    return in.u16();
}

void read_stored(table_reader& in, std::size_t start, cmap_subtable& sub, storage_budget& budget) {
    in.seek(start + 2);
    sub.length32 = stored_length(in, sub.format);
    in.seek(start);
    const std::size_t size = std::min<std::size_t>(sub.length32, in.remaining());
    if (size < sub.length32)
        std::fprintf(stderr,
                     "Warning: cmap %u.%u format %u: %lu bytes claimed, %zu in the table kept\n",
                     sub.platformID, sub.encodingID, sub.format,
                     static_cast<unsigned long>(sub.length32), size);
    budget.take_bytes(size);
    sub.stored.resize(size);
    in.read(sub.stored.data(), size);
}

// How many of the claimed encoding records lie inside the table, read from the reader's
// position on; a count that claims more is cut to those, with a warning when `who` is given.
USHORT records_that_fit(const table_reader& in, USHORT claimed, const char* who) {
    constexpr std::size_t kRecordSize = 8;
    const std::size_t fit = in.remaining() / kRecordSize;
    if (claimed <= fit) return claimed;
    if (who)
        std::fprintf(stderr,
                     "Warning: %s: numTables claims %u encoding records, %zu fit in the table\n",
                     who, claimed, fit);
    return static_cast<USHORT>(fit);
}

// Reads the subtable at `offset` from the start of the cmap table for the pair P.E.
// The offset is 32 bits and may point anywhere; the reader confines it to the cmap
// table's own bytes, so a subtable placed past the table's end reads as zeros (as one past
// the end of the file always did) instead of as the bytes of whatever table follows.
std::unique_ptr<cmap_subtable> read_subtable_at(table_reader in, USHORT platformID,
                                                USHORT encodingID, ULONG offset,
                                                storage_budget& budget, ULONG numGlyphs) {
    in.seek(offset);
    try {
        auto sub = std::make_unique<cmap_subtable>();
        sub->platformID = platformID;
        sub->encodingID = encodingID;
        sub->format = in.u16();
        if (is_group_format(sub->format)) {
            read_groups(in, *sub, budget, numGlyphs);
            return sub;
        }
        if (!is_parsed_format(sub->format)) {
            read_stored(in, offset, *sub, budget);
            sub->length = static_cast<USHORT>(sub->length32);
            if (sub->format == 2) check_format2(*sub);
            return sub;
        }
        sub->length = in.u16();
        sub->language = in.u16();
        if (sub->language != 0)
            std::fprintf(stderr, "Warning: encoding %u.%u: version %d unknown\n", platformID,
                         encodingID, sub->language);
        bool ok = sub->format == 4   ? read_format4(in, *sub, budget)
                  : sub->format == 6 ? read_format6(in, *sub, budget)
                                     : read_format0(in, *sub, budget);
        if (!ok) return nullptr;
        return sub;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory!\n");
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
            storage_budget budget;
            return read_subtable_at(in, platformID, encodingID, r.offset, budget,
                                    glyph_count_of(font));
        }
    }
    std::fprintf(stderr, "Cannot find encoding %ld.%ld in cmap table\n", long{platformID},
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
        if (cmap->version != 0)
            std::fprintf(stderr, "do_cmap: strange version %u\n", cmap->version);
        cmap->numTables = records_that_fit(in, cmap->numTables, "do_cmap");
        cmap->subtables.resize(cmap->numTables);
        first_offset.reserve(cmap->numTables);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory!\n");
        return nullptr;
    }
    storage_budget budget;
    const ULONG numGlyphs = glyph_count_of(font);
    for (auto& slot : cmap->subtables) {
        encoding_record r = read_encoding_record(in);
        ULONG offset =
            first_offset.try_emplace(pair_key(r.platformID, r.encodingID), r.offset).first->second;
        slot = read_subtable_at(in, r.platformID, r.encodingID, offset, budget, numGlyphs);
        if (!slot) std::fprintf(stderr, "do_cmap: no %u.%u subtable\n", r.platformID, r.encodingID);
    }
    return cmap;
}

std::unique_ptr<elab_record> parse_cmap(font_object& font) {
    return do_cmap(font);
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

namespace {

USHORT unmappable(USHORT code) {
    std::fprintf(stderr, "Cannot cmap character code 0x%2x!\n", code);
    return 0;
}

// Segments that can be indexed: the count says how many, the arrays how many are there.
// Records built in memory are trusted no more than parsed ones.
std::size_t usable_segments(const cmap_subtable& sub) {
    return std::min({std::size_t{sub.segCount}, sub.endCount.size(), sub.startCount.size(),
                     sub.idDelta.size(), sub.idRangeOffset.size()});
}

// The glyph of `code` in the format 4 segment found for it: the first whose endCount is
// `code` or more, or `segments` (usable_segments) when there is none.
USHORT glyph_in_segment(USHORT code, std::size_t i, std::size_t segments,
                        const cmap_subtable& sub) {
    if (i >= segments) return unmappable(code);
    if (sub.startCount[i] > code) return 0;  // between two segments
    USHORT delta = static_cast<USHORT>(sub.idDelta[i]);
    if (sub.idRangeOffset[i] == 0) return static_cast<USHORT>(code + delta);
    // idRangeOffset counts bytes from its own entry; glyphIdArray follows the
    // idRangeOffset array in the file, so subtract the entries left to its end.
    long long index = static_cast<long long>(sub.idRangeOffset[i] / 2) +
                      (code - sub.startCount[i]) -
                      (static_cast<long long>(sub.segCount) - static_cast<long long>(i));
    if (index < 0 || index >= static_cast<long long>(sub.glyphIdCount) ||
        static_cast<std::size_t>(index) >= sub.glyphIdArray.size())
        return unmappable(code);
    USHORT glyph = sub.glyphIdArray[static_cast<std::size_t>(index)];
    return glyph == 0 ? 0 : static_cast<USHORT>(glyph + delta);
}

USHORT segment_glyph(USHORT code, const cmap_subtable& sub) {
    std::size_t segments = usable_segments(sub);
    std::size_t i = 0;
    while (i < segments && sub.endCount[i] < code) ++i;
    return glyph_in_segment(code, i, segments, sub);
}

// Groups are ascending and disjoint, so the one holding a code is found by bisection.
USHORT group_glyph(ULONG code, const cmap_subtable& sub) {
    auto it = std::partition_point(sub.groups.begin(), sub.groups.end(),
                                   [code](const cmap_group& g) { return g.endCharCode < code; });
    if (it == sub.groups.end() || it->startCharCode > code) return 0;
    ULONG glyph =
        sub.format == 12 ? it->startGlyphID + (code - it->startCharCode) : it->startGlyphID;
    return glyph <= 0xFFFF ? static_cast<USHORT>(glyph) : 0;
}

}  // namespace

bool maps_codes(const cmap_subtable& subtable) {
    return is_parsed_format(subtable.format) || (subtable.format == 2 && !subtable.stored.empty());
}

void report_unmappable(const font_object& font, const cmap_subtable& subtable, const char* prefix) {
    std::fflush(stdout);
    std::fprintf(
        stderr,
        "%s%s: cmap %d.%d is a format %d subtable, which kestrix cannot map codes through\n",
        prefix, font.font_path.c_str(), static_cast<int>(subtable.platformID),
        static_cast<int>(subtable.encodingID), static_cast<int>(subtable.format));
}

USHORT char_to_glyph(ULONG code, const cmap_subtable* subtable) {
    if (subtable && is_group_format(subtable->format))
        return code == 0xFFFF ? 0 : group_glyph(code, *subtable);
    USHORT c = static_cast<USHORT>(code);
    if (c == 0xFFFF) return 0;
    if (!subtable) {
        std::fprintf(stderr, "No cmap!\n");
        return 0;
    }
    const cmap_subtable& sub = *subtable;
    switch (sub.format) {
        case 0:
            return c < 256 && c < sub.glyphIdArray.size() ? sub.glyphIdArray[c] : 0;
        case 6: {
            if (c < sub.firstCode) return 0;
            std::size_t k = c - sub.firstCode;
            return k < sub.glyphIdCount && k < sub.glyphIdArray.size() ? sub.glyphIdArray[k] : 0;
        }
        case 4:
            return segment_glyph(c, sub);
        case 2:
            if (!sub.stored.empty()) {
                const std::optional<USHORT> glyph = format2_glyph(sub.stored, c);
                return glyph ? *glyph : unmappable(c);
            }
            [[fallthrough]];
        default:
            if (!sub.stored.empty()) return 0;  // kept as stored bytes: maps nothing
            std::fprintf(stderr, "No cmap!\n");
            return 0;
    }
}

code_glyph_map::code_glyph_map(const cmap_subtable& subtable) : subtable_(subtable) {
    if (subtable.format != 4) return;
    // Code c belongs to the first segment whose endCount is c or more: walking the segments
    // in order, each one takes the codes from just above the highest endCount before it up
    // to its own endCount.
    segments_ = usable_segments(subtable);
    first_segment_.assign(0x10000, kNoSegment);
    std::uint32_t next_code = 0;
    for (std::size_t i = 0; i < segments_ && next_code <= 0xFFFF; ++i)
        for (; next_code <= subtable.endCount[i]; ++next_code)
            first_segment_[next_code] = static_cast<std::uint32_t>(i);
}

USHORT code_glyph_map::glyph_of(ULONG code) const {
    const cmap_subtable& sub = subtable_;
    if (sub.format != 4) return char_to_glyph(code, &sub);  // formats 0 and 6 index directly
    const auto c = static_cast<USHORT>(code);
    if (c == 0xFFFF) return 0;
    const std::uint32_t i = first_segment_[c];
    return glyph_in_segment(c, i == kNoSegment ? segments_ : i, segments_, sub);
}
