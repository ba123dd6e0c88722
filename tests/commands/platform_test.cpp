// The platform command: relabelling a cmap subtable and its name records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "commands/commands.h"
#include "support/run.h"
#include "tables/cmap.h"
#include "tables/name.h"

using cmdtest::loaded_font;
using cmdtest::run;

namespace {

struct name_ids {
    USHORT platformID, encodingID, languageID, nameID;
    std::string string;
    bool operator==(const name_ids&) const = default;
};

std::vector<name_ids> names_of(font_object& font) {
    std::vector<name_ids> out;
    for (const name_record& r : name_table(font)->records)
        out.push_back({r.platformID, r.encodingID, r.languageID, r.nameID, r.string});
    return out;
}

// The standard font without its 3.1 subtable: a 1.0 subtable, Macintosh and Microsoft names.
testfont::font_parts mac_only_cmap() {
    auto parts = testfont::standard_parts();
    parts.cmap.encodings.pop_back();
    return parts;
}

class PlatformCommand : public testing::Test {
  protected:
    testrun::scratch_dir dir;
    std::string std_path = testfont::standard_font().write(dir.file("std.ttf"));
    std::string mac_path = mac_only_cmap().builder().write(dir.file("mac.ttf"));
};

}  // namespace

TEST_F(PlatformCommand, RelabelsTheSubtableAndItsNamesInPlace) {
    loaded_font font(mac_path);
    ASSERT_EQ(font.load_messages, "");
    auto before = names_of(*font);
    auto r = run(platform_command, {font, 1, 0, 3, 1});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(cmdtest::left_font(r, *font));
    // The 3.1 names already there are reported once; the command goes on.
    EXPECT_EQ(r.err, "platform: warning: font " + mac_path +
                         " already contains name(s) for platform 3.1\n");

    const cmap_elab& cmap = *cmap_table(*font);
    ASSERT_EQ(cmap.subtables.size(), 1u);
    EXPECT_EQ(cmap.subtables[0]->platformID, 3);
    EXPECT_EQ(cmap.subtables[0]->encodingID, 1);
    EXPECT_EQ(cmap.subtables[0]->format, 0);

    auto after = names_of(*font);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        name_ids want = before[i];
        if (want.platformID == 1 && want.encodingID == 0) {
            want.platformID = 3;
            want.encodingID = 1;
        }
        EXPECT_EQ(after[i], want) << i;  // order, language, name ID and bytes unchanged
    }
}

TEST_F(PlatformCommand, WithoutNamesOfThatEncodingOnlyTheSubtableMoves) {
    loaded_font font(std_path);
    auto before = names_of(*font);
    auto r = run(platform_command, {font, 3, 1, 0, 3});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(find_cmap_subtable(*font, 0, 3));
    auto after = names_of(*font);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].platformID, before[i].platformID == 3 ? 0 : before[i].platformID);

    // IDs are 16-bit values: 65539 is refused, not taken as 3, and nothing moves.
    loaded_font again(std_path);
    EXPECT_EQ(run(platform_command, {again, 65539, 1, 3, 10}).err,
              "platform: M arg 65539 out of range (0..65535)\n");
    EXPECT_EQ(cmap_table(*again)->subtables[1]->encodingID, 1);
}

TEST_F(PlatformCommand, FailuresChangeNothing) {
    struct failure_case {
        std::string path;
        int M, N, MM, NN;
        std::string err;
    };
    auto no_name = testfont::standard_font();
    no_name.remove_table("name");
    const std::string no_name_path = no_name.write(dir.file("noname.ttf"));
    for (const failure_case& c : std::vector<failure_case>{
             {std_path, 1, 0, 3, 1,
              "platform: encoding 3.1 already exists in font " + std_path + "\n"},
             {std_path, 3, 0, 3, 2, "platform: no encoding 3.0 in font " + std_path + "\n"},
             {no_name_path, 3, 1, 3, 0,
              "No \"name\" table in font \"" + no_name_path +
                  "\"!\nplatform: cannot find name table in font " + no_name_path + "\n"}}) {
        loaded_font font(c.path);
        auto cmap_before = cmap_table(*font)->subtables.size();
        auto r = run(platform_command, {font, c.M, c.N, c.MM, c.NN});
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.left.empty());
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(find_cmap_subtable(*font, 3, 1));
        EXPECT_EQ(cmap_table(*font)->subtables.size(), cmap_before);
    }

    loaded_font font(std_path);
    name_table(*font)->count = 99;  // a record count the array does not match
    auto r = run(platform_command, {font, 3, 1, 3, 0});
    EXPECT_EQ(r.err, "platform: inconsistent names in font " + std_path + "\n");
    EXPECT_TRUE(find_cmap_subtable(*font, 3, 1));
}

TEST_F(PlatformCommand, OperandErrors) {
    struct error_case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string exit_error = "kestrix: exiting due to error\n";
    for (const error_case& c : std::vector<error_case>{
             {{"platform"},
              "stackcheck: expected integer, but stack is empty\nplatform: bad NN arg\n"},
             {{"x", "1", "platform"}, "typecheck: \"x\" not an integer\nplatform: bad MM arg\n"},
             {{"x", "1", "1", "platform"},
              "typecheck: \"x\" not an integer\nplatform: bad N arg\n"},
             {{"x", "1", "1", "1", "platform"},
              "typecheck: \"x\" not an integer\nplatform: bad M arg\n"},
             {{"3", "1", "3", "0", "platform"}, "platform: stack is empty\n"},
             {{"f", "3", "1", "3", "0", "platform"}, "platform: expected font\n"}}) {
        auto r = testrun::kestrix(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.err + exit_error);
    }
    // The same pair twice: the numbers are consumed, the font stays.
    auto r = testrun::kestrix({std_path, "font", "3", "1", "3", "1", "platform"});
    EXPECT_EQ(r.err, "platform: M.N same as MM.NN (3.1 = 3.1)\n" + exit_error +
                         "Warning: on exit, stack was not empty:\nstack[0] = font object for "
                         "file \"" +
                         std_path + "\" <-- top\n");
}
