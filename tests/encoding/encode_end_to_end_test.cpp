// encode as a user runs it: on the bundled fonts, through gen, with brindle's output, and
// checked on the written font.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "support/run.h"
#include "tables/cmap.h"
#include "tables/post.h"

using cmdtest::loaded_font;
using testrun::kestrix;

namespace {

// Vera has composite glyphs; loading it says so once.
const std::string kComposite = "read_glyph: glyph 98: warning: composite glyph(s) ignored\n";

const char* const kSanitizer = "/usr/bin/ots-sanitize";

// The written font passes a font sanitizer.
void expect_sanitizer_accepts(const std::string& path) {
    ASSERT_TRUE(testrun::file_exists(kSanitizer))
        << "ots-sanitize is missing (Debian package opentype-sanitizer)";
    testrun::result r = testrun::run(kSanitizer, {path});
    EXPECT_EQ(r.status, 0) << path << "\n" << r.out << r.err;
}

// Every code of `want` maps to the glyph of that name in the written font's M.N subtable.
void expect_mapping(const std::string& path, USHORT M, USHORT N,
                    const std::map<USHORT, std::string>& want) {
    loaded_font font(path);
    auto* slot = find_cmap_subtable(*font, M, N);
    ASSERT_TRUE(slot && *slot);
    post_elab* post = post_table(*font);
    for (const auto& [code, name] : want) {
        USHORT glyph = name.empty() ? 0 : glyph_index_of(name.c_str(), post);
        EXPECT_EQ(char_to_glyph(code, slot->get()), glyph) << std::hex << code << " " << name;
    }
}

}  // namespace

TEST(EncodeEndToEnd, TheTypicalRequestOnVera) {
    testrun::scratch_dir dir;
    const std::string in = testrun::sample_font("Vera.ttf");
    const std::string enc = dir.file("my.enc");
    const std::string out = dir.file("out.ttf");
    std::string lines = "StartCharMetrics 0\nC 32 ; N space ;\nC 65 ; N B ;\nC 66 ; N A ;\n";
    for (char c = 'a'; c <= 'z'; ++c)
        lines += "C " + std::to_string(c) + " ; N " + std::string(1, c) + " ;\n";
    lines += "CH <20ac> ; N Euro ;\nCH <f000> ; N nosuch ;\nEndCharMetrics\n";
    testrun::write_file(enc, lines);

    auto r = kestrix({in, "font", enc, "3", "1", "encode", out, "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kComposite +
                         "set_encoding_pair: no \"nosuch\" in this font\n"
                         "build_encoding: 1 char(s) in \"" +
                         enc +
                         "\" do not appear in the font\n"
                         "Encoding covers 30 of 268 glyph(s) in this font\n");

    std::map<USHORT, std::string> want{{0x20, "space"}, {0x41, "B"},      {0x42, "A"},
                                       {0x43, ""},      {0x20AC, "Euro"}, {0xF000, ""}};
    for (char c = 'a'; c <= 'z'; ++c) want[static_cast<USHORT>(c)] = std::string(1, c);
    expect_mapping(out, 3, 1, want);
    expect_mapping(out, 1, 0, {{0x41, "A"}, {0x42, "B"}});  // the other subtable as it was
    expect_sanitizer_accepts(out);

    // afm on the written font lists exactly the encoded codes, in code order.
    auto afm = kestrix({out, "font", "3", "1", "afm"});
    ASSERT_EQ(afm.status, 0) << afm.err;
    std::string encoded;
    for (std::size_t at = afm.out.find("\nCH <"); at != std::string::npos;
         at = afm.out.find("\nCH <", at + 1))
        encoded += afm.out.substr(at + 1, afm.out.find(" WX", at) - at - 1) + "\n";
    std::string expected;
    for (const auto& [code, name] : want) {
        char line[64];
        std::snprintf(line, sizeof line, "CH <%04x> ; N %s ;\n", code, name.c_str());
        if (!name.empty()) expected += line;
    }
    EXPECT_EQ(encoded, expected);

    // That AFM text is an encoding file too: encoding the source with it maps the same.
    testrun::write_file(dir.file("out.afm"), afm.out);
    const std::string again = dir.file("again.ttf");
    r = kestrix({in, "font", dir.file("out.afm"), "3", "1", "encode", again, "gen"});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_mapping(again, 3, 1, want);
}

TEST(EncodeEndToEnd, DuplicateCodesAndTheLastTwoCodesStillGiveAValidFont) {
    testrun::scratch_dir dir;
    const std::string enc = dir.file("dup.enc"), out = dir.file("out.ttf");
    testrun::write_file(enc,
                        "StartCharMetrics\nCH <0041> ; N B ;\nCH <fffe> ; N A ;\n"
                        "CH <ffff> ; N C ;\nCH <0041> ; N C ;\nCH <0042> ; N A ;\n");
    auto r =
        kestrix({testrun::sample_font("Vera.ttf"), "font", enc, "3", "1", "encode", out, "gen"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kComposite +
                         "Encoding covers 3 of 268 glyph(s) in this font\n"
                         "Warning: encoding duplicates char code 0x0041\n");
    expect_mapping(out, 3, 1, {{0x41, "B"}, {0x42, "A"}, {0xFFFE, "A"}, {0x43, ""}});
    expect_sanitizer_accepts(out);
}

TEST(EncodeEndToEnd, BrindleOutputEncodesAsJoined) {
    testrun::scratch_dir dir;
    testrun::write_file(dir.file("large.cod"),
                        "# code name\n41 A\n42 B\n20ac Euro\n1f600 grinning\n2126 Omega\n"
                        "e000 nosuch\n");
    testrun::write_file(dir.file("small.cod"),
                        "0 A\n0 B\n0 Euro\n0 grinning\n0 Ohm\n0 nosuch\n0 missing\n0 eacute\n");
    testrun::write_file(dir.file("syn.txt"), "Omega Ohm\neacute 0xe9\n");
    auto joined =
        testrun::brindle({dir.file("large.cod"), dir.file("small.cod"), dir.file("syn.txt")});
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.out,
              "StartCharMetrics 0\nCH <0041> ; N A ;\nCH <0042> ; N B ;\nCH <20ac> ; N Euro ;\n"
              "CH <1f600> ; N grinning ;\nCH <2126> ; N Ohm ;\nCH <e000> ; N nosuch ;\n"
              "C -1 ; N missing ;\n"
              "CH <00e9> ; N eacute ;\nEndCharMetrics\n");
    testrun::write_file(dir.file("joined.enc"), joined.out);

    const std::string out = dir.file("out.ttf");
    auto r = kestrix({testrun::sample_font("Vera.ttf"), "font", dir.file("joined.enc"), "3", "1",
                      "encode", out, "gen"});
    EXPECT_EQ(r.status, 0);
    // The emoji's code does not fit in 16 bits: skipped with a warning, not cut to 0xf600.
    EXPECT_EQ(r.err, kComposite +
                         "Warning: char code 0x1f600 of \"grinning\" is above 0xffff, line "
                         "skipped\nset_encoding_pair: no \"nosuch\" in this font\n"
                         "build_encoding: 1 char(s) in \"" +
                         dir.file("joined.enc") +
                         "\" do not appear in the font\n"
                         "Encoding covers 5 of 268 glyph(s) in this font\n");
    expect_mapping(out, 3, 1,
                   {{0x41, "A"},
                    {0x42, "B"},
                    {0x20AC, "Euro"},
                    {0x2126, "Ohm"},
                    {0xE9, "eacute"},
                    {0xE000, ""},
                    {0xF600, ""}});
    expect_sanitizer_accepts(out);
}

TEST(EncodeEndToEnd, ExportedCmapCarriesTheNewSubtable) {
    testrun::scratch_dir dir;
    const std::string in = testrun::sample_font("VeraMono.ttf");
    testrun::write_file(dir.file("a.enc"), "StartCharMetrics\nC 65 ; N a ;\n");
    auto r = kestrix({in, "font", dir.file("a.enc"), "3", "0", "encode", "cmap",
                      dir.file("cmap.bin"), "export"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string cmap = testrun::read_file(dir.file("cmap.bin"));
    ASSERT_GE(cmap.size(), 4u);
    EXPECT_EQ(cmap.size() % 4, 0u);
    auto u16 = [&](std::size_t at) {
        return (static_cast<unsigned char>(cmap[at]) << 8) |
               static_cast<unsigned char>(cmap[at + 1]);
    };
    ASSERT_EQ(u16(2), 3);  // 1.0, 3.0 (inserted before 3.1), 3.1
    EXPECT_EQ(u16(4 + 8), 3);
    EXPECT_EQ(u16(4 + 8 + 2), 0);

    // After import of that file, a second encode changes only the elaborated cmap: gen
    // still writes the imported bytes.
    const std::string out = dir.file("out.ttf");
    testrun::write_file(dir.file("b.enc"), "StartCharMetrics\nC 66 ; N b ;\n");
    r = kestrix({in, "font", "cmap", dir.file("cmap.bin"), "import", dir.file("b.enc"), "3", "0",
                 "encode", out, "gen"});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_mapping(out, 3, 0, {{0x41, "a"}, {0x42, ""}});
}

// 3.10 (and 0.4, 0.6) get a format 12 subtable that keeps codes past 0xFFFF: groups of
// consecutive codes and glyphs, duplicates warned about and the first kept, OS/2's last
// character index stored as 0xFFFF, and the written font passes the sanitizer.
TEST(EncodeEndToEnd, FullRepertoireEncodingsBuildFormat12) {
    testrun::scratch_dir dir;
    const std::string enc = dir.file("wide.enc");
    testrun::write_file(enc,
                        "StartCharMetrics 0\nCH <0041> ; N A ;\nCH <0042> ; N B ;\n"
                        "CH <0043> ; N C ;\n"
                        "CH <1f600> ; N Euro ;\nCH <1f601> ; N Ohm ;\nCH <0042> ; N C ;\n"
                        "CH <110000> ; N A ;\nEndCharMetrics\n");
    const std::string out = dir.file("out.ttf");
    auto r = kestrix({testrun::sample_font("Vera.ttf"), "font", enc, "3", "10", "encode", out,
                      "gen", out, "font", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kComposite +
                         "Warning: char code 0x110000 of \"A\" is above 0x10ffff, line skipped\n"
                         "Encoding covers 5 of 268 glyph(s) in this font\n"
                         "Warning: encoding duplicates char code 0x0042\n");
    EXPECT_NE(r.out.find("os2->v.rev1->usFirstCharIndex = 65 = 0x00000041\n"
                         "os2->v.rev1->usLastCharIndex = 65535 = 0x0000ffff\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Maps 3 group(s):\n"
                         "format=12 reserved=0 length=52 language=0 numGroups=3\n"),
              std::string::npos)
        << r.out;
    expect_mapping(out, 3, 10, {{0x41, "A"}, {0x42, "B"}, {0x43, "C"}, {0x44, ""}});
    loaded_font font(out);
    auto* slot = find_cmap_subtable(*font, 3, 10);
    ASSERT_TRUE(slot && *slot);
    post_elab* post = post_table(*font);
    EXPECT_EQ(char_to_glyph(0x1F600, slot->get()), glyph_index_of("Euro", post));
    EXPECT_EQ(char_to_glyph(0x1F601, slot->get()), glyph_index_of("Ohm", post));
    expect_sanitizer_accepts(out);
}
