#include "tables/cmap_groups.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::size_t kGroupBytes = 12;
constexpr std::size_t kGroupHeaderBytes = 16;

// What a group reader dropped or cut, reported once per kind and subtable.
struct group_faults {
    unsigned long reversed = 0;      // endCharCode below startCharCode
    unsigned long past_unicode = 0;  // a code above 0x10FFFF
    unsigned long disorder = 0;      // not above the group before
    unsigned long past_glyphs = 0;   // glyphs at or past the glyph count (dropped or cut)
};

void report(unsigned long count, const cmap_subtable& sub, const char* what) {
    if (count == 0) return;
    say(*sub.messages, "Warning: cmap %u.%u format %u: %lu group(s) %s\n", sub.platformID,
        sub.encodingID, sub.format, count, what);
}

// Keeps the group if lookups can use it as it is, cuts it to the glyph count when a run of
// glyphs goes past the last glyph, or drops it. numGlyphs 0: no maxp to check with.
bool admit_group(cmap_group& g, const cmap_group_subtable& sub, ULONG numGlyphs,
                 group_faults& faults) {
    if (g.endCharCode < g.startCharCode) return ++faults.reversed, false;
    if (g.endCharCode > kLastUnicode) return ++faults.past_unicode, false;
    if (!sub.groups.empty() && g.startCharCode <= sub.groups.back().endCharCode)
        return ++faults.disorder, false;
    if (numGlyphs == 0) return true;
    if (g.startGlyphID >= numGlyphs) return ++faults.past_glyphs, false;
    if (sub.glyph_per_code() && g.endCharCode - g.startCharCode >= numGlyphs - g.startGlyphID) {
        ++faults.past_glyphs;
        g.endCharCode = g.startCharCode + (numGlyphs - 1 - g.startGlyphID);
    }
    return true;
}

template <class T>
std::unique_ptr<cmap_subtable> read_groups(table_reader& in, const cmap_read_context& context) {
    auto sub = new_cmap_subtable<T>(context);
    sub->reserved = in.u16();
    sub->length32 = in.u32();
    sub->language32 = in.u32();
    sub->length = static_cast<USHORT>(sub->length32);
    sub->language = static_cast<USHORT>(sub->language32);
    if (sub->language32 != 0)
        say(in.messages(), "Warning: encoding %u.%u: version %lu unknown\n", sub->platformID,
            sub->encodingID, static_cast<unsigned long>(sub->language32));
    const ULONG numGroups = in.u32();
    // Only the groups that both the length and the table hold are read.
    std::size_t room = std::min<std::size_t>(
        in.remaining(), sub->length32 >= kGroupHeaderBytes ? sub->length32 - kGroupHeaderBytes : 0);
    std::size_t count = std::min<std::size_t>(numGroups, room / kGroupBytes);
    if (count < numGroups)
        say(in.messages(), "Warning: cmap %u.%u format %u: %lu groups claimed, %zu present\n",
            sub->platformID, sub->encodingID, sub->format, static_cast<unsigned long>(numGroups),
            count);
    context.budget.take_bytes(count * sizeof(cmap_group));
    sub->groups.reserve(count);
    group_faults faults;
    for (std::size_t i = 0; i < count; ++i) {
        cmap_group g;
        g.startCharCode = in.u32();
        g.endCharCode = in.u32();
        g.startGlyphID = in.u32();
        if (admit_group(g, *sub, context.numGlyphs, faults)) sub->groups.push_back(g);
    }
    report(faults.reversed, *sub, "ending below their start dropped");
    report(faults.past_unicode, *sub, "with codes above 0x10ffff dropped");
    report(faults.disorder, *sub, "out of order or overlapping dropped");
    report(faults.past_glyphs, *sub, "reaching past the glyph count dropped or cut");
    return sub;
}

}  // namespace

std::unique_ptr<cmap_subtable> read_cmap_format12(table_reader& in,
                                                  const cmap_read_context& context) {
    return read_groups<cmap_format12>(in, context);
}

std::unique_ptr<cmap_subtable> read_cmap_format13(table_reader& in,
                                                  const cmap_read_context& context) {
    return read_groups<cmap_format13>(in, context);
}

// Groups are ascending and disjoint, so the one holding a code is found by bisection.
USHORT cmap_group_subtable::lookup(ULONG code) const {
    auto it = std::partition_point(groups.begin(), groups.end(),
                                   [code](const cmap_group& g) { return g.endCharCode < code; });
    if (it == groups.end() || it->startCharCode > code) return 0;
    ULONG glyph = glyph_in_group(*it, code);
    return glyph <= 0xFFFF ? static_cast<USHORT>(glyph) : 0;
}

void cmap_group_subtable::walk(const cmap_visitor& visit) const {
    for (const cmap_group& group : groups)
        for (ULONG code = group.startCharCode; code <= group.endCharCode; ++code)
            if (USHORT g = glyph_of(code); g != 0 && !visit(code, g)) return;
}

char_range cmap_group_subtable::code_range() const {
    if (groups.empty()) return {};
    auto clip = [](ULONG code) { return static_cast<USHORT>(std::min<ULONG>(code, 0xFFFF)); };
    return {clip(groups.front().startCharCode), clip(groups.back().endCharCode)};
}

void cmap_group_subtable::write(mem_stream& out, unsigned long length) const {
    vwrite(format, 2, out);
    vwrite(reserved, 2, out);
    vwrite(static_cast<ULONG>(length), 4, out);
    vwrite(language32, 4, out);
    vwrite(static_cast<ULONG>(groups.size()), 4, out);
    for (const cmap_group& g : groups) {
        vwrite(g.startCharCode, 4, out);
        vwrite(g.endCharCode, 4, out);
        vwrite(g.startGlyphID, 4, out);
    }
}

void cmap_group_subtable::list() const {
    std::printf("Maps %zu group(s):\n", groups.size());
    std::printf("format=%u reserved=%u length=%lu language=%lu numGroups=%zu\n", format, reserved,
                static_cast<unsigned long>(length32), static_cast<unsigned long>(language32),
                groups.size());
    std::printf("startCharCode endCharCode %s:\n", glyph_per_code() ? "startGlyphID" : "glyphID");
    for (const cmap_group& g : groups)
        std::printf("\t0x%06lx\t0x%06lx\t%lu\n", static_cast<unsigned long>(g.startCharCode),
                    static_cast<unsigned long>(g.endCharCode),
                    static_cast<unsigned long>(g.startGlyphID));
}
