#include "font/registry.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "font/parsers.h"

namespace {

struct elab_parser {
    const char* tag;
    parse_fn parse;
};

// Order of comparison; tags are distinct, so it has no effect on the result.
const elab_parser kParsers[] = {
    {"name", parse_name}, {"post", parse_post}, {"cmap", parse_cmap}, {"OS/2", parse_os2},
    {"hhea", parse_hhea}, {"hmtx", parse_hmtx}, {"head", parse_head}, {"loca", parse_loca},
    {"glyf", parse_glyf}, {"maxp", parse_maxp}, {"kern", parse_kern}, {"GPOS", parse_gpos},
    {"GSUB", parse_gsub}, {"CFF ", parse_cff},  {"CFF2", parse_cff},
};

const elab_parser* parser_for(const char* tag) {
    for (const elab_parser& p : kParsers)
        if (std::strcmp(p.tag, tag) == 0) return &p;
    return nullptr;
}

}  // namespace

const char* const font_elab_order[10] = {"maxp", "cmap", "name", "post", "OS/2",
                                         "hhea", "hmtx", "head", "loca", "glyf"};

std::vector<const char*> font_elab_order_of(const font_object& font) {
    // A CFF font's outlines come before post, whose parser takes the charset's glyph
    // names from them; it has no loca or glyf.
    for (const char* cff : {"CFF ", "CFF2"})
        if (find_table_index(font, cff) < font.table_dir.size())
            return {"maxp", "cmap", "name", cff, "post", "OS/2", "hhea", "hmtx", "head"};
    return {std::begin(font_elab_order), std::end(font_elab_order)};
}

elab_record* load_elab_table(font_object& font, const char* tag, int complain) {
    if (!tag) return nullptr;
    table_entry* entry = find_table(font, tag, complain);
    if (!entry) return nullptr;
    const elab_parser* p = parser_for(tag);
    if (!p) {
        say(*font.messages, "load_elab_table: cannot elaborate table \"%s\"\n", tag);
        return nullptr;
    }
    if (!entry->ElabPtr) entry->ElabPtr = p->parse(font);
    return entry->ElabPtr.get();
}

elab_record* elab_of(font_object& font, const char* tag) {
    table_entry* entry = find_table(font, tag, 1);
    return entry ? entry->ElabPtr.get() : nullptr;
}
