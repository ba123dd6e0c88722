#include "encoding/encode.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "encoding/cmap12_build.h"
#include "encoding/cmap4_build.h"
#include "encoding/encoding_file.h"
#include "font/fileio.h"
#include "font/font.h"
#include "tables/cmap.h"
#include "tables/cmap_format4.h"
#include "tables/maxp.h"
#include "tables/os2.h"
#include "tables/post.h"

std::optional<std::vector<encoding_pair>> build_encoding(const char* path, post_elab& post,
                                                         std::size_t glyph_count,
                                                         message_sink& messages, ULONG max_code,
                                                         std::size_t pair_limit) {
    file_handle in = open_file(path, "r", messages);
    if (!in) return std::nullopt;

    std::vector<encoding_pair> pairs;
    int missing = 0;
    try {
        const bool read = for_each_metrics_line(
            in.get(),
            [&](char* line) {
                if (parse_metrics_line(pairs, line, post, glyph_count, messages, max_code,
                                       pair_limit) != 0)
                    ++missing;
            },
            messages, path);
        if (!read) return std::nullopt;
    } catch (const std::bad_alloc&) {
        // Going on with part of the encoding would silently drop characters.
        say(messages, "Out of memory!\n");
        return std::nullopt;
    }
    if (std::ferror(in.get())) {
        say(messages, "build_encoding: cannot read \"%s\"\n", path);
        return std::nullopt;
    }
    if (missing != 0)
        say(messages, "build_encoding: %d char(s) in \"%s\" do not appear in the font\n", missing,
            path);
    return pairs;
}

int parse_metrics_line(std::vector<encoding_pair>& pairs, char* line, post_elab& post,
                       std::size_t glyph_count, message_sink& messages, ULONG max_code,
                       std::size_t pair_limit) {
    metrics_tokens tokens = scan_metrics_line(line);
    long long code = 0;
    if (!tokens.code || !tokens.name || !read_code_token(tokens.code, code) || code <= 0) return 0;
    if (code > max_code) {
        // Keeping the low bits would map the glyph to an unrelated character.
        say(messages, "Warning: char code 0x%llx of \"%s\" is above 0x%lx, line skipped\n", code,
            tokens.name, static_cast<unsigned long>(max_code));
        return 0;
    }
    return set_encoding_pair(pairs, static_cast<ULONG>(code), tokens.name, post, glyph_count,
                             messages, pair_limit);
}

int set_encoding_pair(std::vector<encoding_pair>& pairs, ULONG code, const char* name,
                      post_elab& post, std::size_t glyph_count, message_sink& messages,
                      std::size_t pair_limit) {
    // Glyph 0 doubles as "not found", so ".notdef" cannot be encoded.
    USHORT glyph = glyph_index_within(name, &post, glyph_count);
    if (glyph == 0) {
        say(messages, "set_encoding_pair: no \"%s\" in this font\n", name);
        return -1;
    }
    if (pairs.size() >= pair_limit) throw std::bad_alloc();
    pairs.push_back({code, glyph});
    return 0;
}

void report_coverage(const std::vector<encoding_pair>& pairs, const post_elab& post,
                     message_sink& messages) {
    const std::size_t glyphs = post.numberOfGlyphs;
    std::vector<bool> covered(glyphs, false);
    for (const encoding_pair& p : pairs)
        if (p.glyph < glyphs) covered[p.glyph] = true;
    long reached = 0;
    for (bool c : covered) reached += c ? 1 : 0;
    if (reached != static_cast<long>(glyphs))
        say(messages, "Encoding covers %ld of %d glyph(s) in this font\n", reached,
            static_cast<int>(glyphs));
}

std::unique_ptr<cmap_subtable> build_cmap4_subtable(std::vector<encoding_pair>& pairs,
                                                    message_sink& messages) {
    std::optional<cmap4_layout> layout = build_cmap4_layout(pairs, messages);
    if (!layout) return nullptr;
    auto sub = std::make_unique<cmap_format4>();
    sub->messages = &messages;
    sub->length = layout->length;
    sub->language = 0;
    sub->segCountX2 = layout->segCountX2;
    sub->segCount = layout->segCount;
    sub->searchRange = layout->searchRange;
    sub->entrySelector = layout->entrySelector;
    sub->rangeShift = layout->rangeShift;
    sub->endCount = std::move(layout->endCount);
    sub->startCount = std::move(layout->startCount);
    sub->idDelta.assign(layout->idDelta.begin(), layout->idDelta.end());
    sub->idRangeOffset = std::move(layout->idRangeOffset);
    sub->glyphIdArray = std::move(layout->glyphIdArray);
    sub->glyphIdCount = static_cast<USHORT>(sub->glyphIdArray.size());
    return sub;
}

namespace {

// Slot before which a new M.N subtable goes. Both IDs must be at least as large; this is
// deliberately not an ordering by (platformID, encodingID).
std::size_t insertion_slot(const cmap_elab& cmap, USHORT platformID, USHORT encodingID) {
    for (std::size_t i = 0; i < cmap.subtables.size(); ++i) {
        const cmap_subtable* s = cmap.subtables[i].get();
        if (s && s->platformID >= platformID && s->encodingID >= encodingID) return i;
    }
    return cmap.subtables.size();
}

}  // namespace

int install_subtable(font_object& font, std::unique_ptr<cmap_subtable> subtable, USHORT platformID,
                     USHORT encodingID) {
    subtable->platformID = platformID;
    subtable->encodingID = encodingID;
    if (std::unique_ptr<cmap_subtable>* slot = find_cmap_subtable(font, platformID, encodingID)) {
        *slot = std::move(subtable);  // releases the old subtable
        return 0;
    }
    cmap_elab* cmap = cmap_table(font);
    if (!cmap) return -1;
    if (cmap->subtables.size() >= 0xFFFF) {  // numTables is 16 bits
        say(*font.messages, "install_subtable: cmap cannot hold more subtables\n");
        return -1;
    }
    try {
        std::size_t at = insertion_slot(*cmap, platformID, encodingID);
        cmap->subtables.insert(cmap->subtables.begin() + static_cast<long>(at),
                               std::move(subtable));
    } catch (const std::bad_alloc&) {
        say(*font.messages, "Out of memory!\n");
        return -1;
    }
    cmap->numTables = static_cast<USHORT>(cmap->subtables.size());
    return 0;
}

namespace {

void update_os2_char_range(font_object& font, const cmap_subtable& subtable) {
    os2_elab* os2 = os2_table(font);
    if (!os2 || !os2->v) return;
    char_range range = subtable.code_range();
    os2->v->usFirstCharIndex = range.first;
    os2->v->usLastCharIndex = range.last;
}

int fail(const font_object& font, const char* message) {
    font.messages->take(message);
    return -1;
}

}  // namespace

int encode_font(font_object& font, const char* path, USHORT platformID, USHORT encodingID,
                std::size_t pair_limit) {
    post_elab* post = post_table(font);
    if (!post) return fail(font, "encode: font has no post table\n");

    // Unicode full-repertoire subtables are format 12 and keep codes past 0xFFFF; every other
    // platform.encoding gets format 4.
    const bool wide = takes_format12(platformID, encodingID);
    std::optional<std::vector<encoding_pair>> pairs = build_encoding(
        path, *post, glyphs_in(font), *font.messages, wide ? kLastUnicode : 0xFFFF, pair_limit);
    if (!pairs) return fail(font, "encode: cannot construct encoding\n");
    report_coverage(*pairs, *post, *font.messages);

    std::unique_ptr<cmap_subtable> subtable = wide ? build_cmap12_subtable(*pairs, *font.messages)
                                                   : build_cmap4_subtable(*pairs, *font.messages);
    if (!subtable) return fail(font, "encode: cannot construct new cmap subtable\n");
    const cmap_subtable& installed = *subtable;
    if (install_subtable(font, std::move(subtable), platformID, encodingID) != 0) return -1;

    if (platformID == 3) update_os2_char_range(font, installed);
    return 0;
}
