// The import and export commands: one table's bytes from and to a file of their own.
//
// An exported file holds the table exactly as gen would write it into a font, padded with
// zeros to a multiple of 4 bytes; an imported file's bytes replace the table in later
// output (gen, export) while the parsed record stays as loaded.
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/fileio.h"
#include "font/font.h"
#include "font/new_file.h"
#include "writer/output.h"

namespace {

struct table_operands {
    font_object* font = nullptr;
    const char* tag = nullptr;
    const char* path = nullptr;
};

// Pops the file name, the tag and the font; false after the command's message.
bool pop_table_operands(kestrix_context& context, const char* command, table_operands& out) {
    const command_voice voice{command, context.messages()};
    stack_item operands[3];  // file name, tag, font
    if (!pop_operands(context, voice, operands)) return false;
    out.font = font_of(operands[2], voice, "font object");
    out.path = out.font ? string_of(operands[0], voice, "file name") : nullptr;
    out.tag = out.path ? string_of(operands[1], voice, "table name") : nullptr;
    return out.tag != nullptr;
}

}  // namespace

int import_command(kestrix_context& context) {
    table_operands op;
    if (!pop_table_operands(context, "import", op)) return -1;
    table_entry* entry = find_table(*op.font, op.tag, 1);
    if (!entry) return -1;

    std::optional<std::vector<BYTE>> bytes;
    {
        file_handle in = open_file(op.path, "rb", context.messages());
        if (!in) {
            say(context.messages(), "import: cannot open \"%s\" to read\n", op.path);
            return -1;
        }
        bytes = read_all(in.get(), op.path, context.messages());
    }
    if (!bytes) {
        say(context.messages(), "import: cannot read \"%s\"\n", op.path);
        return -1;
    }
    if (bytes->empty()) {
        say(context.messages(), "import: file \"%s\" is empty\n", op.path);
        return -1;
    }
    if (bytes->size() > 0xFFFFFFFFu) {  // a table's length is 32 bits
        say(context.messages(), "import: file \"%s\" is too large for a table\n", op.path);
        return -1;
    }
    entry->length = static_cast<ULONG>(bytes->size());
    entry->ImportPtr = std::make_unique<std::vector<BYTE>>(std::move(*bytes));
    entry->checkSum = 0;
    entry->offset = 0;
    context.stack.push(op.font, ITEM_FONT);
    return 0;
}

int export_command(kestrix_context& context) {
    table_operands op;
    if (!pop_table_operands(context, "export", op)) return -1;
    table_entry* entry = find_table(*op.font, op.tag, 1);
    if (!entry) return -1;

    // The file appears only once the table was produced and written in full.
    std::unique_ptr<new_file> out =
        new_file::create(op.path, "wb", context.messages(), context.existing_outputs());
    if (!out) {
        say(context.messages(), "export: cannot open \"%s\" to write\n", op.path);
        return -1;
    }
    mem_stream table;
    int pad = 0;
    if (generate_table(table, *op.font, *entry, 0, 0, pad) < 0) return -1;
    return out->commit(table.bytes());
}
