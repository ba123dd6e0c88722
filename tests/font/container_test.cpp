// Collections, WOFF and WOFF2: faces and decoded fonts equal what fontTools reads, and
// damaged containers are refused with a message naming the file.
#include "font/container.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/font_builder.h"
#include "support/run.h"

namespace {

using bytes = std::vector<BYTE>;
using testfont::be_writer;

const std::string kCompare =
    (std::filesystem::path(__FILE__).parent_path() / "compare_decoded.py").string();
const std::string kData = std::string(TEST_DATA_DIR) + "/container/";

bytes file_bytes(const std::string& path) {
    std::string s = testrun::read_file(path);
    return bytes(s.begin(), s.end());
}

ULONG be32(const bytes& b, std::size_t at) {
    return ULONG{b[at]} << 24 | ULONG{b[at + 1]} << 16 | ULONG{b[at + 2]} << 8 | b[at + 3];
}

// Tag -> bytes of every table of an sfnt, as its directory gives them.
std::map<std::string, bytes> tables_of(const bytes& sfnt) {
    std::map<std::string, bytes> tables;
    const std::size_t n = static_cast<std::size_t>(sfnt[4] << 8 | sfnt[5]);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = 12 + 16 * i;
        const ULONG offset = be32(sfnt, at + 8), length = be32(sfnt, at + 12);
        tables[std::string(sfnt.begin() + at, sfnt.begin() + at + 4)] =
            bytes(sfnt.begin() + offset, sfnt.begin() + offset + length);
    }
    return tables;
}

// A collection of the given fonts: its header, then each font's offset table and
// directory, then all tables, with the directories' offsets moved to match. With
// shared_faces, that many more faces point at the first font's offset table.
bytes make_collection(const std::vector<bytes>& fonts, std::size_t shared_faces = 0) {
    be_writer w;
    const std::size_t faces = fonts.size() + shared_faces;
    w.tag("ttcf").u16(1).u16(0).u32(static_cast<uint32_t>(faces));
    std::size_t at = 12 + 4 * faces;
    for (const bytes& f : fonts) {
        w.u32(static_cast<uint32_t>(at));
        at += 12 + 16 * static_cast<std::size_t>(f[4] << 8 | f[5]);
    }
    for (std::size_t i = 0; i < shared_faces; ++i) w.u32(static_cast<uint32_t>(12 + 4 * faces));
    std::vector<std::size_t> dir_at;
    for (const bytes& f : fonts) {
        dir_at.push_back(w.size());
        w.raw(bytes(f.begin(), f.begin() + 12 + 16 * (f[4] << 8 | f[5])));
    }
    for (std::size_t k = 0; k < fonts.size(); ++k) {
        const bytes& f = fonts[k];
        for (std::size_t i = 0; i < static_cast<std::size_t>(f[4] << 8 | f[5]); ++i) {
            const std::size_t entry = dir_at[k] + 12 + 16 * i;
            const ULONG offset = be32(f, 12 + 16 * i + 8), length = be32(f, 12 + 16 * i + 12);
            w.patch_u32(entry + 8, static_cast<uint32_t>(w.size()));
            w.raw(bytes(f.begin() + offset, f.begin() + offset + length)).pad(4);
        }
    }
    return w.take();
}

// A WOFF of the sfnt; tables listed in `stored` are kept uncompressed.
bytes make_woff(const bytes& sfnt, const std::vector<std::string>& stored = {}) {
    const std::size_t n = static_cast<std::size_t>(sfnt[4] << 8 | sfnt[5]);
    be_writer dir, data;
    std::size_t total = 12 + 16 * n;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = 12 + 16 * i;
        const std::string tag(sfnt.begin() + at, sfnt.begin() + at + 4);
        const ULONG offset = be32(sfnt, at + 8), length = be32(sfnt, at + 12);
        bytes table(sfnt.begin() + offset, sfnt.begin() + offset + length);
        bytes packed(compressBound(length));
        uLongf packed_size = packed.size();
        compress2(packed.data(), &packed_size, table.data(), length, 9);
        packed.resize(packed_size);
        const bool keep = packed.size() >= table.size() ||
                          std::find(stored.begin(), stored.end(), tag) != stored.end();
        const bytes& body = keep ? table : packed;
        dir.tag(tag).u32(static_cast<uint32_t>(44 + 20 * n + data.size()));
        dir.u32(static_cast<uint32_t>(body.size())).u32(length).u32(be32(sfnt, at + 4));
        data.raw(body).pad(4);
        total += (length + 3) & ~3u;
    }
    be_writer w;
    w.tag("wOFF").u32(be32(sfnt, 0)).u32(0).u16(static_cast<uint16_t>(n)).u16(0);
    w.u32(static_cast<uint32_t>(total)).u16(1).u16(0).zeros(20);
    w.raw(dir.data()).raw(data.data());
    w.patch_u32(8, static_cast<uint32_t>(w.size()));
    return w.take();
}

std::string python_with_fonttools() {
    for (const char* python : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
        if (!testrun::file_exists(python)) continue;
        if (testrun::run(python, {"-c", "import fontTools.ttLib, brotli"}).status == 0)
            return python;
    }
    return {};
}

opened_face open_or_fail(const bytes& file, std::size_t face = 0) {
    std::string error;
    auto opened = open_face(file, face, "in.font", error);
    EXPECT_TRUE(opened) << error;
    return opened.value_or(opened_face{});
}

}  // namespace

TEST(Container, CollectionFacesAreStandaloneFonts) {
    const bytes a = testfont::standard_font().build(), b = testfont::minimal_font().build();
    const bytes ttc = make_collection({a, b});
    std::string error;
    auto faces = collection_faces(ttc, error);
    ASSERT_TRUE(faces) << error;
    EXPECT_EQ(faces->size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        opened_face face = open_or_fail(ttc, i);
        EXPECT_EQ(face.container, font_container::collection);
        EXPECT_EQ(face.face_count, 2u);
        EXPECT_FALSE(face.is_file_itself);
        EXPECT_EQ(tables_of(face.sfnt), tables_of(i == 0 ? a : b)) << i;
        // The extracted font is laid out like the one it came from: same size, same sum.
        EXPECT_EQ(face.sfnt.size(), (i == 0 ? a : b).size());
        EXPECT_EQ(testfont::checksum(face.sfnt), 0xB1B0AFBAu);
    }
    EXPECT_FALSE(open_face(ttc, 2, "two.ttc", error));
    EXPECT_EQ(error, "two.ttc: bad collection: no font 2: the collection holds 2");
    EXPECT_EQ(collection_notice("two.ttc", 2),
              "Note: two.ttc is a collection of 2 fonts; this is font 0, `two.ttc N face` loads "
              "font N (0 to 1)\n");
}

TEST(Container, WoffDecodesToTheFontItWasMadeFrom) {
    const bytes sfnt = testfont::standard_font().build();
    // Compressed and stored tables side by side; the tables come back in their order.
    opened_face face = open_or_fail(make_woff(sfnt, {"head", "OS/2"}));
    EXPECT_EQ(face.container, font_container::woff);
    EXPECT_FALSE(face.is_file_itself);
    EXPECT_EQ(face.sfnt, sfnt);

    std::string error;
    EXPECT_FALSE(open_face(make_woff(sfnt), 1, "x.woff", error));
    EXPECT_EQ(error, "x.woff: no such font: the file holds one font, numbered 0, not 1");
    EXPECT_FALSE(open_face(sfnt, 1, "x.ttf", error));
    EXPECT_EQ(error, "x.ttf: no such font: the file holds one font, numbered 0, not 1");
    EXPECT_TRUE(open_or_fail(sfnt).is_file_itself);
}

struct bad_container {
    const char* name;
    std::function<bytes()> make;
    const char* error;  // what follows "bad.font: "
};

class BadContainer : public testing::TestWithParam<bad_container> {};

TEST_P(BadContainer, IsRefusedWithAMessageNamingTheFile) {
    std::string error;
    EXPECT_FALSE(open_face(GetParam().make(), 0, "bad.font", error));
    EXPECT_EQ(error, std::string("bad.font: ") + GetParam().error);
}

namespace {

bytes two_faces() {
    return make_collection({testfont::standard_font().build(), testfont::minimal_font().build()});
}
bytes with_u32(bytes b, std::size_t at, ULONG v) {
    testfont::put_u32(b, at, v);
    return b;
}
bytes woff() {
    return make_woff(testfont::standard_font().build());
}
// Position of the WOFF directory entry with this tag.
std::size_t woff_entry(const bytes& w, const char* tag) {
    for (std::size_t at = 44;; at += 20)
        if (std::equal(tag, tag + 4, w.begin() + at)) return at;
}
bytes woff_with(const char* tag, std::size_t field, ULONG v) {
    bytes w = woff();
    return with_u32(w, woff_entry(w, tag) + field, v);
}
// The WOFF with totalSfntSize made right for what its directory now says.
bytes with_total_fixed(bytes w) {
    const std::size_t n = static_cast<std::size_t>(w[12] << 8 | w[13]);
    ULONG total = static_cast<ULONG>(12 + 16 * n);
    for (std::size_t i = 0; i < n; ++i) total += (be32(w, 44 + 20 * i + 12) + 3) & ~3u;
    return with_u32(w, 16, total);
}

const bad_container kBadContainers[] = {
    {"CollectionCutShort", [] { return bytes{'t', 't', 'c', 'f', 0, 1}; },
     "bad collection: header is cut short"},
    {"CollectionOfNoFonts", [] { return with_u32(two_faces(), 8, 0); },
     "bad collection: numFonts is 0"},
    {"FaceCountPastTheEnd", [] { return with_u32(two_faces(), 8, 0x40000000); },
     "bad collection: numFonts 1073741824: the offsets run past the end of the file"},
    {"FaceOffsetPastTheEnd", [] { return with_u32(two_faces(), 16, 0xFFFFFFF0); },
     "bad collection: font 1: offset 4294967280 lies past the end of the file"},
    {"FaceDirectoryPastTheEnd",
     [] {
         bytes b = two_faces();
         const std::size_t at = be32(b, 16) + 4;
         b[at] = b[at + 1] = 0xFF;
         return b;
     },
     "bad collection: font 1: table directory runs past the end of the file"},
    // Font 1's offset table starts in font 0's (at its numTables); sharing all of it is fine.
    {"FaceInsideAnotherFace", [] { return with_u32(two_faces(), 16, 24); },
     "bad collection: the offset table of font 1 lies inside font 0's"},
    {"FaceInsideTheHeader", [] { return with_u32(two_faces(), 12, 8); },
     "bad collection: the offset table of font 0 lies inside the collection header's"},
    {"FaceTablePastTheEnd",
     [] {
         bytes b = two_faces();
         return with_u32(b, be32(b, 12) + 12 + 12, 0x7FFFFFFF);  // first table's length
     },
     "bad collection: font 0: table 'OS/2' (offset 380, 2147483647 bytes) lies past the end "
     "of the file"},
    {"FaceTablesOverlap",
     [] {
         bytes b = two_faces();
         const std::size_t first = be32(b, 12) + 12;
         return with_u32(b, first + 16 + 8, be32(b, first + 8) + 4);  // 2nd table inside 1st
     },
     "bad collection: font 0: tables 'OS/2' and 'cmap' overlap"},
    {"WoffCutShort", [] { return bytes{'w', 'O', 'F', 'F', 0, 1, 0, 0}; },
     "bad WOFF file: header is cut short"},
    {"WoffLengthLies", [] { return with_u32(woff(), 8, 100000); },
     "bad WOFF file: length field says 100000 bytes, the file has 1168"},
    {"WoffTotalSfntSizeLies", [] { return with_u32(woff(), 16, 1 << 30); },
     "bad WOFF file: totalSfntSize says 1073741824 bytes, its tables make 1716"},
    {"WoffTablePastTheEnd", [] { return woff_with("glyf", 4, 0x10000); },
     "bad WOFF file: table 'glyf' (offset 65536, 272 bytes) lies outside the file's table data"},
    {"WoffTableInTheDirectory", [] { return woff_with("glyf", 4, 50); },
     "bad WOFF file: table 'glyf' (offset 50, 272 bytes) lies outside the file's table data"},
    {"WoffTablesOverlap",
     [] {
         bytes w = woff();
         return with_u32(w, woff_entry(w, "glyf") + 4, be32(w, woff_entry(w, "cmap") + 4) + 2);
     },
     "bad WOFF file: tables 'cmap' and 'glyf' overlap"},
    {"WoffCompLengthAboveOrigLength", [] { return woff_with("cmap", 8, 1000); },
     "bad WOFF file: table 'cmap': compLength 1000 > origLength 346"},
    // Sizes refused before anything is allocated: one table larger than the limit, and one
    // larger than zlib can inflate its compressed bytes to (a 72-byte file claiming 1 GiB).
    {"WoffTableOverTheLimit", [] { return with_total_fixed(woff_with("glyf", 12, 1 << 30)); },
     "bad WOFF file: table 'glyf': origLength 1073741824 is over the limit of 67108864 bytes "
     "for a table"},
    {"WoffTableBeyondZlib", [] { return with_total_fixed(woff_with("glyf", 12, 1 << 20)); },
     "bad WOFF file: table 'glyf': origLength 1048576 is more than zlib can inflate from "
     "compLength 272"},
    {"WoffInflatesToMore", [] { return with_total_fixed(woff_with("glyf", 12, 300)); },
     "bad WOFF file: table 'glyf': inflates to more than its 300 bytes"},
    {"WoffInflatesToLess", [] { return with_total_fixed(woff_with("glyf", 12, 344)); },
     "bad WOFF file: table 'glyf': inflates to 340 bytes, not its 344"},
    {"WoffCompressedDataCutShort", [] { return woff_with("glyf", 8, 136); },
     "bad WOFF file: table 'glyf': zlib data is corrupt or cut short"},
    {"WoffCompressedDataCorrupt",
     [] {
         bytes w = woff();
         w[be32(w, woff_entry(w, "glyf") + 4)] ^= 0xFF;
         return w;
     },
     "bad WOFF file: table 'glyf': zlib data is corrupt or cut short"},
    {"Woff2Garbage",
     [] {
         bytes b = file_bytes(kData + "tiny.woff2");
         for (std::size_t i = 48; i < b.size(); ++i) b[i] = static_cast<BYTE>(i * 37);
         return b;
     },
     "bad WOFF2 file: the decoder refused it (corrupt, cut short or too large)"},
    {"Woff2CutShort",
     [] {
         bytes b = file_bytes(kData + "tiny.woff2");
         b.resize(b.size() / 2);
         return b;
     },
     "bad WOFF2 file: the decoder refused it (corrupt, cut short or too large)"},
    {"Woff2HugeDeclaredSize", [] { return with_u32(file_bytes(kData + "tiny.woff2"), 16, ~0u); },
     "bad WOFF2 file: totalSfntSize 4294967295 is too large"},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Refused, BadContainer, testing::ValuesIn(kBadContainers),
                         [](const auto& info) { return std::string(info.param.name); });

// Fonts made by other encoders (fontTools, Debian's woff2_compress) decode to the tables
// of the font they were made from, as fontTools reads both.
TEST(Container, WebFontsOfVeraDecodeToVerasTables) {
    static const std::string python = python_with_fonttools();
    if (python.empty()) GTEST_SKIP() << "python3 with fontTools and brotli not found";
    testrun::scratch_dir dir;
    const std::string vera = testrun::sample_font("Vera.ttf");
    const std::string make =
        "import sys\nfrom fontTools.ttLib import TTFont\n"
        "f = TTFont(sys.argv[1], recalcTimestamp=False)\n"
        "f.flavor = sys.argv[2]\nf.save(sys.argv[3])\n";
    std::vector<std::pair<std::string, font_container>> made;
    for (const char* flavor : {"woff", "woff2"}) {
        const std::string out = dir.file(std::string("Vera.") + flavor);
        auto r = testrun::run(python, {"-c", make, vera, flavor, out});
        ASSERT_EQ(r.status, 0) << r.err;
        made.emplace_back(out, flavor[4] ? font_container::woff2 : font_container::woff);
    }
    if (testrun::file_exists("/usr/bin/woff2_compress")) {
        testrun::write_file(dir.file("deb.ttf"), testrun::read_file(vera));
        auto r = testrun::run("/usr/bin/woff2_compress", {dir.file("deb.ttf")});
        ASSERT_EQ(r.status, 0) << r.err;
        made.emplace_back(dir.file("deb.woff2"), font_container::woff2);
    }
    for (const auto& [path, kind] : made) {
        opened_face face = open_or_fail(file_bytes(path));
        EXPECT_EQ(face.container, kind) << path;
        const std::string decoded = path + ".ttf";
        testrun::write_file(decoded, std::string(face.sfnt.begin(), face.sfnt.end()));
        auto r = testrun::run(python, {kCompare, "tables", vera, decoded});
        EXPECT_EQ(r.status, 0) << path << "\n" << r.out << r.err;
    }
}

// Every font of a real collection is the font fontTools' TTCollection reads there.
TEST(Container, FacesOfARealCollectionAreFontToolsFaces) {
    const std::string ttc = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    static const std::string python = python_with_fonttools();
    if (python.empty() || !testrun::file_exists(ttc))
        GTEST_SKIP() << "needs python3-fonttools and fonts-wqy-microhei";
    testrun::scratch_dir dir;
    const bytes file = file_bytes(ttc);
    const std::size_t count = open_or_fail(file).face_count;
    EXPECT_EQ(count, 2u);
    for (std::size_t i = 0; i < count; ++i) {
        opened_face face = open_or_fail(file, i);
        const std::string out = dir.file("face" + std::to_string(i) + ".ttf");
        testrun::write_file(out, std::string(face.sfnt.begin(), face.sfnt.end()));
        auto r = testrun::run(python, {kCompare, "face", ttc, std::to_string(i), out});
        EXPECT_EQ(r.status, 0) << i << "\n" << r.out << r.err;
    }
}

namespace {

struct accepted_case {
    const char* name;
    std::function<bytes()> make;
    std::vector<std::string> faces;  // the words that load each font of the file
};

class AcceptedByOtherReaders : public testing::TestWithParam<accepted_case> {};

const char* const kSanitizer = "/usr/bin/ots-sanitize";

// fontTools decompiles every table of the file.
const char* const kDecompileAll =
    "import sys\nfrom fontTools.ttLib import TTFont\n"
    "f = TTFont(sys.argv[1], lazy=False)\n"
    "for tag in f.keys():\n    f[tag]\n";

}  // namespace

// Files that ots-sanitize and fontTools read load here too, and gen writes each font of
// them as a file both accept.
TEST_P(AcceptedByOtherReaders, LoadsAndGenWritesAGoodFont) {
    static const std::string python = python_with_fonttools();
    if (python.empty() || !testrun::file_exists(kSanitizer))
        GTEST_SKIP() << "needs python3-fonttools and opentype-sanitizer";
    testrun::scratch_dir dir;
    const bytes file = GetParam().make();
    testrun::write_file(dir.file("in.font"), std::string(file.begin(), file.end()));
    auto sanitized = testrun::run(kSanitizer, {dir.file("in.font")});
    ASSERT_EQ(sanitized.status, 0) << "the file itself: " << sanitized.out << sanitized.err;
    for (std::size_t i = 0; i < GetParam().faces.size(); ++i) {
        const std::string out = dir.file("out" + std::to_string(i) + ".ttf");
        std::vector<std::string> words = {dir.file("in.font")};
        words.push_back(GetParam().faces[i]);
        if (words.back() != "font") words.push_back("face");
        words.insert(words.end(), {out, "gen"});
        auto r = testrun::kestrix(words);
        EXPECT_EQ(r.status, 0) << i << ": " << r.err;
        auto decompiled = testrun::run(python, {"-c", kDecompileAll, out});
        EXPECT_EQ(decompiled.status, 0) << i << ": " << decompiled.err;
        auto resanitized = testrun::run(kSanitizer, {out});
        EXPECT_EQ(resanitized.status, 0) << i << ": " << resanitized.out << resanitized.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, AcceptedByOtherReaders,
    testing::Values(
        // Apple's tag for TrueType outlines, in place of 0x00010000.
        accepted_case{"AppleTrueTypeTag",
                      [] {
                          testfont::font_builder b = testfont::standard_font();
                          b.sfntVersion = 0x74727565;  // 'true'
                          return b.build();
                      },
                      {"font"}},
        // Two faces, one offset table: both load, the first too.
        accepted_case{"CollectionFacesSharingAnOffsetTable",
                      [] { return make_collection({testfont::standard_font().build()}, 1); },
                      {"0", "1"}}),
    [](const auto& info) { return std::string(info.param.name); });
