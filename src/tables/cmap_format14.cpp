#include "tables/cmap_format14.h"

#include <algorithm>
#include <cstdio>

#include "tables/cmap_support.h"

namespace {

constexpr std::size_t kRecordsOffset = 10;
constexpr std::size_t kRecordSize = 11;
constexpr std::size_t kRangeSize = 4;
constexpr std::size_t kMappingSize = 5;

ULONG read_u24(table_reader& in) {
    const ULONG high = in.u8();
    return high << 16 | in.u16();
}

// The entries of `size` bytes a count at `offset` claims, cut to those the subtable holds.
struct counted {
    ULONG claimed = 0;
    std::size_t present = 0;
};

counted count_at(table_reader& in, std::size_t offset, std::size_t size) {
    in.seek(offset);
    counted c;
    c.claimed = in.u32();
    c.present = std::min<std::size_t>(c.claimed, in.remaining() / size);
    return c;
}

// Characters a default UVS table covers: each range counts additionalCount + 1.
unsigned long default_mappings(table_reader& in, ULONG offset, bool& cut) {
    if (offset == 0) return 0;
    const counted ranges = count_at(in, offset, kRangeSize);
    cut = cut || ranges.present < ranges.claimed;
    unsigned long characters = 0;
    for (std::size_t i = 0; i < ranges.present; ++i) {
        in.skip(3);  // startUnicodeValue
        characters += in.u8() + 1ul;
    }
    return characters;
}

unsigned long nondefault_mappings(table_reader& in, ULONG offset, bool& cut) {
    if (offset == 0) return 0;
    const counted mappings = count_at(in, offset, kMappingSize);
    cut = cut || mappings.present < mappings.claimed;
    return mappings.present;
}

}  // namespace

std::unique_ptr<cmap_subtable> read_cmap_format14(table_reader& in,
                                                  const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_format14>(context);
    read_kept_bytes(in, context, *sub);
    return sub;
}

void cmap_format14::list() const {
    if (stored.empty()) return cmap_kept::list();
    table_reader in(stored.data(), stored.size());
    const counted records = count_at(in, kRecordsOffset - 4, kRecordSize);
    std::printf(
        "format=14 length=%lu numVarSelectorRecords=%lu: variation sequences, maps no codes\n",
        static_cast<unsigned long>(length32), static_cast<unsigned long>(records.claimed));
    std::printf("varSelector defaultUVS nonDefaultUVS:\n");
    bool cut = records.present < records.claimed;
    for (std::size_t i = 0; i < records.present; ++i) {
        in.seek(kRecordsOffset + i * kRecordSize);
        const ULONG selector = read_u24(in);
        const ULONG default_offset = in.u32();
        const ULONG nondefault_offset = in.u32();
        const unsigned long defaults = default_mappings(in, default_offset, cut);
        const unsigned long others = nondefault_mappings(in, nondefault_offset, cut);
        std::printf("\tU+%04lX\t%lu\t%lu\n", static_cast<unsigned long>(selector), defaults,
                    others);
    }
    if (cut) {
        say(*messages,
            "Warning: cmap %u.%u format 14: counts claim more than the subtable holds; "
            "listed as far as it goes\n",
            platformID, encodingID);
    }
}
