#include "writer/output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "font/new_file.h"
#include "font/sfnt.h"
#include "writer/table_writers.h"
#include "writer/web_font.h"

namespace {

constexpr long kCheckSumAdjustmentOffset = 8;  // within head
constexpr unsigned long long kMaxFileOffset = 0xFFFFFFFFull;

using table_writer = long (*)(font_object&, mem_stream&, long);

struct regenerated_table {
    const char* tag;
    table_writer write;
};

// Tables written from their elaborated records; every other table is copied.
const regenerated_table kRegenerated[] = {
    {"cmap", generate_cmap}, {"name", generate_name}, {"OS/2", generate_os2},
    {"hhea", generate_hhea}, {"hmtx", generate_hmtx},
};

table_writer regenerating_writer(const char* tag) {
    for (const regenerated_table& t : kRegenerated)
        if (std::strcmp(t.tag, tag) == 0) return t.write;
    return nullptr;
}

// The table's bytes at data_offset: imported bytes first, then a regenerated table, then
// a copy from the source file. Returns the length written or -1.
long write_table_data(mem_stream& out, font_object& font, table_entry& entry, long data_offset) {
    if (entry.ImportPtr)
        return generate_raw(entry.ImportPtr.get(), entry.length, out, data_offset, *font.messages);
    if (table_writer write = regenerating_writer(entry.tag)) return write(font, out, data_offset);
    return file_copy(font.in_stream, static_cast<long>(entry.offset), entry.length, out,
                     data_offset, *font.messages);
}

void write_offset_table(mem_stream& out, const offset_table& otable) {
    USHORT n = otable.numTables;
    vwrite(otable.version, 4, out);
    vwrite(n, 2, out);
    vwrite(search_range_for(n), 2, out);
    vwrite(entry_selector_for(n), 2, out);
    vwrite(range_shift_for(n), 2, out);
}

std::size_t directory_record(std::size_t index) {
    return kOffsetTableSize + kDirectoryEntrySize * index;
}
std::size_t directory_end(USHORT num_tables) {
    return directory_record(num_tables);
}

void write_directory_record(mem_stream& out, const table_record& record) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<BYTE>(record.tag[i]));
    vwrite(record.checkSum, 4, out);
    vwrite(record.offset, 4, out);
    vwrite(record.length, 4, out);
}

// The sum of a directory record's four words.
ULONG record_sum(const table_record& record) {
    ULONG tag = 0;
    for (int i = 0; i < 4; ++i) tag = tag << 8 | static_cast<BYTE>(record.tag[i]);
    return tag + record.checkSum + record.offset + record.length;
}

// Writes one table at data_offset and pads it to 4 bytes; its directory record (the
// checksum covering the padding), or nothing after a message.
std::optional<table_record> write_table(mem_stream& out, font_object& font, table_entry& entry,
                                        long data_offset, int& pad) {
    pad = 0;
    long length = write_table_data(out, font, entry, data_offset);
    if (length < 0) return std::nullopt;
    if (!out.seek(data_offset + length)) say(*font.messages, "Cannot seek on output file\n");
    pad = pad_to_4(out);
    table_record record;
    std::memcpy(record.tag, entry.tag, sizeof record.tag);
    record.checkSum = checksum_of(out, static_cast<std::size_t>(data_offset),
                                  static_cast<std::size_t>(length + pad));
    record.offset = static_cast<ULONG>(data_offset);
    record.length = static_cast<ULONG>(length);
    return record;
}

}  // namespace

int pad_to_4(mem_stream& out) {
    long position = out.tell();
    if (position < 0) return 0;
    int count = static_cast<int>((4 - position % 4) % 4);
    for (int i = 0; i < count; ++i) out.put(0);
    return count;
}

long generate_raw(const std::vector<BYTE>* data, ULONG length, mem_stream& out, long offset,
                  message_sink& messages) {
    if (!data || offset < 0) return -1;
    if (!out.seek(offset)) {
        say(messages, "generate_raw: cannot seek\n");
        return -1;
    }
    if (length > data->size()) {
        say(messages, "generate_raw: cannot write to file\n");
        return -1;
    }
    out.write(data->data(), length);
    return static_cast<long>(length);
}

long file_copy(mem_stream& in, long in_offset, ULONG count, mem_stream& out, long out_offset,
               message_sink& messages) {
    if (!in.seek(in_offset)) {
        say(messages, "file_copy: cannot seek on input to %ld\n", in_offset);
        return -1;
    }
    if (!out.seek(out_offset)) {
        say(messages, "file_copy: cannot seek on output to %ld\n", out_offset);
        return -1;
    }
    // A directory entry may claim bytes beyond the end of the source file.
    if (in.remaining() < count) {
        say(messages, "file_copy: end of file on input\n");
        return -1;
    }
    out.write(in.contents().data() + in_offset, count);
    in.seek(in_offset + static_cast<long>(count));
    return static_cast<long>(count);
}

long generate_table(mem_stream& out, font_object& font, table_entry& entry, long data_offset,
                    long dir_offset, int& pad) {
    std::optional<table_record> record = write_table(out, font, entry, data_offset, pad);
    if (!record) return -1;
    if (dir_offset == 0) return static_cast<long>(record->length);
    if (!out.seek(dir_offset)) {
        say(*font.messages, "generate_table: cannot seek\n");
        return -1;
    }
    write_directory_record(out, *record);
    return static_cast<long>(record->length);
}

namespace {

const BYTE kPadding[3] = {};

// The output file as consecutive pieces: the offset table and directory, then each table
// followed by its padding. A copied table is a view of the loaded file and an imported one
// of its bytes; regenerated tables and head, whose checkSumAdjustment is set here, are
// owned by the layout. Nothing is gathered into one image unless a container needs it.
class font_layout {
  public:
    std::vector<std::span<const BYTE>> pieces;

    // Keeps bytes for the rest of the layout's life; the view of them.
    std::span<const BYTE> keep(std::vector<BYTE> bytes) {
        owned_.push_back(std::make_unique<std::vector<BYTE>>(std::move(bytes)));
        return *owned_.back();
    }
    std::vector<BYTE>& header() { return header_; }
    // Replaces piece `index` by an owned copy that may be changed.
    std::vector<BYTE>& own(std::size_t index) {
        owned_.push_back(
            std::make_unique<std::vector<BYTE>>(pieces[index].begin(), pieces[index].end()));
        pieces[index] = *owned_.back();
        return *owned_.back();
    }

  private:
    std::vector<BYTE> header_;
    std::vector<std::unique_ptr<std::vector<BYTE>>> owned_;
};

// The bytes of a table regenerated from its record; the writer sees an output of its own,
// starting at offset 0, which keeps the 4-byte alignment of the table's place in the file.
std::optional<std::vector<BYTE>> regenerated_bytes(table_writer write, font_object& font) {
    mem_stream table;
    long length = write(font, table, 0);
    if (length < 0) return std::nullopt;
    table.bytes().resize(static_cast<std::size_t>(length));  // a gap left at the end is zeros
    return std::move(table.bytes());
}

// The table's bytes as gen writes them: imported bytes first, then a regenerated table,
// then the bytes of the loaded file (with the messages of generate_raw and file_copy).
std::optional<std::span<const BYTE>> table_bytes(font_layout& layout, font_object& font,
                                                 const table_entry& entry) {
    if (entry.ImportPtr) {
        if (entry.length > entry.ImportPtr->size()) {
            say(*font.messages, "generate_raw: cannot write to file\n");
            return std::nullopt;
        }
        return std::span<const BYTE>(entry.ImportPtr->data(), entry.length);
    }
    if (table_writer write = regenerating_writer(entry.tag)) {
        std::optional<std::vector<BYTE>> bytes = regenerated_bytes(write, font);
        if (!bytes) return std::nullopt;
        return layout.keep(std::move(*bytes));
    }
    // A directory entry may claim bytes beyond the end of the source file.
    const std::span<const BYTE> file = font.in_stream.contents();
    const std::size_t available = entry.offset < file.size() ? file.size() - entry.offset : 0;
    if (available < entry.length) {
        say(*font.messages, "file_copy: end of file on input\n");
        return std::nullopt;
    }
    if (entry.length == 0) return std::span<const BYTE>();
    return file.subspan(entry.offset, entry.length);
}

void put_word(std::vector<BYTE>& bytes, std::size_t at, ULONG value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<BYTE>(value >> (24 - 8 * k));
}

ULONG word_in(const std::vector<BYTE>& bytes, std::size_t at) {
    return checksum_of(std::span<const BYTE>(bytes).subspan(at, 4));
}

// Stores head's checkSumAdjustment so that the whole file sums to 0xB1B0AFBA, after taking
// the stale adjustment out of head's checksum; head_piece is the piece of head's bytes.
// Every table is padded and checksummed, and the tables follow the directory without gaps,
// so the file's sum is that of the offset table, the directory records and the tables'
// checksums: no need to read the tables again.
void set_checksum_adjustment(font_layout& layout, const offset_table& otable,
                             std::vector<table_record>& directory, std::size_t head,
                             std::size_t head_piece) {
    std::vector<BYTE>& head_bytes = layout.own(head_piece);
    // The TrueType rule for head's own checksum: taken with checkSumAdjustment set to 0,
    // so that a font written again from its own output gets the same checksum and the same
    // adjustment. The table was summed as copied, stale adjustment included.
    directory[head].checkSum -= word_in(head_bytes, kCheckSumAdjustmentOffset);
    mem_stream offsets;
    write_offset_table(offsets, otable);
    ULONG sum = checksum_of(offsets.bytes());
    for (const table_record& record : directory) sum += record_sum(record) + record.checkSum;
    put_word(head_bytes, kCheckSumAdjustmentOffset, kChecksumMagic - sum);
}

// The offset table and directory, at the front of the layout.
void write_header(font_layout& layout, const offset_table& otable,
                  const std::vector<table_record>& directory) {
    mem_stream header;
    write_offset_table(header, otable);
    for (const table_record& record : directory) write_directory_record(header, record);
    layout.header() = std::move(header.bytes());
    layout.pieces.front() = layout.header();
}

// Lays the font out as assemble_font writes it; 0 or -1 after a message. A layout whose
// head is missing or too short keeps its adjustment as it was, after a message naming
// output_name.
int lay_out_font(font_object& font, font_layout& layout, const char* output_name) {
    if (!font.otable) return -1;
    USHORT num_tables = font.otable->numTables;
    if (font.table_dir.size() < num_tables) return -1;
    layout.pieces.reserve(1 + 2 * std::size_t{num_tables});
    layout.pieces.emplace_back();  // the header, written once the records are known

    // The directory as written; head's record is the last one tagged head.
    std::vector<table_record> directory;
    directory.reserve(num_tables);
    std::size_t head = num_tables, head_piece = 0;
    unsigned long long data_position = directory_end(num_tables);
    for (USHORT i = 0; i < num_tables; ++i) {
        const table_entry& entry = font.table_dir[i];
        std::optional<std::span<const BYTE>> bytes = table_bytes(layout, font, entry);
        if (!bytes) return -1;
        const std::size_t pad = (4 - bytes->size() % 4) % 4;
        if (std::strcmp(entry.tag, "head") == 0) {
            head = i;
            head_piece = layout.pieces.size();
        }
        layout.pieces.push_back(*bytes);
        if (pad != 0) layout.pieces.emplace_back(kPadding, pad);
        table_record record;
        std::memcpy(record.tag, entry.tag, sizeof record.tag);
        record.checkSum = checksum_of(*bytes);
        record.offset = static_cast<ULONG>(data_position);
        record.length = static_cast<ULONG>(bytes->size());
        directory.push_back(record);
        data_position += bytes->size() + pad;
        if (data_position > kMaxFileOffset) {
            say(*font.messages, "generate_font: output exceeds the 4 GB a font file can address\n");
            return -1;
        }
    }

    // The adjustment lives in bytes 8 to 11 of head; a shorter head has no room for it.
    const bool adjustable =
        head != num_tables && directory[head].length >= kCheckSumAdjustmentOffset + 4;
    if (adjustable) set_checksum_adjustment(layout, *font.otable, directory, head, head_piece);
    write_header(layout, *font.otable, directory);
    if (!adjustable) say(*font.messages, "%s: cannot locate output file checksum\n", output_name);
    return 0;
}

}  // namespace

int assemble_font(font_object& font, mem_stream& out, const char* output_name) {
    font_layout layout;
    if (lay_out_font(font, layout, output_name) != 0) return -1;
    std::size_t size = 0;
    for (std::span<const BYTE> piece : layout.pieces) size += piece.size();
    out.bytes().reserve(size);
    out.rewind();
    for (std::span<const BYTE> piece : layout.pieces) out.write(piece.data(), piece.size());
    return 0;
}

int generate_font(const char* path, font_object& font, existing_file existing) {
    std::unique_ptr<new_file> output = new_file::create(path, "w+b", *font.messages, existing);
    if (!output) return -1;
    if (container_for_path(path) == output_container::sfnt) {
        // The tables copied unchanged go from the loaded file straight to the output.
        font_layout layout;
        if (lay_out_font(font, layout, path) != 0) return -1;  // the reservation removes itself
        return output->commit(layout.pieces);
    }
    mem_stream out;
    if (assemble_font(font, out, path) != 0) return -1;
    std::optional<std::vector<BYTE>> file =
        in_container_for(path, std::move(out.bytes()), *font.messages);
    if (!file) return -1;
    return output->commit(*file);
}
