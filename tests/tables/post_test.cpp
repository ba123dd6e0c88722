// The post parser and the glyph-name lookups: formats, the names area and its messages,
// fallback names, and name search on fonts with many glyphs.
#include <gtest/gtest.h>

#include <cstdio>

#include "tables/cmap.h"
#include "tables/elab_fixture.h"
#include "tables/post.h"
#include "tables/registry.h"

namespace tf = testfont;
using elabtest::load;
using elabtest::run_font;

namespace {

tf::font_parts with_post(tf::post_table post) {
    auto parts = tf::standard_parts();
    parts.post = std::move(post);
    return parts;
}

tf::post_table names_post(std::vector<std::string> glyph_names) {
    tf::post_table p;
    p.glyph_names = std::move(glyph_names);
    return p;
}

// The stderr of `kestrix F font pop` with this post table.
std::string load_messages(const tf::font_builder& b) {
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    return r->run.err;
}

post_elab* post_of(elabtest::loaded_font& l) {
    return post_table(*l.font);
}

std::string fallback(unsigned g) {
    char text[20];
    std::snprintf(text, sizeof text, ".glyphindex%04x", g);
    return text;
}

}  // namespace

TEST(PostNames, StandardNamesAreTheMacintoshSetWithItsVariants) {
    const auto& expected = tf::standard_mac_names();
    for (int i = 0; i < 258; ++i) EXPECT_STREQ(standard_mac_names[i], expected[i]) << i;
    const std::pair<int, const char*> variants[] = {
        {151, "mu1"},       {159, "Ohm"},       {168, "increment"}, {172, "nbspace"},
        {210, "applelogo"}, {218, "overscore"}, {250, "Idot"},      {257, "dmacron"}};
    for (auto [i, name] : variants) EXPECT_STREQ(standard_mac_names[i], name);
}

TEST(PostNames, Format1UsesTheStandardNames) {
    tf::post_table p;
    p.version = 0x00010000;
    p.italicAngle = -0x000C0000;
    p.isFixedPitch = 1;
    auto b = with_post(p).builder();
    EXPECT_EQ(load_messages(b), "");
    auto l = load(b, {"post"});
    post_elab* post = post_of(*l);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->italicAngle, -0x000C0000);
    EXPECT_EQ(post->underlinePosition, -213);
    EXPECT_EQ(post->underlineThickness, 143);
    EXPECT_EQ(post->isFixedPitch, 1u);
    EXPECT_EQ(post->numberOfGlyphs, 0);
    EXPECT_EQ(glyph_name(3, post), "space");
    EXPECT_EQ(glyph_name(257, post), "dmacron");
    EXPECT_EQ(glyph_name(258, post), fallback(0x102));
    EXPECT_EQ(glyph_name(0x10003, post), "space");  // modulo 65536
    EXPECT_EQ(glyph_index_of("A", post), 0);        // only ".glyphindex" names resolve
    EXPECT_EQ(glyph_index_of(".glyphindex0024", post), 0x24);
}

TEST(PostNames, Format2NamesAndUsedMarks) {
    tf::post_table p;
    p.glyphNameIndex = std::vector<uint16_t>{0, 3, 258, 259, 260};
    p.names = std::vector<std::string>{"alpha", "beta"};
    auto b = with_post(p).builder();
    EXPECT_EQ(load_messages(b), "");
    auto l = load(b, {"post"});
    post_elab* post = post_of(*l);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->numberOfGlyphs, 5);
    EXPECT_EQ(post->nameCount, 2);
    EXPECT_EQ(post->GlyphTextLength, 11);

    const post_elab* names = post;  // lookups only read the record
    EXPECT_EQ(glyph_name(2, names), "alpha");
    EXPECT_EQ(post->glyphNameIndex[2], 258);  // asking leaves the index as it was
    EXPECT_EQ(glyph_name(0, names), ".notdef");
    EXPECT_EQ(glyph_name(1, names), "space");
    EXPECT_EQ(glyph_name(3, names), "beta");
    // An index past the parsed names gives the fallback name of the glyph, not the index.
    EXPECT_EQ(glyph_name(4, names), fallback(4));
    EXPECT_EQ(glyph_name(5, names), fallback(5));  // past numberOfGlyphs
}

TEST(PostNames, FallbackNamesAreIndependentValues) {
    const std::string first = fallback_glyph_name(0x1a);
    EXPECT_EQ(first, ".glyphindex001a");
    const std::string second = fallback_glyph_name(0x12345);  // modulo 65536
    EXPECT_EQ(second, ".glyphindex2345");
    EXPECT_EQ(first, ".glyphindex001a");
}

TEST(PostNames, GlyphIndexOfFindsTheFirstGlyph) {
    auto l =
        load(with_post(names_post({".notdef", "space", "x", "dup", "y", "dup", "z"})).builder(),
             {"post"});
    post_elab* post = post_of(*l);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(glyph_index_of(".notdef", post), 0);
    EXPECT_EQ(glyph_index_of("dup", post), 3);
    EXPECT_EQ(glyph_index_of("Dup", post), 0);  // case-sensitive
    EXPECT_EQ(glyph_index_of("y", post), 4);
    EXPECT_EQ(glyph_index_of("z", post), 6);

    EXPECT_EQ(glyph_index_of(".glyphindex1a", post), 26);
    EXPECT_EQ(glyph_index_of(".glyphindex 0x1A", post), 26);
    EXPECT_EQ(glyph_index_of(".glyphindex12345", post), 0x2345);
    EXPECT_EQ(glyph_index_of(".glyphindex", post), 0);
    EXPECT_EQ(glyph_index_of(".glyphindexzz", post), 0);
    EXPECT_EQ(glyph_index_of(nullptr, post), 0);
    EXPECT_EQ(glyph_index_of("x", nullptr), 0);
}

TEST(PostNames, OtherVersionsWarnAndUseFallbackNames) {
    struct version_case {
        ULONG version;
        std::string message;
    };
    const version_case cases[] = {
        {0x00030000, "do_post: warning: empty 3.0 \"post\" table, fallback names will be used\n"},
        {0x00028000, "do_post: warning: post format 2.5 not supported\n"},
        {0x00025000, "do_post: warning: unknown post format 0x00025000\n"},
        {0x00040000, "do_post: warning: unknown post format 0x00040000\n"},
    };
    for (const auto& c : cases) {
        tf::post_table p;
        p.version = c.version;
        p.offsets = {0, 1, 2};
        auto b = with_post(p).builder();
        EXPECT_EQ(load_messages(b), c.message);
        auto l = load(b, {"post"});
        post_elab* post = post_of(*l);
        ASSERT_NE(post, nullptr);
        EXPECT_EQ(post->numberOfGlyphs, 0);
        EXPECT_EQ(glyph_name(0, post), ".notdef");
        EXPECT_EQ(glyph_name(3, post), fallback(3));
        EXPECT_EQ(glyph_index_of("space", post), 0);
    }
}

TEST(PostNames, NamesAreaMessages) {
    // A space and a byte 0xE9 become 'X', one message per character.
    tf::post_table odd = names_post({".notdef", "a b\xE9", "c"});
    auto b = with_post(odd).builder();
    EXPECT_EQ(load_messages(b),
              "Non-graphic or non-ASCII char in POST glyph name: ' ' (using 'X' instead)\n"
              "Non-graphic or non-ASCII char in POST glyph name: '\xE9' (using 'X' instead)\n");
    auto l = load(b, {"post"});
    EXPECT_EQ(glyph_name(1, post_of(*l)), "aXbX");
    EXPECT_EQ(glyph_name(2, post_of(*l)), "c");

    // A last name that claims more bytes than remain stops the conversion; names before it
    // are usable and the glyphs after fall back.
    tf::post_table cut = names_post({".notdef", "n1", "n2", "n3"});
    cut.names_area = tf::concat(tf::text_bytes("\x02n1\x02n2"), tf::bytes{9, 'n', '3'});
    auto cb = with_post(cut).builder();
    EXPECT_EQ(load_messages(cb), "Cannot read all of POST: glyph name too long or misplaced\n");
    auto cl = load(cb, {"post"});
    EXPECT_EQ(post_of(*cl)->nameCount, 2);
    EXPECT_EQ(glyph_name(2, post_of(*cl)), "n2");
    EXPECT_EQ(glyph_name(3, post_of(*cl)), fallback(3));

    tf::post_table negative = names_post({".notdef", "n1", "n2"});
    negative.names_area = tf::concat(tf::text_bytes("\x02n1"), tf::bytes{0x80, 'n', '2'});
    auto nb = with_post(negative).builder();
    EXPECT_EQ(load_messages(nb), "Cannot read all of POST: negative string length\n");
    auto nl = load(nb, {"post"});
    EXPECT_EQ(glyph_name(1, post_of(*nl)), "n1");
    EXPECT_EQ(glyph_name(2, post_of(*nl)), fallback(2));

    // Empty names (length byte 0) count as names.
    tf::post_table empty = names_post({".notdef", "n1", "n2"});
    empty.names_area = tf::concat(tf::bytes{0}, tf::text_bytes("\x02n2"));
    auto el = load(with_post(empty).builder(), {"post"});
    EXPECT_EQ(el->err, "");
    EXPECT_EQ(glyph_name(1, post_of(*el)), "");
    EXPECT_EQ(glyph_name(2, post_of(*el)), "n2");
}

TEST(PostNames, BrokenTableLengths) {
    // The directory claims more bytes than the file holds.
    auto parts = with_post(names_post({".notdef", "alpha"}));
    auto b = parts.builder();
    b.table("post").length = 0x100000;
    EXPECT_EQ(run_font(b)->run.status, 255);  // a truncated file, loaded only when forced
    auto forced = elabtest::load(b, {"post"}, true);
    EXPECT_NE(forced->err.find("is truncated: table post"), std::string::npos) << forced->err;
    EXPECT_NE(forced->err.find("read as 0\nCannot read post->GlyphText!\n"), std::string::npos)
        << forced->err;

    // The directory claims fewer bytes than the glyph indices take: a negative names area.
    auto s = parts.builder();
    s.table("post").length = 32;
    EXPECT_EQ(load_messages(s), "Out of memory!\nfont: no post table\n");

    // More glyphs than the table holds: only the indices it holds are kept, and glyphs
    // past them get the fallback name rather than .notdef from indices made up as zeros.
    auto t = parts.builder();
    t.table("post").data.resize(38);
    tf::put_u16(t.table("post").data, 32, 500);
    elabtest::move_table_last(t, "post");
    auto l = load(t, {"post"});
    EXPECT_EQ(l->err,
              "Warning: post: numberOfGlyphs claims 500 glyph name indices, 2 fit in the table\n");
    ASSERT_NE(post_of(*l), nullptr);
    EXPECT_EQ(post_of(*l)->numberOfGlyphs, 2);
    EXPECT_EQ(glyph_name(499, post_of(*l)), fallback(499));
    EXPECT_EQ(glyph_index_of("A", post_of(*l)), 0);

    // A zero-length table at the end of the file reads as version 0, and says it is cut short.
    auto z = tf::standard_font();
    z.table("post").data.clear();
    elabtest::move_table_last(z, "post");
    EXPECT_EQ(load_messages(z),
              "do_post: warning: unknown post format 0x00000000\n"
              "Warning: post: the table is cut short; fields past its 0 bytes read as 0\n");
}

TEST(PostNames, FontWithoutPost) {
    auto b = tf::standard_font();
    b.remove_table("post");
    auto r = run_font(b);
    EXPECT_EQ(r->run.err, "No \"post\" table in font \"" + r->path + "\"!\nfont: no post table\n");
}

TEST(PostNames, MoreThan32767NamesKeepAll16BitsOfTheirIndex) {
    // Glyph g is named "g" + g, except glyph 32900, which is A (standard index 36).
    tf::post_table p;
    std::vector<uint16_t> indices{0};
    std::vector<std::string> names;
    for (int g = 1; g < 33000; ++g) {
        if (g == 32900) {
            indices.push_back(36);
            continue;
        }
        indices.push_back(static_cast<uint16_t>(258 + names.size()));
        names.push_back("g" + std::to_string(g));
    }
    p.glyphNameIndex = indices;
    p.names = names;
    auto b = with_post(p).builder();
    EXPECT_EQ(load_messages(b),
              "Warning: This font contain more PostScript names (32,767) than I can reliably "
              "encode\n");
    auto l = load(b, {"post"});
    post_elab* post = post_of(*l);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->glyphNameIndex[32800], 258 + 32799);
    EXPECT_EQ(glyph_name(32800, post), "g32800");
    EXPECT_EQ(glyph_name(32800, post), "g32800");  // asking twice changes nothing
    EXPECT_EQ(glyph_name(32900, post), "A");
    EXPECT_EQ(glyph_index_of("g32999", post), 32999);
    EXPECT_EQ(glyph_index_of("A", post), 32900);
}

TEST(PostNames, UnifontSampleNamesEveryGlyphBackToItself) {
    const char* path = "/usr/share/fonts/truetype/unifont/unifont_sample.ttf";
    if (!testrun::file_exists(path)) GTEST_SKIP() << "unifont_sample.ttf is not installed";
    testing::internal::CaptureStderr();
    run_notices notices;
    auto font = load_font(path, {false, notices});
    ASSERT_NE(font, nullptr);
    load_elab_table(*font, "cmap", 1);
    load_elab_table(*font, "post", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: This font contain more PostScript names (32,767) than I can reliably "
              "encode\n");
    post_elab* post = post_table(*font);
    ASSERT_NE(post, nullptr);
    ASSERT_GT(post->numberOfGlyphs, 0x8000);

    // The glyph of U+FFFD has a name index above 0x8000 and keeps its own name.
    auto* slot = find_cmap_subtable(*font, 3, 1);
    ASSERT_NE(slot, nullptr);
    USHORT g = char_to_glyph(0xFFFD, slot->get());
    ASSERT_NE(g, 0);
    EXPECT_GE(post->glyphNameIndex[g], 0x8000);
    EXPECT_EQ(glyph_name(g, post), "U+FFFD");

    // Every name resolves to the first glyph that has it; with 63,489 glyphs this also
    // shows that a lookup does not rescan the glyphs.
    for (unsigned i = 1; i < post->numberOfGlyphs; ++i) {
        std::string name = glyph_name(i, post);
        USHORT found = glyph_index_of(name.c_str(), post);
        ASSERT_LE(found, i) << name;
        ASSERT_EQ(name, glyph_name(found, post)) << i;
    }
}
