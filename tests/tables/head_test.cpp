// The head parser: every field kept, unknown versions refused, short tables read as zeros.
#include "tables/head.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "parsed_font.h"

using namespace tabletest;

TEST(Head, KeepsEveryFieldAndTheDatesAsStored) {
    auto parts = testfont::minimal_parts();
    auto& h = parts.head;
    h.fontRevision = 0x00018000;
    h.created = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    h.modified = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    h.xMin = -10, h.yMax = 1500, h.macStyle = 3, h.fontDirectionHint = -2;
    h.indexToLocFormat = 1, h.glyphDataFormat = 7;
    auto p = parse(parts);
    ASSERT_EQ(p->err, "");
    const head_elab* head = head_table(*p->font);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->fontRevision, 0x00018000);
    EXPECT_EQ(head->magicNumber, 0x5F0F3CF5u);
    EXPECT_EQ(head->unitsPerEm, 2048);
    EXPECT_TRUE(std::equal(h.created.begin(), h.created.end(), head->created));
    EXPECT_TRUE(std::equal(h.modified.begin(), h.modified.end(), head->modified));
    EXPECT_EQ(head->xMin, -10);
    EXPECT_EQ(head->yMax, 1500);
    EXPECT_EQ(head->macStyle, 3);
    EXPECT_EQ(head->fontDirectionHint, -2);
    EXPECT_EQ(head->indexToLocFormat, 1);
    EXPECT_EQ(head->glyphDataFormat, 7);
}

TEST(Head, UnknownVersionGivesNoRecordAndNoLoca) {
    auto parts = testfont::minimal_parts();
    parts.head.version = 0x00020000;
    auto r = run_font(parts.builder());
    EXPECT_EQ(r->run.status, 0);
    // loca needs the head record, glyf the loca record.
    EXPECT_EQ(r->run.err, "do_head: version 0x00020000 of head table unknown\n" + no_table("head") +
                              no_table("loca") + "do_glyf: no \"loca\" table\n" + no_table("glyf"));
}

TEST(Head, MissingHeadIsReportedByEveryLookup) {
    auto b = testfont::minimal_font();
    b.remove_table("head");
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    const std::string missing = no_such_table("head", r->path);
    // Without head nothing makes the file sum right. The missing table is reported once
    // when loading, once by do_head, once by do_loca through head_table.
    const std::string checksum =
        "Warning: " + r->path + ": invalid checksum, file possibly not a TrueType font\n";
    EXPECT_EQ(r->run.err, checksum + missing + missing + no_table("head") + missing +
                              no_table("loca") + "do_glyf: no \"loca\" table\n" + no_table("glyf"));
}

TEST(Head, FieldsBeyondTheTableReadAsZero) {
    // Cut after magicNumber: what follows in the file belongs to another table.
    auto b = testfont::minimal_font();
    b.table("head").length = 16;
    auto p = parse(b);
    const head_elab* head = head_table(*p->font);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->magicNumber, 0x5F0F3CF5u);
    EXPECT_EQ(head->unitsPerEm, 0);
    EXPECT_EQ(head->created[7], 0);
    EXPECT_EQ(head->yMax, 0);
    EXPECT_EQ(head->indexToLocFormat, 0);

    // A zero-length head reads as version 0.
    auto empty = testfont::minimal_font();
    empty.table("head").length = 0;
    auto r = run_font(empty);
    EXPECT_EQ(r->run.err, "do_head: version 0x00000000 of head table unknown\n" + no_table("head") +
                              no_table("loca") + "do_glyf: no \"loca\" table\n" + no_table("glyf"));
}
