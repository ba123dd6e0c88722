#include "font/container.h"

#include <zlib.h>

#include <woff2/decode.h>
#include <woff2/output.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "font/sfnt.h"

namespace {

constexpr std::size_t kCollectionHeaderSize = 12;
constexpr std::size_t kWoffHeaderSize = 44;
constexpr std::size_t kWoffDirEntrySize = 20;
// A rebuilt glyf may be somewhat larger than the font the WOFF2 was made from (glyphs
// are padded to 4 bytes), so the declared size is a guide, not an exact bound.
constexpr std::size_t kWoff2Slack = std::size_t{1} << 20;

// Big-endian reads at a position the caller has checked to lie inside `b`.
ULONG u16_at(const std::vector<BYTE>& b, std::size_t pos) {
    return static_cast<ULONG>(b[pos] << 8 | b[pos + 1]);
}
ULONG u32_at(const std::vector<BYTE>& b, std::size_t pos) {
    return ULONG{b[pos]} << 24 | ULONG{b[pos + 1]} << 16 | ULONG{b[pos + 2]} << 8 | b[pos + 3];
}
void put_u16(std::vector<BYTE>& b, std::size_t pos, ULONG v) {
    b[pos] = static_cast<BYTE>(v >> 8);
    b[pos + 1] = static_cast<BYTE>(v);
}
void put_u32(std::vector<BYTE>& b, std::size_t pos, ULONG v) {
    put_u16(b, pos, v >> 16);
    put_u16(b, pos + 2, v & 0xFFFF);
}

// [offset, offset + length) lies inside a buffer of `size` bytes; no overflow possible.
bool inside(std::uint64_t offset, std::uint64_t length, std::size_t size) {
    return offset <= size && length <= size - offset;
}

std::uint64_t padded4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

std::string tag_text(const std::vector<BYTE>& b, std::size_t pos) {
    std::string tag;
    for (std::size_t i = 0; i < 4; ++i) {
        const BYTE c = b[pos + i];
        tag += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return "'" + tag + "'";
}

std::string number(std::uint64_t n) {
    return std::to_string(n);
}

// Bytes [begin, end) of the file that one part of the container occupies.
struct span {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::size_t index = 0;  // which face or table, for the message
};

bool by_range(const span& a, const span& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
}

bool starts_before(const span& a, const span& b) {
    return a.begin < b.begin;
}

bool same_range(const span& a, const span& b) {
    return a.begin == b.begin && a.end == b.end;
}

// The first pair of non-empty spans that overlap, after sorting by start.
std::optional<std::pair<span, span>> first_overlap(std::vector<span> spans) {
    std::erase_if(spans, [](const span& s) { return s.begin == s.end; });
    std::stable_sort(spans.begin(), spans.end(), starts_before);
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].begin < spans[i - 1].end) return std::pair{spans[i - 1], spans[i]};
    return std::nullopt;
}

decoded failure(std::string why) {
    return decoded{{}, std::move(why)};
}

// One directory entry of an sfnt, where it lies in the source and where it goes.
struct sfnt_entry {
    std::size_t dir_pos = 0;  // position of the entry in the source
    ULONG offset = 0;
    ULONG length = 0;
};

// Inflates `length` bytes at `offset` into exactly `size` bytes at `out`.
std::string inflate_exactly(const std::vector<BYTE>& file, ULONG offset, ULONG length, BYTE* out,
                            ULONG size) {
    uLongf produced = size;
    const int status = uncompress(out, &produced, file.data() + offset, length);
    if (status == Z_BUF_ERROR) return "inflates to more than its " + number(size) + " bytes";
    if (status == Z_MEM_ERROR) return "out of memory while inflating";
    if (status != Z_OK) return "zlib data is corrupt or cut short";
    if (produced != size)
        return "inflates to " + number(produced) + " bytes, not its " + number(size);
    return {};
}

struct woff_entry {
    std::size_t dir_pos = 0;  // position of the entry in the WOFF directory
    ULONG offset = 0;
    ULONG compLength = 0;
    ULONG origLength = 0;
    ULONG origChecksum = 0;
};

std::string check_woff_entries(const std::vector<BYTE>& file, std::vector<woff_entry>& entries,
                               std::size_t data_start) {
    std::vector<span> spans;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        woff_entry& e = entries[i];
        const std::size_t pos = kWoffHeaderSize + i * kWoffDirEntrySize;
        e.dir_pos = pos;
        e.offset = u32_at(file, pos + 4);
        e.compLength = u32_at(file, pos + 8);
        e.origLength = u32_at(file, pos + 12);
        e.origChecksum = u32_at(file, pos + 16);
        const std::string tag = "table " + tag_text(file, pos);
        if (e.compLength > e.origLength)
            return tag + ": compLength " + number(e.compLength) + " > origLength " +
                   number(e.origLength);
        if (e.origLength > kMaxDecodedTable)
            return tag + ": origLength " + number(e.origLength) + " is over the limit of " +
                   number(kMaxDecodedTable) + " bytes for a table";
        if (e.compLength < e.origLength && e.origLength / kMaxDeflateRatio > e.compLength)
            return tag + ": origLength " + number(e.origLength) +
                   " is more than zlib can inflate from compLength " + number(e.compLength);
        if (e.offset < data_start || !inside(e.offset, e.compLength, file.size()))
            return tag + " (offset " + number(e.offset) + ", " + number(e.compLength) +
                   " bytes) lies outside the file's table data";
        spans.push_back({e.offset, std::uint64_t{e.offset} + e.compLength, i});
    }
    if (auto clash = first_overlap(spans))
        return "tables " + tag_text(file, entries[clash->first.index].dir_pos) + " and " +
               tag_text(file, entries[clash->second.index].dir_pos) + " overlap";
    return {};
}

// Sizes the output from what the library reports the font will need, bounded.
class capped_woff2_output {
  public:
    explicit capped_woff2_output(std::size_t cap) : out_(&buffer_) { out_.SetMaxSize(cap); }
    woff2::WOFF2Out* sink() { return &out_; }
    std::vector<BYTE> take() {
        const std::size_t n = std::min(out_.Size(), buffer_.size());
        return std::vector<BYTE>(buffer_.begin(), buffer_.begin() + static_cast<long>(n));
    }

  private:
    std::string buffer_;
    woff2::WOFF2StringOut out_;
};

std::optional<opened_face> face_of_collection(const std::vector<BYTE>& file, std::size_t face,
                                              std::string& why) {
    auto offsets = collection_faces(file, why);
    if (!offsets) return std::nullopt;
    if (face >= offsets->size()) {
        why = "no font " + number(face) + ": the collection holds " + number(offsets->size());
        return std::nullopt;
    }
    decoded d = extract_sfnt(file, (*offsets)[face]);
    if (!d.ok()) {
        why = "font " + number(face) + ": " + d.error;
        return std::nullopt;
    }
    opened_face out;
    out.sfnt = std::move(d.bytes);
    out.container = font_container::collection;
    out.face_count = offsets->size();
    out.is_file_itself = false;
    return out;
}

}  // namespace

font_container container_of(std::span<const BYTE> file) {
    if (file.size() < 4) return font_container::unknown;
    switch (ULONG{file[0]} << 24 | ULONG{file[1]} << 16 | ULONG{file[2]} << 8 | file[3]) {
        case kTrueTypeVersion:
        case kTagTrue:
        case kTagOtto:
            return font_container::sfnt;
        case kTagTtcf:
            return font_container::collection;
        case kTagWoff:
            return font_container::woff;
        case kTagWoff2:
            return font_container::woff2;
        default:
            return font_container::unknown;
    }
}

const char* container_name(font_container kind, const std::vector<BYTE>& file) {
    switch (kind) {
        case font_container::sfnt:
            return u32_at(file, 0) == kTagOtto ? "OpenType (CFF)" : "TrueType";
        case font_container::collection:
            return "collection";
        case font_container::woff:
            return "WOFF";
        case font_container::woff2:
            return "WOFF2";
        case font_container::unknown:
            break;
    }
    return "unknown";
}

std::optional<std::vector<ULONG>> collection_faces(const std::vector<BYTE>& file,
                                                   std::string& error) {
    if (file.size() < kCollectionHeaderSize || u32_at(file, 0) != kTagTtcf) {
        error = "header is cut short";
        return std::nullopt;
    }
    const ULONG numFonts = u32_at(file, 8);
    if (numFonts == 0) {
        error = "numFonts is 0";
        return std::nullopt;
    }
    if (!inside(kCollectionHeaderSize, std::uint64_t{numFonts} * 4, file.size())) {
        error = "numFonts " + number(numFonts) + ": the offsets run past the end of the file";
        return std::nullopt;
    }
    std::vector<ULONG> offsets(numFonts);
    std::vector<span> spans{{0, kCollectionHeaderSize + std::uint64_t{numFonts} * 4, numFonts}};
    for (ULONG i = 0; i < numFonts; ++i) {
        const ULONG at = u32_at(file, kCollectionHeaderSize + 4 * std::size_t{i});
        offsets[i] = at;
        if (!inside(at, kOffsetTableSize, file.size())) {
            error =
                "font " + number(i) + ": offset " + number(at) + " lies past the end of the file";
            return std::nullopt;
        }
        const std::uint64_t dir_size = kDirectoryEntrySize * std::uint64_t{u16_at(file, at + 4)};
        if (!inside(std::uint64_t{at} + kOffsetTableSize, dir_size, file.size())) {
            error = "font " + number(i) + ": table directory runs past the end of the file";
            return std::nullopt;
        }
        spans.push_back({at, at + kOffsetTableSize + dir_size, i});
    }
    // Faces may share one offset table (and so every table): only partial overlaps clash.
    std::stable_sort(spans.begin(), spans.end(), starts_before);
    spans.erase(std::unique(spans.begin(), spans.end(), same_range), spans.end());
    if (auto clash = first_overlap(spans)) {
        auto name = [numFonts](const span& s) {
            return s.index == numFonts ? std::string("the collection header")
                                       : "font " + number(s.index);
        };
        error = "the offset table of " + name(clash->second) + " lies inside " +
                name(clash->first) + "'s";
        return std::nullopt;
    }
    return offsets;
}

decoded extract_sfnt(const std::vector<BYTE>& file, ULONG offset) {
    if (!inside(offset, kOffsetTableSize, file.size()))
        return failure("offset table lies past the end of the file");
    const std::size_t numTables = u16_at(file, offset + 4);
    const std::size_t dir_size = kOffsetTableSize + kDirectoryEntrySize * numTables;
    if (!inside(offset, dir_size, file.size()))
        return failure("table directory runs past the end of the file");

    std::vector<sfnt_entry> entries(numTables);
    std::vector<span> spans;
    for (std::size_t i = 0; i < numTables; ++i) {
        sfnt_entry& e = entries[i];
        e.dir_pos = offset + kOffsetTableSize + i * kDirectoryEntrySize;
        e.offset = u32_at(file, e.dir_pos + 8);
        e.length = u32_at(file, e.dir_pos + 12);
        if (!inside(e.offset, e.length, file.size()))
            return failure("table " + tag_text(file, e.dir_pos) + " (offset " + number(e.offset) +
                           ", " + number(e.length) + " bytes) lies past the end of the file");
        spans.push_back({e.offset, std::uint64_t{e.offset} + e.length, i});
    }
    // Entries with the same bytes share them; any other overlap is refused, so the
    // output is never larger than the file plus its directory and padding.
    std::vector<span> distinct = spans;
    std::sort(distinct.begin(), distinct.end(), by_range);
    distinct.erase(std::unique(distinct.begin(), distinct.end(), same_range), distinct.end());
    if (auto clash = first_overlap(distinct))
        return failure("tables " + tag_text(file, entries[clash->first.index].dir_pos) + " and " +
                       tag_text(file, entries[clash->second.index].dir_pos) + " overlap");

    std::uint64_t total = dir_size;
    for (const span& s : distinct) total += padded4(s.end - s.begin);
    std::vector<BYTE> out(static_cast<std::size_t>(total), 0);
    std::memcpy(out.data(), file.data() + offset, dir_size);
    std::vector<ULONG> new_offsets;
    new_offsets.reserve(distinct.size());
    std::size_t at = dir_size;
    for (const span& s : distinct) {
        const std::size_t length = static_cast<std::size_t>(s.end - s.begin);
        std::memcpy(out.data() + at, file.data() + s.begin, length);
        new_offsets.push_back(static_cast<ULONG>(at));
        at += static_cast<std::size_t>(padded4(length));
    }
    for (const sfnt_entry& e : entries) {
        // Empty tables keep no bytes; they point at the end of the directory.
        ULONG moved_to = static_cast<ULONG>(dir_size);
        if (e.length != 0) {
            const span key{e.offset, std::uint64_t{e.offset} + e.length, 0};
            auto it = std::lower_bound(distinct.begin(), distinct.end(), key, by_range);
            moved_to = new_offsets[static_cast<std::size_t>(it - distinct.begin())];
        }
        put_u32(out, e.dir_pos - offset + 8, moved_to);
    }
    return {std::move(out), {}};
}

decoded decode_woff(const std::vector<BYTE>& file) {
    // Header: signature, flavor, length, numTables, reserved, totalSfntSize,
    // majorVersion, minorVersion, then the metadata and private-data blocks (ignored).
    if (file.size() < kWoffHeaderSize) return failure("header is cut short");
    const ULONG flavor = u32_at(file, 4);
    const ULONG length = u32_at(file, 8);
    const std::size_t numTables = u16_at(file, 12);
    const ULONG totalSfntSize = u32_at(file, 16);
    if (length != file.size())
        return failure("length field says " + number(length) + " bytes, the file has " +
                       number(file.size()));
    if (numTables == 0) return failure("numTables is 0");
    const std::size_t data_start = kWoffHeaderSize + numTables * kWoffDirEntrySize;
    if (data_start > file.size()) return failure("table directory runs past the end of the file");

    std::vector<woff_entry> entries(numTables);
    if (std::string why = check_woff_entries(file, entries, data_start); !why.empty())
        return failure(why);

    const std::size_t dir_size = kOffsetTableSize + kDirectoryEntrySize * numTables;
    std::uint64_t total = dir_size;
    for (const woff_entry& e : entries) total += padded4(e.origLength);
    if (total != totalSfntSize)
        return failure("totalSfntSize says " + number(totalSfntSize) + " bytes, its tables make " +
                       number(total));
    if (total > kMaxDecodedSfnt)
        return failure("the font it holds (" + number(total) + " bytes) is too large");

    std::vector<BYTE> out(static_cast<std::size_t>(total), 0);
    put_u32(out, 0, flavor);
    put_u16(out, 4, static_cast<ULONG>(numTables));
    const ULONG selector = [&] {
        ULONG s = 0;
        while ((std::size_t{2} << s) <= numTables) ++s;
        return s;
    }();
    put_u16(out, 6, ULONG{16} << selector);
    put_u16(out, 8, selector);
    put_u16(out, 10, static_cast<ULONG>(numTables * 16 - (std::size_t{16} << selector)));

    // The tables go in the order of their data in the WOFF file, which encoders keep from
    // the original font; the directory keeps the WOFF directory's (tag) order.
    std::vector<std::size_t> order(numTables);
    for (std::size_t i = 0; i < numTables; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return entries[a].offset < entries[b].offset;
    });
    std::size_t at = dir_size;
    for (std::size_t i : order) {
        const woff_entry& e = entries[i];
        const std::size_t dir = kOffsetTableSize + i * kDirectoryEntrySize;
        std::memcpy(out.data() + dir, file.data() + e.dir_pos, 4);
        put_u32(out, dir + 4, e.origChecksum);
        put_u32(out, dir + 8, static_cast<ULONG>(at));
        put_u32(out, dir + 12, e.origLength);
        if (e.compLength == e.origLength) {
            std::memcpy(out.data() + at, file.data() + e.offset, e.origLength);
        } else if (std::string why =
                       inflate_exactly(file, e.offset, e.compLength, out.data() + at, e.origLength);
                   !why.empty()) {
            return failure("table " + tag_text(file, e.dir_pos) + ": " + why);
        }
        at += static_cast<std::size_t>(padded4(e.origLength));
    }
    return {std::move(out), {}};
}

decoded decode_woff2(const std::vector<BYTE>& file) {
    const std::size_t declared = woff2::ComputeWOFF2FinalSize(file.data(), file.size());
    if (declared == 0) return failure("header is cut short or declares an empty font");
    if (declared > kMaxDecodedSfnt)
        return failure("totalSfntSize " + number(declared) + " is too large");
    capped_woff2_output out(std::min(kMaxDecodedSfnt, 2 * declared + kWoff2Slack));
    if (!woff2::ConvertWOFF2ToTTF(file.data(), file.size(), out.sink()))
        return failure("the decoder refused it (corrupt, cut short or too large)");
    std::vector<BYTE> sfnt = out.take();
    if (sfnt.size() < kOffsetTableSize) return failure("the decoder produced no font");
    return {std::move(sfnt), {}};
}

std::optional<opened_face> open_face(std::vector<BYTE> file, std::size_t face,
                                     const std::string& path, std::string& error) {
    const font_container kind = container_of(file);
    std::string why;
    std::optional<opened_face> out;
    const char* what = "";
    try {
        switch (kind) {
            case font_container::collection:
                what = "bad collection";
                out = face_of_collection(file, face, why);
                break;
            case font_container::woff:
            case font_container::woff2: {
                what = kind == font_container::woff ? "bad WOFF file" : "bad WOFF2 file";
                decoded d = kind == font_container::woff ? decode_woff(file) : decode_woff2(file);
                if (!d.ok()) {
                    why = d.error;
                } else if (container_of(d.bytes) == font_container::collection) {
                    // WOFF2 may carry a whole collection.
                    out = face_of_collection(d.bytes, face, why);
                } else {
                    out = opened_face{std::move(d.bytes), kind, 1, false};
                }
                if (out) out->container = kind;
                break;
            }
            case font_container::sfnt:
            case font_container::unknown:
                out = opened_face{std::move(file), kind, 1, true};
                break;
        }
    } catch (const std::bad_alloc&) {
        what = "cannot decode";
        why = "out of memory";
        out.reset();
    }
    if (out && face >= out->face_count) {
        what = "no such font";
        why = "the file holds one font, numbered 0, not " + number(face);
        out.reset();
    }
    if (!out) error = path + ": " + what + ": " + why;
    return out;
}

std::string collection_notice(const std::string& path, std::size_t count) {
    return "Note: " + path + " is a collection of " + number(count) + " fonts; this is font 0, `" +
           path + " N face` loads font N (0 to " + number(count - 1) + ")\n";
}
