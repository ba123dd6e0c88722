#include "font/font.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "font/container.h"
#include "font/sfnt.h"

namespace {

// Directory entries that fit in the file after the offset table.
std::size_t directory_entries_in(std::size_t file_size) {
    return file_size > kOffsetTableSize ? (file_size - kOffsetTableSize) / kDirectoryEntrySize : 0;
}

// Reports one failed offset-table check; true when loading must stop.
bool offset_check_fails(const font_object& font, const char* reason, bool forced_interpretation) {
    say(*font.messages, "Warning: %s: invalid offset table (%s)\n", font.font_path.c_str(), reason);
    return !forced_interpretation;
}

// The four bytes at p as one big-endian word (compilers make this a load and a swap).
inline ULONG big_endian_word(const BYTE* p) {
    return (ULONG{p[0]} << 24) | (ULONG{p[1]} << 16) | (ULONG{p[2]} << 8) | p[3];
}

std::string printable_tag(const BYTE* tag) {
    std::string text;
    for (int k = 0; k < 4; ++k)
        text += tag[k] >= 0x20 && tag[k] < 0x7F ? static_cast<char>(tag[k]) : '?';
    return text;
}

// The first table, by offset, that the directory places past the end of the file, as the
// text of a message; empty when every table lies inside it. A directory that is itself cut
// short is left to the offset-table checks.
std::string cut_table(std::span<const BYTE> file) {
    const std::size_t size = file.size();
    if (size < kOffsetTableSize) return {};
    const std::size_t numTables = std::size_t{file[4]} << 8 | file[5];
    if (numTables > directory_entries_in(size)) return {};
    std::size_t first = numTables;
    ULONG first_offset = 0;
    for (std::size_t i = 0; i < numTables; ++i) {
        const std::size_t at = kOffsetTableSize + i * kDirectoryEntrySize;
        const ULONG offset = big_endian_word(file.data() + at + 8),
                    length = big_endian_word(file.data() + at + 12);
        if (std::uint64_t{offset} + length > size &&
            (first == numTables || offset < first_offset)) {
            first = i;
            first_offset = offset;
        }
    }
    if (first == numTables) return {};
    const std::size_t at = kOffsetTableSize + first * kDirectoryEntrySize;
    return "table " + printable_tag(file.data() + at) + " (offset " +
           std::to_string(big_endian_word(file.data() + at + 8)) + ", length " +
           std::to_string(big_endian_word(file.data() + at + 12)) +
           ") runs past the end of the file (" + std::to_string(size) + " bytes)";
}

// Reports a file cut short, once, before anything read from it can mislead. True when
// loading must stop.
bool truncation_stops_load(const font_object& font, bool forced_interpretation) {
    const std::string cut = cut_table(font.in_stream.contents());
    if (cut.empty()) return false;
    say(*font.messages, "%s\"%s\" is truncated: %s%s\n",
        forced_interpretation ? "Warning: " : "load_font: ", font.font_path.c_str(), cut.c_str(),
        forced_interpretation ? "; its missing bytes read as 0" : "");
    return !forced_interpretation;
}

// The file behind f mapped, when it is a plain font file and the font asked for is its
// only one; nothing otherwise, or when it cannot be mapped.
std::shared_ptr<const mapped_file> mapped_plain_font(std::FILE* f, const char* path,
                                                     const load_options& options) {
    if (options.face.value_or(0) != 0 || known_to_exceed(f)) return nullptr;
    std::shared_ptr<const mapped_file> mapping = mapped_file::map(f, path);
    if (!mapping || container_of(mapping->bytes()) != font_container::sfnt) return nullptr;
    return mapping;
}

}  // namespace

USHORT entry_selector_for(USHORT n) {
    USHORT count = 0;
    for (USHORT m = n >> 1; m != 0; m >>= 1) ++count;
    return count;
}

USHORT search_range_for(USHORT n) {
    return static_cast<USHORT>(1u << (entry_selector_for(n) + 4));
}

USHORT range_shift_for(USHORT n) {
    return static_cast<USHORT>(static_cast<unsigned>(n) * 16u - search_range_for(n));
}

ULONG file_checksum(mem_stream& stream, long offset, ULONG length, message_sink& messages) {
    if (!stream.seek(offset)) {
        say_errno(messages, "output font file");
        say(messages, "Cannot seek to offset %ld on \"%s\"", offset, "output font file");
        return 0;
    }
    ULONG sum = checksum_of(stream, static_cast<std::size_t>(offset), length);
    std::size_t words = (static_cast<std::size_t>(length) + 3) / 4;
    stream.seek(offset + static_cast<long>(words * 4));
    return sum;
}

ULONG checksum_of(const mem_stream& stream, std::size_t offset, std::size_t length) {
    // Whole words, read straight from the buffer; bytes past the end of the data count as
    // zero, as the TrueType standard counts the padding of a last partial word.
    const std::span<const BYTE> b = stream.contents();
    if (offset >= b.size()) return 0;
    std::size_t padded = length + (4 - length % 4) % 4;
    return checksum_of(b.subspan(offset, std::min(padded, b.size() - offset)));
}

// Loading sums the whole file and gen every table it writes, so the loop is built twice on
// x86-64, once for processors with AVX2 (whose byte shuffle swaps eight words at once), and
// the one for the processor at hand is picked when the program starts. (clang, which builds
// only the fuzz targets, wants every declaration of a cloned function to say so.)
#if defined(__x86_64__) && defined(__has_attribute) && !defined(__clang__)
#if __has_attribute(target_clones)
#define KESTRIX_CLONE_FOR_AVX2 __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef KESTRIX_CLONE_FOR_AVX2
#define KESTRIX_CLONE_FOR_AVX2
#endif

KESTRIX_CLONE_FOR_AVX2 ULONG checksum_of(std::span<const BYTE> bytes) {
    const BYTE* p = bytes.data();
    const std::size_t end = bytes.size();
    ULONG sum = 0;
    std::size_t i = 0;
    for (; i + 4 <= end; i += 4) sum += big_endian_word(p + i);  // vectorised by the compiler
    for (int shift = 24; i < end; ++i, shift -= 8) sum += ULONG{p[i]} << shift;
    return sum;
}

std::unique_ptr<offset_table> read_offset_table(font_object& font, bool forced_interpretation) {
    auto ot = std::make_unique<offset_table>();
    mem_stream& s = font.in_stream;
    vread(ot->version, 4, s);
    vread(ot->numTables, 2, s);
    vread(ot->searchRange, 2, s);
    vread(ot->entrySelector, 2, s);
    vread(ot->rangeShift, 2, s);

    struct check {
        bool passed;
        const char* reason;
    };
    const check checks[] = {
        {ot->version == kTrueTypeVersion || ot->version == kTagTrue || ot->version == kTagOtto,
         "not TrueType 1.0 format"},
        {ot->numTables != 0, "numTables=0"},
        {ot->entrySelector == entry_selector_for(ot->numTables), "inconsistent entrySelector"},
        {ot->searchRange == search_range_for(ot->numTables), "inconsistent searchRange"},
        {ot->rangeShift == range_shift_for(ot->numTables), "inconsistent rangeShift"},
        {ot->numTables <= directory_entries_in(s.size()), "table directory truncated"},
    };
    for (const check& c : checks)
        if (!c.passed && offset_check_fails(font, c.reason, forced_interpretation)) return nullptr;
    return ot;
}

bool read_table_directory(mem_stream& stream, const offset_table& otable,
                          std::vector<table_entry>& dir) {
    dir.clear();
    // Only the entries that lie inside the file: a directory that runs past its end has
    // been reported with the offset-table checks, and forced interpretation keeps the rest.
    dir.resize(std::min<std::size_t>(otable.numTables, directory_entries_in(stream.size())));
    for (table_entry& e : dir) {
        BYTE tag[4];
        stream.read(tag, 4);
        std::memcpy(e.tag, tag, 4);
        e.tag[4] = '\0';
        vread(e.checkSum, 4, stream);
        vread(e.offset, 4, stream);
        vread(e.length, 4, stream);
        e.source_offset = e.offset;
        e.source_length = e.length;
    }
    return true;
}

std::unique_ptr<font_object> read_font(const char* path, const load_options& options) {
    if (!path) return nullptr;
    auto font = std::make_unique<font_object>();
    font->font_path = path;
    font->notices = &options.notices;
    font->messages = &options.messages;
    message_sink& messages = options.messages;
    bool checksum_applies = true;
    font_container container = font_container::unknown;

    {
        file_handle f = open_file(path, "rb", messages);
        if (!f) {
            say(messages, "load_font: cannot open file\n");
            return nullptr;
        }
        // A plain font file is read where it lies, without a copy; any other is decoded.
        std::shared_ptr<const mapped_file> mapping = mapped_plain_font(f.get(), path, options);
        auto bytes = mapping ? std::make_optional<std::vector<BYTE>>()
                             : read_all(f.get(), path, messages);
        if (!bytes) {
            say_errno(messages, path);
            say(messages, "load_font: cannot open file\n");
            return nullptr;
        }
        // A collection's font or a web font's sfnt is read as a plain file would be.
        std::string error;
        auto face = mapping ? std::make_optional<opened_face>()
                            : open_face(std::move(*bytes), options.face.value_or(0), path, error);
        if (!face) {
            say(messages, "load_font: %s\n", error.c_str());
            return nullptr;
        }
        if (face->face_count > 1 && !options.face)
            messages.take(collection_notice(path, face->face_count));
        container = face->container;
        if (container == font_container::unknown)
            say(messages,
                "load_font: \"%s\" is not a font file; kestrix reads TrueType and "
                "OpenType fonts, font collections, WOFF and WOFF2\n",
                path);
        checksum_applies = face->is_file_itself;
        font->in_stream =
            mapping ? mem_stream(std::move(mapping)) : mem_stream(std::move(face->sfnt));
    }
    // A collection's font or a web font's sfnt was laid out from tables checked against
    // their file; a plain file may have been cut short.
    if (checksum_applies && container == font_container::sfnt &&
        truncation_stops_load(*font, options.forced_interpretation))
        return nullptr;

    mem_stream& s = font->in_stream;
    // The whole-file sum tells something only about a file read as it is: a collection's
    // font is laid out here, away from the tables it shares.
    if (checksum_applies && file_checksum(s, 0, file_size(s), messages) != kChecksumMagic)
        say(messages, "Warning: %s: invalid checksum, file possibly not a TrueType font\n",
            font->font_path.c_str());
    s.rewind();

    font->otable = read_offset_table(*font, options.forced_interpretation);
    if (!font->otable) {
        say(messages, "load_font: cannot read offset table\n");
        return nullptr;
    }
    if (!read_table_directory(s, *font->otable, font->table_dir)) {
        say(messages, "load_font: cannot read table directory\n");
        return nullptr;
    }
    return font;
}

std::size_t find_table_index(const font_object& font, const char* tag) {
    std::size_t n = font.table_dir.size();
    if (!tag) return n;
    for (std::size_t i = 0; i < n; ++i)
        if (std::strcmp(font.table_dir[i].tag, tag) == 0) return i;
    return n;
}

table_entry* find_table(font_object& font, const char* tag, int complain) {
    std::size_t index = find_table_index(font, tag);
    if (index < font.table_dir.size()) return &font.table_dir[index];
    if (complain)
        say(*font.messages, "No \"%s\" table in font \"%s\"!\n", tag ? tag : "",
            font.font_path.c_str());
    return nullptr;
}

void free_font(std::unique_ptr<font_object> font) {
    font.reset();
}
