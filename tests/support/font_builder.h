// Builds TrueType font files for the tests, well-formed or deliberately broken.
//
// Every table has a plain struct whose public members carry the TrueType field names,
// defaulted to a small valid font, and a serialize() giving the table's bytes. A test
// breaks a field by changing it before building. `font_builder` assembles table byte
// blocks into a file (directory, 4-byte padding, table checksums, checkSumAdjustment)
// and has raw overrides for everything the directory says.
//
// Structs are aggregates whose members all have defaults, so designated initializers may
// name just the fields that matter: testfont::glyph_component{.glyphIndex = 2, .arg2 = 100}.
//
// Typical use:
//     auto parts = testfont::standard_parts();   // coherent 8-glyph font
//     parts.hhea.numberOfHMetrics = 9;            // break a field
//     auto b = parts.builder();                   // serialize all tables
//     b.table("loca").data.resize(6);             // or break bytes
//     b.write(dir.file("bad.ttf"));
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace testfont {

using bytes = std::vector<uint8_t>;

// Appends big-endian values to a byte buffer; for tables made by hand.
class be_writer {
  public:
    be_writer& u8(uint8_t v);
    be_writer& s8(int8_t v) { return u8(static_cast<uint8_t>(v)); }
    be_writer& u16(uint16_t v);
    be_writer& s16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    be_writer& u32(uint32_t v);
    be_writer& s32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    be_writer& tag(std::string_view t);  // exactly 4 bytes: cut or padded with spaces
    be_writer& raw(const bytes& b);
    be_writer& raw(std::string_view s);
    be_writer& zeros(size_t n);
    be_writer& pad(size_t alignment);  // zero bytes up to a multiple of alignment

    // Overwrite already written bytes (e.g. a length known only at the end).
    void patch_u16(size_t at, uint16_t v);
    void patch_u32(size_t at, uint32_t v);

    size_t size() const { return buf_.size(); }
    const bytes& data() const { return buf_; }
    bytes take() { return std::move(buf_); }

  private:
    bytes buf_;
};

// Sum of big-endian 32-bit words modulo 2^32; a final partial word is padded with zeros.
uint32_t checksum(const bytes& data);
bytes text_bytes(std::string_view s);   // the characters as single bytes
bytes utf16be(std::string_view ascii);  // each byte as a big-endian 16-bit unit
bytes concat(const bytes& a, const bytes& b);

// Overwrite a big-endian value inside existing bytes (e.g. a table's data in a builder).
void put_u16(bytes& b, size_t at, uint16_t v);
void put_u32(bytes& b, size_t at, uint32_t v);

// searchRange / entrySelector / rangeShift of a binary-search header over n items of
// `unit` bytes (16 for the table directory, 2 for cmap format 4 segments, 6 for kern pairs).
struct search_fields {
    uint16_t searchRange{}, entrySelector{}, rangeShift{};
};
search_fields search_fields_for(uint16_t n, uint16_t unit);

// The 258 standard Macintosh glyph names, in order (the post table's format 1.0 list).
const std::array<const char*, 258>& standard_mac_names();
std::optional<uint16_t> standard_mac_index(std::string_view name);

// ---------------------------------------------------------------- fixed-layout tables

struct head_table {  // 54 bytes
    uint32_t version = 0x00010000;
    uint32_t fontRevision = 0x00010000;
    uint32_t checkSumAdjustment = 0;  // font_builder fills it in unless told not to
    uint32_t magicNumber = 0x5F0F3CF5;
    uint16_t flags = 0x000B;
    uint16_t unitsPerEm = 2048;
    std::array<uint8_t, 8> created{0, 0, 0, 0, 0xD1, 0x2A, 0x3C, 0x40};  // raw LONGDATETIME
    std::array<uint8_t, 8> modified{0, 0, 0, 0, 0xD1, 0x2A, 0x3C, 0x40};
    int16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    uint16_t macStyle = 0;
    uint16_t lowestRecPPEM = 8;
    int16_t fontDirectionHint = 2;
    int16_t indexToLocFormat = 0;  // 0 short loca, 1 long
    int16_t glyphDataFormat = 0;
    bytes serialize() const;
};

struct hhea_table {  // 36 bytes
    uint32_t version = 0x00010000;
    int16_t ascender = 1901, descender = -483, lineGap = 0;
    uint16_t advanceWidthMax = 0;
    int16_t minLeftSideBearing = 0, minRightSideBearing = 0, xMaxExtent = 0;
    int16_t caretSlopeRise = 1, caretSlopeRun = 0;
    std::array<int16_t, 5> reserved{};
    int16_t metricDataFormat = 0;
    uint16_t numberOfHMetrics = 0;
    bytes serialize() const;
};

// Version 1.0 gives 32 bytes; version 0x00005000 gives the 6-byte 0.5 layout.
struct maxp_table {
    uint32_t version = 0x00010000;
    uint16_t numGlyphs = 0;
    uint16_t maxPoints = 0, maxContours = 0, maxCompositePoints = 0, maxCompositeContours = 0;
    uint16_t maxZones = 2, maxTwilightPoints = 0, maxStorage = 0, maxFunctionDefs = 0;
    uint16_t maxInstructionDefs = 0, maxStackElements = 0, maxSizeOfInstructions = 0;
    uint16_t maxComponentElements = 0, maxComponentDepth = 0;
    bytes serialize() const;
};

// Version 0: 78 bytes, 1: 86, 2 to 4: 96, 5 and above: 100.
struct os2_table {
    uint16_t version = 1;
    int16_t xAvgCharWidth = 1100;
    uint16_t usWeightClass = 400, usWidthClass = 5;
    int16_t fsType = 0;
    int16_t ySubscriptXSize = 1331, ySubscriptYSize = 1433, ySubscriptXOffset = 0,
            ySubscriptYOffset = 286;
    int16_t ySuperscriptXSize = 1331, ySuperscriptYSize = 1433, ySuperscriptXOffset = 0,
            ySuperscriptYOffset = 983;
    int16_t yStrikeoutSize = 102, yStrikeoutPosition = 530;
    int16_t sFamilyClass = 0;
    std::array<uint8_t, 10> panose{2, 11, 6, 3, 3, 8, 4, 2, 2, 4};
    std::array<uint32_t, 4> ulUnicodeRange{1, 0, 0, 0};  // ulUnicodeRange1..4 (ulCharRange)
    std::array<char, 4> achVendID{'T', 'E', 'S', 'T'};
    uint16_t fsSelection = 0x0040;
    uint16_t usFirstCharIndex = 0x20, usLastCharIndex = 0x2DA;
    int16_t sTypoAscender = 1556, sTypoDescender = -492, sTypoLineGap = 410;
    uint16_t usWinAscent = 1901, usWinDescent = 483;
    uint32_t ulCodePageRange1 = 1, ulCodePageRange2 = 0;  // version 1 and later
    int16_t sxHeight = 1120, sCapHeight = 1493;           // version 2 and later
    uint16_t usDefaultChar = 0, usBreakChar = 0x20, usMaxContext = 2;
    uint16_t usLowerOpticalPointSize = 0, usUpperOpticalPointSize = 0xFFFF;  // version 5
    bytes serialize() const;
};

struct long_hor_metric {
    uint16_t advanceWidth = 0;
    int16_t lsb = 0;
};

// As stored: numberOfHMetrics pairs, then the bearings of the remaining glyphs.
struct hmtx_table {
    std::vector<long_hor_metric> hMetrics{};
    std::vector<int16_t> leftSideBearings{};
    // Stores one metric per glyph, keeping only the trailing run of equal advance widths
    // as bearings (hhea.numberOfHMetrics is then hMetrics.size()).
    static hmtx_table compress(const std::vector<long_hor_metric>& per_glyph);
    bytes serialize() const;
};

// ---------------------------------------------------------------- cmap

using char_map = std::map<uint16_t, uint16_t>;  // character code -> glyph index

struct cmap_format0 {
    uint16_t format = 0;
    std::optional<uint16_t> length{};  // default 6 + array_bytes (262)
    uint16_t language = 0;
    std::array<uint8_t, 256> glyphIdArray{};
    size_t array_bytes = 256;                     // how many entries of glyphIdArray are written
    static cmap_format0 from(const char_map& m);  // codes above 255 are left out
    bytes serialize() const;
};

struct cmap_segment {
    uint16_t endCount = 0, startCount = 0;
    int16_t idDelta = 0;
    uint16_t idRangeOffset = 0;  // byte offset from this word into glyphIdArray, or 0
};

struct cmap_format4 {
    uint16_t format = 4;
    std::optional<uint16_t> length{};  // default: the bytes written
    uint16_t language = 0;
    std::optional<uint16_t> segCountX2{};  // default 2 * segments.size()
    std::optional<uint16_t> searchRange{}, entrySelector{}, rangeShift{};  // default computed
    uint16_t reservedPad = 0;
    std::vector<cmap_segment> segments{};  // in file order; last normally ends at 0xFFFF
    std::vector<uint16_t> glyphIdArray{};
    // Segments of consecutive codes; a run whose glyphs are consecutive too gets an idDelta,
    // the others go through glyphIdArray (all of them with use_glyph_array). The final
    // 0xFFFF segment maps to glyph 0.
    static cmap_format4 from(const char_map& m, bool use_glyph_array = false);
    bytes serialize() const;
};

struct cmap_format6 {
    uint16_t format = 6;
    std::optional<uint16_t> length{};  // default: the bytes written
    uint16_t language = 0;
    uint16_t firstCode = 0;
    std::optional<uint16_t> entryCount{};  // default glyphIdArray.size()
    std::vector<uint16_t> glyphIdArray{};
    static cmap_format6 from(const char_map& m);  // covers the first to the last code
    bytes serialize() const;
};

// A subtable as a struct, or raw bytes for any other format or damage.
using cmap_subtable = std::variant<cmap_format0, cmap_format4, cmap_format6, bytes>;

struct cmap_encoding {
    uint16_t platformID = 3, encodingID = 1;
    cmap_subtable subtable{};
    std::optional<uint32_t> offset{};  // default: where the subtable is written
};

// Subtables are written after the encoding records, in record order.
struct cmap_table {
    uint16_t version = 0;
    std::optional<uint16_t> numTables{};  // default encodings.size()
    std::vector<cmap_encoding> encodings{};
    bytes serialize() const;
};

bytes serialize_subtable(const cmap_subtable& s);

// A subtable of any format: format, length (default 6 + body size), language, then body.
bytes cmap_raw_subtable(uint16_t format, bytes body = {}, std::optional<uint16_t> length = {},
                        uint16_t language = 0);

// ---------------------------------------------------------------- glyf and loca

struct glyph_point {
    int16_t x = 0, y = 0;  // absolute coordinates
    bool on_curve = true;
};
using contour = std::vector<glyph_point>;

// Component flag bits.
inline constexpr uint16_t ARG_1_AND_2_ARE_WORDS = 0x0001, ARGS_ARE_XY_VALUES = 0x0002,
                          ROUND_XY_TO_GRID = 0x0004, WE_HAVE_A_SCALE = 0x0008,
                          MORE_COMPONENTS = 0x0020, WE_HAVE_AN_X_AND_Y_SCALE = 0x0040,
                          WE_HAVE_A_TWO_BY_TWO = 0x0080, WE_HAVE_INSTRUCTIONS = 0x0100,
                          USE_MY_METRICS = 0x0200;

struct glyph_component {
    uint16_t glyphIndex = 0;
    int16_t arg1 = 0, arg2 = 0;       // x and y offset with ARGS_ARE_XY_VALUES
    uint16_t extra_flags = 0;         // OR'ed into the computed flags (e.g. USE_MY_METRICS)
    std::optional<uint16_t> flags{};  // replaces the computed flags entirely
    // F2Dot14 values: 1 = scale, 2 = x and y scale, 4 = two by two; flag set to match.
    std::vector<int16_t> transform{};
};

// One glyph description. Empty (zero length in loca) when it has no contours, no
// components and no raw bytes; composite when it has components.
struct glyph {
    std::vector<contour> contours{};
    std::vector<glyph_component> components{};
    bytes instructions{};
    std::optional<int16_t> numberOfContours{};     // default contours.size(), or -1 if composite
    std::optional<std::array<int16_t, 4>> bbox{};  // xMin, yMin, xMax, yMax; default computed
    std::optional<std::vector<uint16_t>> endPtsOfContours{};  // default from the contours
    std::optional<uint16_t> instructionLength{};              // default instructions.size()
    std::optional<bytes> raw_flags{};  // replaces the encoded flag bytes (coordinates stay)
    bool compress_flags = true;        // use repeat counts for runs of equal flags
    std::optional<bytes> raw{};        // the whole description, exactly these bytes
};

glyph simple_glyph(std::vector<contour> contours, bytes instructions = {});
glyph composite_glyph(std::vector<glyph_component> components);

struct glyf_loca {
    bytes glyf{}, loca{};
    std::vector<uint32_t> offsets{};  // numGlyphs + 1 byte offsets into glyf
};

struct glyf_table {
    std::vector<glyph> glyphs{};
    bool pad_glyphs = true;  // pad each description to 4 bytes (short loca needs even)

    // indexToLocFormat 0 writes offsets / 2 as 16 bits, anything else 32-bit offsets.
    glyf_loca build(int16_t indexToLocFormat) const;
    bytes encode_glyph(size_t index) const;
    // Bounding box of glyph i as written, nullopt for an empty glyph. A composite's box is
    // the union of its components' boxes moved by their offsets (transforms are ignored).
    std::optional<std::array<int16_t, 4>> box_of(size_t i) const;
};

bytes make_loca(const std::vector<uint32_t>& offsets, int16_t indexToLocFormat);

// ---------------------------------------------------------------- name

struct name_record {
    uint16_t platformID = 3, encodingID = 1, languageID = 0x409, nameID = 0;
    bytes string{};                              // stored bytes, not converted
    std::optional<uint16_t> length{}, offset{};  // default string.size() and its position
};

name_record mac_name(uint16_t nameID, std::string_view text);  // 1.0.0, single bytes
name_record ms_name(uint16_t nameID, std::string_view text,
                    uint16_t languageID = 0x409);  // 3.1, UTF-16BE

struct name_table {
    uint16_t format = 0;
    std::optional<uint16_t> count{}, stringOffset{};  // default records.size(), 6 + 12 * count
    std::vector<name_record> records{};  // written in this order; strings in the same order
    bytes serialize() const;
};

// ---------------------------------------------------------------- post

struct post_table {
    uint32_t version = 0x00020000;  // 0x00010000, 0x00020000, 0x00025000/0x00028000, 0x00030000
    int32_t italicAngle = 0;
    int16_t underlinePosition = -213, underlineThickness = 143;
    uint32_t isFixedPitch = 0;
    uint32_t minMemType42 = 0, maxMemType42 = 0, minMemType1 = 0, maxMemType1 = 0;

    // Format 2.0: one name per glyph. Standard Macintosh names get their index, other names
    // 258 + their position among the custom names (each stored once, in first-use order).
    std::vector<std::string> glyph_names{};
    std::optional<uint16_t> numberOfGlyphs{};               // default index count
    std::optional<std::vector<uint16_t>> glyphNameIndex{};  // replaces the computed indices
    std::optional<std::vector<std::string>> names{};        // replaces the computed names
    std::optional<bytes> names_area{};  // replaces the Pascal-string area entirely

    // Format 2.5: numberOfGlyphs (default offsets.size()) then one signed byte per glyph.
    std::vector<int8_t> offsets{};

    bytes serialize() const;
    std::vector<uint16_t> computed_indices() const;
    std::vector<std::string> computed_names() const;
};

// ---------------------------------------------------------------- kern

struct kern_pair {
    uint16_t left = 0, right = 0;
    int16_t value = 0;
};

struct kern_subtable {
    uint16_t version = 0;
    std::optional<uint16_t> length{};  // default: the bytes written
    uint16_t coverage = 0x0001;        // high byte: format
    std::vector<kern_pair> pairs{};    // format 0 data, written in this order
    std::optional<uint16_t> nPairs{}, searchRange{}, entrySelector{}, rangeShift{};
    std::optional<bytes> body{};  // replaces everything after the 6-byte header (other formats)
    bytes serialize() const;
};

struct kern_table {  // the 16-bit header layout (version 0)
    uint16_t version = 0;
    std::optional<uint16_t> nTables{};  // default subtables.size()
    std::vector<kern_subtable> subtables{};
    bytes serialize() const;
};

// ---------------------------------------------------------------- GPOS (pair kerning)

// Coverage, class definition and pair adjustment subtables, each laid out on its own with
// offsets from its own start. A value record of a value format is written from `values`,
// one per field in bit order (XPlacement, YPlacement, XAdvance, YAdvance, then the four
// device offsets); missing values are 0.
struct glyph_range {
    uint16_t start = 0, end = 0;
    uint16_t value = 0;  // startCoverageIndex of a coverage range, the class of a class range
};
bytes gpos_coverage1(const std::vector<uint16_t>& glyphs);
bytes gpos_coverage2(const std::vector<glyph_range>& ranges);
bytes gpos_class_def1(uint16_t startGlyphID, const std::vector<uint16_t>& classes);
bytes gpos_class_def2(const std::vector<glyph_range>& ranges);
bytes gpos_value_record(uint16_t valueFormat, const std::vector<int16_t>& values);

struct gpos_pair_value {
    uint16_t secondGlyph = 0;
    std::vector<int16_t> value1{}, value2{};
};
// Format 1: one pair set per coverage index.
bytes gpos_pair_format1(const bytes& coverage, uint16_t valueFormat1, uint16_t valueFormat2,
                        const std::vector<std::vector<gpos_pair_value>>& pairSets);
// Format 2: cells are the class1Count x class2Count records, row by row, each the values
// of value1 then those of value2; missing cells are 0.
bytes gpos_pair_format2(const bytes& coverage, uint16_t valueFormat1, uint16_t valueFormat2,
                        const bytes& classDef1, const bytes& classDef2, uint16_t class1Count,
                        uint16_t class2Count, const std::vector<std::vector<int16_t>>& cells);
// Format 2 with XAdvance-only first values: xadvance[class1][class2].
bytes gpos_class_kerning(const bytes& coverage, const bytes& classDef1, const bytes& classDef2,
                         const std::vector<std::vector<int16_t>>& xadvance);
bytes gpos_extension(uint16_t extensionLookupType, const bytes& subtable);

struct gpos_lookup {
    uint16_t lookupType = 2;
    std::vector<bytes> subtables{};
};
struct gpos_feature {
    std::string tag = "kern";
    std::vector<uint16_t> lookupListIndices{};
};
// One script (DFLT) whose default language system uses `used_features` (default: every
// feature) and requiredFeatureIndex; the subtables follow each lookup table.
struct gpos_table {
    uint16_t majorVersion = 1, minorVersion = 0;
    std::vector<gpos_feature> features{};
    std::optional<std::vector<uint16_t>> used_features{};
    uint16_t requiredFeatureIndex = 0xFFFF;
    std::vector<gpos_lookup> lookups{};
    bytes serialize() const;
};
// A kern feature using every lookup, in order.
gpos_table kern_gpos(std::vector<gpos_lookup> lookups);

// ---------------------------------------------------------------- GSUB (ligatures)
// GSUB shares GPOS's header and lists: a gpos_table with `liga` features and lookups of
// type 4 (or 7, extensions: gpos_extension(4, ...)) serializes it.
struct gsub_ligature_entry {
    uint16_t ligatureGlyph = 0;
    std::vector<uint16_t> components{};  // the glyphs after the first
};
// Ligature substitution format 1: one ligature set per coverage index.
bytes gsub_ligature_subst(const bytes& coverage,
                          const std::vector<std::vector<gsub_ligature_entry>>& sets);

// ---------------------------------------------------------------- the file

struct table_data {
    std::string tag{};  // written as 4 bytes (cut or padded with spaces)
    bytes data{};
    // Directory overrides; by default the real place, size and checksum of `data`.
    std::optional<uint32_t> offset{}, length{}, checkSum{};
    bool pad = true;  // zero-pad to 4 bytes after the data
};

class font_builder {
  public:
    // Offset table; the search fields default to the values for numTables.
    uint32_t sfntVersion = 0x00010000;
    std::optional<uint16_t>
        numTables{};  // default tables.size(); only the real entries are written
    std::optional<uint16_t> searchRange{}, entrySelector{}, rangeShift{};

    // Directory entries and table data, both in this order.
    std::vector<table_data> tables{};
    bytes trailing{};  // appended after the last table

    // When set, head.checkSumAdjustment is zeroed for the table checksums and then set so
    // that the whole file sums to 0xB1B0AFBA; otherwise the head bytes are left as they are.
    bool fix_checksum_adjustment = true;

    // Bytes written over the finished file at a file offset, before the checkSumAdjustment is
    // computed (so the file still sums correctly unless that is switched off).
    std::vector<std::pair<size_t, bytes>> patches{};

    font_builder& add_table(std::string tag, bytes data);  // appends, duplicates allowed
    font_builder& set_table(std::string tag, bytes data);  // replaces the first, or appends
    bool remove_table(std::string_view tag);               // removes the first; false if none
    table_data* find(std::string_view tag);                // the first with that tag
    table_data& table(std::string_view tag);               // throws if missing
    font_builder& sort_tables();                           // ascending tag order
    font_builder& patch(size_t at, bytes b);

    bytes build() const;
    // Writes build() to a new file (throws if it exists) and returns the path.
    std::string write(const std::string& path) const;
    std::string build_string() const;  // build() as a std::string

    // Where each table's data lands in the built file (the real offset, not an override).
    std::vector<uint32_t> data_offsets() const;
};

// Writes bytes to a new file; throws if it exists or cannot be written.
void write_file(const std::string& path, const bytes& data);

// ---------------------------------------------------------------- the standard font

// All tables of a font as structs. sync() recomputes what follows from the glyphs and
// advance widths (maxp counts and maxima, head bounding box, hhea extremes and
// numberOfHMetrics, hmtx); builder() serializes each table as it stands, without syncing.
struct font_parts {
    head_table head;
    hhea_table hhea;
    maxp_table maxp;
    os2_table os2;
    hmtx_table hmtx;
    cmap_table cmap;
    glyf_table glyf;
    name_table name;
    post_table post;
    kern_table kern;
    std::vector<uint16_t> advance_widths{};  // one per glyph, input of sync()
    bool with_kern = true;

    void sync();
    font_builder builder() const;  // tags in ascending order, loca in head.indexToLocFormat
    bytes build() const { return builder().build(); }
};

// Glyphs of the standard font.
enum standard_glyph : uint16_t {
    G_NOTDEF = 0,  // two-contour box
    G_SPACE = 1,   // empty
    G_A = 2,
    G_B = 3,  // has off-curve points and instructions
    G_a = 4,
    G_RING = 5,
    G_ARING = 6,  // simple (A + ring contours); make_aring_composite turns it composite
    G_BALT = 7,   // custom post name "B.alt", not in any cmap
    STANDARD_GLYPH_COUNT = 8
};

// An 8-glyph font, unitsPerEm 2048: cmap 1.0 format 0 and 3.1 format 4 (space A B a Aring
// ring), OS/2 version 1, post 2.0, name with Macintosh and Microsoft records for IDs 0-6,
// kern format 0 with pairs A-a -120 and B-A -30, short loca. Loads without any warning.
font_parts standard_parts();
// Turns the standard font's Aring into a composite of A and the ring (loading such a font
// prints the once-per-run composite-glyph warning) and re-syncs the derived values.
void make_aring_composite(font_parts& parts);
inline font_builder standard_font() {
    return standard_parts().builder();
}

// The character maps of the standard font's 1.0 and 3.1 subtables.
const char_map& standard_mac_map();
const char_map& standard_unicode_map();

// A 2-glyph font (.notdef, space) for short exact outputs: cmap 3.1 format 4 mapping only
// the space, OS/2 version 0, post 2.0, Microsoft name records 1, 2, 4 and 6, no kern.
// Also loads without any warning.
font_parts minimal_parts();
inline font_builder minimal_font() {
    return minimal_parts().builder();
}

// Text of the standard font's name strings, by nameID 0..6.
const std::array<const char*, 7>& standard_name_strings();

}  // namespace testfont
