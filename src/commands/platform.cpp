#include "commands/platform.h"

#include <cstdio>
#include <memory>

#include "commands/commands.h"
#include "commands/operands.h"
#include "font/font.h"
#include "tables/cmap.h"
#include "tables/name.h"

namespace {

USHORT id16(std::int32_t v) {
    return static_cast<USHORT>(v);
}

bool has_names_for(const name_elab& names, USHORT platformID, USHORT encodingID) {
    for (const name_record& r : names.records)
        if (r.platformID == platformID && r.encodingID == encodingID) return true;
    return false;
}

}  // namespace

int relabel_encoding(font_object& font, std::int32_t M, std::int32_t N, std::int32_t MM,
                     std::int32_t NN) {
    const char* path = font.font_path.c_str();
    if (find_cmap_subtable(font, id16(MM), id16(NN))) {
        say(*font.messages, "platform: encoding %d.%d already exists in font %s\n", MM, NN, path);
        return -1;
    }
    std::unique_ptr<cmap_subtable>* slot = find_cmap_subtable(font, id16(M), id16(N));
    if (!slot) {
        say(*font.messages, "platform: no encoding %d.%d in font %s\n", M, N, path);
        return -1;
    }
    name_elab* names = name_table(font);
    if (!names) {
        say(*font.messages, "platform: cannot find name table in font %s\n", path);
        return -1;
    }
    if (names->count != names->records.size()) {
        say(*font.messages, "platform: inconsistent names in font %s\n", path);
        return -1;
    }
    if (has_names_for(*names, id16(MM), id16(NN)))
        say(*font.messages,
            "platform: warning: font %s already contains name(s) for platform %d.%d\n", path, MM,
            NN);

    (*slot)->platformID = id16(MM);
    (*slot)->encodingID = id16(NN);
    for (name_record& r : names->records) {
        if (r.platformID == id16(M) && r.encodingID == id16(N)) {
            r.platformID = id16(MM);
            r.encodingID = id16(NN);
        }
    }
    return 0;
}

int platform_command(kestrix_context& context) {
    const command_voice voice{"platform", context.messages()};
    std::int32_t NN = 0, MM = 0, N = 0, M = 0;
    if (!pop_encoding(context, voice, MM, NN, "MM", "NN")) return -1;
    if (!pop_encoding(context, voice, M, N)) return -1;
    if (M == MM && N == NN) {
        say(context.messages(), "platform: M.N same as MM.NN (%d.%d = %d.%d)\n", M, N, MM, NN);
        return -1;
    }
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    if (relabel_encoding(*font, M, N, MM, NN) != 0) return -1;
    context.stack.push(font, ITEM_FONT);
    return 0;
}
