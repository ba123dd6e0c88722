#include "commands/family.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "tables/name.h"
#include "tables/name_text.h"

namespace {

enum family_name_id : USHORT {
    kFamily = 1,
    kSubfamily = 2,
    kFullName = 4,
    kPostScriptName = 6,
    kTypographicFamily = 16,
    kTypographicSubfamily = 17,
    kCompatibleFull = 18,
    kCidFindfontName = 20,
    kWwsFamily = 21,
};

bool is_postscript_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool same_language(const name_record& a, const name_record& b) {
    return a.platformID == b.platformID && a.encodingID == b.encodingID &&
           a.languageID == b.languageID;
}

std::string record_text(const name_record& record) {
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    return name_text_utf8(record.platformID, reinterpret_cast<const BYTE*>(record.string.data()),
                          length);
}

// The style the record's own platform, encoding and language give: the typographic
// subfamily where there is one, else the subfamily; empty when neither exists.
std::string style_of(const name_elab& name, const name_record& record) {
    for (USHORT id : {kTypographicSubfamily, kSubfamily})
        for (const name_record& other : name.records)
            if (other.nameID == id && same_language(other, record)) return record_text(other);
    return {};
}

std::string joined(std::string_view family, std::string_view separator, std::string_view style) {
    std::string text(family);
    if (!style.empty()) text.append(separator).append(style);
    return text;
}

// What the record says once the family is renamed; nothing for records of other IDs.
std::optional<std::string> renamed_text(const name_elab& name, const name_record& record,
                                        std::string_view family) {
    switch (record.nameID) {
        case kFamily:
        case kTypographicFamily:
        case kWwsFamily:
            return std::string(family);
        case kFullName:
        case kCompatibleFull:
            return joined(family, " ", style_of(name, record));
        case kPostScriptName:
        case kCidFindfontName:
            return postscript_form(joined(family, "-", style_of(name, record)));
        default:
            return std::nullopt;
    }
}

struct planned_edit {
    name_record* record;
    std::string bytes;
};

// Every edit, checked before any is made: a text that a 16-bit length cannot hold, or a
// family without a single character a PostScript name may use, changes nothing.
std::optional<std::vector<planned_edit>> plan_edits(name_elab& name, std::string_view family,
                                                    std::size_t& unmappable,
                                                    message_sink& messages) {
    std::vector<planned_edit> edits;
    for (name_record& record : name.records) {
        std::optional<std::string> text = renamed_text(name, record, family);
        if (!text) continue;
        if ((record.nameID == kPostScriptName || record.nameID == kCidFindfontName) &&
            postscript_form(family).find_first_not_of('-') == std::string::npos) {
            say(messages,
                "family: \"%.*s\" has no ASCII letter or digit for the PostScript "
                "name\n",
                static_cast<int>(family.size()), family.data());
            return std::nullopt;
        }
        stored_name_text stored = encode_name_text(record.platformID, *text);
        if (stored.bytes.size() > 0xFFFF) {
            say(messages, "family: name of %zu bytes too long, at most 65535\n",
                stored.bytes.size());
            return std::nullopt;
        }
        unmappable += stored.unmappable;
        edits.push_back({&record, std::move(stored.bytes)});
    }
    return edits;
}

// The CFF table keeps a FontName of its own, which only a CFF writer could change.
void warn_cff_font_name(font_object& font) {
    if (!find_table(font, "CFF ", 0)) return;
    say(*font.messages,
        "family: warning: %s: the CFF table's own FontName still holds the old name "
        "(kestrix does not rewrite CFF)\n",
        font.font_path.c_str());
}

}  // namespace

std::string postscript_form(std::string_view text) {
    std::string form;
    for (char c : text) {
        if (form.size() == kPostScriptNameMax) break;
        if (is_postscript_char(c)) form.push_back(c);
    }
    return form;
}

int rename_family(font_object& font, std::string_view family, std::size_t& changed) {
    changed = 0;
    name_elab* name = name_table(font);
    if (!name) {
        say(*font.messages, "family: %s has no name table\n", font.font_path.c_str());
        return -1;
    }
    std::size_t unmappable = 0;
    std::optional<std::vector<planned_edit>> edits =
        plan_edits(*name, family, unmappable, *font.messages);
    if (!edits) return -1;
    for (planned_edit& edit : *edits) {
        name_record& record = *edit.record;
        const bool same = record.length == edit.bytes.size() && record.string == edit.bytes;
        if (!same) ++changed;
        record.length = static_cast<USHORT>(edit.bytes.size());
        record.string = std::move(edit.bytes);
    }
    if (unmappable > 0)
        say(*font.messages, "family: warning: %zu character(s) not in Mac Roman stored as \"?\"\n",
            unmappable);
    warn_cff_font_name(font);
    return 0;
}

int family_command(kestrix_context& context) {
    const command_voice voice{"family", context.messages()};
    stack_item operands[2];  // family name, font
    if (!pop_operands(context, voice, operands)) return -1;
    const char* family = string_of(operands[0], voice, "family name");
    if (!family) return -1;
    font_object* font = font_of(operands[1], voice);
    if (!font) return -1;
    if (!*family) return voice.fail("empty family name");
    std::size_t changed = 0;
    if (rename_family(*font, family, changed) != 0) return -1;
    say(context.messages(), "family: %zu name record(s) changed\n", changed);
    context.stack.push(font, ITEM_FONT);
    return 0;
}
