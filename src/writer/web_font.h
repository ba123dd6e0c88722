// The containers gen writes a font in: the plain sfnt, or a web font (WOFF 1.0 through
// zlib, WOFF2 through libwoff2's encoder), chosen by the output file's name.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "font/messages.h"
#include "font/types.h"

enum class output_container { sfnt, woff, woff2 };

// Whether the path ends in the suffix (given in lower case), in any mix of cases.
bool has_suffix(std::string_view path, std::string_view lower_suffix);

// ".woff2" asks for WOFF2 and ".woff" for WOFF 1.0, in any mix of cases; every other name
// (the standard output "-" too) for the sfnt itself.
output_container container_for_path(std::string_view path);

// WOFF 1.0 holding a complete sfnt: the directory sorted by tag, each table zlib-
// compressed only where that makes it smaller, the data in the sfnt's own order, the
// version fields taken from head's fontRevision. Nothing, after a message naming
// output_name, when the sfnt is malformed or too large for the format.
std::optional<std::vector<BYTE>> encode_woff(const std::vector<BYTE>& sfnt, const char* output_name,
                                             message_sink& messages);

// WOFF2 of a complete sfnt by libwoff2, which also re-encodes glyf and loca (glyph data
// 4-byte aligned, head flags bit 11 set) and leaves out a DSIG table. Nothing, after a
// message naming output_name, when libwoff2 refuses the font.
std::optional<std::vector<BYTE>> encode_woff2(const std::vector<BYTE>& sfnt,
                                              const char* output_name, message_sink& messages);

// The sfnt in the container the path asks for; nothing after a message.
std::optional<std::vector<BYTE>> in_container_for(const char* path, std::vector<BYTE> sfnt,
                                                  message_sink& messages);
