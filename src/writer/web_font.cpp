#include "writer/web_font.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>
#include <woff2/encode.h>
#include <zlib.h>

namespace {

constexpr ULONG kWoffSignature = 0x774F4646;  // 'wOFF'
constexpr std::size_t kSfntHeaderSize = 12;
constexpr std::size_t kSfntRecordSize = 16;
constexpr std::size_t kWoffHeaderSize = 44;
constexpr std::size_t kWoffRecordSize = 20;
constexpr std::uint64_t kMaxWoffSize = 0xFFFFFFFFull;

ULONG read_u32(const std::vector<BYTE>& b, std::size_t at) {
    return static_cast<ULONG>(b[at]) << 24 | static_cast<ULONG>(b[at + 1]) << 16 |
           static_cast<ULONG>(b[at + 2]) << 8 | b[at + 3];
}
USHORT read_u16(const std::vector<BYTE>& b, std::size_t at) {
    return static_cast<USHORT>(b[at] << 8 | b[at + 1]);
}
void put_u32(std::vector<BYTE>& b, ULONG v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<BYTE>(v >> shift));
}
void put_u16(std::vector<BYTE>& b, USHORT v) {
    b.push_back(static_cast<BYTE>(v >> 8));
    b.push_back(static_cast<BYTE>(v));
}
std::size_t round4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

// One table of the sfnt, as its directory gives it.
struct sfnt_table {
    ULONG tag = 0, checkSum = 0, offset = 0, length = 0;
};

// The directory of an sfnt whose tables all lie inside it; nothing when one does not.
std::optional<std::vector<sfnt_table>> sfnt_directory(const std::vector<BYTE>& sfnt) {
    if (sfnt.size() < kSfntHeaderSize) return std::nullopt;
    const USHORT count = read_u16(sfnt, 4);
    if ((sfnt.size() - kSfntHeaderSize) / kSfntRecordSize < count) return std::nullopt;
    std::vector<sfnt_table> tables(count);
    for (USHORT i = 0; i < count; ++i) {
        const std::size_t at = kSfntHeaderSize + kSfntRecordSize * i;
        sfnt_table& t = tables[i];
        t = {read_u32(sfnt, at), read_u32(sfnt, at + 4), read_u32(sfnt, at + 8),
             read_u32(sfnt, at + 12)};
        if (t.offset > sfnt.size() || t.length > sfnt.size() - t.offset) return std::nullopt;
    }
    return tables;
}

const sfnt_table* table_tagged(const std::vector<sfnt_table>& tables, const char* tag) {
    ULONG want = 0;
    for (int i = 0; i < 4; ++i) want = want << 8 | static_cast<BYTE>(tag[i]);
    for (const sfnt_table& t : tables)
        if (t.tag == want) return &t;
    return nullptr;
}

// The table's bytes as zlib stores them, or as they are when that is no smaller.
std::vector<BYTE> woff_table_data(const BYTE* data, ULONG length) {
    uLongf packed_length = compressBound(length);
    std::vector<BYTE> packed(packed_length);
    if (compress2(packed.data(), &packed_length, data, length, Z_BEST_COMPRESSION) == Z_OK &&
        packed_length < length) {
        packed.resize(packed_length);
        return packed;
    }
    return std::vector<BYTE>(data, data + length);
}

struct woff_entry {
    ULONG tag = 0, offset = 0, compLength = 0, origLength = 0, origChecksum = 0;
};

void write_woff_header(std::vector<BYTE>& out, const std::vector<BYTE>& sfnt,
                       const std::vector<sfnt_table>& tables, std::size_t total_sfnt_size) {
    const sfnt_table* head = table_tagged(tables, "head");
    const bool has_revision = head && head->length >= 8;
    put_u32(out, kWoffSignature);
    put_u32(out, read_u32(sfnt, 0));  // flavor: the sfnt version
    put_u32(out, 0);                  // length, set when the file is complete
    put_u16(out, static_cast<USHORT>(tables.size()));
    put_u16(out, 0);  // reserved
    put_u32(out, static_cast<ULONG>(total_sfnt_size));
    // The font's version: head's fontRevision, as WOFF2 writers give it.
    put_u16(out, has_revision ? read_u16(sfnt, head->offset + 4) : 0);
    put_u16(out, has_revision ? read_u16(sfnt, head->offset + 6) : 0);
    for (int i = 0; i < 5; ++i) put_u32(out, 0);  // no metadata, no private data
}

void patch_u32(std::vector<BYTE>& b, std::size_t at, ULONG v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (24 - 8 * i));
}

// What a library prints on the standard error stream while the object lives, caught in an
// anonymous file instead. Debian's libwoff2 reports its progress ("Compressed 61990 to
// 29473.") and its reasons for refusing a font there.
class caught_stderr {
  public:
    caught_stderr() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = file_ ? dup(STDERR_FILENO) : -1;
        if (saved_ >= 0 && dup2(fileno(file_), STDERR_FILENO) < 0) restore();
    }
    caught_stderr(const caught_stderr&) = delete;
    caught_stderr& operator=(const caught_stderr&) = delete;
    ~caught_stderr() {
        restore();
        if (file_) std::fclose(file_);
    }

    // The lines caught, without the progress reports, joined by "; ".
    std::string reasons() {
        restore();
        std::string text;
        if (!file_) return text;
        std::rewind(file_);
        char line[256];
        while (std::fgets(line, sizeof line, file_)) {
            std::string_view l(line);
            while (!l.empty() && (l.back() == '\n' || l.back() == '.')) l.remove_suffix(1);
            if (l.empty() || l.starts_with("Compressed ")) continue;
            if (!text.empty()) text += "; ";
            text += l;
        }
        return text;
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }

    std::FILE* file_;
    int saved_ = -1;
};

bool refuse(const char* output_name, const char* why, message_sink& messages) {
    say(messages, "gen: %s: %s\n", output_name, why);
    return false;
}

}  // namespace

bool has_suffix(std::string_view path, std::string_view lower_suffix) {
    if (path.size() < lower_suffix.size()) return false;
    return std::equal(
        lower_suffix.begin(), lower_suffix.end(), path.end() - lower_suffix.size(),
        [](char want, char c) { return std::tolower(static_cast<unsigned char>(c)) == want; });
}

output_container container_for_path(std::string_view path) {
    if (has_suffix(path, ".woff2")) return output_container::woff2;
    if (has_suffix(path, ".woff")) return output_container::woff;
    return output_container::sfnt;
}

std::optional<std::vector<BYTE>> encode_woff(const std::vector<BYTE>& sfnt, const char* output_name,
                                             message_sink& messages) {
    std::optional<std::vector<sfnt_table>> tables = sfnt_directory(sfnt);
    if (!tables) {
        refuse(output_name, "cannot write WOFF: a table lies outside the font", messages);
        return std::nullopt;
    }
    std::size_t total_sfnt_size = kSfntHeaderSize + kSfntRecordSize * tables->size();
    for (const sfnt_table& t : *tables) total_sfnt_size += round4(t.length);

    std::vector<BYTE> out;
    out.reserve(kWoffHeaderSize + kWoffRecordSize * tables->size() + sfnt.size());
    write_woff_header(out, sfnt, *tables, total_sfnt_size);
    const std::size_t directory_at = out.size();
    out.resize(directory_at + kWoffRecordSize * tables->size());
    // The data keeps the sfnt's order; the directory is sorted by tag, as WOFF asks.
    std::vector<woff_entry> entries;
    for (const sfnt_table& t : *tables) {
        const std::vector<BYTE> data = woff_table_data(sfnt.data() + t.offset, t.length);
        entries.push_back({t.tag, static_cast<ULONG>(out.size()), static_cast<ULONG>(data.size()),
                           t.length, t.checkSum});
        out.insert(out.end(), data.begin(), data.end());
        out.resize(round4(out.size()), 0);
        if (out.size() > kMaxWoffSize) {
            refuse(output_name, "cannot write WOFF: the file would exceed 4 GB", messages);
            return std::nullopt;
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const woff_entry& a, const woff_entry& b) { return a.tag < b.tag; });
    std::size_t at = directory_at;
    for (const woff_entry& e : entries) {
        for (ULONG v : {e.tag, e.offset, e.compLength, e.origLength, e.origChecksum}) {
            patch_u32(out, at, v);
            at += 4;
        }
    }
    patch_u32(out, 8, static_cast<ULONG>(out.size()));
    return out;
}

std::optional<std::vector<BYTE>> encode_woff2(const std::vector<BYTE>& sfnt,
                                              const char* output_name, message_sink& messages) {
    std::optional<std::vector<sfnt_table>> tables = sfnt_directory(sfnt);
    if (tables && table_tagged(*tables, "DSIG"))
        say(messages,
            "gen: warning: %s: the DSIG table is left out (WOFF2 re-encodes the "
            "glyphs, and a signature would no longer match)\n",
            output_name);
    std::size_t length = woff2::MaxWOFF2CompressedSize(sfnt.data(), sfnt.size());
    std::vector<BYTE> out(length);
    caught_stderr library_messages;
    const bool converted = woff2::ConvertTTFToWOFF2(sfnt.data(), sfnt.size(), out.data(), &length);
    const std::string reasons = library_messages.reasons();
    if (!converted) {
        say(messages, "gen: %s: cannot write WOFF2: libwoff2 refuses the font%s%s%s\n", output_name,
            reasons.empty() ? "" : " (", reasons.c_str(), reasons.empty() ? "" : ")");
        return std::nullopt;
    }
    out.resize(length);
    return out;
}

std::optional<std::vector<BYTE>> in_container_for(const char* path, std::vector<BYTE> sfnt,
                                                  message_sink& messages) {
    switch (container_for_path(path)) {
        case output_container::woff:
            return encode_woff(sfnt, path, messages);
        case output_container::woff2:
            return encode_woff2(sfnt, path, messages);
        case output_container::sfnt:
            break;
    }
    return sfnt;
}
