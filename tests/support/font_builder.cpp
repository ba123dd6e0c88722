#include "support/font_builder.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace testfont {

// ---------------------------------------------------------------- be_writer and helpers

be_writer& be_writer::u8(uint8_t v) {
    buf_.push_back(v);
    return *this;
}

be_writer& be_writer::u16(uint16_t v) {
    buf_.push_back(static_cast<uint8_t>(v >> 8));
    buf_.push_back(static_cast<uint8_t>(v));
    return *this;
}

be_writer& be_writer::u32(uint32_t v) {
    u16(static_cast<uint16_t>(v >> 16));
    return u16(static_cast<uint16_t>(v));
}

be_writer& be_writer::tag(std::string_view t) {
    for (size_t i = 0; i < 4; ++i) u8(i < t.size() ? static_cast<uint8_t>(t[i]) : ' ');
    return *this;
}

be_writer& be_writer::raw(const bytes& b) {
    buf_.insert(buf_.end(), b.begin(), b.end());
    return *this;
}

be_writer& be_writer::raw(std::string_view s) {
    buf_.insert(buf_.end(), s.begin(), s.end());
    return *this;
}

be_writer& be_writer::zeros(size_t n) {
    buf_.resize(buf_.size() + n, 0);
    return *this;
}

be_writer& be_writer::pad(size_t alignment) {
    while (alignment > 1 && buf_.size() % alignment != 0) buf_.push_back(0);
    return *this;
}

void be_writer::patch_u16(size_t at, uint16_t v) {
    put_u16(buf_, at, v);
}

void be_writer::patch_u32(size_t at, uint32_t v) {
    put_u32(buf_, at, v);
}

uint32_t checksum(const bytes& data) {
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            word <<= 8;
            if (i + k < data.size()) word |= data[i + k];
        }
        sum += word;
    }
    return sum;
}

bytes text_bytes(std::string_view s) {
    return bytes(s.begin(), s.end());
}

bytes utf16be(std::string_view ascii) {
    bytes out;
    for (char c : ascii) {
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(c));
    }
    return out;
}

bytes concat(const bytes& a, const bytes& b) {
    bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

void put_u16(bytes& b, size_t at, uint16_t v) {
    if (at + 2 > b.size()) throw std::out_of_range("put_u16 past the end");
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

void put_u32(bytes& b, size_t at, uint32_t v) {
    put_u16(b, at, static_cast<uint16_t>(v >> 16));
    put_u16(b, at + 2, static_cast<uint16_t>(v));
}

search_fields search_fields_for(uint16_t n, uint16_t unit) {
    uint16_t selector = 0;
    uint32_t power = 1;
    while (power * 2 <= n) {
        power *= 2;
        ++selector;
    }
    auto range = static_cast<uint16_t>(power * unit);
    if (n == 0) range = 0;
    return {range, selector, static_cast<uint16_t>(n * unit - range)};
}

const std::array<const char*, 258>& standard_mac_names() {
    // clang-format off
    static const std::array<const char*, 258> names{
        ".notdef", ".null", "nonmarkingreturn", "space", "exclam", "quotedbl", "numbersign",
        "dollar", "percent", "ampersand", "quotesingle", "parenleft", "parenright", "asterisk",
        "plus", "comma", "hyphen", "period", "slash", "zero", "one", "two", "three", "four",
        "five", "six", "seven", "eight", "nine", "colon", "semicolon", "less", "equal", "greater",
        "question", "at", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
        "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "bracketleft", "backslash",
        "bracketright", "asciicircum", "underscore", "grave", "a", "b", "c", "d", "e", "f", "g",
        "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y",
        "z", "braceleft", "bar", "braceright", "asciitilde", "Adieresis", "Aring", "Ccedilla",
        "Eacute", "Ntilde", "Odieresis", "Udieresis", "aacute", "agrave", "acircumflex",
        "adieresis", "atilde", "aring", "ccedilla", "eacute", "egrave", "ecircumflex", "edieresis",
        "iacute", "igrave", "icircumflex", "idieresis", "ntilde", "oacute", "ograve",
        "ocircumflex", "odieresis", "otilde", "uacute", "ugrave", "ucircumflex", "udieresis",
        "dagger", "degree", "cent", "sterling", "section", "bullet", "paragraph", "germandbls",
        "registered", "copyright", "trademark", "acute", "dieresis", "notequal", "AE", "Oslash",
        "infinity", "plusminus", "lessequal", "greaterequal", "yen", "mu1", "partialdiff",
        "summation", "product", "pi", "integral", "ordfeminine", "ordmasculine", "Ohm", "ae",
        "oslash", "questiondown", "exclamdown", "logicalnot", "radical", "florin", "approxequal",
        "increment", "guillemotleft", "guillemotright", "ellipsis", "nbspace", "Agrave", "Atilde",
        "Otilde", "OE", "oe", "endash", "emdash", "quotedblleft", "quotedblright", "quoteleft",
        "quoteright", "divide", "lozenge", "ydieresis", "Ydieresis", "fraction", "currency",
        "guilsinglleft", "guilsinglright", "fi", "fl", "daggerdbl", "periodcentered",
        "quotesinglbase", "quotedblbase", "perthousand", "Acircumflex", "Ecircumflex", "Aacute",
        "Edieresis", "Egrave", "Iacute", "Icircumflex", "Idieresis", "Igrave", "Oacute",
        "Ocircumflex", "applelogo", "Ograve", "Uacute", "Ucircumflex", "Ugrave", "dotlessi",
        "circumflex", "tilde", "overscore", "breve", "dotaccent", "ring", "cedilla",
        "hungarumlaut", "ogonek", "caron", "Lslash", "lslash", "Scaron", "scaron", "Zcaron",
        "zcaron", "brokenbar", "Eth", "eth", "Yacute", "yacute", "Thorn", "thorn", "minus",
        "multiply", "onesuperior", "twosuperior", "threesuperior", "onehalf", "onequarter",
        "threequarters", "franc", "Gbreve", "gbreve", "Idot", "Scedilla", "scedilla", "Cacute",
        "cacute", "Ccaron", "ccaron", "dmacron"};
    // clang-format on
    return names;
}

std::optional<uint16_t> standard_mac_index(std::string_view name) {
    const auto& names = standard_mac_names();
    for (size_t i = 0; i < names.size(); ++i)
        if (name == names[i]) return static_cast<uint16_t>(i);
    return std::nullopt;
}

// ---------------------------------------------------------------- fixed-layout tables

bytes head_table::serialize() const {
    be_writer w;
    w.u32(version).u32(fontRevision).u32(checkSumAdjustment).u32(magicNumber);
    w.u16(flags).u16(unitsPerEm);
    for (uint8_t b : created) w.u8(b);
    for (uint8_t b : modified) w.u8(b);
    w.s16(xMin).s16(yMin).s16(xMax).s16(yMax);
    w.u16(macStyle).u16(lowestRecPPEM).s16(fontDirectionHint);
    w.s16(indexToLocFormat).s16(glyphDataFormat);
    return w.take();
}

bytes hhea_table::serialize() const {
    be_writer w;
    w.u32(version).s16(ascender).s16(descender).s16(lineGap).u16(advanceWidthMax);
    w.s16(minLeftSideBearing).s16(minRightSideBearing).s16(xMaxExtent);
    w.s16(caretSlopeRise).s16(caretSlopeRun);
    for (int16_t r : reserved) w.s16(r);
    w.s16(metricDataFormat).u16(numberOfHMetrics);
    return w.take();
}

bytes maxp_table::serialize() const {
    be_writer w;
    w.u32(version).u16(numGlyphs);
    if (version == 0x00005000) return w.take();
    w.u16(maxPoints).u16(maxContours).u16(maxCompositePoints).u16(maxCompositeContours);
    w.u16(maxZones).u16(maxTwilightPoints).u16(maxStorage).u16(maxFunctionDefs);
    w.u16(maxInstructionDefs).u16(maxStackElements).u16(maxSizeOfInstructions);
    w.u16(maxComponentElements).u16(maxComponentDepth);
    return w.take();
}

bytes os2_table::serialize() const {
    be_writer w;
    w.u16(version).s16(xAvgCharWidth).u16(usWeightClass).u16(usWidthClass).s16(fsType);
    w.s16(ySubscriptXSize).s16(ySubscriptYSize).s16(ySubscriptXOffset).s16(ySubscriptYOffset);
    w.s16(ySuperscriptXSize).s16(ySuperscriptYSize).s16(ySuperscriptXOffset);
    w.s16(ySuperscriptYOffset).s16(yStrikeoutSize).s16(yStrikeoutPosition).s16(sFamilyClass);
    for (uint8_t b : panose) w.u8(b);
    for (uint32_t r : ulUnicodeRange) w.u32(r);
    for (char c : achVendID) w.u8(static_cast<uint8_t>(c));
    w.u16(fsSelection).u16(usFirstCharIndex).u16(usLastCharIndex);
    w.s16(sTypoAscender).s16(sTypoDescender).s16(sTypoLineGap);
    w.u16(usWinAscent).u16(usWinDescent);
    if (version >= 1) w.u32(ulCodePageRange1).u32(ulCodePageRange2);
    if (version >= 2) {
        w.s16(sxHeight).s16(sCapHeight).u16(usDefaultChar).u16(usBreakChar).u16(usMaxContext);
    }
    if (version >= 5) w.u16(usLowerOpticalPointSize).u16(usUpperOpticalPointSize);
    return w.take();
}

hmtx_table hmtx_table::compress(const std::vector<long_hor_metric>& per_glyph) {
    size_t n = per_glyph.size();
    while (n > 1 && per_glyph[n - 1].advanceWidth == per_glyph[n - 2].advanceWidth) --n;
    hmtx_table t;
    t.hMetrics.assign(per_glyph.begin(), per_glyph.begin() + static_cast<ptrdiff_t>(n));
    for (size_t i = n; i < per_glyph.size(); ++i) t.leftSideBearings.push_back(per_glyph[i].lsb);
    return t;
}

bytes hmtx_table::serialize() const {
    be_writer w;
    for (const auto& m : hMetrics) w.u16(m.advanceWidth).s16(m.lsb);
    for (int16_t lsb : leftSideBearings) w.s16(lsb);
    return w.take();
}

// ---------------------------------------------------------------- cmap

cmap_format0 cmap_format0::from(const char_map& m) {
    cmap_format0 t;
    for (auto [code, glyph] : m)
        if (code < 256) t.glyphIdArray[code] = static_cast<uint8_t>(glyph);
    return t;
}

bytes cmap_format0::serialize() const {
    size_t n = std::min<size_t>(array_bytes, glyphIdArray.size());
    be_writer w;
    w.u16(format).u16(length.value_or(static_cast<uint16_t>(6 + n))).u16(language);
    for (size_t i = 0; i < n; ++i) w.u8(glyphIdArray[i]);
    return w.take();
}

namespace {

struct code_run {
    std::vector<uint16_t> codes, glyphs;
};

std::vector<code_run> consecutive_runs(const char_map& m) {
    std::vector<code_run> runs;
    for (auto [code, glyph] : m) {
        if (code == 0xFFFF) continue;  // reserved for the closing segment
        if (runs.empty() || runs.back().codes.back() + 1 != code) runs.emplace_back();
        runs.back().codes.push_back(code);
        runs.back().glyphs.push_back(glyph);
    }
    return runs;
}

bool has_constant_delta(const code_run& r) {
    for (size_t i = 1; i < r.codes.size(); ++i)
        if (static_cast<uint16_t>(r.glyphs[i] - r.codes[i]) !=
            static_cast<uint16_t>(r.glyphs[0] - r.codes[0]))
            return false;
    return true;
}

}  // namespace

cmap_format4 cmap_format4::from(const char_map& m, bool use_glyph_array) {
    cmap_format4 t;
    auto runs = consecutive_runs(m);
    auto seg_count = static_cast<uint16_t>(runs.size() + 1);
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto& r = runs[i];
        cmap_segment s;
        s.startCount = r.codes.front();
        s.endCount = r.codes.back();
        if (!use_glyph_array && has_constant_delta(r)) {
            s.idDelta = static_cast<int16_t>(static_cast<uint16_t>(r.glyphs[0] - r.codes[0]));
        } else {
            // The offset counts from this segment's idRangeOffset word to its first entry.
            s.idRangeOffset =
                static_cast<uint16_t>(2 * (seg_count - i) + 2 * t.glyphIdArray.size());
            t.glyphIdArray.insert(t.glyphIdArray.end(), r.glyphs.begin(), r.glyphs.end());
        }
        t.segments.push_back(s);
    }
    t.segments.push_back({0xFFFF, 0xFFFF, 1, 0});
    return t;
}

bytes cmap_format4::serialize() const {
    auto seg_count = static_cast<uint16_t>(segments.size());
    auto sf = search_fields_for(seg_count, 2);
    be_writer w;
    w.u16(format).u16(0).u16(language).u16(segCountX2.value_or(2 * seg_count));
    w.u16(searchRange.value_or(sf.searchRange));
    w.u16(entrySelector.value_or(sf.entrySelector));
    w.u16(rangeShift.value_or(sf.rangeShift));
    for (const auto& s : segments) w.u16(s.endCount);
    w.u16(reservedPad);
    for (const auto& s : segments) w.u16(s.startCount);
    for (const auto& s : segments) w.s16(s.idDelta);
    for (const auto& s : segments) w.u16(s.idRangeOffset);
    for (uint16_t g : glyphIdArray) w.u16(g);
    w.patch_u16(2, length.value_or(static_cast<uint16_t>(w.size())));
    return w.take();
}

cmap_format6 cmap_format6::from(const char_map& m) {
    cmap_format6 t;
    if (m.empty()) return t;
    t.firstCode = m.begin()->first;
    t.glyphIdArray.assign(static_cast<size_t>(m.rbegin()->first - t.firstCode) + 1, 0);
    for (auto [code, glyph] : m) t.glyphIdArray[code - t.firstCode] = glyph;
    return t;
}

bytes cmap_format6::serialize() const {
    be_writer w;
    w.u16(format).u16(0).u16(language).u16(firstCode);
    w.u16(entryCount.value_or(static_cast<uint16_t>(glyphIdArray.size())));
    for (uint16_t g : glyphIdArray) w.u16(g);
    w.patch_u16(2, length.value_or(static_cast<uint16_t>(w.size())));
    return w.take();
}

bytes serialize_subtable(const cmap_subtable& s) {
    if (const auto* raw = std::get_if<bytes>(&s)) return *raw;
    if (const auto* f0 = std::get_if<cmap_format0>(&s)) return f0->serialize();
    if (const auto* f4 = std::get_if<cmap_format4>(&s)) return f4->serialize();
    return std::get<cmap_format6>(s).serialize();
}

bytes cmap_raw_subtable(uint16_t format, bytes body, std::optional<uint16_t> length,
                        uint16_t language) {
    be_writer w;
    w.u16(format).u16(length.value_or(static_cast<uint16_t>(6 + body.size()))).u16(language);
    return w.raw(body).take();
}

bytes cmap_table::serialize() const {
    be_writer w;
    w.u16(version).u16(numTables.value_or(static_cast<uint16_t>(encodings.size())));
    bytes area;
    const size_t area_start = 4 + 8 * encodings.size();
    for (const auto& e : encodings) {
        auto offset = static_cast<uint32_t>(area_start + area.size());
        w.u16(e.platformID).u16(e.encodingID).u32(e.offset.value_or(offset));
        auto sub = serialize_subtable(e.subtable);
        area.insert(area.end(), sub.begin(), sub.end());
    }
    w.raw(area);
    return w.take();
}

// ---------------------------------------------------------------- glyf and loca

glyph simple_glyph(std::vector<contour> contours, bytes instructions) {
    glyph g;
    g.contours = std::move(contours);
    g.instructions = std::move(instructions);
    return g;
}

glyph composite_glyph(std::vector<glyph_component> components) {
    glyph g;
    g.components = std::move(components);
    return g;
}

namespace {

using box = std::array<int16_t, 4>;

box unite(const box& a, const box& b) {
    return {std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[2], b[2]), std::max(a[3], b[3])};
}

std::optional<box> points_box(const glyph& g) {
    std::optional<box> result;
    for (const auto& c : g.contours)
        for (const auto& p : c) {
            box b{p.x, p.y, p.x, p.y};
            result = result ? unite(*result, b) : b;
        }
    return result;
}

bool is_empty(const glyph& g) {
    return !g.raw && g.contours.empty() && g.components.empty() && !g.numberOfContours && !g.bbox;
}

// Flag byte and coordinate bytes of one delta, in the short / same / word encodings.
void encode_delta(int delta, uint8_t short_bit, uint8_t same_bit, uint8_t& flag, be_writer& out) {
    if (delta == 0) {
        flag |= same_bit;
    } else if (delta >= -255 && delta <= 255) {
        flag |= short_bit;
        if (delta > 0) flag |= same_bit;
        out.u8(static_cast<uint8_t>(delta > 0 ? delta : -delta));
    } else {
        out.s16(static_cast<int16_t>(delta));
    }
}

bytes encode_flags(const std::vector<uint8_t>& flags, bool compress) {
    be_writer w;
    for (size_t i = 0; i < flags.size();) {
        size_t run = 1;
        while (compress && i + run < flags.size() && flags[i + run] == flags[i] && run < 256) ++run;
        if (run > 1) {
            w.u8(flags[i] | 0x08).u8(static_cast<uint8_t>(run - 1));
        } else {
            w.u8(flags[i]);
        }
        i += run;
    }
    return w.take();
}

void encode_simple(const glyph& g, be_writer& w) {
    if (g.endPtsOfContours) {
        for (uint16_t e : *g.endPtsOfContours) w.u16(e);
    } else {
        int end = -1;
        for (const auto& c : g.contours) {
            end += static_cast<int>(c.size());
            w.u16(static_cast<uint16_t>(end));
        }
    }
    w.u16(g.instructionLength.value_or(static_cast<uint16_t>(g.instructions.size())));
    w.raw(g.instructions);

    std::vector<uint8_t> flags;
    be_writer xs, ys;
    int last_x = 0, last_y = 0;
    for (const auto& c : g.contours)
        for (const auto& p : c) {
            uint8_t flag = p.on_curve ? 0x01 : 0x00;
            encode_delta(p.x - last_x, 0x02, 0x10, flag, xs);
            encode_delta(p.y - last_y, 0x04, 0x20, flag, ys);
            last_x = p.x;
            last_y = p.y;
            flags.push_back(flag);
        }
    w.raw(g.raw_flags ? *g.raw_flags : encode_flags(flags, g.compress_flags));
    w.raw(xs.data()).raw(ys.data());
}

void encode_composite(const glyph& g, be_writer& w) {
    for (size_t i = 0; i < g.components.size(); ++i) {
        const auto& c = g.components[i];
        bool words = c.arg1 < -128 || c.arg1 > 127 || c.arg2 < -128 || c.arg2 > 127;
        uint16_t flags = ARGS_ARE_XY_VALUES | c.extra_flags;
        if (words) flags |= ARG_1_AND_2_ARE_WORDS;
        if (i + 1 < g.components.size()) flags |= MORE_COMPONENTS;
        if (i + 1 == g.components.size() && !g.instructions.empty()) flags |= WE_HAVE_INSTRUCTIONS;
        if (c.transform.size() == 1) flags |= WE_HAVE_A_SCALE;
        if (c.transform.size() == 2) flags |= WE_HAVE_AN_X_AND_Y_SCALE;
        if (c.transform.size() == 4) flags |= WE_HAVE_A_TWO_BY_TWO;
        if (c.flags) flags = *c.flags;
        w.u16(flags).u16(c.glyphIndex);
        if (flags & ARG_1_AND_2_ARE_WORDS) {
            w.s16(c.arg1).s16(c.arg2);
        } else {
            w.s8(static_cast<int8_t>(c.arg1)).s8(static_cast<int8_t>(c.arg2));
        }
        for (int16_t v : c.transform) w.s16(v);
    }
    if (!g.instructions.empty()) {
        w.u16(g.instructionLength.value_or(static_cast<uint16_t>(g.instructions.size())));
        w.raw(g.instructions);
    }
}

}  // namespace

std::optional<std::array<int16_t, 4>> glyf_table::box_of(size_t i) const {
    // Components are followed a few levels deep only, so a reference cycle cannot loop.
    auto walk = [this](auto& self, size_t index, int depth) -> std::optional<box> {
        if (index >= glyphs.size() || depth > 8) return std::nullopt;
        const glyph& g = glyphs[index];
        if (g.bbox) return g.bbox;
        if (g.components.empty()) return points_box(g);
        std::optional<box> result;
        for (const auto& c : g.components) {
            auto b = self(self, c.glyphIndex, depth + 1);
            if (!b) continue;
            box moved{
                static_cast<int16_t>((*b)[0] + c.arg1), static_cast<int16_t>((*b)[1] + c.arg2),
                static_cast<int16_t>((*b)[2] + c.arg1), static_cast<int16_t>((*b)[3] + c.arg2)};
            result = result ? unite(*result, moved) : moved;
        }
        return result;
    };
    if (i >= glyphs.size() || is_empty(glyphs[i])) return std::nullopt;
    return walk(walk, i, 0);
}

bytes glyf_table::encode_glyph(size_t index) const {
    const glyph& g = glyphs.at(index);
    if (g.raw) return *g.raw;
    if (is_empty(g)) return {};
    bool composite = !g.components.empty();
    int16_t contours = g.numberOfContours.value_or(
        composite ? int16_t{-1} : static_cast<int16_t>(g.contours.size()));
    box b = box_of(index).value_or(box{0, 0, 0, 0});
    be_writer w;
    w.s16(contours).s16(b[0]).s16(b[1]).s16(b[2]).s16(b[3]);
    if (composite) {
        encode_composite(g, w);
    } else {
        encode_simple(g, w);
    }
    return w.take();
}

bytes make_loca(const std::vector<uint32_t>& offsets, int16_t indexToLocFormat) {
    be_writer w;
    for (uint32_t off : offsets) {
        if (indexToLocFormat == 0) {
            w.u16(static_cast<uint16_t>(off / 2));
        } else {
            w.u32(off);
        }
    }
    return w.take();
}

glyf_loca glyf_table::build(int16_t indexToLocFormat) const {
    glyf_loca out;
    be_writer w;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        out.offsets.push_back(static_cast<uint32_t>(w.size()));
        w.raw(encode_glyph(i));
        if (pad_glyphs) w.pad(4);
    }
    out.offsets.push_back(static_cast<uint32_t>(w.size()));
    out.glyf = w.take();
    out.loca = make_loca(out.offsets, indexToLocFormat);
    return out;
}

// ---------------------------------------------------------------- name

name_record mac_name(uint16_t nameID, std::string_view text) {
    return {1, 0, 0, nameID, text_bytes(text), std::nullopt, std::nullopt};
}

name_record ms_name(uint16_t nameID, std::string_view text, uint16_t languageID) {
    return {3, 1, languageID, nameID, utf16be(text), std::nullopt, std::nullopt};
}

bytes name_table::serialize() const {
    auto n = static_cast<uint16_t>(records.size());
    be_writer w;
    w.u16(format).u16(count.value_or(n)).u16(stringOffset.value_or(6 + 12 * n));
    bytes area;
    for (const auto& r : records) {
        auto at = static_cast<uint16_t>(area.size());
        w.u16(r.platformID).u16(r.encodingID).u16(r.languageID).u16(r.nameID);
        w.u16(r.length.value_or(static_cast<uint16_t>(r.string.size())));
        w.u16(r.offset.value_or(at));
        area.insert(area.end(), r.string.begin(), r.string.end());
    }
    w.raw(area);
    return w.take();
}

// ---------------------------------------------------------------- post

std::vector<std::string> post_table::computed_names() const {
    std::vector<std::string> custom;
    for (const auto& name : glyph_names)
        if (!standard_mac_index(name) &&
            std::find(custom.begin(), custom.end(), name) == custom.end())
            custom.push_back(name);
    return custom;
}

std::vector<uint16_t> post_table::computed_indices() const {
    auto custom = computed_names();
    std::vector<uint16_t> indices;
    for (const auto& name : glyph_names) {
        if (auto std_index = standard_mac_index(name)) {
            indices.push_back(*std_index);
        } else {
            auto k = std::find(custom.begin(), custom.end(), name) - custom.begin();
            indices.push_back(static_cast<uint16_t>(258 + k));
        }
    }
    return indices;
}

bytes post_table::serialize() const {
    be_writer w;
    w.u32(version).s32(italicAngle).s16(underlinePosition).s16(underlineThickness);
    w.u32(isFixedPitch).u32(minMemType42).u32(maxMemType42).u32(minMemType1).u32(maxMemType1);
    if (version == 0x00020000) {
        auto indices = glyphNameIndex.value_or(computed_indices());
        w.u16(numberOfGlyphs.value_or(static_cast<uint16_t>(indices.size())));
        for (uint16_t i : indices) w.u16(i);
        if (names_area) {
            w.raw(*names_area);
        } else {
            for (const auto& name : names.value_or(computed_names())) {
                size_t len = std::min<size_t>(name.size(), 255);
                w.u8(static_cast<uint8_t>(len)).raw(std::string_view(name).substr(0, len));
            }
        }
    } else if (version == 0x00025000 || version == 0x00028000) {
        w.u16(numberOfGlyphs.value_or(static_cast<uint16_t>(offsets.size())));
        for (int8_t o : offsets) w.s8(o);
    }
    return w.take();
}

// ---------------------------------------------------------------- kern

bytes kern_subtable::serialize() const {
    be_writer w;
    w.u16(version).u16(0).u16(coverage);
    if (body) {
        w.raw(*body);
    } else {
        auto n = static_cast<uint16_t>(pairs.size());
        auto sf = search_fields_for(n, 6);
        w.u16(nPairs.value_or(n)).u16(searchRange.value_or(sf.searchRange));
        w.u16(entrySelector.value_or(sf.entrySelector)).u16(rangeShift.value_or(sf.rangeShift));
        for (const auto& p : pairs) w.u16(p.left).u16(p.right).s16(p.value);
    }
    w.patch_u16(2, length.value_or(static_cast<uint16_t>(w.size())));
    return w.take();
}

bytes kern_table::serialize() const {
    be_writer w;
    w.u16(version).u16(nTables.value_or(static_cast<uint16_t>(subtables.size())));
    for (const auto& s : subtables) w.raw(s.serialize());
    return w.take();
}

// ---------------------------------------------------------------- GPOS

namespace {

std::size_t value_fields(uint16_t valueFormat) {
    return static_cast<std::size_t>(std::popcount(static_cast<unsigned>(valueFormat & 0xFFu)));
}

uint16_t offset16(std::size_t at) {
    if (at > 0xFFFF) throw std::length_error("GPOS offset beyond 16 bits");
    return static_cast<uint16_t>(at);
}

}  // namespace

bytes gpos_coverage1(const std::vector<uint16_t>& glyphs) {
    be_writer w;
    w.u16(1).u16(static_cast<uint16_t>(glyphs.size()));
    for (uint16_t g : glyphs) w.u16(g);
    return w.take();
}

bytes gpos_coverage2(const std::vector<glyph_range>& ranges) {
    be_writer w;
    w.u16(2).u16(static_cast<uint16_t>(ranges.size()));
    for (const glyph_range& r : ranges) w.u16(r.start).u16(r.end).u16(r.value);
    return w.take();
}

bytes gpos_class_def1(uint16_t startGlyphID, const std::vector<uint16_t>& classes) {
    be_writer w;
    w.u16(1).u16(startGlyphID).u16(static_cast<uint16_t>(classes.size()));
    for (uint16_t c : classes) w.u16(c);
    return w.take();
}

bytes gpos_class_def2(const std::vector<glyph_range>& ranges) {
    be_writer w;
    w.u16(2).u16(static_cast<uint16_t>(ranges.size()));
    for (const glyph_range& r : ranges) w.u16(r.start).u16(r.end).u16(r.value);
    return w.take();
}

bytes gpos_value_record(uint16_t valueFormat, const std::vector<int16_t>& values) {
    be_writer w;
    for (std::size_t i = 0; i < value_fields(valueFormat); ++i)
        w.s16(i < values.size() ? values[i] : 0);
    return w.take();
}

bytes gpos_pair_format1(const bytes& coverage, uint16_t valueFormat1, uint16_t valueFormat2,
                        const std::vector<std::vector<gpos_pair_value>>& pairSets) {
    be_writer w;
    std::size_t at = 10 + 2 * pairSets.size();
    w.u16(1).u16(offset16(at)).u16(valueFormat1).u16(valueFormat2);
    w.u16(static_cast<uint16_t>(pairSets.size()));
    at += coverage.size();
    const std::size_t record = 2 + 2 * (value_fields(valueFormat1) + value_fields(valueFormat2));
    for (const auto& set : pairSets) {
        w.u16(offset16(at));
        at += 2 + record * set.size();
    }
    w.raw(coverage);
    for (const auto& set : pairSets) {
        w.u16(static_cast<uint16_t>(set.size()));
        for (const gpos_pair_value& p : set)
            w.u16(p.secondGlyph)
                .raw(gpos_value_record(valueFormat1, p.value1))
                .raw(gpos_value_record(valueFormat2, p.value2));
    }
    return w.take();
}

bytes gpos_pair_format2(const bytes& coverage, uint16_t valueFormat1, uint16_t valueFormat2,
                        const bytes& classDef1, const bytes& classDef2, uint16_t class1Count,
                        uint16_t class2Count, const std::vector<std::vector<int16_t>>& cells) {
    const std::size_t fields1 = value_fields(valueFormat1), fields2 = value_fields(valueFormat2);
    const std::size_t matrix = std::size_t{class1Count} * class2Count * 2 * (fields1 + fields2);
    const std::size_t at = 16 + matrix;
    be_writer w;
    w.u16(2).u16(offset16(at)).u16(valueFormat1).u16(valueFormat2);
    w.u16(offset16(at + coverage.size())).u16(offset16(at + coverage.size() + classDef1.size()));
    w.u16(class1Count).u16(class2Count);
    for (std::size_t i = 0; i < std::size_t{class1Count} * class2Count; ++i) {
        const std::vector<int16_t> cell = i < cells.size() ? cells[i] : std::vector<int16_t>{};
        for (std::size_t f = 0; f < fields1 + fields2; ++f) w.s16(f < cell.size() ? cell[f] : 0);
    }
    w.raw(coverage).raw(classDef1).raw(classDef2);
    return w.take();
}

bytes gpos_class_kerning(const bytes& coverage, const bytes& classDef1, const bytes& classDef2,
                         const std::vector<std::vector<int16_t>>& xadvance) {
    std::vector<std::vector<int16_t>> cells;
    const std::size_t class2Count = xadvance.empty() ? 0 : xadvance[0].size();
    for (const auto& row : xadvance)
        for (std::size_t c = 0; c < class2Count; ++c)
            cells.push_back({c < row.size() ? row[c] : int16_t{0}});
    return gpos_pair_format2(coverage, 0x0004, 0, classDef1, classDef2,
                             static_cast<uint16_t>(xadvance.size()),
                             static_cast<uint16_t>(class2Count), cells);
}

bytes gpos_extension(uint16_t extensionLookupType, const bytes& subtable) {
    be_writer w;
    w.u16(1).u16(extensionLookupType).u32(8).raw(subtable);
    return w.take();
}

bytes gsub_ligature_subst(const bytes& coverage,
                          const std::vector<std::vector<gsub_ligature_entry>>& sets) {
    be_writer w;
    std::size_t at = 6 + 2 * sets.size();
    w.u16(1).u16(offset16(at)).u16(static_cast<uint16_t>(sets.size()));
    at += coverage.size();
    std::vector<bytes> tables;
    for (const auto& set : sets) {
        be_writer t;
        std::size_t lig = 2 + 2 * set.size();
        t.u16(static_cast<uint16_t>(set.size()));
        for (const gsub_ligature_entry& l : set) {
            t.u16(offset16(lig));
            lig += 4 + 2 * l.components.size();
        }
        for (const gsub_ligature_entry& l : set) {
            t.u16(l.ligatureGlyph).u16(static_cast<uint16_t>(l.components.size() + 1));
            for (uint16_t c : l.components) t.u16(c);
        }
        tables.push_back(t.take());
    }
    for (const bytes& t : tables) {
        w.u16(offset16(at));
        at += t.size();
    }
    w.raw(coverage);
    for (const bytes& t : tables) w.raw(t);
    return w.take();
}

bytes gpos_table::serialize() const {
    be_writer w;
    // Script list: one script, its default language system.
    std::vector<uint16_t> used = used_features.value_or(std::vector<uint16_t>{});
    if (!used_features)
        for (std::size_t i = 0; i < features.size(); ++i) used.push_back(static_cast<uint16_t>(i));
    be_writer scripts;
    scripts.u16(1).tag("DFLT").u16(8);  // script at 8
    scripts.u16(4).u16(0);              // default language system at 4
    scripts.u16(0).u16(requiredFeatureIndex).u16(static_cast<uint16_t>(used.size()));
    for (uint16_t f : used) scripts.u16(f);

    be_writer feature_list;
    feature_list.u16(static_cast<uint16_t>(features.size()));
    std::size_t at = 2 + 6 * features.size();
    for (const gpos_feature& f : features) {
        feature_list.tag(f.tag).u16(offset16(at));
        at += 4 + 2 * f.lookupListIndices.size();
    }
    for (const gpos_feature& f : features) {
        feature_list.u16(0).u16(static_cast<uint16_t>(f.lookupListIndices.size()));
        for (uint16_t i : f.lookupListIndices) feature_list.u16(i);
    }

    be_writer lookup_list;
    lookup_list.u16(static_cast<uint16_t>(lookups.size()));
    std::vector<bytes> tables;
    for (const gpos_lookup& l : lookups) {
        be_writer t;
        t.u16(l.lookupType).u16(0).u16(static_cast<uint16_t>(l.subtables.size()));
        std::size_t sub = 6 + 2 * l.subtables.size();
        for (const bytes& s : l.subtables) {
            t.u16(offset16(sub));
            sub += s.size();
        }
        for (const bytes& s : l.subtables) t.raw(s);
        tables.push_back(t.take());
    }
    at = 2 + 2 * lookups.size();
    for (const bytes& t : tables) {
        lookup_list.u16(offset16(at));
        at += t.size();
    }
    for (const bytes& t : tables) lookup_list.raw(t);

    const std::size_t script_at = 10, feature_at = script_at + scripts.size();
    const std::size_t lookup_at = feature_at + feature_list.size();
    w.u16(majorVersion).u16(minorVersion);
    w.u16(offset16(script_at)).u16(offset16(feature_at)).u16(offset16(lookup_at));
    w.raw(scripts.data()).raw(feature_list.data()).raw(lookup_list.data());
    return w.take();
}

gpos_table kern_gpos(std::vector<gpos_lookup> lookups) {
    gpos_table t;
    gpos_feature kern;
    for (std::size_t i = 0; i < lookups.size(); ++i)
        kern.lookupListIndices.push_back(static_cast<uint16_t>(i));
    t.features.push_back(kern);
    t.lookups = std::move(lookups);
    return t;
}

// ---------------------------------------------------------------- font_builder

font_builder& font_builder::add_table(std::string tag, bytes data) {
    table_data t;
    t.tag = std::move(tag);
    t.data = std::move(data);
    tables.push_back(std::move(t));
    return *this;
}

font_builder& font_builder::set_table(std::string tag, bytes data) {
    if (auto* t = find(tag)) {
        t->data = std::move(data);
        return *this;
    }
    return add_table(std::move(tag), std::move(data));
}

bool font_builder::remove_table(std::string_view tag) {
    auto it = std::find_if(tables.begin(), tables.end(),
                           [&](const table_data& t) { return t.tag == tag; });
    if (it == tables.end()) return false;
    tables.erase(it);
    return true;
}

table_data* font_builder::find(std::string_view tag) {
    for (auto& t : tables)
        if (t.tag == tag) return &t;
    return nullptr;
}

table_data& font_builder::table(std::string_view tag) {
    if (auto* t = find(tag)) return *t;
    throw std::out_of_range("font_builder: no table " + std::string(tag));
}

font_builder& font_builder::sort_tables() {
    std::stable_sort(tables.begin(), tables.end(),
                     [](const table_data& a, const table_data& b) { return a.tag < b.tag; });
    return *this;
}

font_builder& font_builder::patch(size_t at, bytes b) {
    patches.emplace_back(at, std::move(b));
    return *this;
}

std::vector<uint32_t> font_builder::data_offsets() const {
    std::vector<uint32_t> offsets;
    size_t pos = 12 + 16 * tables.size();
    for (const auto& t : tables) {
        offsets.push_back(static_cast<uint32_t>(pos));
        pos += t.data.size();
        if (t.pad) pos = (pos + 3) & ~size_t{3};
    }
    return offsets;
}

bytes font_builder::build() const {
    auto offsets = data_offsets();
    // The head whose checkSumAdjustment gets fixed: the first one, if long enough.
    constexpr size_t kNoHead = static_cast<size_t>(-1);
    size_t head = kNoHead;
    for (size_t i = 0; i < tables.size() && head == kNoHead; ++i)
        if (tables[i].tag == "head") head = i;
    if (head != kNoHead && tables[head].data.size() < 12) head = kNoHead;

    auto n = static_cast<uint16_t>(numTables.value_or(static_cast<uint16_t>(tables.size())));
    auto sf = search_fields_for(n, 16);
    be_writer w;
    w.u32(sfntVersion).u16(n).u16(searchRange.value_or(sf.searchRange));
    w.u16(entrySelector.value_or(sf.entrySelector)).u16(rangeShift.value_or(sf.rangeShift));

    std::vector<bytes> data;
    for (size_t i = 0; i < tables.size(); ++i) {
        data.push_back(tables[i].data);
        if (fix_checksum_adjustment && head == i) std::fill_n(data[i].begin() + 8, 4, 0);
    }
    for (size_t i = 0; i < tables.size(); ++i) {
        const auto& t = tables[i];
        w.tag(t.tag).u32(t.checkSum.value_or(checksum(data[i])));
        w.u32(t.offset.value_or(offsets[i]));
        w.u32(t.length.value_or(static_cast<uint32_t>(t.data.size())));
    }
    for (size_t i = 0; i < tables.size(); ++i) {
        w.raw(data[i]);
        if (tables[i].pad) w.pad(4);
    }
    w.raw(trailing);

    bytes file = w.take();
    for (const auto& [at, b] : patches) {
        if (file.size() < at + b.size()) file.resize(at + b.size(), 0);
        std::copy(b.begin(), b.end(), file.begin() + static_cast<ptrdiff_t>(at));
    }
    if (fix_checksum_adjustment && head != kNoHead) {
        uint32_t adjustment = 0xB1B0AFBA - checksum(file);
        size_t at = offsets[head] + 8;
        for (int k = 0; k < 4; ++k) file[at + k] = static_cast<uint8_t>(adjustment >> (24 - 8 * k));
    }
    return file;
}

std::string font_builder::build_string() const {
    auto b = build();
    return std::string(b.begin(), b.end());
}

std::string font_builder::write(const std::string& path) const {
    write_file(path, build());
    return path;
}

void write_file(const std::string& path, const bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f) throw std::runtime_error("cannot create " + path);
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        throw std::runtime_error("cannot write " + path);
    }
}

// ---------------------------------------------------------------- the standard font

void font_parts::sync() {
    const auto count = glyf.glyphs.size();
    maxp.numGlyphs = static_cast<uint16_t>(count);
    maxp.maxPoints = maxp.maxContours = maxp.maxCompositePoints = 0;
    maxp.maxCompositeContours = maxp.maxComponentElements = maxp.maxComponentDepth = 0;
    maxp.maxSizeOfInstructions = 0;

    // Points, contours and nesting depth of a glyph, following components.
    struct totals {
        size_t points = 0, contours = 0, depth = 0;
    };
    auto measure = [this](auto& self, size_t i, size_t depth) -> totals {
        if (i >= glyf.glyphs.size() || depth > 8) return {};
        const glyph& g = glyf.glyphs[i];
        totals t;
        if (g.components.empty()) {
            for (const auto& c : g.contours) t.points += c.size();
            t.contours = g.contours.size();
            return t;
        }
        for (const auto& c : g.components) {
            auto sub = self(self, c.glyphIndex, depth + 1);
            t.points += sub.points;
            t.contours += sub.contours;
            t.depth = std::max(t.depth, sub.depth + 1);
        }
        return t;
    };
    auto clamp16 = [](size_t v) {
        return static_cast<uint16_t>(std::min<size_t>(v, std::numeric_limits<uint16_t>::max()));
    };
    for (size_t i = 0; i < count; ++i) {
        const glyph& g = glyf.glyphs[i];
        auto t = measure(measure, i, 0);
        maxp.maxSizeOfInstructions =
            std::max(maxp.maxSizeOfInstructions, clamp16(g.instructions.size()));
        if (g.components.empty()) {
            maxp.maxPoints = std::max(maxp.maxPoints, clamp16(t.points));
            maxp.maxContours = std::max(maxp.maxContours, clamp16(t.contours));
        } else {
            maxp.maxCompositePoints = std::max(maxp.maxCompositePoints, clamp16(t.points));
            maxp.maxCompositeContours = std::max(maxp.maxCompositeContours, clamp16(t.contours));
            maxp.maxComponentElements =
                std::max(maxp.maxComponentElements, clamp16(g.components.size()));
            maxp.maxComponentDepth = std::max(maxp.maxComponentDepth, clamp16(t.depth));
        }
    }

    std::optional<box> font_box;
    std::vector<long_hor_metric> metrics;
    bool first_extent = true;
    for (size_t i = 0; i < count; ++i) {
        uint16_t aw = i < advance_widths.size() ? advance_widths[i] : 0;
        auto b = glyf.box_of(i);
        metrics.push_back({aw, b ? (*b)[0] : int16_t{0}});
        if (!b) continue;
        font_box = font_box ? unite(*font_box, *b) : *b;
        // Side bearings and extent over the glyphs that have an outline.
        int lsb = (*b)[0], width = (*b)[2] - (*b)[0];
        auto rsb = static_cast<int16_t>(aw - lsb - width);
        auto extent = static_cast<int16_t>(lsb + width);
        if (first_extent) {
            hhea.minLeftSideBearing = static_cast<int16_t>(lsb);
            hhea.minRightSideBearing = rsb;
            hhea.xMaxExtent = extent;
            first_extent = false;
        } else {
            hhea.minLeftSideBearing = std::min(hhea.minLeftSideBearing, static_cast<int16_t>(lsb));
            hhea.minRightSideBearing = std::min(hhea.minRightSideBearing, rsb);
            hhea.xMaxExtent = std::max(hhea.xMaxExtent, extent);
        }
    }
    box fb = font_box.value_or(box{0, 0, 0, 0});
    head.xMin = fb[0];
    head.yMin = fb[1];
    head.xMax = fb[2];
    head.yMax = fb[3];

    hmtx = hmtx_table::compress(metrics);
    hhea.numberOfHMetrics = static_cast<uint16_t>(hmtx.hMetrics.size());
    hhea.advanceWidthMax = 0;
    for (const auto& m : metrics)
        hhea.advanceWidthMax = std::max(hhea.advanceWidthMax, m.advanceWidth);
}

font_builder font_parts::builder() const {
    font_builder b;
    auto gl = glyf.build(head.indexToLocFormat);
    b.add_table("head", head.serialize());
    b.add_table("hhea", hhea.serialize());
    b.add_table("maxp", maxp.serialize());
    b.add_table("OS/2", os2.serialize());
    b.add_table("hmtx", hmtx.serialize());
    b.add_table("cmap", cmap.serialize());
    b.add_table("loca", gl.loca);
    b.add_table("glyf", gl.glyf);
    b.add_table("name", name.serialize());
    b.add_table("post", post.serialize());
    if (with_kern) b.add_table("kern", kern.serialize());
    b.sort_tables();
    return b;
}

const std::array<const char*, 7>& standard_name_strings() {
    static const std::array<const char*, 7> strings{
        "Public domain test font", "Testfont",      "Regular",         "Testfont Regular 1.000",
        "Testfont Regular",        "Version 1.000", "Testfont-Regular"};
    return strings;
}

namespace {

glyph_point on(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), true};
}
glyph_point off(int x, int y) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), false};
}

std::vector<glyph> standard_glyphs() {
    std::vector<glyph> g(STANDARD_GLYPH_COUNT);
    g[G_NOTDEF] = simple_glyph({{on(100, 0), on(100, 1400), on(1000, 1400), on(1000, 0)},
                                {on(200, 100), on(900, 100), on(900, 1300), on(200, 1300)}});
    g[G_A] = simple_glyph({{on(16, 0), on(586, 1493), on(815, 1493), on(1384, 0), on(1174, 0),
                            on(1038, 383), on(363, 383), on(227, 0)},
                           {on(428, 555), on(975, 555), on(702, 1300)}});
    g[G_B] = simple_glyph(
        {{on(201, 0), on(201, 1493), on(700, 1493), off(1150, 1493), on(1150, 1120), off(1150, 800),
          on(800, 760), off(1250, 700), on(1250, 380), off(1250, 0), on(750, 0)}},
        {0xB0, 0x01, 0x21});  // PUSHB[0] 1, POP
    g[G_a] = simple_glyph({{on(500, -29), off(100, -29), on(100, 300), off(100, 600), on(500, 600),
                            off(900, 600), on(900, 300), off(900, -29)},
                           {on(860, 0), on(860, 1120), on(1020, 1120), on(1020, 0)}});
    g[G_RING] = simple_glyph({{on(600, 1550), off(500, 1550), on(500, 1650), off(500, 1750),
                               on(600, 1750), off(700, 1750), on(700, 1650), off(700, 1550)}});
    // Aring as a simple glyph (A's contours plus the ring raised by 100), so that the
    // standard font loads without the composite-glyph warning; see make_aring_composite.
    g[G_ARING] = simple_glyph({{on(16, 0), on(586, 1493), on(815, 1493), on(1384, 0), on(1174, 0),
                                on(1038, 383), on(363, 383), on(227, 0)},
                               {on(428, 555), on(975, 555), on(702, 1300)},
                               {on(600, 1650), off(500, 1650), on(500, 1750), off(500, 1850),
                                on(600, 1850), off(700, 1850), on(700, 1750), off(700, 1650)}});
    g[G_BALT] = simple_glyph({{on(201, 0), on(201, 1493), on(1200, 1493), on(1200, 0)}});
    return g;
}

name_table standard_names() {
    name_table t;
    const auto& text = standard_name_strings();
    for (uint16_t id = 0; id < text.size(); ++id) t.records.push_back(mac_name(id, text[id]));
    for (uint16_t id = 0; id < text.size(); ++id) t.records.push_back(ms_name(id, text[id]));
    return t;
}

}  // namespace

const char_map& standard_mac_map() {
    static const char_map m{{0x20, G_SPACE}, {0x41, G_A},     {0x42, G_B},
                            {0x61, G_a},     {0x81, G_ARING}, {0xFB, G_RING}};
    return m;
}

const char_map& standard_unicode_map() {
    static const char_map m{{0x20, G_SPACE}, {0x41, G_A},     {0x42, G_B},
                            {0x61, G_a},     {0xC5, G_ARING}, {0x2DA, G_RING}};
    return m;
}

font_parts minimal_parts() {
    font_parts p;
    p.glyf.glyphs = {standard_glyphs()[G_NOTDEF], glyph{}};
    p.advance_widths = {1229, 651};
    p.post.glyph_names = {".notdef", "space"};
    p.cmap.encodings.push_back({3, 1, cmap_format4::from({{0x20, 1}}), std::nullopt});
    p.os2.version = 0;
    p.os2.usFirstCharIndex = p.os2.usLastCharIndex = 0x20;
    const auto& text = standard_name_strings();
    for (uint16_t id : {1, 2, 4, 6}) p.name.records.push_back(ms_name(id, text[id]));
    p.with_kern = false;
    p.sync();
    return p;
}

void make_aring_composite(font_parts& parts) {
    glyph_component base{G_A, 0, 0, USE_MY_METRICS, std::nullopt, {}};
    glyph_component accent{G_RING, 0, 100, ROUND_XY_TO_GRID, std::nullopt, {}};
    parts.glyf.glyphs.at(G_ARING) = composite_glyph({base, accent});
    parts.sync();
}

font_parts standard_parts() {
    font_parts p;
    p.glyf.glyphs = standard_glyphs();
    p.advance_widths = {1229, 651, 1401, 1405, 1255, 1401, 1401, 1401};
    p.post.glyph_names = {".notdef", "space", "A", "B", "a", "ring", "Aring", "B.alt"};
    p.maxp.maxStackElements = 16;

    p.cmap.encodings.push_back({1, 0, cmap_format0::from(standard_mac_map()), std::nullopt});
    p.cmap.encodings.push_back({3, 1, cmap_format4::from(standard_unicode_map()), std::nullopt});
    p.os2.usFirstCharIndex = 0x20;
    p.os2.usLastCharIndex = 0x2DA;
    p.os2.ulUnicodeRange = {3, 0, 0, 0};

    p.name = standard_names();
    kern_subtable kern;
    kern.pairs = {{G_A, G_a, -120}, {G_B, G_A, -30}};
    p.kern.subtables.push_back(kern);
    p.sync();
    return p;
}

}  // namespace testfont
