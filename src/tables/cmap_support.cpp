#include "tables/cmap_support.h"

USHORT unmappable_code(USHORT code, message_sink& messages) {
    say(messages, "Cannot cmap character code 0x%2x!\n", code);
    return 0;
}

void read_short_header(table_reader& in, cmap_subtable& sub) {
    sub.length = in.u16();
    sub.language = in.u16();
    if (sub.language != 0)
        say(in.messages(), "Warning: encoding %u.%u: version %d unknown\n", sub.platformID,
            sub.encodingID, sub.language);
}

void write_short_header(mem_stream& out, const cmap_subtable& sub, unsigned long length) {
    vwrite(sub.format, 2, out);
    vwrite(static_cast<USHORT>(length), 2, out);
    vwrite(sub.language, 2, out);
}

namespace {

template <class T>
T value_at(const std::vector<T>& values, std::size_t i) {
    return i < values.size() ? values[i] : T{};
}

template <class T>
void list_values(const char* heading, const std::vector<T>& values, USHORT segCount,
                 const char* format) {
    std::printf("%s:\n", heading);
    for (USHORT i = 0; i < segCount; ++i) {
        if (i != 0 && i % 8 == 0) std::printf("\n");
        std::printf(format, static_cast<long>(value_at(values, i)));
    }
    std::printf("\n");
}

}  // namespace

void list_array_head(const cmap_subtable& sub, USHORT glyphIdCount, cmap_segment_fields fields) {
    std::printf("Maps %u glyph(s) via glyphIdArray:\n", glyphIdCount);
    std::printf("format=%u length=%u version=%u segCountX2=%u searchRange=%u\n", sub.format,
                sub.length, sub.language, fields.segCountX2, fields.searchRange);
    std::printf("entrySelector=%u rangeShift=%u\n", fields.entrySelector, fields.rangeShift);
}

void list_segment_array(const char* heading, const std::vector<USHORT>& values, USHORT segCount,
                        const char* format) {
    list_values(heading, values, segCount, format);
}

void list_segment_array(const char* heading, const std::vector<SHORT>& values, USHORT segCount,
                        const char* format) {
    list_values(heading, values, segCount, format);
}

void list_no_segments() {
    for (const char* heading : {"endCode", "startCode", "idDelta", "idRangeOffset"})
        std::printf("%s:\n\n", heading);
}

void list_glyph_ids(const std::vector<USHORT>& glyphIdArray, USHORT glyphIdCount) {
    // A format 0 record holds its 256 byte values one per entry, so each byte shows as
    // one value and nothing past the 256 is read.
    std::printf("glyphIdArray:\n");
    for (std::size_t i = 0; i < glyphIdCount; ++i) {
        if (i != 0 && i % 16 == 0) std::printf("\n");
        std::printf(" %3ld", static_cast<long>(value_at(glyphIdArray, i)));
    }
    std::printf("\n");
}
