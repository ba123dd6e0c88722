// The table parsers the registry dispatches to. Each reads its own table through a
// table_reader and returns the complete record, or nothing after printing its messages; each
// wraps the table's do_<tag> function.
#pragma once

#include <memory>

#include "font/font.h"

using parse_fn = std::unique_ptr<elab_record> (*)(font_object&);

std::unique_ptr<elab_record> parse_name(font_object& font);
std::unique_ptr<elab_record> parse_post(font_object& font);
std::unique_ptr<elab_record> parse_cmap(font_object& font);
std::unique_ptr<elab_record> parse_os2(font_object& font);
std::unique_ptr<elab_record> parse_hhea(font_object& font);
std::unique_ptr<elab_record> parse_hmtx(font_object& font);
std::unique_ptr<elab_record> parse_head(font_object& font);
std::unique_ptr<elab_record> parse_loca(font_object& font);
std::unique_ptr<elab_record> parse_glyf(font_object& font);
std::unique_ptr<elab_record> parse_maxp(font_object& font);
std::unique_ptr<elab_record> parse_kern(font_object& font);
std::unique_ptr<elab_record> parse_gpos(font_object& font);
std::unique_ptr<elab_record> parse_gsub(font_object& font);
std::unique_ptr<elab_record> parse_cff(font_object& font);  // CFF and CFF2: FreeType reads both
