// The OS/2 parser: revisions 0 to 5 kept field by field, later revisions refused.
#include "tables/os2.h"

#include <gtest/gtest.h>

#include "parsed_font.h"

using namespace tabletest;

namespace {

testfont::font_parts with_os2(uint16_t version) {
    auto parts = testfont::minimal_parts();
    auto& o = parts.os2;
    o.version = version;
    o.xAvgCharWidth = -5;
    o.usWeightClass = 700;
    o.fsType = 8;
    o.ySuperscriptYOffset = -7;
    o.sFamilyClass = 0x0105;
    o.panose = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    o.ulUnicodeRange = {0x80000001u, 2, 3, 0xFFFFFFFFu};
    o.achVendID = {'A', 'b', static_cast<char>(0x80), ' '};
    o.fsSelection = 0x20;
    o.usFirstCharIndex = 0x20;
    o.usLastCharIndex = 0xFFFF;
    o.sTypoDescender = -200;
    o.usWinDescent = 483;
    o.ulCodePageRange1 = 0x11;
    o.ulCodePageRange2 = 0x80000000u;
    return parts;
}

// The fields whose width, sign or place a slip would change.
void expect_common_fields(const os2_revision& v) {
    EXPECT_EQ(v.xAvgCharWidth, -5);
    EXPECT_EQ(v.usWeightClass, 700);
    EXPECT_EQ(v.ySuperscriptYOffset, -7);
    EXPECT_EQ(v.sFamilyClass, 0x0105);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(v.panose[i], i + 1);
    EXPECT_EQ(v.ulCharRange[0], 0x80000001u);
    EXPECT_EQ(v.ulCharRange[3], 0xFFFFFFFFu);
    EXPECT_EQ(std::string(v.achVendID, v.achVendID + 4), std::string("Ab\x80 "));
    EXPECT_EQ(v.achVendID[2], -128);
    EXPECT_EQ(v.usLastCharIndex, 0xFFFF);
    EXPECT_EQ(v.sTypoDescender, -200);
    EXPECT_EQ(v.usWinDescent, 483);
}

}  // namespace

TEST(OS2, RevisionZeroReads78Bytes) {
    auto b = with_os2(0).builder();
    b.table("OS/2").data.resize(86, 0xEE);  // bytes after the revision 0 fields are not read
    auto p = parse(b);
    ASSERT_EQ(p->err, "");
    const os2_elab* os2 = os2_table(*p->font);
    ASSERT_NE(os2, nullptr);
    EXPECT_EQ(os2->version, 0);
    ASSERT_NE(os2->rev0(), nullptr);
    EXPECT_EQ(os2->rev1(), nullptr);
    EXPECT_EQ(os2->rev0()->version, 0);
    expect_common_fields(*os2->rev0());
    EXPECT_EQ(os2->v->ulCodePageRange1, 0u);
    EXPECT_EQ(os2->v->ulCodePageRange2, 0u);
}

TEST(OS2, RevisionOneReads86Bytes) {
    auto p = parse(with_os2(1));
    ASSERT_EQ(p->err, "");
    const os2_elab* os2 = os2_table(*p->font);
    ASSERT_NE(os2, nullptr);
    ASSERT_NE(os2->rev1(), nullptr);
    EXPECT_EQ(os2->rev0(), nullptr);
    EXPECT_EQ(os2->rev1()->version, 1);
    expect_common_fields(*os2->rev1());
    EXPECT_EQ(os2->rev1()->ulCodePageRange1, 0x11u);
    EXPECT_EQ(os2->rev1()->ulCodePageRange2, 0x80000000u);
}

// Versions 2 to 4 add five words after the code pages, version 5 two more; each is read
// at its own size, and a table cut short reads zeros for the missing fields.
TEST(OS2, RevisionsTwoToFiveReadTheirAddedFields) {
    for (uint16_t version : {2, 3, 4, 5}) {
        SCOPED_TRACE(version);
        auto parts = with_os2(version);
        parts.os2.sxHeight = -3;
        parts.os2.sCapHeight = 1493;
        parts.os2.usDefaultChar = 0xFFFF;
        parts.os2.usBreakChar = 0x20;
        parts.os2.usMaxContext = 7;
        parts.os2.usLowerOpticalPointSize = 0x80;
        parts.os2.usUpperOpticalPointSize = 0xFFFE;
        auto b = parts.builder();
        b.table("OS/2").data.resize(104, 0xEE);  // bytes past the version's size are not read
        auto p = parse(b);
        ASSERT_EQ(p->err, "");
        const os2_elab* os2 = os2_table(*p->font);
        ASSERT_NE(os2, nullptr);
        ASSERT_NE(os2->v, nullptr);
        EXPECT_EQ(os2->version, version);
        EXPECT_EQ(os2_length_of(version), version == 5 ? 100u : 96u);
        expect_common_fields(*os2->v);
        EXPECT_EQ(os2->v->ulCodePageRange2, 0x80000000u);
        EXPECT_EQ(os2->v->sxHeight, -3);
        EXPECT_EQ(os2->v->usDefaultChar, 0xFFFF);
        EXPECT_EQ(os2->v->usMaxContext, 7);
        EXPECT_EQ(os2->v->usLowerOpticalPointSize, version == 5 ? 0x80 : 0);
        EXPECT_EQ(os2->v->usUpperOpticalPointSize, version == 5 ? 0xFFFE : 0);

        b.table("OS/2").data.resize(90);  // sxHeight and sCapHeight only
        auto cut = parse(b);
        const os2_elab* short_os2 = os2_table(*cut->font);
        ASSERT_NE(short_os2, nullptr);
        EXPECT_EQ(short_os2->v->sCapHeight, 1493);
        EXPECT_EQ(short_os2->v->usBreakChar, 0);
        EXPECT_EQ(short_os2->v->usUpperOpticalPointSize, 0);
    }
}

TEST(OS2, LaterRevisionsAreRefused) {
    for (uint16_t version : {6, 0x8000}) {
        auto r = run_font(with_os2(version).builder());
        EXPECT_EQ(r->run.status, 0);
        EXPECT_EQ(r->run.err, "do_os2: version " + std::to_string(version) +
                                  " of OS/2 table unknown\n" + no_table("OS/2"));
    }
}

TEST(OS2, RevisionOneCutShortReadsZeroCodePages) {
    auto b = with_os2(1).builder();
    b.table("OS/2").length = 78;  // the next table's bytes follow in the file
    auto p = parse(b);
    const os2_elab* os2 = os2_table(*p->font);
    ASSERT_NE(os2, nullptr);
    ASSERT_NE(os2->rev1(), nullptr);
    EXPECT_EQ(os2->rev1()->usWinDescent, 483);
    EXPECT_EQ(os2->rev1()->ulCodePageRange1, 0u);
    EXPECT_EQ(os2->rev1()->ulCodePageRange2, 0u);
}

// The field list is the one layout reader, writer and listing share: the fields of each
// version fill exactly that version's length after the version word.
TEST(OS2Fields, EachVersionsFieldsFillItsLength) {
    for (USHORT version = 0; version <= kOS2LastVersion; ++version) {
        ULONG bytes = 2;
        for (const os2_field& f : os2_fields())
            if (f.since <= version) bytes += static_cast<ULONG>(f.width);
        EXPECT_EQ(bytes, os2_length_of(version)) << version;
    }
}
