#include "tables/cmap_kept.h"

#include <algorithm>
#include <cstdio>

namespace {

// The length the subtable gives itself.
ULONG stored_length(table_reader in, USHORT format) {
    if (format == 8 || format == 10) return in.skip(2), in.u32();
    if (format == 14) return in.u32();
    return in.u16();
}

}  // namespace

std::unique_ptr<cmap_subtable> read_cmap_kept(table_reader& in, const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_kept>(context);
    read_kept_bytes(in, context, *sub);
    return sub;
}

void read_kept_bytes(table_reader& in, const cmap_read_context& context, cmap_kept& sub) {
    in.seek(context.start + 2);
    sub.length32 = stored_length(in, sub.format);
    in.seek(context.start);
    const std::size_t size = std::min<std::size_t>(sub.length32, in.remaining());
    if (size < sub.length32)
        say(in.messages(),
            "Warning: cmap %u.%u format %u: %lu bytes claimed, %zu in the table kept\n",
            sub.platformID, sub.encodingID, sub.format, static_cast<unsigned long>(sub.length32),
            size);
    context.budget.take_bytes(size);
    sub.stored.resize(size);
    in.read(sub.stored.data(), size);
    sub.length = static_cast<USHORT>(sub.length32);
}

USHORT cmap_kept::lookup(ULONG) const {
    if (!stored.empty()) return 0;
    say(*messages, "No cmap!\n");
    return 0;
}

void cmap_kept::write(mem_stream& out, unsigned long length) const {
    if (!stored.empty()) {
        out.write(stored.data(), stored.size());
        return;
    }
    say(*messages, "generate_cmap_subtable: unknown format %u\n", format);
    write_short_header(out, *this, length);
}

void cmap_kept::list() const {
    std::printf("format=%u length=%lu: kept as stored, maps nothing\n", format,
                static_cast<unsigned long>(length32));
}
