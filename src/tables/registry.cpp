#include "tables/registry.h"

#include <cstdio>
#include <cstring>

#include "tables/cff.h"
#include "tables/cmap.h"
#include "tables/glyf.h"
#include "tables/gpos.h"
#include "tables/gsub.h"
#include "tables/head.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/kern.h"
#include "tables/loca.h"
#include "tables/maxp.h"
#include "tables/name.h"
#include "tables/os2.h"
#include "tables/post.h"

namespace {

using parse_fn = std::unique_ptr<elab_record> (*)(font_object&);

// Every table parser returns its own record type; the registry keeps them as records.
template <auto parse>
std::unique_ptr<elab_record> parse_as_record(font_object& font) {
    return parse(font);
}

// Which fonts the font command elaborates a table for.
enum class elaborated { never, always, glyf_outlines, cff_outlines };

struct table_row {
    const char* tag;
    parse_fn parse;
    elaborated by_font_command;
};

// One row per table, in the order the font command elaborates them. Adding a table is one
// row here and its parser (do_<tag>) in its own source.
const table_row kTables[] = {
    {"maxp", parse_as_record<do_maxp>, elaborated::always},
    {"cmap", parse_as_record<do_cmap>, elaborated::always},
    {"name", parse_as_record<do_name>, elaborated::always},
    {"CFF ", parse_as_record<do_cff>, elaborated::cff_outlines},  // FreeType reads CFF
    {"CFF2", parse_as_record<do_cff>, elaborated::cff_outlines},  // and CFF2 alike
    {"post", parse_as_record<do_post>, elaborated::always},
    {"OS/2", parse_as_record<do_os2>, elaborated::always},
    {"hhea", parse_as_record<do_hhea>, elaborated::always},
    {"hmtx", parse_as_record<do_hmtx>, elaborated::always},
    {"head", parse_as_record<do_head>, elaborated::always},
    {"loca", parse_as_record<do_loca>, elaborated::glyf_outlines},
    {"glyf", parse_as_record<check_glyf>, elaborated::glyf_outlines},
    {"kern", parse_as_record<do_kern>, elaborated::never},
    {"GPOS", parse_as_record<do_gpos>, elaborated::never},
    {"GSUB", parse_as_record<do_gsub>, elaborated::never},
};

const table_row* row_for(const char* tag) {
    for (const table_row& row : kTables)
        if (std::strcmp(row.tag, tag) == 0) return &row;
    return nullptr;
}

// The font's CFF table, the first of CFF and CFF2 it has; nothing for TrueType outlines.
const char* cff_tag_of(const font_object& font) {
    for (const char* cff : {"CFF ", "CFF2"})
        if (find_table_index(font, cff) < font.table_dir.size()) return cff;
    return nullptr;
}

bool font_command_elaborates(const table_row& row, const char* cff_tag) {
    switch (row.by_font_command) {
        case elaborated::always:
            return true;
        case elaborated::glyf_outlines:
            return !cff_tag;
        case elaborated::cff_outlines:
            return cff_tag && std::strcmp(row.tag, cff_tag) == 0;
        case elaborated::never:
            return false;
    }
    return false;
}

}  // namespace

std::unique_ptr<font_object> load_font(const char* path, const load_options& options) {
    std::unique_ptr<font_object> font = read_font(path, options);
    if (font) check_head_magic(*font);
    return font;
}

std::vector<const char*> font_elab_order_of(const font_object& font) {
    const char* cff_tag = cff_tag_of(font);
    std::vector<const char*> order;
    for (const table_row& row : kTables)
        if (font_command_elaborates(row, cff_tag)) order.push_back(row.tag);
    return order;
}

elab_record* load_elab_table(font_object& font, const char* tag, int complain) {
    if (!tag) return nullptr;
    table_entry* entry = find_table(font, tag, complain);
    if (!entry) return nullptr;
    const table_row* row = row_for(tag);
    if (!row) {
        say(*font.messages, "load_elab_table: cannot elaborate table \"%s\"\n", tag);
        return nullptr;
    }
    if (!entry->ElabPtr) entry->ElabPtr = row->parse(font);
    return entry->ElabPtr.get();
}

elab_record* elab_of(font_object& font, const char* tag) {
    table_entry* entry = find_table(font, tag, 1);
    return entry ? entry->ElabPtr.get() : nullptr;
}
