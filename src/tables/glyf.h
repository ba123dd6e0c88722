// The glyph data (glyf) table: every simple glyph's outline, composite glyphs by header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "font/font.h"
#include "font/types.h"

class table_reader;

// Outline flag bits.
inline constexpr BYTE kOnCurve = 0x01;
inline constexpr BYTE kXShort = 0x02;           // x delta is one byte
inline constexpr BYTE kYShort = 0x04;           // y delta is one byte
inline constexpr BYTE kRepeat = 0x08;           // next byte: how many more points carry this flag
inline constexpr BYTE kXSameOrPositive = 0x10;  // short: delta positive; long: delta 0
inline constexpr BYTE kYSameOrPositive = 0x20;

struct contour_record {
    USHORT count = 0;       // points in the contour (its end point while being read)
    USHORT firstPoint = 0;  // index of its first point in the glyph's points
    USHORT firstFlag = 0;   // index of its first flag in the glyph's flags
};

struct point {
    SHORT x = 0;  // absolute, font units
    SHORT y = 0;
};

// A glyph's header: what loading keeps of it.
struct glyph_header {
    SHORT numberOfContours = 0;
    SHORT xMin = 0;
    SHORT yMin = 0;
    SHORT xMax = 0;
    SHORT yMax = 0;
};

// One glyph. An empty glyph (no data in loca) stays all zero. A composite glyph
// (numberOfContours < 0) keeps only its header. A glyph whose reading stopped early keeps
// what was read; the arrays may then be shorter than the counts say, so index them by
// their own size. The arrays live in the outline storage of the glyf record.
struct glyph_record : glyph_header {
    USHORT instructionLength = 0;
    std::span<contour_record> contours;  // numberOfContours entries
    std::span<point> points;             // one per point
    std::span<BYTE> flags;               // one per point, repeats expanded
    std::span<BYTE> instructions;        // instructionLength bytes, not interpreted
};

// Zero-filled arrays of exact sizes cut from large blocks, so that a font's glyphs cost a
// few allocations rather than four each. Blocks never move: spans stay valid for the life
// of the pool.
template <class T>
class array_pool {
  public:
    // n elements (none for n = 0); throws std::bad_alloc when memory is short.
    std::span<T> take(std::size_t n) {
        if (n > left_) {
            std::size_t block = std::max(n, kBlockBytes / sizeof(T));
            blocks_.push_back(std::make_unique<T[]>(block));
            next_ = blocks_.back().get();
            left_ = block;
        }
        std::span<T> out(next_, n);
        next_ += n;
        left_ -= n;
        return out;
    }

  private:
    static constexpr std::size_t kBlockBytes = 256 * 1024;
    std::vector<std::unique_ptr<T[]>> blocks_;
    T* next_ = nullptr;
    std::size_t left_ = 0;
};

// The outline arrays of one glyf table. Their total is capped at what the table's bytes
// could describe if every glyph had bytes of its own: one byte of glyph data yields at
// most 128 points (a flag byte and a repeat count of 255 give 256 points from two bytes),
// that is 640 bytes of arrays, plus room for one glyph whose counts run past the end of
// the table. Real fonts stay far below; only glyphs made to share their data through
// loca, each expanding it again, can reach the cap, and past it no outline is expanded.
class outline_storage {
  public:
    // Sets the cap for a glyf table of this many bytes (until then nothing is allowed),
    // and where the storage reports.
    void cap_for_table(std::size_t table_bytes, message_sink& messages);
    // Counts `bytes` of arrays for glyph `glyph` against the cap; false once it is
    // reached, with one warning per table (unless `report` is false).
    bool charge(std::size_t bytes, long glyph, bool report = true);
    // Charges bytes when they fit, without a message and without capping; false (nothing
    // charged) otherwise.
    bool try_charge(std::size_t bytes);

    // Gives `out` n zero-filled elements; on a memory shortage reports oom_text and
    // returns false.
    bool take(std::span<contour_record>& out, std::size_t n, const char* oom_text);
    bool take(std::span<point>& out, std::size_t n, const char* oom_text);
    bool take(std::span<BYTE>& out, std::size_t n, const char* oom_text);

  private:
    template <class T>
    bool take_from(array_pool<T>& pool, std::span<T>& out, std::size_t n, const char* oom_text);

    array_pool<contour_record> contours_;
    array_pool<point> points_;
    array_pool<BYTE> bytes_;  // flags and instructions
    std::size_t left_ = 0;    // bytes of arrays still allowed
    message_sink* messages_ = &standard_error_sink();
    bool capped_ = false;
};

struct glyf_elab : elab_record {
    std::vector<glyph_header> headers;  // numGlyphs headers, by glyph index
    // numGlyphs records with their outlines, by glyph index, once read (empty before).
    // Loading checks every glyph and gives every message, but most jobs never look at an
    // outline, so glyf_table reads them on first use.
    std::vector<glyph_record> glyphs;
    outline_storage storage;  // owns every glyph's arrays
    bool outlines_read = false;
};

// Reads every glyph, headers and outlines, with its messages.
std::unique_ptr<glyf_elab> do_glyf(font_object& font);
// Reads every glyph's header and checks the rest as do_glyf does, with the same messages,
// without reading the outlines. The font's glyf parser.
std::unique_ptr<glyf_elab> check_glyf(font_object& font);

// The elaborated glyf record with its outlines (expanded silently on first use), or
// nothing; never parses.
glyf_elab* glyf_table(font_object& font);
// The elaborated glyf record, whose outlines may not have been read (its headers are
// there); never parses.
const glyf_elab* glyf_headers(font_object& font);

// Component flag bits of a composite glyph.
inline constexpr USHORT kArgsAreWords = 0x0001;     // offsets are words, else bytes
inline constexpr USHORT kArgsAreXYValues = 0x0002;  // offsets, else point numbers to match
inline constexpr USHORT kHaveScale = 0x0008;        // one F2Dot14 scale
inline constexpr USHORT kMoreComponents = 0x0020;
inline constexpr USHORT kHaveXYScale = 0x0040;   // x and y scales
inline constexpr USHORT kHaveTwoByTwo = 0x0080;  // a 2x2 matrix

// One part of a composite glyph, placed by x' = xx*x + yx*y + dx, y' = xy*x + yy*y + dy.
// Point-matched parts (args not XY values) keep dx = dy = 0.
struct glyph_component {
    USHORT flags = 0;
    USHORT glyphIndex = 0;
    int dx = 0;
    int dy = 0;
    double xx = 1, xy = 0, yx = 0, yy = 1;  // from F2Dot14
};

// A composite glyph lists at most this many parts here; real fonts use a handful.
inline constexpr std::size_t kMaxComponents = 1024;

// The parts of composite glyph `glyph`, read again from the font's glyf bytes where loca
// puts the glyph (the parsed record keeps composite headers only). Empty for a simple,
// empty or missing glyph. Reading stops at the glyph's end in loca, at the last part, or
// after kMaxComponents parts; it prints nothing.
std::vector<glyph_component> read_components(font_object& font, USHORT glyph);

// Reads the glyph description at the reader's position into glyph (index for messages).
// A composite glyph is reported unless composite_reported says one was; it is set after.
void read_glyph(glyph_record& glyph, long index, table_reader& in, outline_storage& storage,
                bool& composite_reported);
// Reads flags.size() flag bytes, expanding repeats; `report`: say where a repeat count
// runs past the last point.
void read_flags(std::span<BYTE> flags, table_reader& in, bool report = true);
// Reads the x deltas of all points, then the y deltas, and makes them absolute.
void read_coordinates(std::span<point> points, std::span<const BYTE> flags, table_reader& in);
