// The name parser and find_name: records and their bytes, exact-key lookup, and tables
// whose strings are missing or would not fit in memory.
#include <gtest/gtest.h>

#include "tables/elab_fixture.h"
#include "tables/name.h"

namespace tf = testfont;
using elabtest::load;
using elabtest::run_font;

namespace {

tf::font_parts with_names(std::vector<tf::name_record> records) {
    auto parts = tf::standard_parts();
    parts.name.records = std::move(records);
    return parts;
}

std::string as_string(const tf::bytes& b) {
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(NameParse, RecordsKeepTheirKeysAndBytes) {
    auto l = load(tf::standard_font(), {"name"});
    EXPECT_EQ(l->err, "");
    name_elab* name = name_table(*l->font);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->format, 0);
    EXPECT_EQ(name->count, 14);
    EXPECT_EQ(name->stringOffset, 6 + 12 * 14);
    ASSERT_EQ(name->records.size(), 14u);

    const auto& text = tf::standard_name_strings();
    name_record* mac = find_name(*l->font, 1, 0, 0, 4);
    ASSERT_NE(mac, nullptr);
    EXPECT_EQ(mac->string, text[4]);
    EXPECT_EQ(mac->length, std::string(text[4]).size());

    // A Microsoft record holds two bytes per character, a zero byte first for ASCII.
    name_record* ps = find_name(*l->font, 3, 1, 0x409, 6);
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(ps->length, 2 * std::string(text[6]).size());
    EXPECT_EQ(ps->string, as_string(tf::utf16be(text[6])));
    EXPECT_EQ(ps->string[0], '\0');
    EXPECT_EQ(ps->string.c_str()[ps->length], '\0');  // the zero byte after the string
}

TEST(NameParse, FindNameMatchesAllFourKeysExactly) {
    auto parts = with_names({tf::ms_name(6, "First"), tf::ms_name(6, "Second"),
                             tf::ms_name(6, "British", 0x809), tf::mac_name(6, "Mac")});
    auto l = load(parts.builder(), {"name"});
    EXPECT_EQ(l->err, "");
    name_record* first = find_name(*l->font, 3, 1, 0x409, 6);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->string, as_string(tf::utf16be("First")));
    EXPECT_EQ(first, &name_table(*l->font)->records[0]);
    EXPECT_EQ(find_name(*l->font, 3, 1, 0x809, 6)->string, as_string(tf::utf16be("British")));
    EXPECT_EQ(find_name(*l->font, 1, 0, 0, 6)->string, "Mac");
    EXPECT_EQ(find_name(*l->font, 3, 1, 0x409, 5), nullptr);
    EXPECT_EQ(find_name(*l->font, 3, 0, 0x409, 6), nullptr);
    EXPECT_EQ(find_name(*l->font, 1, 0, 0x409, 6), nullptr);
}

TEST(NameParse, EmptyTablesAndStrings) {
    auto none = load(with_names({}).builder(), {"name"});
    EXPECT_EQ(none->err, "");
    ASSERT_NE(name_table(*none->font), nullptr);
    EXPECT_EQ(name_table(*none->font)->count, 0);
    EXPECT_TRUE(name_table(*none->font)->records.empty());
    EXPECT_EQ(find_name(*none->font, 3, 1, 0x409, 6), nullptr);

    // A record of length 0 is not read at all, even with an offset far past the end.
    tf::name_record empty = tf::ms_name(1, "");
    empty.offset = 0xFFF0;
    auto l = load(with_names({empty, tf::ms_name(2, "Regular")}).builder(), {"name"});
    EXPECT_EQ(l->err, "");
    name_record* r = find_name(*l->font, 3, 1, 0x409, 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->length, 0);
    EXPECT_EQ(r->string, "");
    EXPECT_EQ(find_name(*l->font, 3, 1, 0x409, 2)->string, as_string(tf::utf16be("Regular")));
}

TEST(NameParse, StringPastTheEndOfTheFileFailsTheTable) {
    tf::name_record far = tf::ms_name(1, "Vera");
    far.offset = 0xFF00;
    auto parts = with_names({tf::ms_name(2, "Roman"), far});
    auto b = parts.builder();
    elabtest::move_table_last(b, "name");
    auto r = run_font(b);
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "Cannot read name table: Success\nfont: no name table\n");
    // A string that runs past the end of the table fails it as well, though the bytes of
    // other tables follow in the file.
    auto cut = with_names({tf::ms_name(2, "Roman"), tf::ms_name(1, "Vera")}).builder();
    ASSERT_NE(cut.tables.back().tag, "name");
    cut.table("name").length = static_cast<uint32_t>(cut.table("name").data.size() - 1);
    EXPECT_EQ(run_font(cut)->run.err, r->run.err);

    // The failed table leaves no record: lookups answer none, silently.
    auto l = load(b, {"name"});
    EXPECT_EQ(name_table(*l->font), nullptr);
    EXPECT_EQ(elabtest::stderr_of([&] { EXPECT_EQ(find_name(*l->font, 3, 1, 0x409, 2), nullptr); }),
              "");
}

TEST(NameParse, CountLargerThanTheTable) {
    // Only the record headers inside the table are read; none is made up from zeros.
    auto b = with_names({tf::ms_name(2, "Bold")}).builder();
    tf::put_u16(b.table("name").data, 2, 40);  // count
    elabtest::move_table_last(b, "name");
    auto l = load(b, {"name"});
    EXPECT_EQ(l->err.rfind("Warning: name: count claims 40 name records, ", 0), 0u) << l->err;
    name_elab* name = name_table(*l->font);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->count, name->records.size());
    ASSERT_FALSE(name->records.empty());
    EXPECT_EQ(name->records.front().nameID, 2);
}

TEST(NameParse, ZeroLengthTableIsAnEmptyNameTable) {
    auto b = tf::standard_font();
    b.table("name").data.clear();
    elabtest::move_table_last(b, "name");
    auto l = load(b, {"name"});
    EXPECT_EQ(l->err, "Warning: name: the table is cut short; fields past its 0 bytes read as 0\n");
    ASSERT_NE(name_table(*l->font), nullptr);
    EXPECT_TRUE(name_table(*l->font)->records.empty());
}

TEST(NameParse, SharedStringsCannotExhaustMemory) {
    // 1,100 records all naming one 64 KB string: copies would take 70 MB.
    tf::name_record shared = tf::mac_name(1, std::string(0xFFFF, 'n'));
    std::vector<tf::name_record> records{shared};
    shared.string.clear();
    shared.length = 0xFFFF;
    shared.offset = 0;
    records.resize(1100, shared);
    auto r = run_font(with_names(records).builder());
    EXPECT_EQ(r->run.status, 0);
    EXPECT_EQ(r->run.err, "Out of memory!\nfont: no name table\n");

    records.resize(900);  // 59 MB: within bounds
    auto l = load(with_names(records).builder(), {"name"});
    EXPECT_EQ(l->err, "");
    ASSERT_NE(name_table(*l->font), nullptr);
    EXPECT_EQ(name_table(*l->font)->records.back().string, std::string(0xFFFF, 'n'));
}

TEST(NameParse, FontWithoutName) {
    auto b = tf::standard_font();
    b.remove_table("name");
    auto r = run_font(b);
    EXPECT_EQ(r->run.err, "No \"name\" table in font \"" + r->path + "\"!\nfont: no name table\n");
    auto l = load(b, {});
    EXPECT_EQ(elabtest::stderr_of([&] { EXPECT_EQ(find_name(*l->font, 3, 1, 0x409, 6), nullptr); }),
              "No \"name\" table in font \"" + l->path + "\"!\n");
}
