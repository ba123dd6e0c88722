// The table parsers the registry dispatches to. Each reads its table from the font's
// stream and returns the complete record, or nothing after printing its messages.
#pragma once

#include <memory>

#include "font/font.h"

using parse_fn = std::unique_ptr<elab_record> (*)(font_object&);

// A table without a parser yet is declared as a null parse_fn; a table with one
// points at its do_<tag> function.
inline constexpr parse_fn parse_name = nullptr;
inline constexpr parse_fn parse_post = nullptr;
inline constexpr parse_fn parse_cmap = nullptr;
std::unique_ptr<elab_record> parse_os2(font_object& font);
std::unique_ptr<elab_record> parse_hhea(font_object& font);
std::unique_ptr<elab_record> parse_hmtx(font_object& font);
std::unique_ptr<elab_record> parse_head(font_object& font);
std::unique_ptr<elab_record> parse_loca(font_object& font);
std::unique_ptr<elab_record> parse_glyf(font_object& font);
std::unique_ptr<elab_record> parse_maxp(font_object& font);
inline constexpr parse_fn parse_kern = nullptr;
