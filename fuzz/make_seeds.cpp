// Writes the seed corpora of the fuzz targets: the bundled sample fonts and the test-font
// builder's edge cases for the font targets; small fonts in every container kind
// (collections, WOFF, WOFF2, CFF outlines) for those and the container target; small
// scripts, encoding files and code tables for the others.
//
// The table targets get the tables of the same fonts, in their input form (table_input.h).
//
//     make_seeds OUTPUT_DIR     (creates
//     OUTPUT_DIR/{load,font,script,encode,brindle,container,listname}
//                                and a directory per table target)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/font_builder.h"
#include "table_input.h"

namespace fs = std::filesystem;
using testfont::bytes;
using testfont::font_parts;

namespace {

void put(const fs::path& dir, const std::string& name, const std::string& data) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void put(const fs::path& dir, const std::string& name, const bytes& data) {
    put(dir, name, std::string(data.begin(), data.end()));
}

std::string read_sample(const char* name) {
    std::ifstream in(std::string(SAMPLE_FONTS_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string as_string(const bytes& b) {
    return std::string(b.begin(), b.end());
}

std::size_t u16_at(const std::string& s, std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(s[at]) << 8 |
                                    static_cast<unsigned char>(s[at + 1]));
}
std::uint32_t u32_at(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(u16_at(s, at) << 16 | u16_at(s, at + 2));
}

// A collection of whole sfnt files: the header, then each font's offset table and
// directory followed by its tables, the directory's offsets moved to where they land.
std::string collection_of(const std::vector<std::string>& fonts) {
    testfont::be_writer w;
    w.tag("ttcf").u16(1).u16(0).u32(static_cast<std::uint32_t>(fonts.size()));
    std::size_t at = 12 + 4 * fonts.size();
    for (const std::string& f : fonts) {
        w.u32(static_cast<std::uint32_t>(at));
        at += (f.size() + 3) & ~std::size_t{3};
    }
    for (const std::string& f : fonts) {
        const std::size_t start = w.size();
        w.raw(f).pad(4);
        for (std::size_t i = 0; i < u16_at(f, 4); ++i) {
            const std::size_t entry = start + 12 + 16 * i + 8;
            w.patch_u32(entry, static_cast<std::uint32_t>(start + u32_at(f, 12 + 16 * i + 8)));
        }
    }
    return as_string(w.data());
}

// Fonts that reach the less common branches of every parser and writer.
std::vector<std::pair<std::string, bytes>> edge_fonts() {
    using namespace testfont;
    std::vector<std::pair<std::string, bytes>> fonts;
    auto add = [&](const std::string& name, const font_parts& p) {
        fonts.emplace_back(name, p.build());
    };
    add("standard", standard_parts());
    add("minimal", minimal_parts());

    font_parts p = standard_parts();
    make_aring_composite(p);
    add("composite", p);

    p = standard_parts();
    p.head.indexToLocFormat = 1;
    add("long-loca", p);

    for (uint32_t version : {0x00010000u, 0x00025000u, 0x00030000u}) {
        p = standard_parts();
        p.post.version = version;
        if (version == 0x00025000u) p.post.offsets = {0, 0, 0, 0, 0, 0, 0, -6};
        char name[32];
        std::snprintf(name, sizeof name, "post-%08x", version);
        add(name, p);
    }

    for (uint16_t version : {2, 3, 5}) {
        p = standard_parts();
        p.os2.version = version;
        add("os2-v" + std::to_string(version), p);
    }

    p = standard_parts();
    p.cmap.encodings.push_back({3, 10, cmap_format6::from(standard_unicode_map()), std::nullopt});
    p.cmap.encodings.push_back({0, 3, cmap_raw_subtable(12, bytes(16, 0)), std::nullopt});
    add("cmap-formats", p);

    p = standard_parts();
    p.cmap.encodings.at(1).subtable = cmap_format4::from(standard_unicode_map(), true);
    add("cmap4-glyph-array", p);

    // Groups of 32-bit codes (format 12 past 0xFFFF, format 13) and a kept format 14.
    for (uint16_t version : {4, 6}) {
        p = standard_parts();
        p.os2.version = version;
        be_writer f12, f13;
        f12.u16(12).u16(0).u32(40).u32(0).u32(2).u32(0x41).u32(0x42).u32(2);
        f12.u32(0x1F600).u32(0x1F601).u32(4);
        f13.u16(13).u16(0).u32(28).u32(0).u32(1).u32(0x20).u32(0x10FFFD).u32(1);
        p.cmap.encodings.push_back({3, 10, f12.take(), std::nullopt});
        p.cmap.encodings.push_back({0, 5, bytes{0, 14, 0, 0, 0, 10, 0, 0, 0, 0}, std::nullopt});
        p.cmap.encodings.push_back({0, 6, f13.take(), std::nullopt});
        add("cmap-groups-os2-v" + std::to_string(version), p);
    }

    p = standard_parts();
    {
        kern_subtable vertical;
        vertical.coverage = 0x0000;
        vertical.pairs = {{G_A, G_B, 40}};
        kern_subtable cross;
        cross.coverage = 0x0005;
        cross.pairs = {{G_a, G_A, -10}};
        kern_subtable format2;
        format2.coverage = 0x0201;
        format2.body = bytes(8, 0);
        p.kern.subtables.push_back(vertical);
        p.kern.subtables.push_back(cross);
        p.kern.subtables.push_back(format2);
    }
    add("kern-kinds", p);

    // GPOS pair kerning: glyph pairs, classes (class 0 on both sides), extensions, with and
    // without a kern table beside it, and damaged subtables.
    {
        const bytes listed =
            gpos_pair_format1(gpos_coverage2({{G_A, G_B, 0}}), 0x00FF, 0x0004,
                              {{{G_a, {1, 2, -50, 4, 0, 0, 0, 0}, {-7}}}, {{G_A, {0, 0, -30}}}});
        const bytes classes = gpos_class_kerning(
            gpos_coverage1({G_A, G_B, G_a}), gpos_class_def1(G_A, {1, 0}),
            gpos_class_def2({{G_a, G_a, 1}, {G_ARING, G_ARING, 2}}), {{-5, -10, 0}, {0, -20, -30}});
        gpos_table gpos = kern_gpos({{2, {listed, classes}}, {9, {gpos_extension(2, classes)}}});
        gpos.features.push_back({"liga", {0}});
        p = standard_parts();
        auto b = p.builder();
        b.add_table("GPOS", gpos.serialize());
        b.sort_tables();
        fonts.emplace_back("gpos-pairs", b.build());

        p.with_kern = false;
        b = p.builder();
        b.add_table("GPOS", kern_gpos({{2, {classes}}}).serialize());
        b.sort_tables();
        fonts.emplace_back("gpos-only", b.build());

        b = p.builder();
        gpos_table bad = kern_gpos(
            {{9, {gpos_extension(9, gpos_extension(2, listed))}},
             {2,
              {gpos_pair_format1(gpos_coverage2({{5, 6, 0}, {2, 3, 2}}), 0x0004, 0, {{}, {}})}}});
        bad.features[0].lookupListIndices.push_back(40);
        b.add_table("GPOS", bad.serialize());
        b.sort_tables();
        fonts.emplace_back("gpos-bad", b.build());

        // Copies of one class subtable in a font claiming 65,535 glyphs: each copy's class
        // set-up is glyph-sized work.
        p.maxp.numGlyphs = 0xFFFF;
        b = p.builder();
        b.add_table("GPOS", kern_gpos({{2, std::vector<bytes>(64, classes)}}).serialize());
        b.sort_tables();
        fonts.emplace_back("gpos-class-copies", b.build());
    }

    // Counts that claim more than their table holds, and a file cut short.
    p = standard_parts();
    p.kern.subtables.at(0).nPairs = 100;
    add("kern-npairs-past-table", p);
    font_builder b = standard_parts().builder();
    b.table("hmtx").length = 6;
    fonts.emplace_back("hmtx-cut", b.build());
    bytes cut = standard_font().build();
    cut.resize(cut.size() / 2);
    fonts.emplace_back("truncated", cut);
    // GSUB ligatures of the liga feature, direct and through an extension.
    {
        const bytes ligatures = gsub_ligature_subst(
            gpos_coverage1({G_A, G_B}), {{{G_B, {G_a}}, {G_a, {G_a, G_B}}}, {{G_a, {G_A}}}});
        gpos_table gsub = kern_gpos({{4, {ligatures}}, {7, {gpos_extension(4, ligatures)}}});
        gsub.features[0].tag = "liga";
        p = standard_parts();
        auto b = p.builder();
        b.add_table("GSUB", gsub.serialize());
        b.sort_tables();
        fonts.emplace_back("gsub-liga", b.build());
    }

    p = standard_parts();
    p.maxp.version = 0x00005000;
    add("maxp-05", p);

    p = standard_parts();
    p.hhea.numberOfHMetrics = 2;
    add("hmtx-short", p);

    p = standard_parts();
    p.name.records.push_back(name_record{0, 3, 0, 1, utf16be("Uni"), {}, {}});
    p.name.records.push_back(name_record{3, 1, 0x411, 4, utf16be("Japanese"), {}, {}});
    add("names-more", p);

    p = standard_parts();
    p.head.unitsPerEm = 0;
    add("units-per-em-0", p);

    // Directory-level damage.
    b = standard_font();
    b.remove_table("glyf");
    b.remove_table("loca");
    fonts.emplace_back("no-glyf", b.build());

    b = standard_font();
    b.remove_table("head");
    fonts.emplace_back("no-head", b.build());

    b = standard_font();
    b.add_table("cmap", b.table("cmap").data);
    fonts.emplace_back("duplicate-tag", b.build());

    b = minimal_font();
    b.searchRange = 0;
    b.fix_checksum_adjustment = false;
    fonts.emplace_back("bad-offset-table", b.build());

    b = minimal_font();
    b.table("loca").length = 0xFFFFFFF0u;
    fonts.emplace_back("huge-length", b.build());
    return fonts;
}

// The small fonts of every container kind kept with the tests, and collections of them.
std::vector<std::pair<std::string, std::string>> container_seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    auto data = [](const std::string& name) {
        std::ifstream in(std::string(CONTAINER_DATA_DIR) + "/" + name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    for (const char* name :
         {"tiny.ttf", "tiny-cff.otf", "tiny.woff", "tiny-cff.woff", "tiny.woff2", "tiny-cff.woff2"})
        seeds.emplace_back(name, data(name));
    seeds.emplace_back("tiny.ttc", collection_of({data("tiny.ttf"), data("tiny-cff.otf")}));
    // 72 bytes claiming a table of 1 GiB: refused before anything is allocated.
    testfont::be_writer bomb;
    bomb.tag("wOFF").u32(0x00010000).u32(72).u16(1).u16(0).u32(28 + (1u << 30)).u16(1).u16(0);
    bomb.zeros(20).tag("glyf").u32(64).u32(8).u32(1u << 30).u32(0).zeros(8);
    seeds.emplace_back("bomb.woff", as_string(bomb.data()));
    seeds.emplace_back("edge.ttc", collection_of({as_string(testfont::standard_parts().build()),
                                                  as_string(testfont::minimal_parts().build())}));
    return seeds;
}

const std::vector<std::pair<const char*, const char*>> kScripts = {
    {"list", "v.ttf font dup list\nfree\n"},
    {"afm", "v.ttf font dup 3 1 afm dup 1 0 afm pop\n"},
    {"gen", "v.ttf font dup (out.ttf) gen out.ttf font list\n"},
    {"getmetrics", "m.ttf font dup A getmetrics stack\n"},
    {"setaw", "v.ttf font dup dup A 700 setaw A getmetrics stack\n"},
    {"encode", "v.ttf font e.enc 3 1 encode dup 3 1 afm o.ttf gen\n"},
    {"export", "v.ttf font dup dup cmap c.bin export cmap c.bin import o.ttf gen\n"},
    {"rename", "v.ttf font dup 3 1 1033 4 (New \\) Name) rename 3 1 1033 4 listname\n"},
    {"platform", "v.ttf font 3 1 3 10 platform dup list 3 10 afm\n"},
    {"nested", "v.ttf font n.ks run % comment\n(n.ks) (run)\n"},
    {"stack", "force m.ttf font dup show free 1 0x10 -010 stack pop pop pop force\n"},
    {"errors", "Font 3 x afm\n"},
    {"stdin", "- run - font\n"},
    {"long",
     "(aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
     "aaaaaaaaaaaaaaaaaaaa) pop"},
};

// Name strings for the listname target: a platform byte, then the stored bytes.
std::vector<std::pair<std::string, std::string>> listname_seeds() {
    using namespace std::string_literals;
    return {
        {"breakout", "\x02\\) 0 0 0 0 (x) out.ttf gen ("s},
        {"percent-backslash", "\x03\0%\0x\0\\"s},
        {"command", "\x02gen"s},
        {"mac-roman", "\x01\\)\x8a\0\x1b"s},
        {"utf16", "\x03\0\0\0\x1b\xd8\x3d\xde\x42\0\n\x20\x28\xdc\0"s},
    };
}

const std::vector<std::pair<const char*, const char*>> kEncodings = {
    {"brindle",
     "StartCharMetrics 0\nCH <0041> ; N A ;\nCH <0061> ; N a ;\nC -1 ; N B ;\n"
     "EndCharMetrics\n"},
    {"afm",
     "StartFontMetrics 4.1\nComment x\nStartCharMetrics 2\n"
     "C 32 ; WX 600 ; N space ; B 0 0 0 0 ;\nCH <00c5> ; WX 1 ; N Aring ; B 0 0 1 1 ;\n"
     "C -1 ; N .notdef ;\nEndCharMetrics\nEndFontMetrics\n"},
    {"duplicates",
     "StartCharMetrics\nCH <0041> ; N A ;\nCH <0041> ; N B ;\nCH <ffff> ; N C ;\n"
     "CH <fffe> ; N .glyphindex5 ;\nEndCharMetrics\n"},
    {"glued", "StartCharMetrics\nC 65; N A ;\nCH <10041> ; N a ;\nN b ; C 98 ;\n"},
    {"none", "Comment only\n"},
};

const std::vector<std::pair<const char*, const char*>> kCodeTables = {
    {"basic", "41 A\n61 a\n\n#####\n20 A\n"},
    {"synonyms",
     "41 A\n# comment\n\n#####\n1 Alpha\n2 .notdef\n3 Beta\n\n#####\n"
     "Alpha A 0x391\nBeta 09x 0x392\n.x Gamma\n% comment\n\n"},
    {"one-file", "41 A\n1F600 grin\n.notdef\n"},
    {"bad", "41 A\n#####\n 20 B\n"},
};

}  // namespace

// The bytes of the table with this tag in an sfnt file; nothing when it has none.
std::optional<std::string> table_of(const std::string& font, const char* tag) {
    if (font.size() < 12) return std::nullopt;
    for (std::size_t i = 0; i < u16_at(font, 4) && 12 + 16 * (i + 1) <= font.size(); ++i) {
        const std::size_t entry = 12 + 16 * i;
        if (font.compare(entry, 4, tag) != 0) continue;
        const std::size_t offset = u32_at(font, entry + 8), length = u32_at(font, entry + 12);
        if (offset > font.size() || length > font.size() - offset) return std::nullopt;
        return font.substr(offset, length);
    }
    return std::nullopt;
}

// Each table target's tags, its own last (as its fuzz_<target>.cpp reads them).
const std::vector<std::pair<const char*, std::vector<const char*>>> kTableTargets = {
    {"cmap", {"cmap"}},
    {"name", {"name"}},
    {"post", {"post"}},
    {"kern", {"kern"}},
    {"os2", {"OS/2"}},
    {"hmtx", {"maxp", "hhea", "hmtx"}},
    {"glyf", {"maxp", "head", "loca", "glyf"}},
    {"gpos", {"maxp", "GPOS"}},
    {"gsub", {"maxp", "GSUB"}},
    {"cff", {"head", "maxp", "CFF "}},
};

void put_table_seeds(const fs::path& out, const std::string& name, const std::string& font) {
    for (const auto& [target, tags] : kTableTargets) {
        std::vector<std::string> tables;
        for (const char* tag : tags)
            if (auto t = table_of(font, tag)) tables.push_back(*t);
        if (tables.size() == tags.size()) put(out / target, name, fuzzkit::join_tables(tables));
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTPUT_DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    for (const char* target : {"load", "font"}) {
        put(out / target, "Vera.ttf", read_sample("Vera.ttf"));
        put(out / target, "VeraMono.ttf", read_sample("VeraMono.ttf"));
        for (const auto& [name, data] : edge_fonts()) put(out / target, name + ".ttf", data);
    }
    for (const char* target : {"load", "font", "container"})
        for (const auto& [name, data] : container_seeds()) put(out / target, name, data);
    put_table_seeds(out, "Vera", read_sample("Vera.ttf"));
    put_table_seeds(out, "VeraMono", read_sample("VeraMono.ttf"));
    for (const auto& [name, data] : edge_fonts()) put_table_seeds(out, name, as_string(data));
    for (const auto& [name, data] : container_seeds())
        if (name == "tiny.ttf" || name == "tiny-cff.otf") put_table_seeds(out, name, data);
    for (const auto& [name, text] : kScripts) put(out / "script", std::string(name) + ".ks", text);
    for (const auto& [name, bytes] : listname_seeds()) put(out / "listname", name, bytes);
    for (const auto& [name, text] : kEncodings)
        put(out / "encode", std::string(name) + ".enc", text);
    for (const auto& [name, text] : kCodeTables)
        put(out / "brindle", std::string(name) + ".txt", text);
    return 0;
}
