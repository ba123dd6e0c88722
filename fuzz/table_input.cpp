#include "table_input.h"

#include <algorithm>

#include "harness.h"
#include "tables/registry.h"

namespace fuzzkit {

std::vector<std::vector<BYTE>> split_tables(const std::uint8_t* data, std::size_t size,
                                            std::size_t count) {
    std::vector<std::vector<BYTE>> tables(count);
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        std::size_t length = 0;
        for (int b = 0; b < 4; ++b) length = length << 8 | (at < size ? data[at++] : 0);
        length = std::min(length, size - at);
        tables[i].assign(data + at, data + at + length);
        at += length;
    }
    if (count > 0) tables[count - 1].assign(data + at, data + size);
    return tables;
}

std::unique_ptr<font_object> font_of_tables(const std::vector<const char*>& tags,
                                            std::vector<std::vector<BYTE>> tables,
                                            run_notices& notices, ULONG version) {
    auto font = std::make_unique<font_object>();
    font->font_path = "table.ttf";
    font->notices = &notices;
    font->messages = &dropped_messages();
    const auto count = static_cast<USHORT>(tags.size());
    font->otable = std::make_unique<offset_table>();
    font->otable->version = version;
    font->otable->numTables = count;
    font->otable->entrySelector = entry_selector_for(count);
    font->otable->searchRange = search_range_for(count);
    font->otable->rangeShift = range_shift_for(count);

    mem_stream& s = font->in_stream;
    vwrite(version, 4, s);
    vwrite(count, 2, s);
    vwrite(font->otable->searchRange, 2, s);
    vwrite(font->otable->entrySelector, 2, s);
    vwrite(font->otable->rangeShift, 2, s);
    std::size_t at = 12 + 16 * std::size_t{count};
    font->table_dir.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        table_entry& e = font->table_dir[i];
        std::copy_n(tags[i], 4, e.tag);
        e.offset = e.source_offset = static_cast<ULONG>(at);
        e.length = e.source_length = static_cast<ULONG>(tables[i].size());
        s.write(reinterpret_cast<const BYTE*>(e.tag), 4);
        vwrite(ULONG{0}, 4, s);  // checksum: no parser reads it
        vwrite(e.offset, 4, s);
        vwrite(e.length, 4, s);
        at += (tables[i].size() + 3) & ~std::size_t{3};
    }
    for (std::size_t i = 0; i < count; ++i) {
        s.write(tables[i].data(), tables[i].size());
        while (s.size() % 4 != 0) s.put(0);
    }
    s.rewind();
    return font;
}

std::unique_ptr<font_object> table_target_font(const std::vector<const char*>& tags,
                                               const std::uint8_t* data, std::size_t size,
                                               run_notices& notices, ULONG version) {
    auto font = font_of_tables(tags, split_tables(data, size, tags.size()), notices, version);
    for (std::size_t i = 0; i + 1 < tags.size(); ++i) load_elab_table(*font, tags[i], 1);
    return font;
}

}  // namespace fuzzkit
