// The GSUB reader behind gsub_ligatures: two-glyph ligatures of the liga feature, direct
// and through extensions, and damaged subtables skipped with one message each.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "tables/elab_fixture.h"
#include "tables/gsub.h"

namespace tf = testfont;

namespace {

using ligature_list = std::vector<std::tuple<int, int, int>>;  // first, second, ligature

struct ligature_result {
    std::string err;
    ligature_list ligatures;
};

ligature_result ligatures_of(const tf::gpos_table& gsub) {
    auto parts = tf::standard_parts();
    auto b = parts.builder();
    b.add_table("GSUB", gsub.serialize());
    b.sort_tables();
    auto l = elabtest::load(b, {"maxp"});
    EXPECT_EQ(l->err, "");
    ligature_result r;
    r.err = elabtest::stderr_of([&] {
        for (const gsub_ligature& g : gsub_ligatures(*l->font))
            r.ligatures.emplace_back(g.first, g.second, g.ligature);
    });
    return r;
}

// A liga feature over the lookups, in order.
tf::gpos_table liga(std::vector<tf::gpos_lookup> lookups) {
    tf::gpos_table t = tf::kern_gpos(std::move(lookups));
    t.features[0].tag = "liga";
    return t;
}

// A + a -> B, A + B -> a; A + a + a is three glyphs and left out.
tf::bytes a_ligatures() {
    return tf::gsub_ligature_subst(
        tf::gpos_coverage1({tf::G_A}),
        {{{tf::G_B, {tf::G_a}}, {tf::G_a, {tf::G_B}}, {tf::G_B, {tf::G_a, tf::G_a}}}});
}

}  // namespace

TEST(GsubLigatures, TwoGlyphLigaturesOfLigaDirectAndThroughExtensions) {
    // B + A -> a through an extension; a second A + a in a later lookup loses to the first.
    auto b_ligature = tf::gsub_ligature_subst(tf::gpos_coverage2({{tf::G_B, tf::G_B, 0}}),
                                              {{{tf::G_a, {tf::G_A}}}});
    auto later = tf::gsub_ligature_subst(tf::gpos_coverage1({tf::G_A}), {{{tf::G_A, {tf::G_a}}}});
    tf::gpos_table gsub = liga({{4, {a_ligatures()}},
                                {7, {tf::gpos_extension(4, b_ligature)}},
                                {4, {later}},
                                {1, {later}}});
    // A feature of another tag is not looked at.
    gsub.features.push_back({"dlig", {2}});
    auto r = ligatures_of(gsub);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.ligatures, (ligature_list{{tf::G_A, tf::G_B, tf::G_a},
                                          {tf::G_A, tf::G_a, tf::G_B},
                                          {tf::G_B, tf::G_A, tf::G_a}}));
}

TEST(GsubLigatures, AFontWithoutGsubHasNone) {
    auto l = elabtest::load(tf::standard_font(), {});
    EXPECT_EQ(elabtest::stderr_of([&] {
                  EXPECT_TRUE(gsub_ligatures(*l->font).empty());
                  EXPECT_EQ(gsub_table(*l->font), nullptr);
              }),
              "");
}

// Each damage is reported once, naming lookup and subtable; the good subtable after it
// still counts, and glyphs past the glyph count are left out without a message.
TEST(GsubLigatures, DamagedSubtablesAreSkippedWithOneMessage) {
    tf::bytes past_sets =
        tf::gsub_ligature_subst(tf::gpos_coverage1({tf::G_A, tf::G_B}), {{{tf::G_B, {tf::G_a}}}});
    tf::bytes bad_format = a_ligatures();
    bad_format[1] = 2;
    tf::bytes out_of_range = tf::gsub_ligature_subst(tf::gpos_coverage1({tf::G_B}),
                                                     {{{900, {tf::G_a}}, {tf::G_a, {900}}}});
    tf::gpos_table gsub = liga({{4, {past_sets, a_ligatures()}},
                                {7, {tf::gpos_extension(7, tf::gpos_extension(4, a_ligatures()))}},
                                {4, {bad_format, out_of_range}}});
    gsub.features[0].lookupListIndices.push_back(40);
    auto r = ligatures_of(gsub);
    EXPECT_EQ(r.err,
              "gsub_ligatures: lookup index 40 past the lookup list\n"
              "gsub_ligatures: lookup 0 subtable 0: coverage index past the ligature sets, "
              "skipped\n"
              "gsub_ligatures: lookup 1 subtable 0: extension of an extension, skipped\n"
              "gsub_ligatures: lookup 2 subtable 0: unknown ligature substitution format, "
              "skipped\n");
    EXPECT_EQ(r.ligatures,
              (ligature_list{{tf::G_A, tf::G_B, tf::G_a}, {tf::G_A, tf::G_a, tf::G_B}}));
}
