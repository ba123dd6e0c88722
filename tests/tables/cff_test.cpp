// CFF outlines through FreeType on a small font whose answers are known; every glyph of
// the real CFF fonts is checked against fontTools by the corpus test corpus/cff-outlines.
#include "tables/cff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run.h"

namespace {

std::vector<BYTE> data_file(const char* name) {
    std::string s = testrun::read_file(std::string(TEST_DATA_DIR) + "/container/" + name);
    return std::vector<BYTE>(s.begin(), s.end());
}

}  // namespace

TEST(Cff, BoxesAreExactOutlineBoundsAndNamesComeFromTheCharset) {
    std::string error;
    auto cff = cff_outlines::open(data_file("tiny-cff.otf"), error);
    ASSERT_TRUE(cff) << error;
    ASSERT_EQ(cff->glyph_count(), 3u);
    EXPECT_TRUE(cff->has_glyph_names());
    EXPECT_FALSE(cff->is_cid_keyed());
    const glyph_box expected[] = {
        {50, 0, 450, 700},   // .notdef: a rectangle
        {0, 0, 0, 0},        // space: no outline
        {100, 0, 583, 700},  // A: the curve's extreme is at x 582.84; its control points reach 700
    };
    const char* names[] = {".notdef", "space", "A"};
    for (unsigned gid = 0; gid < 3; ++gid) {
        EXPECT_EQ(cff->box(gid, error), expected[gid]) << gid << " " << error;
        EXPECT_EQ(cff->name(gid), names[gid]);
    }
    EXPECT_FALSE(cff->box(3, error));
    EXPECT_EQ(error, "glyph 3 is past the last glyph");
    EXPECT_EQ(cff->name(3), std::nullopt);
}

TEST(Cff, FontsFreeTypeRefusesGiveAReasonNotACrash) {
    std::string error;
    EXPECT_FALSE(cff_outlines::open({'O', 'T', 'T', 'O', 0, 0}, error));
    EXPECT_EQ(error, "FreeType cannot read the font: invalid stream operation");

    // A CFF table whose charstrings are overwritten: whatever FreeType makes of it, every
    // glyph yields a box or a reason.
    std::vector<BYTE> font = data_file("tiny-cff.otf");
    const std::size_t cff_at = [&] {
        for (std::size_t at = 12;; at += 16)
            if (std::string(font.begin() + at, font.begin() + at + 4) == "CFF ")
                return static_cast<std::size_t>(font[at + 8] << 24 | font[at + 9] << 16 |
                                                font[at + 10] << 8 | font[at + 11]);
    }();
    for (std::size_t i = cff_at + 40; i < font.size(); ++i) font[i] = static_cast<BYTE>(i * 29);
    auto broken = cff_outlines::open(font, error);
    if (broken) {
        for (unsigned gid = 0; gid < broken->glyph_count(); ++gid) {
            error.clear();
            if (!broken->box(gid, error)) {
                EXPECT_NE(error, "");
            }
        }
    } else {
        EXPECT_NE(error, "");
    }
}

TEST(Cff, OnlyFontsWithACffTableHaveCffOutlines) {
    font_object font;
    for (const char* tag : {"glyf", "CFF ", "CFF2"}) {
        font.table_dir.clear();
        font.table_dir.emplace_back();
        std::copy(tag, tag + 5, font.table_dir.back().tag);
        EXPECT_EQ(has_cff_outlines(font), tag[0] == 'C') << tag;
    }
}
