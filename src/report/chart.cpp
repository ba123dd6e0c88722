// The SVG chart of a cmap subtable.
//
// The file is assembled in memory and committed through new_file, so it appears complete
// or not at all. Each glyph drawn is defined once in <defs>: a simple glyph as a <path> in
// font units, a composite as a <g> of <use> references to its parts, each under the
// part's matrix. A cell shows its glyph through one <use> whose matrix scales font units
// to pixels and flips the y axis; the cell is a nested <svg>, which clips what overflows.
// The file therefore grows with the glyphs and parts drawn, never with their nesting.
//
// The HTML atlas holds the same cells, a block of 256 codes to a section. A section
// keeps its SVG as raw text, which the page's script turns into elements when the
// section nears the screen (with content-visibility, the browser also skips laying out
// and painting sections off screen); opening the page therefore parses only the first
// blocks. Each glyph is defined once, in the first section that draws it.
#include "report/chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "font/new_file.h"
#include "tables/cff.h"
#include "tables/cmap.h"
#include "tables/glyf.h"
#include "tables/head.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/name.h"
#include "tables/name_text.h"
#include "tables/naming.h"
#include "tables/outline_pen.h"
#include "tables/outlines.h"
#include "tables/post.h"

using namespace chart_layout;

namespace {

// Composite nesting drawn at most: a part that would make a glyph nest deeper is left out.
constexpr int kMaxDepth = 16;
// Simple outlines one cell may paint once composites are expanded; parts past it are left
// out, so that a composite of composites cannot make one cell cost millions of paths.
constexpr std::uint32_t kMaxPaintedOutlines = 4096;

constexpr USHORT kEnglishUS = 0x409;
constexpr USHORT kFullNameID = 4;

// ---------------------------------------------------------------- text output

void append_int(std::string& out, long long v) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

// A number given in halves (v / 2), as a midpoint of two integer points is.
void append_half(std::string& out, long long twice) {
    if (twice < 0) {
        out += '-';
        twice = -twice;
    }
    append_int(out, twice / 2);
    if (twice % 2 != 0) out += ".5";
}

void append_real(std::string& out, double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.8g", v);
    out += text;
}

void append_hex(std::string& out, unsigned long v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*lX", digits, v);
    out += text;
}

// Characters XML 1.0 allows in text.
bool xml_allows(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// One character of text: markup characters as entities, anything outside ASCII as a
// character reference, characters XML cannot hold as U+FFFD.
void append_char(std::string& out, unsigned long c) {
    if (!xml_allows(c)) c = 0xFFFD;
    switch (c) {
        case '&':
            out += "&amp;";
            return;
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '"':
            out += "&quot;";
            return;
        default:
            break;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    out += "&#x";
    append_hex(out, c, 1);
    out += ';';
}

// Bytes of a glyph name or a one-byte name string, each read as one character.
void append_bytes(std::string& out, std::string_view text) {
    for (unsigned char c : text) append_char(out, c);
}

// A name string as its platform's text (name_text decodes it), one character at a time.
void append_name_text(std::string& out, USHORT platformID, std::string_view bytes) {
    for (char32_t c : name_text_code_points(platformID, reinterpret_cast<const BYTE*>(bytes.data()),
                                            bytes.size()))
        append_char(out, c);
}

// Estimated width of text in the names' 9 px sans-serif, in pixels: per character a little
// more than common sans-serif faces give it, so that a name estimated to fit does.
double name_width(std::string_view text) {
    constexpr double kPixelsPerEm = 9;
    double ems = 0;
    for (unsigned char c : text) {
        if (std::string_view("fijlrtI.,:;'!|()[]-").find(static_cast<char>(c)) !=
            std::string_view::npos)
            ems += 0.4;
        else if (c == 'm' || c == 'w' || c == 'M' || c == 'W' || c >= 0x80)
            ems += 1.0;
        else if (c >= 'A' && c <= 'Z')
            ems += 0.8;
        else
            ems += 0.64;
    }
    return ems * kPixelsPerEm;
}

// ---------------------------------------------------------------- outlines

// SVG path data from an outline walk: M, L, Q and C commands, each contour closed with Z.
// A number is written whole, or with ".5" for the midpoints glyf outlines imply. Paths of
// CFF glyphs have always been written with a space before every point.
class svg_path_pen : public outline_pen {
  public:
    explicit svg_path_pen(bool spaced) : spaced_(spaced) {}
    void move_to(pen_point to) override { command('M', {to}); }
    void line_to(pen_point to) override { command('L', {to}); }
    void quad_to(pen_point c, pen_point to) override { command('Q', {c, to}); }
    void cubic_to(pen_point c1, pen_point c2, pen_point to) override { command('C', {c1, c2, to}); }
    void close() override { d_ += 'Z'; }
    std::string take() { return std::move(d_); }

  private:
    void command(char letter, std::initializer_list<pen_point> points) {
        d_ += letter;
        bool first = true;
        for (const pen_point& p : points) {
            if (spaced_ || !first) d_ += ' ';
            first = false;
            append_half(d_, std::llround(2 * p.x));
            d_ += ' ';
            append_half(d_, std::llround(2 * p.y));
        }
    }
    bool spaced_;
    std::string d_;
};

// ---------------------------------------------------------------- the chart

struct code_glyph {
    ULONG code = 0;
    USHORT glyph = 0;
};

// What the chart draws: the codes from first to last in rows of 16 counted from base,
// and the codes among them the subtable maps.
struct chart_codes {
    ULONG base = 0;
    ULONG first = 0;
    ULONG last = 0;                  // first > last: no code to draw
    bool whole_rows = true;          // every row of the range, or only rows that map something
    chart_range asked;               // the codes the chart was asked for
    std::vector<code_glyph> mapped;  // ascending
};

// The dense formats (0 and 6) hold 16-bit codes; their rows start at their first code.
chart_codes map_codes(const cmap_subtable& sub, chart_range range) {
    constexpr ULONG kLastDense = 0xFFFF;
    chart_codes codes;
    codes.asked = range;
    codes.first = range.first;
    codes.last = range.last;
    if (const std::optional<dense_span> span = sub.dense_codes()) {
        codes.base = span->first;
        codes.first = std::max(range.first, span->first);
        codes.last =
            std::min({range.last, kLastDense, span->first + std::max<ULONG>(span->count, 1) - 1});
    } else {
        codes.whole_rows = false;
    }
    sub.walk([&](ULONG code, USHORT glyph) {
        if (code > codes.last) return false;
        if (code >= codes.first) codes.mapped.push_back({code, glyph});
        return true;
    });
    return codes;
}

struct definition {
    enum class state : BYTE { unknown, in_progress, drawn, empty };
    state status = state::unknown;
    BYTE height = 0;            // composite nesting below it
    std::uint32_t painted = 0;  // simple outlines it paints, expanded
};

class chart_writer {
  public:
    chart_writer(font_object& font, USHORT platformID, USHORT encodingID)
        : font_(font), platformID_(platformID), encodingID_(encodingID) {}

    // The single SVG file, or the HTML atlas.
    std::string build_svg(const cmap_subtable& sub, chart_range range, bool is_range);
    std::string build_atlas(const cmap_subtable& sub, chart_range range, bool is_range);

  private:
    // A composite being defined: its parts, and the references made so far.
    struct composite_frame {
        USHORT glyph = 0;
        std::vector<glyph_component> parts;
        std::size_t next = 0;  // the part to look at next
        std::string uses;
        int height = 0;
        std::uint32_t painted = 0;
    };

    bool define(USHORT g);
    void define_simple(USHORT g);
    composite_frame start_composite(USHORT g);
    void add_part(composite_frame& f, const glyph_component& part);
    void finish_composite(const composite_frame& f);
    void prepare();
    void set_scale();
    std::string full_name();
    std::string title_text(const chart_codes& codes, bool is_range);
    void title(const std::string& text);
    bool rows(const chart_codes& codes, ULONG first, ULONG last,
              std::span<const code_glyph> mapped);
    void nothing_mapped(ULONG first, ULONG last);
    void block_section(std::string& html, const chart_codes& codes,
                       std::span<const code_glyph> mapped);
    void row_label(ULONG code);
    void gap(ULONG first, ULONG last);
    void cell(ULONG code, USHORT glyph, int column);
    void cell_box(int column);
    void empty_cell(int column);
    void glyph_use(USHORT glyph, double scale, double origin);
    void name_text(std::string_view name);

    template <class T>
    T* parsed(const char* tag, T* (*accessor)(font_object&)) {
        return find_table_index(font_, tag) < font_.table_dir.size() ? accessor(font_) : nullptr;
    }

    font_object& font_;
    USHORT platformID_;
    USHORT encodingID_;
    glyf_elab* glyf_ = nullptr;
    cff_outlines* cff_ = nullptr;  // the font's own, for a font whose outlines are CFF
    hmtx_elab* hmtx_ = nullptr;
    post_elab* post_ = nullptr;
    std::vector<definition> defined_;
    double scale_ = 1;  // pixels per font unit
    double baseline_ = 0;
    int y_ = kMargin + kTitleHeight;  // top of the next row
    std::string defs_;
    // The atlas: the block whose section defines each glyph.
    static constexpr ULONG kNoBlock = ~ULONG{0};
    std::vector<ULONG> defining_block_;
    std::string body_;
};

void chart_writer::define_simple(USHORT g) {
    svg_path_pen pen(cff_ != nullptr);
    const bool whole = cff_ ? cff_->draw(g, pen) : (draw_simple_glyph(glyf_->glyphs[g], pen), true);
    const std::string d = whole ? pen.take() : std::string();
    if (d.empty()) {
        defined_[g].status = definition::state::empty;
        return;
    }
    defs_ += "<path id=\"g";
    append_int(defs_, g);
    defs_ += "\" d=\"";
    defs_ += d;
    defs_ += "\"/>\n";
    defined_[g] = {definition::state::drawn, 0, 1};
}

// A part joins its composite when its glyph is drawn, does not lie on a cycle back to
// the composite, keeps the nesting within kMaxDepth and the outlines painted within
// kMaxPaintedOutlines.
void chart_writer::add_part(composite_frame& f, const glyph_component& part) {
    const USHORT c = part.glyphIndex;
    if (c >= defined_.size() || defined_[c].status != definition::state::drawn) return;
    const definition& child = defined_[c];
    if (child.height + 1 > kMaxDepth || f.painted + child.painted > kMaxPaintedOutlines) return;
    f.height = std::max(f.height, child.height + 1);
    f.painted += child.painted;
    f.uses += "<use xlink:href=\"#g";
    append_int(f.uses, c);
    f.uses += '"';
    if (part.xx != 1 || part.xy != 0 || part.yx != 0 || part.yy != 1 || part.dx != 0 ||
        part.dy != 0) {
        f.uses += " transform=\"matrix(";
        for (double v : {part.xx, part.xy, part.yx, part.yy}) {
            append_real(f.uses, v);
            f.uses += ' ';
        }
        append_int(f.uses, part.dx);
        f.uses += ' ';
        append_int(f.uses, part.dy);
        f.uses += ")\"";
    }
    f.uses += "/>";
}

void chart_writer::finish_composite(const composite_frame& f) {
    definition& def = defined_[f.glyph];
    if (f.uses.empty()) {  // no part left to draw
        def.status = definition::state::empty;
        return;
    }
    defs_ += "<g id=\"g";
    append_int(defs_, f.glyph);
    defs_ += "\">";
    defs_ += f.uses;
    defs_ += "</g>\n";
    def = {definition::state::drawn, static_cast<BYTE>(f.height), f.painted};
}

chart_writer::composite_frame chart_writer::start_composite(USHORT g) {
    defined_[g].status = definition::state::in_progress;
    composite_frame f;
    f.glyph = g;
    f.parts = read_components(font_, g);
    return f;
}

// Defines the glyph and, first, the parts it is made of: depth first, with a stack of its
// own rather than recursion, since a hostile font may chain thousands of composites.
bool chart_writer::define(USHORT g) {
    if (g >= defined_.size()) return false;
    if (defined_[g].status != definition::state::unknown)
        return defined_[g].status == definition::state::drawn;
    if (cff_) {  // CFF glyphs come whole from their charstrings
        define_simple(g);
        return defined_[g].status == definition::state::drawn;
    }
    if (glyf_->glyphs[g].numberOfContours >= 0) {
        define_simple(g);
        return defined_[g].status == definition::state::drawn;
    }
    std::vector<composite_frame> stack;
    stack.push_back(start_composite(g));
    while (!stack.empty()) {
        composite_frame& f = stack.back();
        if (f.next == f.parts.size()) {
            finish_composite(f);
            stack.pop_back();
            continue;
        }
        const glyph_component& part = f.parts[f.next];
        const USHORT c = part.glyphIndex;
        if (c < defined_.size() && defined_[c].status == definition::state::unknown) {
            if (glyf_->glyphs[c].numberOfContours >= 0) {
                define_simple(c);
            } else {
                stack.push_back(start_composite(c));  // f is not used past this point
                continue;
            }
        }
        add_part(f, part);
        ++f.next;
    }
    return defined_[g].status == definition::state::drawn;
}

// The glyph band holds the font's ascender to descender (hhea), else its bounding box
// (head), else one em.
void chart_writer::set_scale() {
    long top = 0, bottom = 0;
    const hhea_elab* hhea = parsed("hhea", hhea_table);
    const head_elab* head = parsed("head", head_table);
    if (hhea && hhea->ascender > hhea->descender) {
        top = hhea->ascender;
        bottom = hhea->descender;
    } else if (head && head->yMax > head->yMin) {
        top = head->yMax;
        bottom = head->yMin;
    } else {
        top = head && head->unitsPerEm ? head->unitsPerEm : 2048;
    }
    scale_ = static_cast<double>(kGlyphHeight) / static_cast<double>(top - bottom);
    baseline_ = kGlyphTop + static_cast<double>(top) * scale_;
}

// The full name, US English Microsoft Unicode first, else Macintosh Roman English, else
// the file name.
std::string chart_writer::full_name() {
    std::string text;
    if (find_table_index(font_, "name") < font_.table_dir.size()) {
        if (const name_record* r = find_name(font_, 3, 1, kEnglishUS, kFullNameID)) {
            append_name_text(text, 3, std::string_view(r->string).substr(0, r->length));
            return text;
        }
        if (const name_record* r = find_name(font_, 1, 0, 0, kFullNameID)) {
            append_name_text(text, 1, std::string_view(r->string).substr(0, r->length));
            return text;
        }
    }
    append_bytes(text, font_.font_path);
    return text;
}

void append_code_span(std::string& out, ULONG first, ULONG last) {
    out += "0x";
    append_hex(out, first, 4);
    out += "-0x";
    append_hex(out, last, 4);
}

std::string chart_writer::title_text(const chart_codes& codes, bool is_range) {
    std::string text = full_name();
    text += ": cmap subtable ";
    append_int(text, platformID_);
    text += '.';
    append_int(text, encodingID_);
    text += " (";
    append_bytes(text, platform_name(platformID_));
    text += ' ';
    append_bytes(text, encoding_name(platformID_, encodingID_));
    text += "), ";
    append_int(text, static_cast<long long>(codes.mapped.size()));
    text += codes.mapped.size() == 1 ? " code mapped" : " codes mapped";
    if (is_range) {
        text += " in ";
        append_code_span(text, codes.asked.first, codes.asked.last);
    }
    return text;
}

void chart_writer::title(const std::string& text) {
    body_ += "<title>" + text + "</title>\n<text class=\"t\" x=\"";
    append_int(body_, kMargin);
    body_ += "\" y=\"";
    append_int(body_, kMargin + kTitleHeight / 2);
    body_ += "\">" + text + "</text>\n";
}

void chart_writer::row_label(ULONG code) {
    body_ += "<text class=\"r\" x=\"";
    append_int(body_, kMargin + kRowLabelWidth - 8);
    body_ += "\" y=\"";
    append_int(body_, y_ + kCellHeight / 2 + 4);
    body_ += "\">0x";
    append_hex(body_, code, 4);
    body_ += "</text>\n";
}

void chart_writer::gap(ULONG first, ULONG last) {
    body_ += "<text class=\"g\" x=\"";
    append_int(body_, kMargin + kRowLabelWidth);
    body_ += "\" y=\"";
    append_int(body_, y_ + kGapHeight / 2 + 4);
    body_ += "\">";
    append_code_span(body_, first, last);
    body_ += ": nothing mapped</text>\n";
    y_ += kGapHeight;
}

// A chart without a single row says so where the rows would be.
void chart_writer::nothing_mapped(ULONG first, ULONG last) {
    body_ += "<text class=\"g\" x=\"";
    append_int(body_, kMargin + kRowLabelWidth);
    body_ += "\" y=\"";
    append_int(body_, y_ + kGapHeight / 2 + 4);
    body_ += "\">nothing mapped from 0x";
    append_hex(body_, first, 4);
    body_ += " to 0x";
    append_hex(body_, last, 4);
    body_ += "</text>\n";
    y_ += kGapHeight;
}

// x="…" y="…" width="…" height="…" of the cell in this column of the current row.
void chart_writer::cell_box(int column) {
    body_ += "x=\"";
    append_int(body_, kMargin + kRowLabelWidth + column * kCellWidth);
    body_ += "\" y=\"";
    append_int(body_, y_);
    body_ += "\" width=\"";
    append_int(body_, kCellWidth);
    body_ += "\" height=\"";
    append_int(body_, kCellHeight);
    body_ += "\"";
}

void chart_writer::empty_cell(int column) {
    body_ += "<rect class=\"u\" ";
    cell_box(column);
    body_ += "/>\n";
}

void chart_writer::glyph_use(USHORT glyph, double scale, double origin) {
    body_ += "<use xlink:href=\"#g";
    append_int(body_, glyph);
    body_ += "\" transform=\"matrix(";
    append_real(body_, scale);
    body_ += " 0 0 ";
    append_real(body_, -scale);
    body_ += ' ';
    append_real(body_, origin);
    body_ += ' ';
    append_real(body_, baseline_);
    body_ += ")\"/>";
}

// The glyph's name at the foot of the cell; a name wider than the cell is cut short with
// an ellipsis and held to the cell's width, the whole name in its tooltip.
void chart_writer::name_text(std::string_view name) {
    body_ += "<text class=\"n\" x=\"";
    append_int(body_, kCellWidth / 2);
    body_ += "\" y=\"";
    append_int(body_, kCellHeight - 4);
    if (name_width(name) <= kInkWidth) {
        body_ += "\">";
        append_bytes(body_, name);
        body_ += "</text>";
        return;
    }
    const double ellipsis = name_width("m");
    std::size_t kept = 0;
    while (kept < name.size() && name_width(name.substr(0, kept + 1)) + ellipsis <= kInkWidth)
        ++kept;
    body_ += "\" textLength=\"";
    append_real(body_, std::round(name_width(name.substr(0, kept)) + ellipsis));
    body_ += "\" lengthAdjust=\"spacingAndGlyphs\"><title>";
    append_bytes(body_, name);
    body_ += "</title>";
    append_bytes(body_, name.substr(0, kept));
    body_ += "&#x2026;</text>";
}

void chart_writer::cell(ULONG code, USHORT glyph, int column) {
    body_ += "<svg ";
    cell_box(column);
    body_ += "><rect class=\"m\" width=\"";
    append_int(body_, kCellWidth);
    body_ += "\" height=\"";
    append_int(body_, kCellHeight);
    body_ += "\"/><text class=\"c\" x=\"3\" y=\"10\">";
    append_hex(body_, code, 4);
    body_ += "</text>";

    // The advance is centred in the cell, or starts at its left edge when wider.
    const bool has_metrics = hmtx_ && glyph < hmtx_->hMetrics.size();
    const double advance_units = has_metrics ? hmtx_->hMetrics[glyph].advanceWidth : 0;
    double scale = scale_;
    double advance = advance_units * scale;
    double origin = advance < kCellWidth - 4 ? (kCellWidth - advance) / 2 : 2;
    // A glyph whose advance or ink would leave the cell is scaled down to fit in it.
    // The ink outside the advance is known from the bounding box of a TrueType glyph.
    double left = 0, right = advance_units;  // font units
    if (glyf_ && glyph < glyf_->glyphs.size() &&
        glyf_->glyphs[glyph].xMax > glyf_->glyphs[glyph].xMin) {
        left = std::min<double>(0, glyf_->glyphs[glyph].xMin);
        right = std::max<double>(advance_units, glyf_->glyphs[glyph].xMax);
    }
    if (right > left && (origin + left * scale < 0 || origin + right * scale > kCellWidth)) {
        scale = std::min(scale_, kInkWidth / (right - left));
        advance = advance_units * scale;
        origin = (kCellWidth - (right - left) * scale) / 2 - left * scale;
    }
    if (scale < scale_) {
        body_ += "<text class=\"c\" style=\"fill:#06c;text-anchor:end\" x=\"";
        append_int(body_, kCellWidth - 3);
        body_ += "\" y=\"10\">";
        append_int(body_, std::lround(100 * scale / scale_));
        body_ += "%<title>drawn at ";
        append_int(body_, std::lround(100 * scale / scale_));
        body_ += "% to fit the cell</title></text>";
    }
    if (define(glyph)) glyph_use(glyph, scale, origin);
    if (has_metrics) {
        body_ += "<path class=\"a\" d=\"M";
        append_real(body_, origin + advance);
        body_ += ' ';
        append_int(body_, kGlyphTop);
        body_ += 'v';
        append_int(body_, kGlyphHeight);
        body_ += "\"/>";
    }
    name_text(glyph_name(glyph, post_));
    body_ += "</svg>\n";
}

// The rows of 16 codes (counted from codes.base) from first to last, mapped holding the
// codes mapped among them; without whole rows, only the rows that map something, with a
// gap for each run of rows left out between them.
bool chart_writer::rows(const chart_codes& codes, ULONG first, ULONG last,
                        std::span<const code_glyph> mapped) {
    const auto row_of = [&](ULONG code) {
        return codes.base + (code - codes.base) / kColumns * kColumns;
    };
    std::size_t next = 0;
    bool drawn_any = false;
    for (ULONG row = row_of(first); row <= last; row += kColumns) {
        if (!codes.whole_rows) {
            if (next == mapped.size()) break;
            const ULONG next_row = row_of(mapped[next].code);
            if (next_row > row && drawn_any) gap(row, next_row - 1);
            row = next_row;
        }
        drawn_any = true;
        row_label(row);
        for (int column = 0; column < kColumns; ++column) {
            const ULONG code = row + static_cast<ULONG>(column);
            if (code < first || code > last) continue;
            if (next < mapped.size() && mapped[next].code == code)
                cell(code, mapped[next++].glyph, column);
            else
                empty_cell(column);
        }
        y_ += kCellHeight;
    }
    return drawn_any;
}

void chart_writer::prepare() {
    glyf_ = parsed("glyf", glyf_table);
    hmtx_ = parsed("hmtx", hmtx_table);
    post_ = parsed("post", post_table);
    if (glyf_) defined_.resize(glyf_->glyphs.size());
    if (!glyf_ && has_cff_outlines(font_)) {
        cff_ = cff_table(font_);
        if (cff_) defined_.resize(cff_->glyph_count());
    }
    set_scale();
}

constexpr int kChartWidth = 2 * kMargin + kRowLabelWidth + kColumns * kCellWidth;

constexpr const char* kChartStyle =
    "text{font-family:sans-serif;fill:#000}\n"
    ".t{font-size:16px}\n"
    ".r{font-family:monospace;font-size:12px;text-anchor:end}\n"
    ".c{font-family:monospace;font-size:9px;fill:#555}\n"
    ".n{font-size:9px;text-anchor:middle}\n"
    ".g{font-size:12px;fill:#777}\n"
    ".m{fill:#fff;stroke:#bbb}\n"
    ".u{fill:#d8d8d8;stroke:#bbb}\n"
    ".a{fill:none;stroke:#d22;stroke-width:1}\n";

// <svg …> with xlink declared, width and height in pixels and a matching viewBox.
void append_svg_open(std::string& out, int width, int height) {
    out +=
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"";
    append_int(out, width);
    out += "\" height=\"";
    append_int(out, height);
    out += "\" viewBox=\"0 0 ";
    append_int(out, width);
    out += ' ';
    append_int(out, height);
    out += "\">\n";
}

std::string chart_writer::build_svg(const cmap_subtable& sub, chart_range range, bool is_range) {
    prepare();
    const chart_codes codes = map_codes(sub, range);
    title(title_text(codes, is_range));
    if (!rows(codes, codes.first, codes.last, codes.mapped))
        nothing_mapped(codes.asked.first, codes.asked.last);

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    append_svg_open(svg, kChartWidth, y_ + kMargin);
    svg += "<style>\n";
    svg += kChartStyle;
    svg += "</style>\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n<defs>\n";
    svg.reserve(svg.size() + defs_.size() + body_.size() + 16);
    svg += defs_;
    svg += "</defs>\n";
    svg += body_;
    svg += "</svg>\n";
    return svg;
}

// The block's anchor: "b" and its first code in hexadecimal.
void append_block_id(std::string& out, ULONG block_first) {
    out += 'b';
    append_hex(out, block_first, 4);
}

// The glyph numbers that follow each occurrence of marker in text. Markers hold a quote,
// which no name in the chart can (it is written as &quot;).
std::vector<std::size_t> glyphs_after(std::string_view text, std::string_view marker) {
    std::vector<std::size_t> glyphs;
    for (std::size_t at = text.find(marker); at != std::string_view::npos;
         at = text.find(marker, at + 1)) {
        const char* digits = text.data() + at + marker.size();
        std::size_t g = 0;
        if (std::from_chars(digits, text.data() + text.size(), g).ec == std::errc{})
            glyphs.push_back(g);
    }
    return glyphs;
}

// One block of the atlas: a heading, then, as raw text the page's script turns into SVG
// when the block nears the screen, the glyphs first defined for it and its rows. The
// section names the blocks whose definitions its cells use; the browser takes its size
// as given until then, so that opening the page parses and lays out only the first
// blocks.
void chart_writer::block_section(std::string& html, const chart_codes& codes,
                                 std::span<const code_glyph> mapped) {
    const ULONG block_first = mapped.front().code / kBlockCodes * kBlockCodes;
    const ULONG first = std::max(codes.first, block_first);
    const ULONG last = std::min(codes.last, block_first + static_cast<ULONG>(kBlockCodes - 1));
    const std::size_t defs_before = defs_.size();
    body_.clear();
    y_ = 0;
    rows(codes, first, last, mapped);
    const std::string_view new_defs = std::string_view(defs_).substr(defs_before);
    for (std::size_t g : glyphs_after(new_defs, "id=\"g"))
        if (g < defining_block_.size()) defining_block_[g] = block_first;
    std::vector<ULONG> needs;
    for (std::string_view text : {std::string_view(body_), new_defs})
        for (std::size_t g : glyphs_after(text, "href=\"#g"))
            if (g < defining_block_.size() && defining_block_[g] != block_first &&
                defining_block_[g] != kNoBlock)
                needs.push_back(defining_block_[g]);
    std::sort(needs.begin(), needs.end());
    needs.erase(std::unique(needs.begin(), needs.end()), needs.end());

    constexpr int kHeadingHeight = 40;
    html += "<section id=\"";
    append_block_id(html, block_first);
    html += "\" data-needs=\"";
    for (ULONG block : needs) {
        append_block_id(html, block);
        html += ' ';
    }
    html += "\" style=\"contain-intrinsic-size:auto ";
    append_int(html, kChartWidth);
    html += "px ";
    append_int(html, y_ + kHeadingHeight);
    html += "px\"><h2>U+";
    append_hex(html, block_first, 4);
    html += "&#x2013;U+";
    append_hex(html, block_first + kBlockCodes - 1, 4);
    html += ": ";
    append_int(html, static_cast<long long>(mapped.size()));
    html += mapped.size() == 1 ? " code mapped</h2>\n" : " codes mapped</h2>\n";
    html += "<script type=\"text/x-defs\">\n";
    html += new_defs;
    html += "</script><script type=\"text/x-cells\">";
    append_svg_open(html, kChartWidth, y_);
    html += body_;
    html += "</svg></script></section>\n";
}

// Shows a section when it comes near the screen: the definitions of the blocks it needs
// and its own join the page's one <defs>, then its cells replace their text. The
// sections on the first screen are shown at once, before the first paint.
constexpr const char* kAtlasScript =
    "<script>\n"
    "const defs = document.getElementById('defs');\n"
    "function define(section) {\n"
    "  const text = section && section.querySelector('script[type=\"text/x-defs\"]');\n"
    "  if (text) { defs.insertAdjacentHTML('beforeend', text.textContent); text.remove(); }\n"
    "}\n"
    "function show(section) {\n"
    "  const cells = section.querySelector('script[type=\"text/x-cells\"]');\n"
    "  if (!cells) return;\n"
    "  for (const id of section.dataset.needs.split(' ')) if (id) "
    "define(document.getElementById(id));\n"
    "  define(section);\n"
    "  cells.insertAdjacentHTML('afterend', cells.textContent);\n"
    "  cells.remove();\n"
    "}\n"
    "const near = new IntersectionObserver(entries => {\n"
    "  for (const e of entries) if (e.isIntersecting) { show(e.target); "
    "near.unobserve(e.target); }\n"
    "}, {rootMargin: '1000px'});\n"
    "for (const section of document.querySelectorAll('section')) {\n"
    "  if (section.getBoundingClientRect().top < innerHeight) show(section);\n"
    "  else near.observe(section);\n"
    "}\n"
    "</script>\n";

std::string chart_writer::build_atlas(const cmap_subtable& sub, chart_range range, bool is_range) {
    prepare();
    defining_block_.assign(defined_.size(), kNoBlock);
    const chart_codes codes = map_codes(sub, range);
    const std::string text = title_text(codes, is_range);
    std::string index, sections;
    const std::span<const code_glyph> all(codes.mapped);
    for (std::size_t begin = 0; begin < all.size();) {
        const ULONG block = all[begin].code / kBlockCodes;
        std::size_t end = begin;
        while (end < all.size() && all[end].code / kBlockCodes == block) ++end;
        index += "<li><a href=\"#";
        append_block_id(index, block * kBlockCodes);
        index += "\">U+";
        append_hex(index, block * kBlockCodes, 4);
        index += "</a> <span>";
        append_int(index, static_cast<long long>(end - begin));
        index += "</span></li>\n";
        block_section(sections, codes, all.subspan(begin, end - begin));
        begin = end;
    }

    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>" + text +
        "</title>\n<style>\n"
        "body{margin:16px;font-family:sans-serif;background:#fff}\n"
        "h1{font-size:16px;font-weight:normal}\n"
        "h2{font-size:14px;font-weight:normal;margin:12px 0 4px 0}\n"
        "ol.i{display:flex;flex-wrap:wrap;list-style:none;padding:0;font-size:12px}\n"
        "ol.i li{width:120px;font-family:monospace}\n"
        "section{content-visibility:auto}\n"
        "svg.d{position:absolute;width:0;height:0}\n";
    html += kChartStyle;
    html += "</style></head><body>\n<h1>" + text + "</h1>\n";
    html +=
        "<svg class=\"d\" xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><defs id=\"defs\"></defs></svg>\n";
    if (codes.mapped.empty()) {
        html += "<p>nothing mapped from 0x";
        append_hex(html, codes.asked.first, 4);
        html += " to 0x";
        append_hex(html, codes.asked.last, 4);
        html += "</p>\n";
    }
    html += "<ol class=\"i\">\n";
    html.reserve(html.size() + index.size() + sections.size() + 2048);
    html += index;
    html += "</ol>\n";
    html += sections;
    html += kAtlasScript;
    html += "</body></html>\n";
    return html;
}

bool names_atlas(std::string_view path) {
    constexpr std::string_view kAtlasSuffix = ".html";
    return path.size() >= kAtlasSuffix.size() &&
           path.substr(path.size() - kAtlasSuffix.size()) == kAtlasSuffix;
}

}  // namespace

int write_chart(font_object& font, USHORT platformID, USHORT encodingID, const char* path,
                std::optional<chart_range> range, const char* who, existing_file existing) {
    std::unique_ptr<cmap_subtable>* slot = nullptr;
    if (find_table_index(font, "cmap") < font.table_dir.size())
        slot = find_cmap_subtable(font, platformID, encodingID);
    if (!slot || !*slot) {
        say(*font.messages, "%s: %s: no cmap %d.%d table\n", who, font.font_path.c_str(),
            static_cast<int>(platformID), static_cast<int>(encodingID));
        return -1;
    }
    if (!(*slot)->maps_codes()) {
        report_unmappable(font, **slot, (std::string(who) + ": ").c_str());
        return -1;
    }
    // The name is reserved first, so that a file in the way fails before any work.
    std::unique_ptr<new_file> out = new_file::create(path, "w", *font.messages, existing);
    if (!out) {
        say(*font.messages, "%s: cannot open \"%s\" to write\n", who, path);
        return -1;
    }
    chart_writer writer(font, platformID, encodingID);
    const chart_range codes = range.value_or(chart_range{0, kLastUnicode});
    const std::string text = names_atlas(path)
                                 ? writer.build_atlas(**slot, codes, range.has_value())
                                 : writer.build_svg(**slot, codes, range.has_value());
    return out->commit(std::vector<BYTE>(text.begin(), text.end()));
}
