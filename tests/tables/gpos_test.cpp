// The GPOS reader behind gpos_kern_pairs: each pair adjustment format and class case, the
// first-subtable and sum-over-lookups rules, extensions, and damaged tables.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "tables/elab_fixture.h"
#include "tables/gpos.h"

namespace tf = testfont;

namespace {

using pair_list = std::vector<std::tuple<int, int, long>>;  // left, right, font units

struct kerning_result {
    std::string err;
    pair_list pairs;
    std::size_t lookups = 0;
};

tf::font_builder with_gpos(const tf::gpos_table& gpos) {
    auto parts = tf::standard_parts();
    parts.with_kern = false;
    auto b = parts.builder();
    b.add_table("GPOS", gpos.serialize());
    b.sort_tables();
    return b;
}

kerning_result kerning_of(const tf::font_builder& b) {
    auto l = elabtest::load(b, {"maxp"});  // the glyph count, as `font` elaborates it
    EXPECT_EQ(l->err, "");
    kerning_result r;
    r.err = elabtest::stderr_of([&] {
        const gpos_kerning& k = gpos_kern_pairs(*l->font);
        for (const gpos_pair& p : k.pairs) r.pairs.emplace_back(p.left, p.right, p.value);
        r.lookups = k.pair_lookups;
    });
    return r;
}

kerning_result kerning_of(std::vector<tf::gpos_lookup> lookups) {
    return kerning_of(with_gpos(tf::kern_gpos(std::move(lookups))));
}

tf::bytes pairs1(std::vector<uint16_t> coverage, std::vector<std::vector<tf::gpos_pair_value>> sets,
                 uint16_t valueFormat1 = 0x0004) {
    return tf::gpos_pair_format1(tf::gpos_coverage1(coverage), valueFormat1, 0, sets);
}

// A-a -50 in a subtable of its own: what a good subtable beside a bad one gives.
tf::bytes a_pair() {
    return pairs1({tf::G_A}, {{{tf::G_a, {-50}}}});
}

// Every glyph of the 8-glyph standard font but those listed.
std::vector<int> all_but(std::vector<int> left_out) {
    std::vector<int> glyphs;
    for (int g = 0; g < tf::STANDARD_GLYPH_COUNT; ++g)
        if (std::find(left_out.begin(), left_out.end(), g) == left_out.end()) glyphs.push_back(g);
    return glyphs;
}

void add_row(pair_list& pairs, int left, const std::vector<int>& rights, long value) {
    for (int right : rights) pairs.emplace_back(left, right, value);
}

}  // namespace

TEST(GposKerning, Format1ListsPairsGlyphByGlyph) {
    // A second glyph beyond the glyph count and a zero value give no pair.
    auto r = kerning_of({{2,
                          {pairs1({tf::G_B, tf::G_A}, {{{tf::G_A, {-30}}, {tf::G_a, {0}}},
                                                       {{tf::G_a, {-50}}, {200, {10}}}})}}});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.lookups, 1u);
    EXPECT_EQ(r.pairs, (pair_list{{tf::G_A, tf::G_a, -50}, {tf::G_B, tf::G_A, -30}}));

    // Coverage format 2: a range's glyphs take indices from its startCoverageIndex.
    auto ranges = tf::gpos_coverage2({{tf::G_A, tf::G_B, 1}, {tf::G_BALT, tf::G_BALT, 0}});
    auto r2 = kerning_of(
        {{2,
          {tf::gpos_pair_format1(ranges, 0x0004, 0,
                                 {{{tf::G_a, {-7}}}, {{tf::G_a, {-5}}}, {{tf::G_a, {-6}}}})}}});
    EXPECT_EQ(r2.err, "");
    EXPECT_EQ(
        r2.pairs,
        (pair_list{{tf::G_A, tf::G_a, -5}, {tf::G_B, tf::G_a, -6}, {tf::G_BALT, tf::G_a, -7}}));
}

// Value records of any format: only the first glyph's XAdvance counts; every other field,
// device offsets included, is read past.
class GposValueFormats : public testing::TestWithParam<std::pair<uint16_t, uint16_t>> {};

TEST_P(GposValueFormats, OnlyTheFirstXAdvanceIsKerning) {
    auto [format1, format2] = GetParam();
    auto fields = [](uint16_t format) {
        std::vector<int16_t> values;
        for (int bit = 0; bit < 8; ++bit)
            if (format & (1 << bit))
                values.push_back(bit == 2 ? -70 : static_cast<int16_t>(900 + bit));
        return values;
    };
    auto v1 = fields(format1), v2 = fields(format2);
    auto listed = tf::gpos_pair_format1(tf::gpos_coverage1({tf::G_A}), format1, format2,
                                        {{{tf::G_a, v1, v2}, {tf::G_B, v1, v2}}});
    std::vector<int16_t> cell = v1;
    cell.insert(cell.end(), v2.begin(), v2.end());
    auto classes = tf::gpos_pair_format2(
        tf::gpos_coverage1({tf::G_B}), format1, format2, tf::gpos_class_def1(0, {}),
        tf::gpos_class_def2({{tf::G_a, tf::G_a, 1}}), 1, 2, {{}, cell});
    auto r = kerning_of({{2, {listed}}, {2, {classes}}});
    EXPECT_EQ(r.err, "");
    pair_list want;
    if (format1 & 0x0004)
        want = {{tf::G_A, tf::G_B, -70}, {tf::G_A, tf::G_a, -70}, {tf::G_B, tf::G_a, -70}};
    EXPECT_EQ(r.pairs, want);
}

INSTANTIATE_TEST_SUITE_P(Formats, GposValueFormats,
                         testing::Values(std::pair<uint16_t, uint16_t>{0x0004, 0},
                                         std::pair<uint16_t, uint16_t>{0x0005, 0x0004},
                                         std::pair<uint16_t, uint16_t>{0x0007, 0x00FF},
                                         std::pair<uint16_t, uint16_t>{0x00FF, 0x0000},
                                         std::pair<uint16_t, uint16_t>{0x00F6, 0x0011},
                                         std::pair<uint16_t, uint16_t>{0x000B, 0x0004},
                                         std::pair<uint16_t, uint16_t>{0x0000, 0x00FF}));

// Format 2 with both class definition formats on either side. Glyphs that a class
// definition does not list are class 0: covered first glyphs of class 0 use row 0, and
// every glyph of the font not in the second definition takes column 0.
class GposClassDefinitions : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(GposClassDefinitions, ClassZeroOfBothDefinitionsExpandsToGlyphs) {
    auto [format1, format2] = GetParam();
    // First classes: A 1, B 0 (listed), a and Aring unlisted.
    auto def1 = format1 == 1 ? tf::gpos_class_def1(tf::G_A, {1, 0})
                             : tf::gpos_class_def2({{tf::G_A, tf::G_A, 1}, {tf::G_B, tf::G_B, 0}});
    // Second classes: a 1, Aring 2.
    auto def2 = format2 == 1
                    ? tf::gpos_class_def1(tf::G_a, {1, 0, 2})
                    : tf::gpos_class_def2({{tf::G_a, tf::G_a, 1}, {tf::G_ARING, tf::G_ARING, 2}});
    auto sub = tf::gpos_class_kerning(tf::gpos_coverage1({tf::G_A, tf::G_B, tf::G_a}), def1, def2,
                                      {{-5, -10, 0}, {0, -20, -30}});
    auto r = kerning_of({{2, {sub}}});
    EXPECT_EQ(r.err, "");
    pair_list want;
    add_row(want, tf::G_A, {tf::G_a}, -20);
    add_row(want, tf::G_A, {tf::G_ARING}, -30);
    for (int left : {tf::G_B, tf::G_a}) {
        pair_list row;
        add_row(row, left, all_but({tf::G_a, tf::G_ARING}), -5);
        add_row(row, left, {tf::G_a}, -10);
        std::sort(row.begin(), row.end());
        want.insert(want.end(), row.begin(), row.end());
    }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(r.pairs, want);
}

INSTANTIATE_TEST_SUITE_P(Formats, GposClassDefinitions,
                         testing::Values(std::pair{1, 1}, std::pair{1, 2}, std::pair{2, 1},
                                         std::pair{2, 2}));

TEST(GposKerning, TheFirstSubtableThatCoversAPairGivesItsValue) {
    // A-a is covered with 0 first, so neither later subtable kerns it; the class subtable
    // covers every pair of A and B; only a-A is left for the last one.
    auto first = pairs1({tf::G_A}, {{{tf::G_a, {0}}, {tf::G_B, {-10}}}});
    auto classes =
        tf::gpos_class_kerning(tf::gpos_coverage2({{tf::G_A, tf::G_B, 0}}),
                               tf::gpos_class_def1(0, {}), tf::gpos_class_def1(0, {}), {{-7}});
    auto last = pairs1({tf::G_A, tf::G_B, tf::G_a},
                       {{{tf::G_a, {-99}}}, {{tf::G_a, {-99}}}, {{tf::G_A, {-3}}}});
    auto r = kerning_of({{2, {first, classes, last}}});
    EXPECT_EQ(r.err, "");
    pair_list want;
    add_row(want, tf::G_A, all_but({tf::G_a, tf::G_B}), -7);
    add_row(want, tf::G_A, {tf::G_B}, -10);
    add_row(want, tf::G_B, all_but({}), -7);
    add_row(want, tf::G_a, {tf::G_A}, -3);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(r.pairs, want);
}

TEST(GposKerning, KernLookupsAreSummedOnceEachInLookupOrder) {
    tf::gpos_table gpos;
    gpos.lookups = {
        {2, {pairs1({tf::G_A, tf::G_a}, {{{tf::G_a, {-50}}}, {{tf::G_A, {-5}}}})}},
        {2,
         {pairs1({tf::G_A, tf::G_B, tf::G_a},
                 {{{tf::G_a, {20}}}, {{tf::G_A, {-30}}}, {{tf::G_A, {5}}}})}},
        {2, {pairs1({tf::G_A}, {{{tf::G_B, {-1000}}}})}},  // liga
        {2, {pairs1({tf::G_B}, {{{tf::G_a, {-1}}}})}},     // a kern feature nothing uses
        {2, {pairs1({tf::G_B}, {{{tf::G_B, {-2}}}})}},     // the required feature's
        {1, {tf::bytes(8, 0)}},                            // not a pair lookup
    };
    gpos.features = {
        {"kern", {1, 0, 1, 5}}, {"liga", {2}}, {"kern", {0}}, {"kern", {3}}, {"kern", {4}}};
    gpos.used_features = std::vector<uint16_t>{0, 1, 2};
    gpos.requiredFeatureIndex = 4;
    auto r = kerning_of(with_gpos(gpos));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.lookups, 3u);  // a-A sums to 0 and is left out
    EXPECT_EQ(
        r.pairs,
        (pair_list{{tf::G_A, tf::G_a, -30}, {tf::G_B, tf::G_A, -30}, {tf::G_B, tf::G_B, -2}}));
}

TEST(GposKerning, ExtensionsWrapPairSubtables) {
    auto classes = tf::gpos_class_kerning(tf::gpos_coverage1({tf::G_B}), tf::gpos_class_def1(0, {}),
                                          tf::gpos_class_def2({{tf::G_A, tf::G_A, 1}}), {{0, -40}});
    auto r = kerning_of({{9, {tf::gpos_extension(2, a_pair()), tf::gpos_extension(2, classes)}},
                         {9, {tf::gpos_extension(9, tf::gpos_extension(2, a_pair()))}}});
    EXPECT_EQ(r.err, "gpos_kern_pairs: lookup 1 subtable 0: extension of an extension, skipped\n");
    EXPECT_EQ(r.lookups, 2u);
    EXPECT_EQ(r.pairs, (pair_list{{tf::G_A, tf::G_a, -50}, {tf::G_B, tf::G_A, -40}}));
}

TEST(GposKerning, AFontWithoutGposHasNoKerning) {
    auto l = elabtest::load(tf::standard_font(), {});
    EXPECT_EQ(elabtest::stderr_of([&] {
                  EXPECT_TRUE(gpos_kern_pairs(*l->font).pairs.empty());
                  EXPECT_EQ(gpos_table(*l->font), nullptr);
              }),
              "");
}

// A damaged subtable is skipped with one message; the good one after it still counts.
struct bad_subtable {
    const char* name;
    tf::bytes subtable;
    const char* why;
    bool extension = false;  // in an extension lookup
};

class GposBadSubtable : public testing::TestWithParam<bad_subtable> {};

TEST_P(GposBadSubtable, IsSkippedWithOneMessage) {
    const bad_subtable& c = GetParam();
    auto r = c.extension ? kerning_of({{9, {c.subtable, tf::gpos_extension(2, a_pair())}}})
                         : kerning_of({{2, {c.subtable, a_pair()}}});
    EXPECT_EQ(r.err, std::string("gpos_kern_pairs: lookup 0 subtable 0: ") + c.why + ", skipped\n");
    EXPECT_EQ(r.pairs, (pair_list{{tf::G_A, tf::G_a, -50}}));
}

namespace {

tf::bytes patched(tf::bytes b, std::size_t at, uint16_t v) {
    tf::put_u16(b, at, v);
    return b;
}

tf::bytes class_subtable(tf::bytes def1, tf::bytes def2, std::vector<std::vector<int16_t>> rows) {
    return tf::gpos_class_kerning(tf::gpos_coverage1({tf::G_B}), def1, def2, rows);
}

const tf::bytes kGoodPairs = pairs1({tf::G_B}, {{{tf::G_A, {-1}}}});
const tf::bytes kGoodClasses =
    class_subtable(tf::gpos_class_def1(0, {}), tf::gpos_class_def1(0, {}), {{-1}});

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, GposBadSubtable,
    testing::Values(
        bad_subtable{"coverage_offset", patched(kGoodPairs, 2, 0xFFF0), "coverage past the table"},
        bad_subtable{"coverage_count", patched(kGoodPairs, 14, 0x7FFF), "coverage past the table"},
        bad_subtable{"pair_set_count", patched(kGoodPairs, 8, 0x7FFF), "pair sets past the table"},
        bad_subtable{"pair_set_offset", patched(kGoodPairs, 10, 0xFF00), "pair set past the table"},
        bad_subtable{"pair_value_count", patched(kGoodPairs, 18, 0x4000), "pair set past the table"},
        bad_subtable{"coverage_index", patched(kGoodPairs, 14, 2), "coverage index past the pair sets"},
        bad_subtable{"ranges_out_of_order",
                     tf::gpos_pair_format1(tf::gpos_coverage2({{5, 6, 0}, {2, 3, 2}}), 0x0004, 0,
                                           {{}, {}, {}, {}}),
                     "coverage ranges out of order"},
        bad_subtable{"range_backwards",
                     tf::gpos_pair_format1(tf::gpos_coverage2({{3, 2, 0}}), 0x0004, 0, {{}, {}}),
                     "coverage ranges out of order"},
        bad_subtable{"coverage_format", patched(kGoodPairs, 12, 3), "unknown coverage format"},
        bad_subtable{"pair_format", patched(kGoodPairs, 0, 3), "unknown pair adjustment format"},
        bad_subtable{"class2_past_count",
                     class_subtable(tf::gpos_class_def1(0, {}),
                                    tf::gpos_class_def2({{tf::G_A, tf::G_A, 1}}), {{-1}}),
                     "class past the class count"},
        bad_subtable{"class1_past_count",
                     class_subtable(tf::gpos_class_def1(tf::G_B, {3}), tf::gpos_class_def1(0, {}),
                                    {{-1}, {-2}}),
                     "class past the class count"},
        bad_subtable{"class_records", patched(kGoodClasses, 12, 0x4000), "class records past the table"},
        bad_subtable{"class_def_offset", patched(kGoodClasses, 8, 0xFFF0),
                     "class definition past the table"},
        bad_subtable{"class_def_format", patched(kGoodClasses, 24, 7),
                     "unknown class definition format"},
        bad_subtable{"extension_offset",
                     [] {
                         auto e = tf::gpos_extension(2, kGoodPairs);
                         tf::put_u32(e, 4, 0x00FFFFFF);
                         return e;
                     }(),
                     "offset past the table", true},
        bad_subtable{"extension_of_extension", tf::gpos_extension(9, tf::gpos_extension(2, kGoodPairs)),
                     "extension of an extension", true}),
    [](const testing::TestParamInfo<bad_subtable>& info) { return std::string(info.param.name); });

TEST(GposBadLists, ReferencesPastTheListsAreReportedAndSkipped) {
    tf::gpos_table gpos = tf::kern_gpos({{2, {a_pair()}}});
    gpos.features[0].lookupListIndices = {7, 0};
    gpos.used_features = std::vector<uint16_t>{9, 0};
    auto r = kerning_of(with_gpos(gpos));
    EXPECT_EQ(r.err,
              "do_gpos: feature index 9 past the feature list, skipped\n"
              "gpos_kern_pairs: lookup index 7 past the lookup list\n");
    EXPECT_EQ(r.pairs, (pair_list{{tf::G_A, tf::G_a, -50}}));

    tf::gpos_table v2 = tf::kern_gpos({{2, {a_pair()}}});
    v2.majorVersion = 2;
    auto r2 = kerning_of(with_gpos(v2));
    EXPECT_EQ(r2.err, "do_gpos: version 2.0 of GPOS table unknown\n");
    EXPECT_TRUE(r2.pairs.empty());
}

TEST(GposBadLists, CountsAndOffsetsPastTheTable) {
    // Truncated tables, from nothing to all but the last byte: no crash, no pairs beyond
    // what the remaining bytes hold, at most a few lines of complaint.
    const tf::bytes whole = tf::kern_gpos({{2, {a_pair()}}}).serialize();
    for (std::size_t n = 0; n < whole.size(); ++n) {
        auto parts = tf::standard_parts();
        parts.with_kern = false;
        auto b = parts.builder();
        b.add_table("GPOS", tf::bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
        elabtest::move_table_last(b, "GPOS");
        auto r = kerning_of(b);
        EXPECT_TRUE(r.pairs.empty()) << n;
        EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 4) << n << r.err;
    }

    // Every list count at its largest, the lists at the end of the table.
    tf::bytes counts = whole;
    for (std::size_t at : {10u, 26u, 30u, 44u}) tf::put_u16(counts, at, 0xFFFF);
    auto parts = tf::standard_parts();
    parts.with_kern = false;
    auto b = parts.builder();
    b.add_table("GPOS", counts);
    auto r = kerning_of(b);
    EXPECT_NE(r.err.find("do_gpos: feature list runs past the table"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("do_gpos: lookup list runs past the table"), std::string::npos) << r.err;
}

// Inputs that would cost far more than their size: feature records that all point at one
// lookup-index list, and pair subtables whose per-glyph class set-up is the work.
TEST(GposHostile, FeaturesPointingAtOneListShareIt) {
    constexpr std::size_t kFeatures = 10000, kIndices = 2000;
    tf::bytes gpos = tf::kern_gpos({{2, {a_pair()}}}).serialize();
    const std::size_t list = gpos.size();  // a new feature list, at the end
    tf::put_u16(gpos, 6, static_cast<uint16_t>(list));
    const std::size_t shared = 2 + 6 * kFeatures;  // the one feature table, after the records
    tf::bytes features(shared + 4 + 2 * kIndices, 0);
    tf::put_u16(features, 0, kFeatures);
    for (std::size_t i = 0; i < kFeatures; ++i) {
        std::copy_n("kern", 4, features.begin() + static_cast<long>(2 + 6 * i));
        tf::put_u16(features, 2 + 6 * i + 4, static_cast<uint16_t>(shared));
    }
    tf::put_u16(features, shared + 2, kIndices);  // every index 0: the A-a lookup
    gpos.insert(gpos.end(), features.begin(), features.end());

    auto parts = tf::standard_parts();
    parts.with_kern = false;
    auto b = parts.builder();
    b.add_table("GPOS", gpos);
    b.sort_tables();
    auto l = elabtest::load(b, {"maxp"});
    const gpos_elab* record = gpos_table(*l->font);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->features.size(), kFeatures);
    const auto& first = record->features.front().lookupListIndices;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->size(), kIndices);
    for (const gpos_feature& f : record->features) EXPECT_EQ(f.lookupListIndices, first);
    EXPECT_EQ(kern_feature_lookups(*record), std::vector<USHORT>{0});
}

TEST(GposHostile, ClassSetUpIsChargedToTheWorkBudget) {
    // One lookup of 2,000 copies of a class subtable in a font of 65,535 glyphs: each copy
    // would fill three glyph-sized arrays.
    auto sub = tf::gpos_class_kerning(tf::gpos_coverage1({tf::G_A}), {}, {}, {{-5}});
    tf::put_u16(sub, 8, 0);  // no class definitions: every glyph is class 0
    tf::put_u16(sub, 10, 0);
    auto parts = tf::standard_parts();
    parts.with_kern = false;
    parts.maxp.numGlyphs = 0xFFFF;
    auto b = parts.builder();
    b.add_table("GPOS", tf::kern_gpos({{2, std::vector<tf::bytes>(2000, sub)}}).serialize());
    b.sort_tables();
    auto r = kerning_of(b);
    EXPECT_NE(r.err.find("more work than the table's size allows"), std::string::npos) << r.err;
    EXPECT_EQ(r.pairs.size(), 0xFFFFu);  // A with every glyph, from the first copy
}
