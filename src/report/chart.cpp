// The SVG chart of a cmap subtable.
//
// The file is assembled in memory and committed through new_file, so it appears complete
// or not at all. Each glyph drawn is defined once in <defs>: a simple glyph as a <path> in
// font units, a composite as a <g> of <use> references to its parts, each under the
// part's matrix. A cell shows its glyph through one <use> whose matrix scales font units
// to pixels and flips the y axis; the cell is a nested <svg>, which clips what overflows.
// The file therefore grows with the glyphs and parts drawn, never with their nesting.
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

// A name string of 16-bit big-endian units (platforms 0 and 3).
void append_utf16be(std::string& out, std::string_view bytes) {
    for (char32_t c : decode_utf16be(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()))
        append_char(out, c);
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

// What a subtable maps, over the codes it covers.
struct code_range {
    ULONG first = 0;
    std::vector<USHORT> glyphs;  // by code - first
    bool whole_rows = true;      // every row of the range, or only rows that map something
    std::size_t mapped = 0;
};

// The chart draws the Basic Multilingual Plane: its walk stops at 0xFFFF.
code_range map_codes(const cmap_subtable& sub) {
    constexpr ULONG kLastCharted = 0xFFFF;
    code_range range;
    ULONG last = kLastCharted;
    if (const std::optional<dense_span> span = sub.dense_codes()) {
        range.first = span->first;
        last = std::min<ULONG>(span->first + std::max<ULONG>(span->count, 1) - 1, kLastCharted);
    } else {
        range.whole_rows = false;
    }
    range.glyphs.resize(last - range.first + 1);
    sub.walk([&](ULONG code, USHORT glyph) {
        if (code > last) return false;
        if (code < range.first) return true;
        range.glyphs[code - range.first] = glyph;
        ++range.mapped;
        return true;
    });
    return range;
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

    std::string build(const cmap_subtable& sub);

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
    void set_scale();
    std::string full_name();
    void title(std::size_t mapped);
    void row_label(ULONG code);
    void gap(ULONG first, ULONG last);
    void cell(ULONG code, USHORT glyph, int column);
    void cell_box(int column);
    void empty_cell(int column);

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
            append_utf16be(text, std::string_view(r->string).substr(0, r->length));
            return text;
        }
        if (const name_record* r = find_name(font_, 1, 0, 0, kFullNameID)) {
            append_bytes(text, std::string_view(r->string).substr(0, r->length));
            return text;
        }
    }
    append_bytes(text, font_.font_path);
    return text;
}

void chart_writer::title(std::size_t mapped) {
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
    append_int(text, static_cast<long long>(mapped));
    text += mapped == 1 ? " code mapped" : " codes mapped";

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
    body_ += "\">0x";
    append_hex(body_, first, 4);
    body_ += "-0x";
    append_hex(body_, last, 4);
    body_ += ": nothing mapped</text>\n";
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
    const double advance = has_metrics ? hmtx_->hMetrics[glyph].advanceWidth * scale_ : 0;
    const double origin = advance < kCellWidth - 4 ? (kCellWidth - advance) / 2 : 2;
    if (define(glyph)) {
        body_ += "<use xlink:href=\"#g";
        append_int(body_, glyph);
        body_ += "\" transform=\"matrix(";
        append_real(body_, scale_);
        body_ += " 0 0 ";
        append_real(body_, -scale_);
        body_ += ' ';
        append_real(body_, origin);
        body_ += ' ';
        append_real(body_, baseline_);
        body_ += ")\"/>";
    }
    if (has_metrics) {
        body_ += "<path class=\"a\" d=\"M";
        append_real(body_, origin + advance);
        body_ += ' ';
        append_int(body_, kGlyphTop);
        body_ += 'v';
        append_int(body_, kGlyphHeight);
        body_ += "\"/>";
    }
    body_ += "<text class=\"n\" x=\"";
    append_int(body_, kCellWidth / 2);
    body_ += "\" y=\"";
    append_int(body_, kCellHeight - 4);
    body_ += "\">";
    append_bytes(body_, glyph_name(glyph, post_));
    body_ += "</text></svg>\n";
}

std::string chart_writer::build(const cmap_subtable& sub) {
    glyf_ = parsed("glyf", glyf_table);
    hmtx_ = parsed("hmtx", hmtx_table);
    post_ = parsed("post", post_table);
    if (glyf_) defined_.resize(glyf_->glyphs.size());
    if (!glyf_ && has_cff_outlines(font_)) {
        cff_ = cff_table(font_);
        if (cff_) defined_.resize(cff_->glyph_count());
    }
    set_scale();

    const code_range range = map_codes(sub);
    title(range.mapped);
    const std::size_t rows = (range.glyphs.size() + kColumns - 1) / kColumns;
    auto row_maps = [&](std::size_t row) {
        const std::size_t end = std::min(range.glyphs.size(), (row + 1) * kColumns);
        for (std::size_t i = row * kColumns; i < end; ++i)
            if (range.glyphs[i] != 0) return true;
        return false;
    };
    bool drawn_any = false;
    std::size_t skipped_from = 0, skipped = 0;  // the run of rows left out
    for (std::size_t row = 0; row < rows; ++row) {
        if (!range.whole_rows && !row_maps(row)) {
            if (skipped++ == 0) skipped_from = row;
            continue;
        }
        if (skipped > 0 && drawn_any)
            gap(range.first + static_cast<ULONG>(skipped_from * kColumns),
                range.first + static_cast<ULONG>((skipped_from + skipped) * kColumns - 1));
        skipped = 0;
        drawn_any = true;
        const ULONG first = range.first + static_cast<ULONG>(row * kColumns);
        row_label(first);
        for (int column = 0; column < kColumns; ++column) {
            const std::size_t i = row * kColumns + static_cast<std::size_t>(column);
            if (i >= range.glyphs.size()) break;
            if (range.glyphs[i] != 0)
                cell(first + static_cast<ULONG>(column), range.glyphs[i], column);
            else
                empty_cell(column);
        }
        y_ += kCellHeight;
    }

    const int width = 2 * kMargin + kRowLabelWidth + kColumns * kCellWidth;
    const int height = y_ + kMargin;
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"";
    append_int(svg, width);
    svg += "\" height=\"";
    append_int(svg, height);
    svg += "\" viewBox=\"0 0 ";
    append_int(svg, width);
    svg += ' ';
    append_int(svg, height);
    svg +=
        "\">\n<style>\n"
        "text{font-family:sans-serif;fill:#000}\n"
        ".t{font-size:16px}\n"
        ".r{font-family:monospace;font-size:12px;text-anchor:end}\n"
        ".c{font-family:monospace;font-size:9px;fill:#555}\n"
        ".n{font-size:9px;text-anchor:middle}\n"
        ".g{font-size:12px;fill:#777}\n"
        ".m{fill:#fff;stroke:#bbb}\n"
        ".u{fill:#d8d8d8;stroke:#bbb}\n"
        ".a{fill:none;stroke:#d22;stroke-width:1}\n"
        "</style>\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n<defs>\n";
    svg.reserve(svg.size() + defs_.size() + body_.size() + 16);
    svg += defs_;
    svg += "</defs>\n";
    svg += body_;
    svg += "</svg>\n";
    return svg;
}

}  // namespace

int write_chart(font_object& font, USHORT platformID, USHORT encodingID, const char* path,
                existing_file existing) {
    std::unique_ptr<cmap_subtable>* slot = nullptr;
    if (find_table_index(font, "cmap") < font.table_dir.size())
        slot = find_cmap_subtable(font, platformID, encodingID);
    if (!slot || !*slot) {
        std::fprintf(stderr, "chart: %s: no cmap %d.%d table\n", font.font_path.c_str(),
                     static_cast<int>(platformID), static_cast<int>(encodingID));
        return -1;
    }
    if (!(*slot)->maps_codes()) {
        report_unmappable(font, **slot, "chart: ");
        return -1;
    }
    // The name is reserved first, so that a file in the way fails before any work.
    std::unique_ptr<new_file> out = new_file::create(path, "w", existing);
    if (!out) {
        std::fprintf(stderr, "chart: cannot open \"%s\" to write\n", path);
        return -1;
    }
    const std::string svg = chart_writer(font, platformID, encodingID).build(**slot);
    return out->commit(std::vector<BYTE>(svg.begin(), svg.end()));
}
