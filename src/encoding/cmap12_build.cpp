#include "encoding/cmap12_build.h"

#include "encoding/cmap4_build.h"
#include "tables/cmap_groups.h"

bool takes_format12(USHORT platformID, USHORT encodingID) {
    return (platformID == 3 && encodingID == 10) ||
           (platformID == 0 && (encodingID == 4 || encodingID == 6));
}

std::unique_ptr<cmap_subtable> build_cmap12_subtable(std::vector<encoding_pair>& pairs,
                                                     message_sink& messages) {
    if (pairs.empty()) return nullptr;
    sort_encoding_pairs(pairs);
    warn_duplicate_codes(pairs, messages);
    drop_unreachable_duplicates(pairs);

    auto sub = std::make_unique<cmap_format12>();
    sub->messages = &messages;
    for (const encoding_pair& p : pairs) {
        if (!sub->groups.empty()) {
            cmap_group& last = sub->groups.back();
            const ULONG next = last.endCharCode + 1;
            if (p.code == next && p.glyph == last.startGlyphID + (next - last.startCharCode)) {
                last.endCharCode = p.code;
                continue;
            }
        }
        sub->groups.push_back({p.code, p.code, p.glyph});
    }
    sub->length32 = static_cast<ULONG>(16 + 12 * sub->groups.size());
    sub->length = static_cast<USHORT>(sub->length32);
    return sub;
}
