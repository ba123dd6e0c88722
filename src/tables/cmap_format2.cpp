#include "tables/cmap_format2.h"

#include <algorithm>
#include <cstdio>

#include "tables/cmap_support.h"

namespace {

constexpr std::size_t kKeysOffset = 6;
constexpr std::size_t kSubHeadersOffset = kKeysOffset + 2 * 256;
constexpr std::size_t kSubHeaderSize = 8;

struct subheader {
    USHORT firstCode = 0;
    USHORT entryCount = 0;
    SHORT idDelta = 0;
    USHORT idRangeOffset = 0;
    std::size_t rangeOffsetAt = 0;  // where idRangeOffset lies in the subtable
};

// Reads the subtable's own bytes; reads past them give zeros, and the counts below say
// what is really there.
class format2_bytes {
  public:
    explicit format2_bytes(const std::vector<BYTE>& stored) : in_(stored.data(), stored.size()) {}

    bool holds_keys() const { return in_.size() >= kSubHeadersOffset; }
    // The subHeader a first byte selects.
    std::size_t key(BYTE first) {
        in_.seek(kKeysOffset + 2 * std::size_t{first});
        return in_.u16() / kSubHeaderSize;
    }
    std::size_t subheaders_selected() {
        std::size_t highest = 0;
        for (unsigned first = 0; first < 256; ++first)
            highest = std::max(highest, key(static_cast<BYTE>(first)));
        return highest + 1;
    }
    std::size_t subheaders_present() const {
        return holds_keys() ? (in_.size() - kSubHeadersOffset) / kSubHeaderSize : 0;
    }
    std::optional<subheader> subheader_at(std::size_t index) {
        if (index >= subheaders_present()) return std::nullopt;
        subheader s;
        in_.seek(kSubHeadersOffset + index * kSubHeaderSize);
        s.firstCode = in_.u16();
        s.entryCount = in_.u16();
        s.idDelta = in_.s16();
        s.rangeOffsetAt = in_.tell();
        s.idRangeOffset = in_.u16();
        return s;
    }
    // The glyph of byte `low` through the subHeader: 0 outside its range, nothing when the
    // glyph index it points to lies outside the subtable.
    std::optional<USHORT> glyph(const subheader& s, unsigned low) {
        if (low < s.firstCode || low - s.firstCode >= s.entryCount) return 0;
        const std::size_t at =
            s.rangeOffsetAt + s.idRangeOffset + 2 * std::size_t{low - s.firstCode};
        if (at > in_.size() || in_.size() - at < 2) return std::nullopt;
        in_.seek(at);
        const USHORT index = in_.u16();
        return index == 0 ? 0 : static_cast<USHORT>(index + s.idDelta);
    }
    USHORT word_at(std::size_t at) {
        in_.seek(at);
        return in_.u16();
    }

  private:
    table_reader in_;
};

// The subHeader of a two-byte code's first byte, or of subHeader 0 for a one-byte code;
// nothing for a first byte that is no code of its own, or a code the keys leave out.
std::optional<subheader> subheader_of(format2_bytes& bytes, USHORT code) {
    const auto first = static_cast<BYTE>(code >> 8);
    const auto low = static_cast<BYTE>(code & 0xFF);
    if (first == 0) {
        if (bytes.key(low) != 0) return std::nullopt;  // starts a two-byte code
        return bytes.subheader_at(0);
    }
    const std::size_t index = bytes.key(first);
    if (index == 0) return std::nullopt;  // a one-byte code cannot start a two-byte one
    return bytes.subheader_at(index);
}

std::size_t codes_mapped(const std::vector<BYTE>& stored) {
    std::size_t mapped = 0;
    for (ULONG code = 0; code < 0xFFFF; ++code) {
        const std::optional<USHORT> glyph = format2_glyph(stored, static_cast<USHORT>(code));
        if (glyph && *glyph != 0) ++mapped;
    }
    return mapped;
}

void list_keys(format2_bytes& bytes) {
    std::printf("subHeaderKeys (first byte: subHeader):");
    int shown = 0;
    for (unsigned first = 1; first < 256; ++first) {
        const std::size_t index = bytes.key(static_cast<BYTE>(first));
        if (index == 0) continue;
        std::printf("%s\t0x%02x: %zu", shown % 8 == 0 ? "\n" : "", first, index);
        ++shown;
    }
    std::printf("\n");
}

void list_subheaders(format2_bytes& bytes, std::size_t count) {
    std::printf("subHeaders (firstCode entryCount idDelta idRangeOffset):\n");
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<subheader> s = bytes.subheader_at(i);
        if (!s) break;
        std::printf("  %4zu:\t0x%02x\t%u\t%d\t%u\n", i, s->firstCode, s->entryCount, s->idDelta,
                    s->idRangeOffset);
    }
}

void print_range(unsigned first_byte, const subheader& s, std::size_t index) {
    if (s.entryCount == 0 || s.firstCode > 0xFF) return;
    const unsigned last = std::min<unsigned>(s.firstCode + s.entryCount - 1u, 0xFF);
    std::printf("\t0x%04x\t0x%04x\t%zu\n", first_byte << 8 | s.firstCode, first_byte << 8 | last,
                index);
}

void list_ranges(format2_bytes& bytes) {
    std::printf("ranges (firstCode lastCode subHeader):\n");
    if (std::optional<subheader> single = bytes.subheader_at(0)) print_range(0, *single, 0);
    for (unsigned first = 1; first < 256; ++first) {
        const std::size_t index = bytes.key(static_cast<BYTE>(first));
        if (index == 0) continue;
        if (std::optional<subheader> s = bytes.subheader_at(index)) print_range(first, *s, index);
    }
}

}  // namespace

std::optional<USHORT> format2_glyph(const std::vector<BYTE>& stored, USHORT code) {
    if (code == 0xFFFF) return 0;
    format2_bytes bytes(stored);
    const std::optional<subheader> s = subheader_of(bytes, code);
    if (!s) return 0;
    return bytes.glyph(*s, code & 0xFFu);
}

std::unique_ptr<cmap_subtable> read_cmap_format2(table_reader& in,
                                                 const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_format2>(context);
    read_kept_bytes(in, context, *sub);
    sub->check();
    return sub;
}

USHORT cmap_format2::lookup(ULONG code) const {
    if (stored.empty()) return cmap_kept::lookup(code);
    const auto c = static_cast<USHORT>(code);
    const std::optional<USHORT> glyph = format2_glyph(stored, c);
    return glyph ? *glyph : unmappable_code(c, *messages);
}

void cmap_format2::check() const {
    format2_bytes bytes(stored);
    if (!bytes.holds_keys()) {
        say(*messages,
            "Warning: cmap %u.%u format 2: %zu bytes cannot hold the subHeaderKeys, "
            "maps nothing\n",
            platformID, encodingID, stored.size());
        return;
    }
    const std::size_t selected = bytes.subheaders_selected();
    const std::size_t present = bytes.subheaders_present();
    if (selected > present)
        say(*messages,
            "Warning: cmap %u.%u format 2: subHeaderKeys select %zu subHeaders, %zu in "
            "the subtable\n",
            platformID, encodingID, selected, present);
}

void cmap_format2::list() const {
    if (stored.empty()) return cmap_kept::list();
    format2_bytes bytes(stored);
    const std::size_t count = std::min(bytes.subheaders_selected(), bytes.subheaders_present());
    std::printf("Maps %zu code(s) via subHeaders:\n", codes_mapped(stored));
    std::printf("format=2 length=%lu version=%u subHeaders=%zu\n",
                static_cast<unsigned long>(length32), bytes.word_at(4), count);
    list_keys(bytes);
    list_subheaders(bytes, count);
    list_ranges(bytes);
}
