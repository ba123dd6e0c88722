// The import and export commands: one table's bytes from and to a file of their own.
//
// An exported file holds the table exactly as gen would write it into a font, padded with
// zeros to a multiple of 4 bytes; an imported file's bytes replace the table in later
// output (gen, export) while the parsed record stays as loaded.
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "commands/command_util.h"
#include "font/fileio.h"
#include "font/font.h"
#include "interp/interp.h"
#include "interp/stack.h"
#include "writer/new_file.h"
#include "writer/output.h"

using commands::fail;

namespace {

struct table_operands {
    font_object* font = nullptr;
    const char* tag = nullptr;
    const char* path = nullptr;
};

// Pops the file name, the tag and the font; 0, or -1 after the command's message.
int pop_table_operands(const char* command, table_operands& out) {
    stack_item file_item, tag_item, font_item;
    if (!pop_item(file_item) || !pop_item(tag_item) || !pop_item(font_item)) {
        std::fprintf(stderr, "%s: stack is empty\n", command);
        return -1;
    }
    if (font_item.type != ITEM_FONT || !font_item.font()) {
        std::fprintf(stderr, "%s: expected font object\n", command);
        return -1;
    }
    if (file_item.type != ITEM_STRING || !file_item.str()) {
        std::fprintf(stderr, "%s: expected file name\n", command);
        return -1;
    }
    if (tag_item.type != ITEM_STRING || !tag_item.str()) {
        std::fprintf(stderr, "%s: expected table name\n", command);
        return -1;
    }
    out = {font_item.font(), tag_item.str(), file_item.str()};
    return 0;
}

}  // namespace

int import_command() {
    table_operands op;
    if (pop_table_operands("import", op) != 0) return -1;
    table_entry* entry = find_table(*op.font, op.tag, 1);
    if (!entry) return -1;

    std::optional<std::vector<BYTE>> bytes;
    {
        file_handle in = open_file(op.path, "rb");
        if (!in) {
            std::fprintf(stderr, "import: cannot open \"%s\" to read\n", op.path);
            return -1;
        }
        bytes = read_all(in.get());
    }
    if (!bytes) {
        std::fprintf(stderr, "import: cannot read \"%s\"\n", op.path);
        return -1;
    }
    if (bytes->empty()) {
        std::fprintf(stderr, "import: file \"%s\" is empty\n", op.path);
        return -1;
    }
    if (bytes->size() > 0xFFFFFFFFu) {  // a table's length is 32 bits
        std::fprintf(stderr, "import: file \"%s\" is too large for a table\n", op.path);
        return -1;
    }
    entry->length = static_cast<ULONG>(bytes->size());
    entry->ImportPtr = std::make_unique<std::vector<BYTE>>(std::move(*bytes));
    entry->checkSum = 0;
    entry->offset = 0;
    push_item(op.font, ITEM_FONT);
    return 0;
}

int export_command() {
    table_operands op;
    if (pop_table_operands("export", op) != 0) return -1;
    table_entry* entry = find_table(*op.font, op.tag, 1);
    if (!entry) return -1;

    // The file appears only once the table was produced and written in full.
    std::unique_ptr<new_file> out = new_file::create(op.path, "wb");
    if (!out) {
        std::fprintf(stderr, "export: cannot open \"%s\" to write\n", op.path);
        return -1;
    }
    mem_stream table;
    int pad = 0;
    if (generate_table(table, *op.font, *entry, 0, 0, pad) < 0) return -1;
    return out->commit(table.bytes());
}
