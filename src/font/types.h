// Integer types of font data, with the TrueType names.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using CHAR = std::int8_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
