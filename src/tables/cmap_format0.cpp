#include "tables/cmap_format0.h"

#include <cerrno>
#include <cstdio>

namespace {
constexpr USHORT kByteEncodingLength = 262;  // 6-byte header + 256 glyph bytes
}

std::unique_ptr<cmap_subtable> read_cmap_format0(table_reader& in,
                                                 const cmap_read_context& context) {
    auto sub = new_cmap_subtable<cmap_format0>(context);
    read_short_header(in, *sub);
    if (sub->length != kByteEncodingLength)
        say(in.messages(), "Byte-encoding cmap should have %d bytes, but has %u instead\n",
            kByteEncodingLength, sub->length);
    context.budget.take_words(256);
    sub->glyphIdArray.assign(256, 0);
    sub->glyphIdCount = 256;
    // The record holds 256 entries. A length field outside 6..262 cannot describe them
    // correctly, so such a subtable is read as its first 256 bytes.
    std::size_t wanted = sub->length >= 6 && sub->length <= kByteEncodingLength
                             ? std::size_t{sub->length} - 6
                             : std::size_t{256};
    BYTE bytes[256] = {};
    if (in.read(bytes, wanted) < wanted) {
        errno = 0;  // the bytes are missing from the table; no system call failed
        say_errno(in.messages(), "Cannot read byte encoding table in cmap");
        return nullptr;
    }
    for (std::size_t i = 0; i < wanted; ++i) sub->glyphIdArray[i] = bytes[i];
    return sub;
}

USHORT cmap_format0::lookup(ULONG code) const {
    return code < 256 && code < glyphIdArray.size() ? glyphIdArray[code] : 0;
}

void cmap_format0::walk(const cmap_visitor& visit) const {
    for (ULONG code = 0; code < 256; ++code)
        if (USHORT glyph = lookup(code); glyph != 0 && !visit(code, glyph)) return;
}

void cmap_format0::write(mem_stream& out, unsigned long length) const {
    write_short_header(out, *this, length);
    for (std::size_t i = 0; i < glyphIdCount; ++i) out.put(static_cast<BYTE>(glyphIdArray[i]));
}

void cmap_format0::list() const {
    list_array_head(*this, glyphIdCount, {});
    list_no_segments();
    list_glyph_ids(glyphIdArray, glyphIdCount);
}
