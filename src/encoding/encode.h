// The encode command: a new cmap subtable (format 4, or format 12 for 3.10, 0.4 and 0.6)
// from an encoding file.
//
// Each code-to-name line of the file is resolved to a glyph through the post table's
// names, the pairs are sorted by code, and the subtable built from them replaces the one
// of the same platform and encoding in the elaborated cmap, or is inserted as a new one.
// For platform 3 the OS/2 first and last character indices follow the new subtable.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "encoding/encoding_pairs.h"
#include "font/messages.h"
#include "font/types.h"

struct font_object;
struct post_elab;
struct cmap_subtable;

// The whole command: reads the encoding file at path ("-": the standard input), builds the
// subtable and installs it as platformID.encodingID. 0, or -1 after a message.
// Storing more than pair_limit pairs fails as running out of memory does.
inline constexpr std::size_t kNoPairLimit = static_cast<std::size_t>(-1);
int encode_font(font_object& font, const char* path, USHORT platformID, USHORT encodingID,
                std::size_t pair_limit = kNoPairLimit);

// The pairs of an encoding file ("-": the standard input). Nothing when the file cannot
// be opened or read, or memory runs out; names the font lacks are reported and counted.
// Lines with codes above max_code are skipped with a warning.
std::optional<std::vector<encoding_pair>> build_encoding(const char* path, post_elab& post,
                                                         std::size_t glyph_count,
                                                         message_sink& messages,
                                                         ULONG max_code = 0xFFFF,
                                                         std::size_t pair_limit = kNoPairLimit);

// Names resolve to glyphs below glyph_count only (glyph_index_within).
// Adds the pair of one metrics line, if it has one. -1 when it names a glyph the font
// lacks, else 0. Throws std::bad_alloc when the pair cannot be stored.
int parse_metrics_line(std::vector<encoding_pair>& pairs, char* line, post_elab& post,
                       std::size_t glyph_count, message_sink& messages, ULONG max_code = 0xFFFF,
                       std::size_t pair_limit = kNoPairLimit);

// Resolves the name and appends the pair; -1 (with a message) when the name is not found.
int set_encoding_pair(std::vector<encoding_pair>& pairs, ULONG code, const char* name,
                      post_elab& post, std::size_t glyph_count, message_sink& messages,
                      std::size_t pair_limit = kNoPairLimit);

// Reports how many of the post table's glyphs the pairs reach.
void report_coverage(const std::vector<encoding_pair>& pairs, const post_elab& post,
                     message_sink& messages);

// A format 4 subtable (platform and encoding still 0) from the pairs, which are sorted in
// place; nothing when there are none or they do not fit.
std::unique_ptr<cmap_subtable> build_cmap4_subtable(std::vector<encoding_pair>& pairs,
                                                    message_sink& messages);

// Puts the subtable into the font's cmap as platformID.encodingID: in the slot of an
// existing subtable with that pair, else before the first subtable whose platformID and
// encodingID are both at least as large, else at the end. 0 or -1.
int install_subtable(font_object& font, std::unique_ptr<cmap_subtable> subtable, USHORT platformID,
                     USHORT encodingID);
