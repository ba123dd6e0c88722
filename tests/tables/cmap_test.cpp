// The cmap parser: slots and their subtables, every message, hostile lengths and offsets,
// and the character lookups.
#include <gtest/gtest.h>

#include "tables/cmap.h"
#include "tables/cmap_format0.h"
#include "tables/cmap_format4.h"
#include "tables/cmap_format6.h"
#include "tables/cmap_kept.h"
#include "tables/elab_fixture.h"
#include "tables/kern.h"
#include "tables/name.h"
#include "tables/post.h"
#include "tables/registry.h"

namespace tf = testfont;
using elabtest::load;
using elabtest::run_font;

namespace {

// The subtable as the type of its format.
template <class T>
const T& as(const cmap_subtable* sub) {
    return dynamic_cast<const T&>(*sub);
}

tf::font_parts with_cmap(std::vector<tf::cmap_encoding> encodings) {
    auto parts = tf::standard_parts();
    parts.cmap.encodings = std::move(encodings);
    return parts;
}

// The stderr of `kestrix F font pop` on the standard font with this cmap.
std::string load_messages(const tf::font_builder& b) {
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    return r->run.err;
}

std::string load_messages(std::vector<tf::cmap_encoding> encodings) {
    return load_messages(with_cmap(std::move(encodings)).builder());
}

cmap_elab* cmap_of(elabtest::loaded_font& l) {
    return cmap_table(*l.font);
}

tf::cmap_format4 format4_of(const tf::char_map& m, bool use_glyph_array = false) {
    return tf::cmap_format4::from(m, use_glyph_array);
}

}  // namespace

TEST(BundledFonts, LoadAndMapThroughEveryTable) {
    for (const char* file : {"Vera.ttf", "VeraMono.ttf"}) {
        std::string path = testrun::sample_font(file);
        auto r = testrun::kestrix({path, "font", "pop"});
        EXPECT_EQ(r.status, 0) << file;
        // The only message: composite outlines (Aring and the like) are not read.
        EXPECT_EQ(r.err, "read_glyph: glyph 98: warning: composite glyph(s) ignored\n") << file;

        testing::internal::CaptureStderr();
        run_notices notices;
        auto font = load_font(path.c_str(), {false, notices});
        ASSERT_NE(font, nullptr);
        for (const char* tag : {"cmap", "name", "post", "kern"}) load_elab_table(*font, tag, 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;
        auto* unicode = find_cmap_subtable(*font, 3, 1);
        ASSERT_NE(unicode, nullptr);
        EXPECT_EQ(as<cmap_format4>(unicode->get()).segCount, 29);
        USHORT a = char_to_glyph(0x41, unicode->get());
        EXPECT_EQ(a, char_to_glyph(0x41, find_cmap_subtable(*font, 1, 0)->get()));
        EXPECT_EQ(glyph_name(a, post_table(*font)), "A");
        EXPECT_EQ(glyph_index_of("A", post_table(*font)), a);
        EXPECT_EQ(name_table(*font)->count, 22);
        ASSERT_NE(find_name(*font, 3, 1, 0x409, 6), nullptr);
    }
}

TEST(CmapParse, SlotsFollowEncodingRecordsAndShareTheFirstSubtableOfAPair) {
    tf::char_map first{{0x41, 2}}, second{{0x41, 5}}, mac{{0x41, 3}};
    auto b = with_cmap({{3, 1, format4_of(first), std::nullopt},
                        {1, 0, tf::cmap_format0::from(mac), std::nullopt},
                        {3, 1, format4_of(second), std::nullopt}})
                 .builder();
    auto l = load(b, {"cmap"});
    EXPECT_EQ(l->err, "");
    cmap_elab* cmap = cmap_of(*l);
    ASSERT_NE(cmap, nullptr);
    ASSERT_EQ(cmap->numTables, 3);
    ASSERT_EQ(cmap->subtables.size(), 3u);
    EXPECT_EQ(cmap->subtables[0]->platformID, 3);
    EXPECT_EQ(cmap->subtables[1]->platformID, 1);
    EXPECT_EQ(cmap->subtables[1]->format, 0);
    // The second 3.1 record gets its own copy of the first 3.1 subtable.
    ASSERT_NE(cmap->subtables[2], nullptr);
    EXPECT_NE(cmap->subtables[2].get(), cmap->subtables[0].get());
    EXPECT_EQ(char_to_glyph(0x41, cmap->subtables[2].get()), 2);
    EXPECT_EQ(char_to_glyph(0x41, cmap->subtables[1].get()), 3);
    // The lookup finds the first slot of the pair.
    EXPECT_EQ(find_cmap_subtable(*l->font, 3, 1), &cmap->subtables[0]);
    EXPECT_EQ(find_cmap_subtable(*l->font, 1, 0), &cmap->subtables[1]);
    EXPECT_EQ(find_cmap_subtable(*l->font, 3, 0), nullptr);
}

TEST(CmapParse, RefusedSubtablesLeaveTheirSlotEmpty) {
    auto mac = tf::cmap_format0::from(tf::standard_mac_map());
    // A subtable outside the table reads as a format 0 whose bytes are missing.
    EXPECT_EQ(load_messages({{1, 0, mac, std::nullopt}, {1, 1, mac, 0xFFFF0u}}),
              "Byte-encoding cmap should have 262 bytes, but has 0 instead\n"
              "Cannot read byte encoding table in cmap: Success\n"
              "do_cmap: no 1.1 subtable\n");

    auto bad_end = format4_of(tf::standard_unicode_map());
    bad_end.segments.back().endCount = 0xFFFE;
    EXPECT_EQ(load_messages({{3, 1, bad_end, std::nullopt}, {1, 0, mac, std::nullopt}}),
              "Bad 3.1 cmap--last endCode is not 0xffff\n"
              "do_cmap: no 3.1 subtable\n");

    auto empty = format4_of(tf::standard_unicode_map());
    empty.segCountX2 = 1;  // segCount 0
    EXPECT_EQ(load_messages({{3, 1, empty, std::nullopt}}),
              "Empty 3.1 cmap!do_cmap: no 3.1 subtable\n");

    // The other slots are read normally; a format 2 subtable is kept as stored.
    auto format2 = tf::cmap_raw_subtable(2, tf::bytes(512, 0), std::nullopt, 7);
    auto l = load(with_cmap({{1, 0, mac, std::nullopt},
                             {1, 1, format2, std::nullopt},
                             {3, 1, bad_end, std::nullopt}})
                      .builder(),
                  {"cmap"});
    cmap_elab* cmap = cmap_of(*l);
    ASSERT_EQ(cmap->subtables.size(), 3u);
    EXPECT_NE(cmap->subtables[0], nullptr);
    ASSERT_NE(cmap->subtables[1], nullptr);
    EXPECT_EQ(as<cmap_kept>(cmap->subtables[1].get()).stored, format2);
    EXPECT_EQ(cmap->subtables[2], nullptr);
    EXPECT_EQ(find_cmap_subtable(*l->font, 3, 1), nullptr);
}

TEST(CmapParse, WarningsKeepTheSubtable) {
    auto parts = with_cmap({{1, 0, tf::cmap_format0::from(tf::standard_mac_map()), std::nullopt}});
    parts.cmap.version = 1;
    std::get<tf::cmap_format0>(parts.cmap.encodings[0].subtable).language = 5;
    auto b = parts.builder();
    EXPECT_EQ(load_messages(b),
              "do_cmap: strange version 1\n"
              "Warning: encoding 1.0: version 5 unknown\n");
    auto l = load(b, {"cmap"});
    auto* slot = find_cmap_subtable(*l->font, 1, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ((*slot)->language, 5);
    EXPECT_EQ(char_to_glyph(0x41, slot->get()), tf::G_A);
}

TEST(CmapParse, ByteEncodingOfOtherLengthsReadsAtMost256Entries) {
    tf::char_map m{{0x41, 2}, {0x7F, 3}, {0x80, 4}, {0xFF, 5}};
    auto short_table = tf::cmap_format0::from(m);
    short_table.array_bytes = 128;  // length 134
    auto b = with_cmap({{1, 0, short_table, std::nullopt}}).builder();
    EXPECT_EQ(load_messages(b), "Byte-encoding cmap should have 262 bytes, but has 134 instead\n");
    auto l = load(b, {"cmap"});
    const cmap_subtable* s = find_cmap_subtable(*l->font, 1, 0)->get();
    EXPECT_EQ(as<cmap_format0>(s).glyphIdCount, 256);
    EXPECT_EQ(char_to_glyph(0x41, s), 2);
    EXPECT_EQ(char_to_glyph(0x7F, s), 3);
    EXPECT_EQ(char_to_glyph(0x80, s), 0);
    EXPECT_EQ(char_to_glyph(0xFF, s), 0);

    // Lengths outside 6..262 describe no valid array: the first 256 bytes are taken.
    for (USHORT length : {USHORT{300}, USHORT{3}}) {
        auto odd = tf::cmap_format0::from(m);
        odd.length = length;
        auto ob = with_cmap({{1, 0, odd, std::nullopt}}).builder();
        EXPECT_EQ(load_messages(ob), "Byte-encoding cmap should have 262 bytes, but has " +
                                         std::to_string(length) + " instead\n");
        auto ol = load(ob, {"cmap"});
        const cmap_subtable* os = find_cmap_subtable(*ol->font, 1, 0)->get();
        ASSERT_EQ(as<cmap_format0>(os).glyphIdArray.size(), 256u);
        EXPECT_EQ(char_to_glyph(0xFF, os), 5) << length;
    }
}

TEST(CmapParse, ByteEncodingCutShortByTheEndOfTheFileFails) {
    auto cut = tf::cmap_format0::from(tf::standard_mac_map());
    cut.length = 262;
    cut.array_bytes = 100;
    auto b = with_cmap({{1, 0, cut, std::nullopt}}).builder();
    elabtest::move_table_last(b, "cmap");
    EXPECT_EQ(load_messages(b),
              "Cannot read byte encoding table in cmap: Success\n"
              "do_cmap: no 1.0 subtable\n");
}

TEST(CmapParse, HostileOffsetsAndCounts) {
    // A subtable offset past the end of the file reads zeros: a format 0 of length 0.
    auto far = with_cmap({{3, 1, format4_of(tf::standard_unicode_map()), 0xFFFFFF00u}});
    EXPECT_EQ(load_messages(far.builder()),
              "Byte-encoding cmap should have 262 bytes, but has 0 instead\n"
              "Cannot read byte encoding table in cmap: Success\n"
              "do_cmap: no 3.1 subtable\n");
    // Past the end of the table reads the same zeros where other tables follow in the file.
    auto past = with_cmap({{3, 1, format4_of(tf::standard_unicode_map()), std::nullopt}}).builder();
    tf::bytes& cmap = past.table("cmap").data;
    tf::put_u32(cmap, 8, static_cast<uint32_t>(cmap.size()));
    ASSERT_NE(past.tables.back().tag, "cmap");
    EXPECT_EQ(load_messages(past), load_messages(far.builder()));

    // More encoding records than the table holds: only those inside it are read.
    auto many = tf::standard_font();
    many.table("cmap").data = {0, 0, 0, 3};
    elabtest::move_table_last(many, "cmap");
    EXPECT_EQ(load_messages(many),
              "Warning: do_cmap: numTables claims 3 encoding records, 0 fit in the table\n");
    auto l = load(many, {"cmap"});
    ASSERT_NE(cmap_of(*l), nullptr);
    EXPECT_EQ(cmap_of(*l)->subtables.size(), 0u);

    // A zero-length table at the end of the file reads as an empty cmap.
    auto zero = tf::standard_font();
    zero.table("cmap").data.clear();
    elabtest::move_table_last(zero, "cmap");
    auto z = load(zero, {"cmap"});
    EXPECT_EQ(z->err, "");
    ASSERT_NE(cmap_of(*z), nullptr);
    EXPECT_EQ(cmap_of(*z)->numTables, 0);
    EXPECT_EQ(find_cmap_subtable(*z->font, 3, 1), nullptr);
}

TEST(CmapParse, Format4LengthTooSmallWrapsTheGlyphCount) {
    auto f4 = format4_of({{0x41, 2}});  // two segments
    f4.length = 16;                     // (16 - 16 - 16) / 2 = -8
    auto l = load(with_cmap({{3, 1, f4, std::nullopt}}).builder(), {"cmap"});
    const cmap_subtable* s = find_cmap_subtable(*l->font, 3, 1)->get();
    EXPECT_EQ(as<cmap_format4>(s).glyphIdCount, 65528);
    EXPECT_EQ(as<cmap_format4>(s).glyphIdArray.size(), 65528u);
    EXPECT_EQ(char_to_glyph(0x41, s), 2);
}

TEST(CmapParse, CopiesOfOneSubtableCannotExhaustMemory) {
    // A format 4 subtable of 32,767 segments (about 320 KB in memory) named by 400
    // encoding records: copying it for every slot would take 128 MB.
    tf::cmap_format4 big;
    big.segments.assign(32767, {0, 0, 0, 0});
    big.segments.back() = {0xFFFF, 0xFFFF, 1, 0};
    big.length = 0xFFFF;
    // Every record points at the one subtable, written right after the 400 records.
    auto parts = with_cmap({});
    for (int i = 0; i < 400; ++i) parts.cmap.encodings.push_back({3, 1, tf::bytes{}, 4 + 8 * 400});
    parts.cmap.encodings[0].subtable = big;
    auto b = parts.builder();

    auto l = load(b, {"cmap"});
    cmap_elab* cmap = cmap_of(*l);
    ASSERT_NE(cmap, nullptr);
    EXPECT_NE(cmap->subtables.front(), nullptr);
    EXPECT_EQ(cmap->subtables.back(), nullptr);
    EXPECT_NE(l->err.find("Out of memory!\ndo_cmap: no 3.1 subtable\n"), std::string::npos);
}

TEST(CmapParse, RescanForAMissingPairFails) {
    auto l = load(tf::standard_font(), {});
    std::unique_ptr<cmap_subtable> s;
    EXPECT_EQ(elabtest::stderr_of([&] { s = read_cmap_subtable(*l->font, 7, 7); }),
              "Cannot find encoding 7.7 in cmap table\n");
    EXPECT_EQ(s, nullptr);
    s = read_cmap_subtable(*l->font, 1, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->format, 0);
}

TEST(CmapParse, FontWithoutCmap) {
    auto b = tf::standard_font();
    b.remove_table("cmap");
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "No \"cmap\" table in font \"" + r->path + "\"!\nfont: no cmap table\n");
    auto l = load(b, {});
    std::unique_ptr<cmap_subtable>* slot = nullptr;
    EXPECT_EQ(elabtest::stderr_of([&] { slot = find_cmap_subtable(*l->font, 3, 1); }),
              "No \"cmap\" table in font \"" + l->path + "\"!\n");
    EXPECT_EQ(slot, nullptr);
}

// ---------------------------------------------------------------- char_to_glyph

namespace {

// A format 4 record built in memory, one segment per entry plus the 0xFFFF terminator.
cmap_format4 format4_record(std::vector<std::array<int, 4>> segs, std::vector<USHORT> glyphs) {
    cmap_format4 s;
    segs.push_back({0xFFFF, 0xFFFF, 1, 0});
    s.segCount = static_cast<USHORT>(segs.size());
    s.segCountX2 = static_cast<USHORT>(2 * s.segCount);
    for (auto [start, end, delta, range] : segs) {
        s.startCount.push_back(static_cast<USHORT>(start));
        s.endCount.push_back(static_cast<USHORT>(end));
        s.idDelta.push_back(static_cast<SHORT>(delta));
        s.idRangeOffset.push_back(static_cast<USHORT>(range));
    }
    s.glyphIdArray = std::move(glyphs);
    s.glyphIdCount = static_cast<USHORT>(s.glyphIdArray.size());
    return s;
}

USHORT quiet_glyph(ULONG code, const cmap_subtable& s) {
    USHORT g = 0;
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(code, &s); }), "") << code;
    return g;
}

}  // namespace

TEST(CharToGlyph, Format4Arithmetic) {
    // Segment 0: 0x20..0x22 by delta -29; segment 1: 0x41..0x43 through glyphIdArray
    // (idRangeOffset 4 reaches the array's first entry from segment 1 of 3).
    auto s = format4_record({{0x20, 0x22, -29, 0}, {0x41, 0x43, 0x10, 4}}, {7, 0, 0xFFF5});
    EXPECT_EQ(quiet_glyph(0x20, s), 3);
    EXPECT_EQ(quiet_glyph(0x22, s), 5);
    EXPECT_EQ(quiet_glyph(0x41, s), 0x17);  // 7 + 0x10
    EXPECT_EQ(quiet_glyph(0x42, s), 0);     // an entry of 0 stays 0 whatever idDelta is
    EXPECT_EQ(quiet_glyph(0x43, s), 5);     // 0xFFF5 + 0x10 modulo 65536
    EXPECT_EQ(quiet_glyph(0x30, s), 0);     // between segments: no glyph, no message
    EXPECT_EQ(quiet_glyph(0x1F, s), 0);
    EXPECT_EQ(quiet_glyph(0xFFFF, s), 0);
    EXPECT_EQ(quiet_glyph(0x10020, s), 3);  // codes are taken modulo 65536
}

TEST(CharToGlyph, UnmappableCodesAreReported) {
    // idRangeOffset pointing before and past glyphIdArray.
    auto s = format4_record({{0x05, 0x05, 0, 2}, {0x41, 0x42, 0, 4}}, {9});
    USHORT g = 1;
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(0x05, &s); }),
              "Cannot cmap character code 0x 5!\n");
    EXPECT_EQ(g, 0);
    EXPECT_EQ(quiet_glyph(0x41, s), 9);
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(0x42, &s); }),
              "Cannot cmap character code 0x42!\n");
    EXPECT_EQ(g, 0);

    // A code above the last segment (a record without the 0xFFFF terminator).
    auto open_end = format4_record({}, {});
    open_end.endCount.back() = 0x100;
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(0x1234, &open_end); }),
              "Cannot cmap character code 0x1234!\n");
    EXPECT_EQ(g, 0);
}

TEST(CharToGlyph, Formats0And6AndOthers) {
    tf::char_map m;
    for (int c = 32; c <= 126; ++c) m[static_cast<uint16_t>(c)] = static_cast<uint16_t>(c - 29);
    auto l = load(with_cmap({{3, 1, tf::cmap_format6::from(m), std::nullopt},
                             {1, 0, tf::cmap_format0::from(m), std::nullopt}})
                      .builder(),
                  {"cmap"});
    const cmap_subtable* f6 = find_cmap_subtable(*l->font, 3, 1)->get();
    const cmap_subtable* f0 = find_cmap_subtable(*l->font, 1, 0)->get();
    EXPECT_EQ(as<cmap_format6>(f6).firstCode, 32);
    EXPECT_EQ(as<cmap_format6>(f6).glyphIdCount, 95);
    for (const cmap_subtable* s : {f6, f0}) {
        EXPECT_EQ(quiet_glyph(32, *s), 3);
        EXPECT_EQ(quiet_glyph(126, *s), 97);
        EXPECT_EQ(quiet_glyph(31, *s), 0);
        EXPECT_EQ(quiet_glyph(127, *s), 0);
        EXPECT_EQ(quiet_glyph(0x141, *s), 0);
        EXPECT_EQ(quiet_glyph(0xFFFF, *s), 0);
    }

    cmap_kept other;
    other.format = 2;
    USHORT g = 1;
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(0x41, &other); }), "No cmap!\n");
    EXPECT_EQ(g, 0);
    EXPECT_EQ(elabtest::stderr_of([&] { g = char_to_glyph(0x41, nullptr); }), "No cmap!\n");
}

TEST(CharToGlyph, BuiltFormat4MapsEveryCodeBothWays) {
    tf::char_map m;
    for (int c = 0x20; c < 0x800; c += 3)
        m[static_cast<uint16_t>(c)] = static_cast<uint16_t>(c / 7);
    for (bool use_array : {false, true}) {
        auto l =
            load(with_cmap({{3, 1, format4_of(m, use_array), std::nullopt}}).builder(), {"cmap"});
        EXPECT_EQ(l->err, "");
        const cmap_format4* s = &as<cmap_format4>(find_cmap_subtable(*l->font, 3, 1)->get());
        EXPECT_EQ(s->segCountX2, 2 * s->segCount);
        EXPECT_EQ(s->length, 16 + 8 * s->segCount + 2 * s->glyphIdCount);
        EXPECT_EQ(s->glyphIdArray.size(), s->glyphIdCount);
        for (ULONG c = 0; c < 0x10000; ++c) {
            auto it = m.find(static_cast<uint16_t>(c));
            ASSERT_EQ(char_to_glyph(c, s), it == m.end() ? 0 : it->second) << c;
        }
    }
}
