// Writing a font file: the layout of the output, the per-table dispatch, the 4-byte
// padding, the directory checksums and head's checkSumAdjustment.
//
// The file is laid out as pieces: the tables gen copies stay where they lie in the loaded
// file and go from there to the output, checksummed on the way; regenerated tables, imported
// ones and head are held apart. Only a complete file ever reaches the output path
// (font/new_file.h); a web font is first assembled whole for its encoder.
#pragma once

#include <vector>

#include "font/fileio.h"
#include "font/font.h"
#include "font/types.h"

// Writes the font to a new file at path ("-": the standard output), in the container the
// name asks for (writer/web_font.h), or in place of the file there when told to replace it.
// 0, or -1 after the failure was reported; a failed run leaves the path as it was.
int generate_font(const char* path, font_object& font,
                  existing_file existing = existing_file::refuse);

// Assembles the complete font file in out (from position 0): offset table, directory,
// tables, checksums. output_name is only used in messages. 0 or -1.
int assemble_font(font_object& font, mem_stream& out, const char* output_name);

// Writes one table at data_offset and pads it to 4 bytes; with a non-zero dir_offset also
// its directory record there. Returns the table's length without padding, or -1; pad
// receives the number of padding bytes.
long generate_table(mem_stream& out, font_object& font, table_entry& entry, long data_offset,
                    long dir_offset, int& pad);

// Writes length bytes of data at offset; length, or -1.
long generate_raw(const std::vector<BYTE>* data, ULONG length, mem_stream& out, long offset,
                  message_sink& messages);

// Copies count bytes from in at in_offset to out at out_offset; count, or -1.
long file_copy(mem_stream& in, long in_offset, ULONG count, mem_stream& out, long out_offset,
               message_sink& messages);

// Writes zeros up to the next multiple of 4; returns how many (0 to 3).
int pad_to_4(mem_stream& out);

// One directory record as written: where a table went in the output and its checksum.
struct table_record {
    char tag[4] = {};
    ULONG checkSum = 0;
    ULONG offset = 0;
    ULONG length = 0;
};
