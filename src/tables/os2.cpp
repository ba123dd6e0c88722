// OS/2 table layout, versions 0 (78 bytes), 1 (86), 2 to 4 (96) and 5 (100):
//   0 USHORT version
//   2 SHORT  xAvgCharWidth
//   4 USHORT usWeightClass, usWidthClass
//   8 SHORT  fsType
//  10 SHORT  ySubscript{X,Y}Size, ySubscript{X,Y}Offset,
//            ySuperscript{X,Y}Size, ySuperscript{X,Y}Offset,
//            yStrikeoutSize, yStrikeoutPosition, sFamilyClass
//  32 BYTE   panose[10]
//  42 ULONG  ulCharRange[4]      (version 1: ulUnicodeRange1..4)
//  58 CHAR   achVendID[4]
//  62 USHORT fsSelection, usFirstCharIndex, usLastCharIndex
//  68 SHORT  sTypoAscender, sTypoDescender, sTypoLineGap
//  74 USHORT usWinAscent, usWinDescent
//  78 ULONG  ulCodePageRange1, ulCodePageRange2   (version 1 and later)
//  86 SHORT  sxHeight, sCapHeight                 (version 2 and later)
//  90 USHORT usDefaultChar, usBreakChar, usMaxContext
//  96 USHORT usLowerOpticalPointSize, usUpperOpticalPointSize   (version 5)
#include "tables/os2.h"

#include <cstddef>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "tables/alloc.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

using R = os2_revision;

template <class T>
T read_as(table_reader& in) {
    if constexpr (std::is_same_v<T, BYTE>) return in.u8();
    if constexpr (std::is_same_v<T, CHAR>) return in.s8();
    if constexpr (std::is_same_v<T, USHORT>) return in.u16();
    if constexpr (std::is_same_v<T, SHORT>) return in.s16();
    if constexpr (std::is_same_v<T, ULONG>) return in.u32();
}

template <auto Member>
constexpr os2_field scalar(const char* name, USHORT since = 0) {
    using T = std::remove_reference_t<decltype(std::declval<R&>().*Member)>;
    return {name,
            nullptr,
            since,
            true,
            sizeof(T),
            [](R& r, table_reader& in) { r.*Member = read_as<T>(in); },
            [](const R& r) -> long { return r.*Member; }};
}

// Entry I of an array field. The panose bytes are not listed.
template <auto Array, std::size_t I>
constexpr os2_field element(const char* name, const char* name_v1 = nullptr) {
    using T =
        std::remove_all_extents_t<std::remove_reference_t<decltype(std::declval<R&>().*Array)>>;
    return {name,
            name_v1,
            0,
            !std::is_same_v<T, BYTE>,
            sizeof(T),
            [](R& r, table_reader& in) { (r.*Array)[I] = read_as<T>(in); },
            [](const R& r) -> long { return (r.*Array)[I]; }};
}

constexpr os2_field kFields[] = {
    scalar<&R::xAvgCharWidth>("xAvgCharWidth"),
    scalar<&R::usWeightClass>("usWeightClass"),
    scalar<&R::usWidthClass>("usWidthClass"),
    scalar<&R::fsType>("fsType"),
    scalar<&R::ySubscriptXSize>("ySubscriptXSize"),
    scalar<&R::ySubscriptYSize>("ySubscriptYSize"),
    scalar<&R::ySubscriptXOffset>("ySubscriptXOffset"),
    scalar<&R::ySubscriptYOffset>("ySubscriptYOffset"),
    scalar<&R::ySuperscriptXSize>("ySuperscriptXSize"),
    scalar<&R::ySuperscriptYSize>("ySuperscriptYSize"),
    scalar<&R::ySuperscriptXOffset>("ySuperscriptXOffset"),
    scalar<&R::ySuperscriptYOffset>("ySuperscriptYOffset"),
    scalar<&R::yStrikeoutSize>("yStrikeoutSize"),
    scalar<&R::yStrikeoutPosition>("yStrikeoutPosition"),
    scalar<&R::sFamilyClass>("sFamilyClass"),
    element<&R::panose, 0>("panose[0]"),
    element<&R::panose, 1>("panose[1]"),
    element<&R::panose, 2>("panose[2]"),
    element<&R::panose, 3>("panose[3]"),
    element<&R::panose, 4>("panose[4]"),
    element<&R::panose, 5>("panose[5]"),
    element<&R::panose, 6>("panose[6]"),
    element<&R::panose, 7>("panose[7]"),
    element<&R::panose, 8>("panose[8]"),
    element<&R::panose, 9>("panose[9]"),
    element<&R::ulCharRange, 0>("ulCharRange[0]", "ulUnicodeRange1"),
    element<&R::ulCharRange, 1>("ulCharRange[1]", "ulUnicodeRange2"),
    element<&R::ulCharRange, 2>("ulCharRange[2]", "ulUnicodeRange3"),
    element<&R::ulCharRange, 3>("ulCharRange[3]", "ulUnicodeRange4"),
    element<&R::achVendID, 0>("achVendID[0]"),
    element<&R::achVendID, 1>("achVendID[1]"),
    element<&R::achVendID, 2>("achVendID[2]"),
    element<&R::achVendID, 3>("achVendID[3]"),
    scalar<&R::fsSelection>("fsSelection"),
    scalar<&R::usFirstCharIndex>("usFirstCharIndex"),
    scalar<&R::usLastCharIndex>("usLastCharIndex"),
    scalar<&R::sTypoAscender>("sTypoAscender"),
    scalar<&R::sTypoDescender>("sTypoDescender"),
    scalar<&R::sTypoLineGap>("sTypoLineGap"),
    scalar<&R::usWinAscent>("usWinAscent"),
    scalar<&R::usWinDescent>("usWinDescent"),
    scalar<&R::ulCodePageRange1>("ulCodePageRange1", 1),
    scalar<&R::ulCodePageRange2>("ulCodePageRange2", 1),
    scalar<&R::sxHeight>("sxHeight", 2),
    scalar<&R::sCapHeight>("sCapHeight", 2),
    scalar<&R::usDefaultChar>("usDefaultChar", 2),
    scalar<&R::usBreakChar>("usBreakChar", 2),
    scalar<&R::usMaxContext>("usMaxContext", 2),
    scalar<&R::usLowerOpticalPointSize>("usLowerOpticalPointSize", 5),
    scalar<&R::usUpperOpticalPointSize>("usUpperOpticalPointSize", 5),
};

void read_revision(os2_revision& r, table_reader& in) {
    for (const os2_field& f : kFields)
        if (f.since <= r.version) f.read(r, in);
}

}  // namespace

std::span<const os2_field> os2_fields() {
    return kFields;
}

ULONG os2_length_of(USHORT version) {
    if (version == 0) return kOS2Rev0Length;
    if (version == 1) return kOS2Rev1Length;
    return version < 5 ? kOS2Rev2Length : kOS2Rev5Length;
}

std::unique_ptr<os2_elab> do_os2(font_object& font) {
    table_entry* entry = find_table(font, "OS/2", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    auto os2 = new_record<os2_elab>(*font.messages);
    if (!os2) return nullptr;

    os2->version = in.u16();
    if (os2->version > kOS2LastVersion) {
        say(*font.messages, "do_os2: version %d of OS/2 table unknown\n", os2->version);
        return nullptr;
    }
    try {
        os2->v = std::make_unique<os2_revision>();
    } catch (const std::bad_alloc&) {
        return nullptr;  // no message of its own for the revision block
    }
    os2->v->version = os2->version;
    read_revision(*os2->v, in);
    return os2;
}

os2_elab* os2_table(font_object& font) {
    return elab_as<os2_elab>(font, "OS/2");
}
