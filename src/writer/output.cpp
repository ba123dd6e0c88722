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

ULONG word_at(const mem_stream& stream, std::size_t offset) {
    return checksum_of(stream, offset, 4);
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

// Room for a copy of the source plus the directory; regenerated tables are of similar
// size, and the vector still grows if they are not.
void reserve_output(mem_stream& out, const font_object& font, USHORT num_tables) {
    out.bytes().reserve(font.in_stream.size() + kOffsetTableSize +
                        kDirectoryEntrySize * static_cast<std::size_t>(num_tables));
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
    out.write(in.bytes().data() + in_offset, count);
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

int set_checksum_adjustment(mem_stream& out, std::vector<table_record>& directory, std::size_t head,
                            message_sink& messages) {
    if (head >= directory.size()) return -1;
    table_record& head_record = directory[head];
    long field = static_cast<long>(head_record.offset) + kCheckSumAdjustmentOffset;
    if (!out.seek(field)) {
        say_errno(messages, "output file");
        say(messages, "Cannot seek to checkSumAdjustment location\n");
        return -1;
    }
    // The TrueType rule for head's own checksum: taken with checkSumAdjustment set to 0,
    // so that a font written again from its own output gets the same checksum and the same
    // adjustment. The table was summed as copied, stale adjustment included.
    ULONG stale = word_at(out, static_cast<std::size_t>(field));
    vwrite(ULONG{0}, 4, out);
    head_record.checkSum -= stale;
    out.seek(static_cast<long>(directory_record(head)));
    write_directory_record(out, head_record);

    ULONG size = file_size(out);
    if (size % 4 != 0) {
        say(messages, "File \"%s\" is not multiple of 4 bytes!", "output file");
        return -1;
    }
    // Every table is padded and checksummed, and the tables follow the directory without
    // gaps, so the file's sum is that of the offset table, the directory records and the
    // tables' checksums: no need to read the tables again.
    ULONG sum = checksum_of(out, 0, kOffsetTableSize);
    for (const table_record& record : directory) sum += record_sum(record) + record.checkSum;

    if (!out.seek(field)) {
        say(messages, "Cannot seek to loc %ld on \"%s\"\n", field, "output file");
        return -1;
    }
    vwrite(static_cast<ULONG>(kChecksumMagic - sum), 4, out);
    return 0;
}

int assemble_font(font_object& font, mem_stream& out, const char* output_name) {
    if (!font.otable) return -1;
    USHORT num_tables = font.otable->numTables;
    if (font.table_dir.size() < num_tables) return -1;
    reserve_output(out, font, num_tables);
    out.rewind();
    write_offset_table(out, *font.otable);
    pad_to_4(out);

    // The directory as written; head's record is the last one tagged head.
    std::vector<table_record> directory;
    directory.reserve(num_tables);
    std::size_t head = num_tables;
    long data_position = static_cast<long>(directory_end(num_tables));
    for (USHORT i = 0; i < num_tables; ++i) {
        table_entry& entry = font.table_dir[i];
        int pad = 0;
        std::optional<table_record> record = write_table(out, font, entry, data_position, pad);
        if (!record) return -1;
        out.seek(static_cast<long>(directory_record(i)));
        write_directory_record(out, *record);
        if (std::strcmp(entry.tag, "head") == 0) head = i;
        directory.push_back(*record);
        data_position += static_cast<long>(record->length) + pad;
        if (static_cast<unsigned long long>(data_position) > kMaxFileOffset) {
            say(*font.messages, "generate_font: output exceeds the 4 GB a font file can address\n");
            return -1;
        }
    }

    // The adjustment lives in bytes 8 to 11 of head; a shorter head has no room for it.
    if (head == num_tables || directory[head].length < kCheckSumAdjustmentOffset + 4) {
        say(*font.messages, "%s: cannot locate output file checksum\n", output_name);
        return 0;
    }
    return set_checksum_adjustment(out, directory, head, *font.messages);
}

int generate_font(const char* path, font_object& font, existing_file existing) {
    std::unique_ptr<new_file> output = new_file::create(path, "w+b", *font.messages, existing);
    if (!output) return -1;
    mem_stream out;
    if (assemble_font(font, out, path) != 0) return -1;  // the reservation removes itself
    std::optional<std::vector<BYTE>> file =
        in_container_for(path, std::move(out.bytes()), *font.messages);
    if (!file) return -1;
    return output->commit(*file);
}
