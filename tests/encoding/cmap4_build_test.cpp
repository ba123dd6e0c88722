// The format 4 subtable built from code/glyph pairs: exact fields for the documented
// examples, the pair order among equal codes, and validity for any input.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "encoding/cmap4_build.h"
#include "encoding/encoding_pairs.h"

namespace {

using pairs_t = std::vector<encoding_pair>;

// The sort exactly as the encoding builder describes it.
void exchange_sort(pairs_t& p) {
    for (std::size_t i = 1; i < p.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (p[i].code < p[j].code) std::swap(p[i], p[j]);
}

// The build as described, without the duplicate and 0xFFFE/0xFFFF repairs; valid for
// sorted pairs with distinct codes that do not end in 0xFFFE, 0xFFFF.
cmap4_layout described_build(pairs_t p) {
    exchange_sort(p);
    std::size_t n = p.size(), segCount = 1;
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (p[i].code + 1u != p[i + 1].code) ++segCount;
    if (p[n - 1].code != 0xFFFF) ++segCount;
    cmap4_layout t;
    t.segCount = static_cast<USHORT>(segCount);
    t.endCount.assign(segCount, 0);
    t.startCount.assign(segCount, 0);
    t.idDelta.assign(segCount, 0);
    t.idRangeOffset.assign(segCount, 0);
    for (auto& e : p) t.glyphIdArray.push_back(e.glyph);
    std::size_t s = 0;
    t.startCount[0] = p[0].code;
    t.idRangeOffset[0] = static_cast<USHORT>(2 * segCount);
    for (std::size_t j = 0; j + 1 < n; ++j) {
        if (p[j].code + 1u == p[j + 1].code) continue;
        t.endCount[s++] = p[j].code;
        t.startCount[s] = p[j + 1].code;
        t.idRangeOffset[s] = static_cast<USHORT>(2 * (segCount - s + j + 1));
    }
    t.endCount[s] = p[n - 1].code;
    if (p[n - 1].code != 0xFFFF) {
        ++s;
        t.endCount[s] = t.startCount[s] = 0xFFFF;
        t.idDelta[s] = 1;
    }
    return t;
}

// Glyph of a code as a format 4 lookup finds it: the first segment ending at or above it.
USHORT lookup(const cmap4_layout& t, USHORT code) {
    for (std::size_t i = 0; i < t.segCount; ++i) {
        if (t.endCount[i] < code) continue;
        if (t.startCount[i] > code) return 0;
        if (t.idRangeOffset[i] == 0) return static_cast<USHORT>(code + t.idDelta[i]);
        long k = t.idRangeOffset[i] / 2 + (code - t.startCount[i]) - (t.segCount - i);
        if (k < 0 || k >= static_cast<long>(t.glyphIdArray.size())) return 0;
        USHORT g = t.glyphIdArray[static_cast<std::size_t>(k)];
        return g == 0 ? 0 : static_cast<USHORT>(g + t.idDelta[i]);
    }
    return 0;
}

// What a sanitizer insists on: strictly increasing, non-overlapping segments, the last
// exactly 0xFFFF-0xFFFF, offsets inside glyphIdArray, consistent header fields.
void expect_valid(const cmap4_layout& t) {
    ASSERT_GT(t.segCount, 0);
    EXPECT_EQ(t.segCountX2, 2 * t.segCount);
    EXPECT_EQ(t.length, 16 + 8 * t.segCount + 2 * t.glyphIdArray.size());
    EXPECT_EQ(t.searchRange, 2u << t.entrySelector);
    EXPECT_LE(t.searchRange / 2u, t.segCount);
    EXPECT_GT(t.searchRange, t.segCount);
    EXPECT_EQ(t.rangeShift, t.segCountX2 - t.searchRange);
    for (std::size_t i = 0; i < t.segCount; ++i) {
        EXPECT_LE(t.startCount[i], t.endCount[i]) << i;
        if (i > 0) {
            EXPECT_GT(t.startCount[i], t.endCount[i - 1]) << i;
        }
        if (t.idRangeOffset[i] != 0) {
            long last = t.idRangeOffset[i] / 2 + (t.endCount[i] - t.startCount[i]) -
                        (t.segCount - static_cast<long>(i));
            EXPECT_LT(last, static_cast<long>(t.glyphIdArray.size())) << i;
        }
    }
    EXPECT_EQ(t.startCount.back(), 0xFFFF);
    EXPECT_EQ(t.endCount.back(), 0xFFFF);
}

cmap4_layout build(pairs_t p, std::string* err = nullptr) {
    testing::internal::CaptureStderr();
    auto t = build_cmap4_layout(p, standard_error_sink());
    std::string e = testing::internal::GetCapturedStderr();
    if (err) *err = e;
    EXPECT_TRUE(t.has_value()) << e;
    return t.value_or(cmap4_layout{});
}

}  // namespace

TEST(Cmap4Build, ThreeCodesInTwoRunsAndTheTerminator) {
    std::string err;
    auto t = build({{0x44, 30}, {0x41, 10}, {0x42, 20}}, &err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(t.segCount, 3);
    EXPECT_EQ(t.segCountX2, 6);
    EXPECT_EQ(t.searchRange, 4);
    EXPECT_EQ(t.entrySelector, 1);
    EXPECT_EQ(t.rangeShift, 2);
    EXPECT_EQ(t.length, 46);
    EXPECT_EQ(t.startCount, (std::vector<USHORT>{0x41, 0x44, 0xFFFF}));
    EXPECT_EQ(t.endCount, (std::vector<USHORT>{0x42, 0x44, 0xFFFF}));
    EXPECT_EQ(t.idDelta, (std::vector<USHORT>{0, 0, 1}));
    EXPECT_EQ(t.idRangeOffset, (std::vector<USHORT>{6, 8, 0}));
    EXPECT_EQ(t.glyphIdArray, (std::vector<USHORT>{10, 20, 30}));
    EXPECT_EQ(lookup(t, 0x43), 0);
    EXPECT_EQ(lookup(t, 0x44), 30);
    EXPECT_EQ(lookup(t, 0xFFFF), 0);
}

TEST(Cmap4Build, A0xFFFFCodeIsItsOwnFinalSegment) {
    auto one = build({{0xFFFF, 7}});
    EXPECT_EQ(one.segCount, 1);
    EXPECT_EQ(one.startCount, (std::vector<USHORT>{0xFFFF}));
    EXPECT_EQ(one.idRangeOffset, (std::vector<USHORT>{2}));
    EXPECT_EQ(one.idDelta, (std::vector<USHORT>{0}));
    EXPECT_EQ(one.length, 16 + 8 + 2);
    EXPECT_EQ(one.searchRange, 2);
    EXPECT_EQ(one.entrySelector, 0);
    EXPECT_EQ(one.rangeShift, 0);

    auto two = build({{0xFFFF, 7}, {0x20, 3}});
    EXPECT_EQ(two.segCount, 2);
    EXPECT_EQ(two.startCount, (std::vector<USHORT>{0x20, 0xFFFF}));
    EXPECT_EQ(two.endCount, (std::vector<USHORT>{0x20, 0xFFFF}));
    EXPECT_EQ(two.idRangeOffset, (std::vector<USHORT>{4, 4}));
    EXPECT_EQ(two.glyphIdArray, (std::vector<USHORT>{3, 7}));
}

TEST(Cmap4Build, CodesEndingIn0xFFFEAnd0xFFFFStillEndWithA0xFFFFSegment) {
    auto t = build({{0xFFFD, 1}, {0xFFFE, 2}, {0xFFFF, 3}});
    expect_valid(t);
    EXPECT_EQ(t.segCount, 2);
    EXPECT_EQ(t.startCount, (std::vector<USHORT>{0xFFFD, 0xFFFF}));
    EXPECT_EQ(t.endCount, (std::vector<USHORT>{0xFFFE, 0xFFFF}));
    EXPECT_EQ(t.idRangeOffset, (std::vector<USHORT>{4, 2 * (2 - 1 + 2)}));
    EXPECT_EQ(t.glyphIdArray, (std::vector<USHORT>{1, 2, 3}));
    EXPECT_EQ(lookup(t, 0xFFFE), 2);
    EXPECT_EQ(lookup(t, 0xFFFF), 3);
}

TEST(Cmap4Build, DuplicateCodesWarnAndKeepOnlyThePairALookupFinds) {
    std::string err;
    // Exchange order: the later 0x40 carries the first 0x41 pair behind the second.
    auto t = build({{0x41, 1}, {0x41, 2}, {0x41, 3}, {0x40, 9}, {0x42, 5}}, &err);
    EXPECT_EQ(err,
              "Warning: encoding duplicates char code 0x0041\n"
              "Warning: encoding duplicates char code 0x0041\n");
    expect_valid(t);
    EXPECT_EQ(t.segCount, 2);
    EXPECT_EQ(t.startCount, (std::vector<USHORT>{0x40, 0xFFFF}));
    EXPECT_EQ(t.endCount, (std::vector<USHORT>{0x42, 0xFFFF}));
    EXPECT_EQ(t.glyphIdArray, (std::vector<USHORT>{9, 2, 5}));
    EXPECT_EQ(t.length, 16 + 16 + 6);
}

TEST(Cmap4Build, FillingMoreSegmentsThanCountedIsRefused) {
    cmap4_layout t;
    t.segCount = 2;  // the pairs below need three
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fill_segments({{0x41, 1}, {0x43, 2}}, t, standard_error_sink()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Corrupted cmap during build!\n");
}

TEST(Cmap4Build, NoPairsGiveNothingSilently) {
    pairs_t none;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(build_cmap4_layout(none, standard_error_sink()).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Cmap4Build, SubtablesBeyond16BitsAreRefused) {
    // Codes 1..n in one run: length 16 + 2 * 8 + 2n, so 32751 codes are the most.
    pairs_t fits, too_long, too_many;
    for (USHORT c = 1; c <= 32751; ++c) fits.push_back({c, 1});
    too_long = fits;
    too_long.push_back({32752, 1});
    for (int i = 0; i < 65536; ++i) too_many.push_back({1, 1});

    auto t = build(fits);
    EXPECT_EQ(t.length, 65534);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(build_cmap4_layout(too_long, standard_error_sink()).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "build_cmap4_subtable: the subtable would take 65536 bytes, more than its 16-bit "
              "length can hold\n");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(build_cmap4_layout(too_many, standard_error_sink()).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "build_cmap4_subtable: 65536 char codes, more than a format 4 subtable can hold "
              "(65535)\n");
}

TEST(Cmap4Build, SortKeepsTheExchangeOrderOfEqualCodes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        std::size_t n = rng() % 60 + 1;
        USHORT span = static_cast<USHORT>(rng() % 8 + 1);
        pairs_t p;
        for (std::size_t i = 0; i < n; ++i)
            p.push_back({static_cast<USHORT>(0x100 + rng() % span), static_cast<USHORT>(i)});
        pairs_t expected = p;
        exchange_sort(expected);
        sort_encoding_pairs(p);
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(p[i].code, expected[i].code) << round;
            ASSERT_EQ(p[i].glyph, expected[i].glyph) << "round " << round << " at " << i;
        }
    }
}

TEST(Cmap4Build, DistinctCodesGiveExactlyTheDescribedSubtable) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::map<USHORT, USHORT> m;
        std::size_t n = rng() % 200 + 1;
        bool high = round % 3 == 0;  // codes near 0xFFFF, where the terminator matters
        while (m.size() < n) {
            auto code = static_cast<USHORT>(high ? 0xFFFF - rng() % 300 : 1 + rng() % 400);
            m[code] = static_cast<USHORT>(rng() % 1000 + 1);
        }
        if (m.count(0xFFFE) && m.count(0xFFFF)) m.erase(0xFFFE);
        pairs_t p;
        for (auto [c, g] : m) p.push_back({c, g});
        std::shuffle(p.begin(), p.end(), rng);

        cmap4_layout want = described_build(p);
        cmap4_layout got = build(p);
        expect_valid(got);
        ASSERT_EQ(got.segCount, want.segCount);
        EXPECT_EQ(got.startCount, want.startCount);
        EXPECT_EQ(got.endCount, want.endCount);
        EXPECT_EQ(got.idDelta, want.idDelta);
        EXPECT_EQ(got.idRangeOffset, want.idRangeOffset);
        EXPECT_EQ(got.glyphIdArray, want.glyphIdArray);
    }
}

TEST(Cmap4Build, AnyPairsGiveAValidSubtableMappingTheFirstSortedPair) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        pairs_t p;
        std::size_t n = rng() % 80 + 1;
        for (std::size_t i = 0; i < n; ++i) {
            auto code = static_cast<USHORT>(round % 2 ? 0xFFFF - rng() % 12 : 1 + rng() % 40);
            p.push_back({code, static_cast<USHORT>(rng() % 500 + 1)});
        }
        pairs_t sorted = p;
        exchange_sort(sorted);
        std::map<USHORT, USHORT> first;
        for (auto& e : sorted) first.emplace(e.code, e.glyph);

        std::string err;
        cmap4_layout t = build(p, &err);
        expect_valid(t);
        EXPECT_EQ(t.glyphIdArray.size(), first.size());
        for (auto [code, glyph] : first) EXPECT_EQ(lookup(t, code), glyph) << code;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'),
                  static_cast<long>(p.size() - first.size()));
    }
}

TEST(Cmap4Build, TooLongForTheSpecifiedLayoutGivesTheCompactOne) {
    // 40,000 codes in runs of consecutive glyph IDs broken by scattered glyphs, a code
    // mapped alone, and 0xFFFF mapped: 80 KB through glyphIdArray, far less through idDelta.
    std::mt19937 rng(5);
    std::map<USHORT, USHORT> m;
    for (unsigned c = 0x100; c < 0x100 + 40000; ++c)
        m[static_cast<USHORT>(c)] =
            rng() % 50 == 0 ? static_cast<USHORT>(rng() % 60000 + 1) : static_cast<USHORT>(c - 7);
    m[0xF000] = 3;
    m[0xFFFF] = 9;
    pairs_t p;
    for (auto [c, g] : m) p.push_back({c, g});
    std::shuffle(p.begin(), p.end(), rng);

    std::string err;
    cmap4_layout t = build(p, &err);
    EXPECT_EQ(err, "");
    expect_valid(t);
    EXPECT_LT(t.glyphIdArray.size(), 40000u / 4);
    EXPECT_GT(std::count(t.idRangeOffset.begin(), t.idRangeOffset.end(), 0), 100);
    for (auto [code, glyph] : m) ASSERT_EQ(lookup(t, code), glyph) << code;
    EXPECT_EQ(lookup(t, 0xFF), 0);
    EXPECT_EQ(lookup(t, 0xF001), 0);

    // Scattered glyphs alone leave nothing to save: the compact layout is refused too, and
    // the message gives its size.
    pairs_t scattered;
    for (USHORT c = 1; c <= 32752; ++c) scattered.push_back({c, static_cast<USHORT>(2 * c)});
    testing::internal::CaptureStderr();
    EXPECT_FALSE(build_cmap4_layout(scattered, standard_error_sink()).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "build_cmap4_subtable: the subtable would take 65536 bytes, more than its 16-bit "
              "length can hold\n");
}
