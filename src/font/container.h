// Font files that wrap an sfnt: TrueType/OpenType Collections, WOFF 1.0 and WOFF2.
//
// Each decoder turns the file's bytes into one standalone sfnt (offset table, table
// directory, 4-byte aligned tables), which the rest of the program reads exactly as a
// plain TrueType or OpenType file. Every count, offset and length in the container is
// checked against the file before it is used, and what a decoder may allocate is capped
// by the sizes the file declares and by kMaxDecodedSfnt (and kMaxDecodedTable), before any
// of it is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "font/types.h"

// The largest sfnt a web-font decoder produces, and the largest table a WOFF 1.0 table may
// inflate to. Web fonts are far smaller; the limits keep a small compressed file from
// claiming gigabytes (a font being written takes about twice its size again).
inline constexpr std::size_t kMaxDecodedSfnt = std::size_t{96} << 20;
inline constexpr std::size_t kMaxDecodedTable = std::size_t{64} << 20;
// zlib's deflate cannot shrink data more than this, so a table whose origLength exceeds its
// compLength this many times cannot be genuine.
inline constexpr std::size_t kMaxDeflateRatio = 1032;

enum class font_container {
    sfnt,        // 0x00010000, 'true' or 'OTTO': the file is the font
    collection,  // 'ttcf'
    woff,        // 'wOFF'
    woff2,       // 'wOF2'
    unknown,     // anything else; read as an sfnt, whose checks then complain
};

// What the first four bytes say the file is.
font_container container_of(std::span<const BYTE> file);
// "TrueType", "OpenType (CFF)", "collection", "WOFF", "WOFF2" or "unknown".
const char* container_name(font_container kind, const std::vector<BYTE>& file);

// A decoder's answer: the bytes, or (when error is set) a one-line reason without the
// file name.
struct decoded {
    std::vector<BYTE> bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The offset of each font's offset table in a collection, from its header:
// 'ttcf', majorVersion, minorVersion, numFonts, tableDirectoryOffsets[numFonts]. Refused
// when the header, any offset table or its directory lies outside the file, or when one
// font's offset table and directory overlap the header or another font's.
std::optional<std::vector<ULONG>> collection_faces(const std::vector<BYTE>& file,
                                                   std::string& error);

// The font whose offset table starts at `offset`, as a standalone sfnt: its offset table
// and directory as stored, then each table's bytes in the order they lie in the file,
// 4-byte aligned, with the directory's offsets rewritten (checksums are kept as stored;
// entries that share bytes keep sharing them). A table outside the file is refused.
decoded extract_sfnt(const std::vector<BYTE>& file, ULONG offset);

// WOFF 1.0: the sfnt it carries, through zlib. Refused: a header or directory outside
// the file, a length field that is not the file's size, tables outside the file or
// overlapping each other, compLength > origLength, an origLength over kMaxDecodedTable or
// more than deflate can reach from compLength, zlib data that is corrupt or inflates to any
// size but origLength, and a totalSfntSize that is not the size of the sfnt the directory
// describes (or exceeds kMaxDecodedSfnt).
decoded decode_woff(const std::vector<BYTE>& file);

// WOFF2: the sfnt or collection it carries, through libwoff2, which rebuilds the
// transformed glyf and loca tables and recomputes the checksums. The output may not
// exceed twice the declared totalSfntSize plus 1 MiB, nor kMaxDecodedSfnt.
decoded decode_woff2(const std::vector<BYTE>& file);

// One font of a file, ready for the sfnt reader.
struct opened_face {
    std::vector<BYTE> sfnt;
    font_container container = font_container::sfnt;
    std::size_t face_count = 1;  // fonts in the file (a collection, or a WOFF2 of one)
    // The sfnt is the file itself, unchanged, so its whole-file checksum says something
    // about the file. A collection face or a WOFF's sfnt is laid out here, and the sums
    // its tables and head were made for need not hold for that layout.
    bool is_file_itself = true;
};

// Font `face` (from 0) of a file's bytes, whatever the container. A single font has only
// face 0. On failure: nothing, and error holds one line naming path, e.g.
// "fonts/x.woff: bad WOFF file: table 'glyf' inflates to more than its 1234 bytes".
std::optional<opened_face> open_face(std::vector<BYTE> file, std::size_t face,
                                     const std::string& path, std::string& error);

// The message `font` gives when it loads the first font of
// a collection of `count` fonts (newline included).
std::string collection_notice(const std::string& path, std::size_t count);
