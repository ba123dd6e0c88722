// The table parsers the registry dispatches to. Each reads its table from the font's
// stream and returns the complete record, or nothing after printing its messages.
#pragma once

#include <memory>

#include "font/font.h"

using parse_fn = std::unique_ptr<elab_record> (*)(font_object&);

// A table without a parser yet is declared as a null parse_fn; a table with one
// points at its do_<tag> function.
std::unique_ptr<elab_record> parse_name(font_object& font);
std::unique_ptr<elab_record> parse_post(font_object& font);
std::unique_ptr<elab_record> parse_cmap(font_object& font);
inline constexpr parse_fn parse_os2 = nullptr;
inline constexpr parse_fn parse_hhea = nullptr;
inline constexpr parse_fn parse_hmtx = nullptr;
inline constexpr parse_fn parse_head = nullptr;
inline constexpr parse_fn parse_loca = nullptr;
inline constexpr parse_fn parse_glyf = nullptr;
inline constexpr parse_fn parse_maxp = nullptr;
std::unique_ptr<elab_record> parse_kern(font_object& font);
