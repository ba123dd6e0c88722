// The constants of the sfnt wrapper: the sizes of the offset table and of a directory
// entry, the versions and tags that begin a font, a collection or a web font, and the
// checksum the whole file sums to.
#pragma once

#include <cstddef>

#include "font/types.h"

inline constexpr std::size_t kOffsetTableSize = 12;
inline constexpr std::size_t kDirectoryEntrySize = 16;

inline constexpr ULONG kTrueTypeVersion = 0x00010000;
inline constexpr ULONG kTagTrue = 0x74727565;   // 'true': TrueType (Apple)
inline constexpr ULONG kTagOtto = 0x4F54544F;   // 'OTTO': OpenType with CFF outlines
inline constexpr ULONG kTagTtcf = 0x74746366;   // 'ttcf': a collection
inline constexpr ULONG kTagWoff = 0x774F4646;   // 'wOFF'
inline constexpr ULONG kTagWoff2 = 0x774F4632;  // 'wOF2'

// head's checkSumAdjustment makes the whole file sum to this.
inline constexpr ULONG kChecksumMagic = 0xB1B0AFBA;
