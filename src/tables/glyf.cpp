// glyf table layout: one description per glyph, where loca says.
//   SHORT  numberOfContours     < 0: composite glyph
//   SHORT  xMin, yMin, xMax, yMax
// simple glyphs go on with
//   USHORT endPtsOfContours[numberOfContours]   strictly increasing
//   USHORT instructionLength
//   BYTE   instructions[instructionLength]
//   BYTE   flags[]              one per point; kRepeat is followed by a repeat count
//   BYTE or SHORT xCoordinates[] by kXShort / kXSameOrPositive, deltas from the previous
//   BYTE or SHORT yCoordinates[] by kYShort / kYSameOrPositive
#include "tables/glyf.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "tables/alloc.h"
#include "tables/loca.h"
#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

// "Out of memory!" without a line end, as the per-glyph arrays report it.
constexpr const char* kGlyphOutOfMemory = "Out of memory!";

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing builds reach the cap through the same code with far less work per input.
constexpr std::size_t kArrayBytesPerTableByte = 32;
constexpr std::size_t kOneGlyphSlack = 1 << 16;
#else
constexpr std::size_t kArrayBytesPerTableByte = 640;
// More than one glyph's largest arrays: 32,767 contours, 65,535 points and as many
// instruction bytes.
constexpr std::size_t kOneGlyphSlack = 1 << 20;
#endif

// One delta of a coordinate: a byte (its sign in the "same or positive" bit), nothing (the
// same value as before), or a signed word.
inline int read_delta(BYTE flag, BYTE short_bit, BYTE same_bit, table_reader& in) {
    if (flag & short_bit) {
        int d = in.u8();
        return (flag & same_bit) ? d : -d;
    }
    if (flag & same_bit) return 0;
    return in.s16();
}

// endPtsOfContours into the contours' counts, decoded in one pass over the bytes inside the
// table. The pool's arrays start zeroed, which is what reads past the table's end give.
void read_end_points(std::span<contour_record> contours, table_reader& in) {
    const std::span<const BYTE> bytes = in.peek(2 * contours.size());
    const std::size_t whole = bytes.size() / 2;
    for (std::size_t c = 0; c < whole; ++c)
        contours[c].count = static_cast<USHORT>(bytes[2 * c] << 8 | bytes[2 * c + 1]);
    if (bytes.size() % 2 != 0) contours[whole].count = static_cast<USHORT>(bytes.back() << 8);
    in.skip(2 * contours.size());
}

// Turns the end points just read into point counts; the caller has checked that they
// increase.
void end_points_to_counts(std::span<contour_record> contours) {
    for (std::size_t c = contours.size() - 1; c >= 1; --c)
        contours[c].count = static_cast<USHORT>(contours[c].count - contours[c - 1].count);
    contours[0].count = static_cast<USHORT>(contours[0].count + 1);
}

// Gives each contour its place in the points and flags arrays; returns the sum of the
// counts, modulo 65536.
USHORT link_contours(std::span<contour_record> contours) {
    USHORT first = 0;
    for (contour_record& c : contours) {
        c.firstPoint = first;
        c.firstFlag = first;
        first = static_cast<USHORT>(first + c.count);
    }
    return first;
}

}  // namespace

void outline_storage::cap_for_table(std::size_t table_bytes, message_sink& messages) {
    messages_ = &messages;
    left_ = table_bytes * kArrayBytesPerTableByte + kOneGlyphSlack;
}

bool outline_storage::try_charge(std::size_t bytes) {
    if (capped_ || bytes > left_) return false;
    left_ -= bytes;
    return true;
}

bool outline_storage::charge(std::size_t bytes, long glyph, bool report) {
    if (!capped_ && bytes <= left_) {
        left_ -= bytes;
        return true;
    }
    if (!capped_ && report)
        say(*messages_,
            "do_glyf: warning: glyph %ld: more outline data than the glyf table "
            "holds, remaining outlines ignored\n",
            glyph);
    capped_ = true;
    return false;
}

template <class T>
bool outline_storage::take_from(array_pool<T>& pool, std::span<T>& out, std::size_t n,
                                const char* oom_text) {
    try {
        out = pool.take(n);
        return true;
    } catch (const std::bad_alloc&) {
        messages_->take(oom_text);
        return false;
    }
}

bool outline_storage::take(std::span<contour_record>& out, std::size_t n, const char* oom_text) {
    return take_from(contours_, out, n, oom_text);
}
bool outline_storage::take(std::span<point>& out, std::size_t n, const char* oom_text) {
    return take_from(points_, out, n, oom_text);
}
bool outline_storage::take(std::span<BYTE>& out, std::size_t n, const char* oom_text) {
    return take_from(bytes_, out, n, oom_text);
}

namespace {

void report_bad_repeats(const table_reader& in, bool report) {
    if (report) say(in.messages(), "read_flags: inconsistent repetitions\n");
}

// Whether none of the eight flags at p repeats: a run of them passes in one test.
bool none_repeats(const BYTE* p) {
    std::uint64_t eight;
    std::memcpy(&eight, p, sizeof eight);
    return (eight & 0x0808080808080808ull) == 0;  // kRepeat in every byte
}

// How the flags of `count` points lie in `bytes`, as read_flags reads them: how many bytes
// they take (past the end each reads as a 0 byte, one per point) and whether a repeat
// count runs past the last point. Eight flags pass at a time where none repeats; out of
// line, so that its few counters stay in registers.
struct flag_run {
    std::size_t length = 0;
    bool repeats_too_far = false;
};

[[gnu::noinline]] flag_run walk_flags(std::span<const BYTE> bytes, std::size_t count) {
    std::size_t at = 0;
    std::size_t left = count;  // points whose flags are still to come
    while (left > 0) {
        while (left >= 8 && at + 8 <= bytes.size() && none_repeats(bytes.data() + at)) {
            left -= 8;
            at += 8;
        }
        if (left == 0) break;
        if (at >= bytes.size()) return {at + left, false};
        --left;
        if (bytes[at++] & kRepeat) {
            const std::size_t repeats = at < bytes.size() ? bytes[at] : 0;
            ++at;
            if (repeats > left) return {at, true};
            left -= repeats;
        }
    }
    return {at, false};
}

// Walks `count` flags without keeping them: only whether a repeat count runs past the last
// point matters to a checking pass.
void skip_flags(std::size_t count, table_reader& in, bool report) {
    const flag_run run = walk_flags(in.peek(2 * count), count);  // flags never take more
    in.skip(run.length);
    if (run.repeats_too_far) report_bad_repeats(in, report);
}

USHORT word_at(std::span<const BYTE> bytes, std::size_t at) {
    return static_cast<USHORT>(bytes[at] << 8 | bytes[at + 1]);
}

// A glyph as most are: simple, wholly inside `bytes` (the glyf table from its start on),
// and passing every check of a full read. Its header and the bytes a full read would charge
// for its arrays; nothing for any other glyph, which the checking pass then reads field by
// field for its messages.
struct sound_glyph {
    glyph_header header;
    std::size_t charge = 0;
};

std::optional<sound_glyph> sound_simple_glyph(std::span<const BYTE> bytes) {
    if (bytes.size() < 10) return std::nullopt;
    sound_glyph g;
    SHORT* fields[] = {&g.header.numberOfContours, &g.header.xMin, &g.header.yMin, &g.header.xMax,
                       &g.header.yMax};
    for (std::size_t k = 0; k < 5; ++k) *fields[k] = static_cast<SHORT>(word_at(bytes, 2 * k));
    if (g.header.numberOfContours <= 0 || g.header.xMin > g.header.xMax) return std::nullopt;
    const auto contours = static_cast<std::size_t>(g.header.numberOfContours);
    std::size_t at = 10;
    if (bytes.size() - at < 2 * contours + 2) return std::nullopt;
    USHORT last = word_at(bytes, at);
    for (std::size_t c = 1; c < contours; ++c) {
        const USHORT next = word_at(bytes, at + 2 * c);
        if (last >= next) return std::nullopt;
        last = next;
    }
    at += 2 * contours;
    const auto points = static_cast<USHORT>(last + 1);
    const USHORT instructions = word_at(bytes, at);
    at += 2;
    if (points == 0 || bytes.size() - at < instructions) return std::nullopt;
    at += instructions;
    const flag_run flags = walk_flags(bytes.subspan(at), points);
    if (flags.repeats_too_far || flags.length > bytes.size() - at) return std::nullopt;
    g.charge = contours * sizeof(contour_record) + instructions + points * (sizeof(point) + 1);
    return g;
}

}  // namespace

void read_flags(std::span<BYTE> flags, table_reader& in, bool report) {
    const std::size_t count = flags.size();
    for (std::size_t i = 0; i < count; ++i) {
        BYTE flag = in.u8();
        flags[i] = flag;
        if (flag & kRepeat) {
            std::size_t repeats = in.u8();
            if (i + repeats > count - 1) return report_bad_repeats(in, report);
            std::fill_n(flags.begin() + static_cast<std::ptrdiff_t>(i) + 1, repeats, flag);
            i += repeats;
        }
    }
}

void read_coordinates(std::span<point> points, std::span<const BYTE> flags, table_reader& in) {
    const std::size_t count = std::min(points.size(), flags.size());
    // Absolute values are the running sums of the deltas from (0, 0), modulo 65536.
    int x = 0;
    for (std::size_t k = 0; k < count; ++k) {
        x += read_delta(flags[k], kXShort, kXSameOrPositive, in);
        points[k].x = static_cast<SHORT>(x);
    }
    int y = 0;
    for (std::size_t k = 0; k < count; ++k) {
        y += read_delta(flags[k], kYShort, kYSameOrPositive, in);
        points[k].y = static_cast<SHORT>(y);
    }
}

namespace {

// What one pass over the glyphs does: keep the outline arrays, give the messages, or both.
// Checking and expanding later read exactly as one full pass does.
struct glyph_pass {
    bool keep = true;
    bool report = true;
    // The end points of a checking pass, reused from glyph to glyph.
    std::vector<contour_record> end_points;
};

void warn(const glyph_pass& pass, const table_reader& in, const char* format, long a, long b = 0) {
    if (pass.report) say(in.messages(), format, a, b);
}

// The end points of the contours, strictly increasing; the number of points they give, or
// nothing after the message naming the first that does not increase.
std::optional<USHORT> points_by_end_points(std::span<const contour_record> end_points, long index,
                                           const table_reader& in, const glyph_pass& pass) {
    for (std::size_t c = 1; c < end_points.size(); ++c) {
        if (end_points[c - 1].count >= end_points[c].count) {
            warn(pass, in, "read_glyph: glyph %ld contour %ld: inconsistent contours\n", index,
                 static_cast<long>(c));
            return std::nullopt;
        }
    }
    const auto point_count = static_cast<USHORT>(end_points.back().count + 1);
    if (point_count == 0)
        warn(pass, in, "read_glyph: glyph %ld: inconsistent number of coordinates: %ld\n", index,
             static_cast<long>(point_count));
    return point_count;
}

// A checking pass over a simple glyph's outline: the charges and messages of a full read,
// with the end points in a scratch array, the instructions and flags passed over in place.
// (The contours' counts then always add up to the points, so that check has no message.)
void check_glyph_outline(long index, std::size_t contour_count, table_reader& in,
                         outline_storage& storage, glyph_pass& pass) {
    if (!storage.charge(contour_count * sizeof(contour_record), index, pass.report)) return;
    std::vector<contour_record>& end_points = pass.end_points;
    end_points.assign(contour_count, contour_record{});
    read_end_points(end_points, in);
    const std::optional<USHORT> point_count = points_by_end_points(end_points, index, in, pass);
    if (!point_count) return;

    const USHORT instruction_length = in.u16();
    if (!storage.charge(instruction_length, index, pass.report)) return;
    if (in.remaining() < instruction_length) {
        warn(pass, in, "read_glyph: glyph %ld: cannot read instructions (%ld bytes)!\n", index,
             static_cast<long>(instruction_length));
        return;
    }
    in.skip(instruction_length);
    if (!storage.charge(*point_count * (sizeof(point) + 1), index, pass.report)) return;
    skip_flags(*point_count, in, pass.report);
}

void read_glyph_outline(glyph_record& glyph, long index, table_reader& in, outline_storage& storage,
                        glyph_pass& pass) {
    const auto contour_count = static_cast<std::size_t>(glyph.numberOfContours);
    if (!pass.keep) return check_glyph_outline(index, contour_count, in, storage, pass);
    if (!storage.charge(contour_count * sizeof(contour_record), index, pass.report) ||
        !storage.take(glyph.contours, contour_count, pass.report ? kOutOfMemory : ""))
        return;
    read_end_points(glyph.contours, in);
    const std::optional<USHORT> found = points_by_end_points(glyph.contours, index, in, pass);
    if (!found) return;
    const USHORT point_count = *found;
    end_points_to_counts(glyph.contours);

    glyph.instructionLength = in.u16();
    if (!storage.charge(glyph.instructionLength, index, pass.report)) return;
    if (!storage.take(glyph.instructions, glyph.instructionLength,
                      pass.report ? kGlyphOutOfMemory : ""))
        return;
    if (glyph.instructionLength != 0 &&
        in.read(glyph.instructions.data(), glyph.instructionLength) < glyph.instructionLength) {
        warn(pass, in, "read_glyph: glyph %ld: cannot read instructions (%ld bytes)!\n", index,
             static_cast<long>(glyph.instructionLength));
        return;
    }

    if (!storage.charge(point_count * (sizeof(point) + 1), index, pass.report)) return;
    const char* oom_text = pass.report ? kGlyphOutOfMemory : "";
    if (!storage.take(glyph.flags, point_count, oom_text)) return;
    read_flags(glyph.flags, in, pass.report);
    if (!storage.take(glyph.points, point_count, oom_text)) return;
    read_coordinates(glyph.points, glyph.flags, in);

    USHORT counted = link_contours(glyph.contours);
    if (counted != point_count)
        warn(pass, in,
             "read_glyph: warning: inconsistent coordinate/contour counts (%ld vs. %ld)\n",
             static_cast<long>(point_count), static_cast<long>(counted));
}

void read_glyph_in_pass(glyph_record& glyph, long index, table_reader& in, outline_storage& storage,
                        bool& composite_reported, glyph_pass& pass) {
    glyph.numberOfContours = in.s16();
    glyph.xMin = in.s16();
    glyph.yMin = in.s16();
    glyph.xMax = in.s16();
    glyph.yMax = in.s16();
    if (glyph.xMin > glyph.xMax)
        warn(pass, in, "do_glyf: warning: glyph %ld: inconsistent glyph bounding box\n", index);
    if (glyph.numberOfContours < 0) {
        if (!composite_reported && pass.report)
            say(in.messages(), "read_glyph: glyph %ld: warning: composite glyph(s) ignored\n",
                index);
        composite_reported = composite_reported || pass.report;
        return;
    }
    if (glyph.numberOfContours == 0) return;
    read_glyph_outline(glyph, index, in, storage, pass);
}

}  // namespace

void read_glyph(glyph_record& glyph, long index, table_reader& in, outline_storage& storage,
                bool& composite_reported) {
    glyph_pass full;
    read_glyph_in_pass(glyph, index, in, storage, composite_reported, full);
}

namespace {

// Reads glyphs [0, glyph_count) where loca puts them into glyf->glyphs, as the pass says;
// false after a message when a glyph cannot be reached.
bool read_glyphs(font_object& font, const std::vector<LONG>& offsets, std::size_t glyph_count,
                 glyf_elab& glyf, glyph_pass& pass) {
    const table_entry* entry = find_table(font, "glyf", 1);
    if (!entry) return false;
    const long start = static_cast<long>(entry->source_offset);
    table_reader in(font, *entry);
    glyf.storage.cap_for_table(in.size(), in.messages());

    // Composite glyphs are reported once per run of the program, for the first one met (once
    // per table for a font loaded without the run's notices).
    bool reported_here = false;
    bool& composite_reported = font.notices ? font.notices->composite_glyphs : reported_here;
    const std::size_t readable = std::min(glyph_count, offsets.size() - 1);
    glyph_record scratch;  // each glyph of a checking pass in turn
    for (std::size_t i = 0; i < readable; ++i) {
        const LONG offset = offsets[i];
        if (offset == offsets[i + 1]) continue;  // no description: an empty glyph
        if (start + offset < 0) {
            say(in.messages(), "do_glyf: cannot seek to glyph %ld at offset %ld\n",
                static_cast<long>(i), start + offset);
            return false;
        }
        // An offset before the glyf table reads zeros, which make an empty glyph.
        if (offset < 0) continue;
        in.seek(static_cast<std::size_t>(offset));
        if (!pass.keep) {
            // The usual glyph passes in one go: what it charges is charged at once, which
            // succeeds exactly when the charges of a field-by-field read would.
            const std::optional<sound_glyph> sound = sound_simple_glyph(in.peek(in.remaining()));
            if (sound && glyf.storage.try_charge(sound->charge)) {
                glyf.headers[i] = sound->header;
                continue;
            }
        }
        glyph_record& glyph = pass.keep ? glyf.glyphs[i] : (scratch = glyph_record{});
        read_glyph_in_pass(glyph, static_cast<long>(i), in, glyf.storage, composite_reported, pass);
        glyf.headers[i] = glyph;
    }
    return true;
}

std::unique_ptr<glyf_elab> parse_glyphs(font_object& font, glyph_pass& pass) {
    std::size_t glyph_count = glyphs_in(font);
    const loca_elab* loca = loca_table(font);
    if (!loca) {
        say(*font.messages, "do_glyf: no \"loca\" table\n");
        return nullptr;
    }
    if (loca->offsets.empty()) {
        say(*font.messages, "do_glyf: no \"loca\" offsets\n");
        return nullptr;
    }
    auto glyf = new_record<glyf_elab>(*font.messages);
    if (!glyf || !allocate_array(glyf->headers, glyph_count, *font.messages)) return nullptr;
    if (pass.keep && !allocate_array(glyf->glyphs, glyph_count, *font.messages)) return nullptr;
    if (!read_glyphs(font, loca->offsets, glyph_count, *glyf, pass)) return nullptr;
    glyf->outlines_read = pass.keep;
    return glyf;
}

// The outlines a checking pass left out, read silently as the full pass would have read
// them (the checking pass gave its messages).
void expand_outlines(font_object& font, glyf_elab& glyf) {
    const loca_elab* loca = loca_table(font);
    glyf.outlines_read = true;
    if (!loca || loca->offsets.empty() ||
        !allocate_array(glyf.glyphs, glyf.headers.size(), *font.messages))
        return;
    glyf.storage = outline_storage{};  // the checking pass charged the cap
    glyph_pass silent;
    silent.report = false;
    read_glyphs(font, loca->offsets, glyf.headers.size(), glyf, silent);
}

}  // namespace

std::unique_ptr<glyf_elab> do_glyf(font_object& font) {
    glyph_pass full;
    return parse_glyphs(font, full);
}

std::unique_ptr<glyf_elab> check_glyf(font_object& font) {
    glyph_pass check;
    check.keep = false;
    return parse_glyphs(font, check);
}

namespace {

double f2dot14(SHORT v) {
    return v / 16384.0;
}

// The part's placement after its flags, glyph index and two arguments have been read.
void read_component_transform(glyph_component& part, table_reader& in) {
    if (part.flags & kHaveScale) {
        part.xx = part.yy = f2dot14(in.s16());
    } else if (part.flags & kHaveXYScale) {
        part.xx = f2dot14(in.s16());
        part.yy = f2dot14(in.s16());
    } else if (part.flags & kHaveTwoByTwo) {
        part.xx = f2dot14(in.s16());
        part.xy = f2dot14(in.s16());
        part.yx = f2dot14(in.s16());
        part.yy = f2dot14(in.s16());
    }
}

// Where glyph `glyph` ends in the glyf table: at the next loca offset when that lies
// beyond its start, else at the table's end.
std::size_t glyph_end(const std::vector<LONG>& offsets, USHORT glyph, std::size_t table_size) {
    const LONG start = offsets[glyph];
    const LONG next = offsets[glyph + 1u];
    if (next > start) return std::min(static_cast<std::size_t>(next), table_size);
    return table_size;
}

}  // namespace

std::vector<glyph_component> read_components(font_object& font, USHORT glyph) {
    std::vector<glyph_component> parts;
    const loca_elab* loca = loca_table(font);
    const std::size_t index = find_table_index(font, "glyf");
    if (!loca || index >= font.table_dir.size() || glyph + 1u >= loca->offsets.size()) return parts;
    const LONG offset = loca->offsets[glyph];
    if (offset < 0 || offset == loca->offsets[glyph + 1u]) return parts;

    table_reader in(font, font.table_dir[index]);
    const std::size_t end = glyph_end(loca->offsets, glyph, in.size());
    in.seek(static_cast<std::size_t>(offset));
    if (in.s16() >= 0) return parts;  // numberOfContours: not composite
    in.skip(8);                       // the bounding box
    glyph_component part;
    do {
        part = glyph_component{};
        part.flags = in.u16();
        part.glyphIndex = in.u16();
        int arg1 = 0, arg2 = 0;
        if (part.flags & kArgsAreWords) {
            arg1 = in.s16();
            arg2 = in.s16();
        } else {
            arg1 = in.s8();
            arg2 = in.s8();
        }
        if (part.flags & kArgsAreXYValues) {
            part.dx = arg1;
            part.dy = arg2;
        }
        read_component_transform(part, in);
        if (in.tell() > end) break;  // cut off by the glyph's end
        parts.push_back(part);
    } while ((part.flags & kMoreComponents) && parts.size() < kMaxComponents);
    return parts;
}

glyf_elab* glyf_table(font_object& font) {
    glyf_elab* glyf = elab_as<glyf_elab>(font, "glyf");
    if (glyf && !glyf->outlines_read) expand_outlines(font, *glyf);
    return glyf;
}

const glyf_elab* glyf_headers(font_object& font) {
    return elab_as<glyf_elab>(font, "glyf");
}
