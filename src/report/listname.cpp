#include "report/listname.h"

#include <cstdio>

namespace {

void put_name_byte(BYTE b, bool escape) {
    if (escape && b == ')') std::putchar('\\');
    std::putchar(b);
}

}  // namespace

void print_name_bytes(USHORT platformID, const BYTE* bytes, std::size_t length, bool escape) {
    if (!bytes) return;
    const bool two_byte_units = platformID == 0 || platformID == 3;
    if (two_byte_units) {
        for (std::size_t i = 1; i < length; i += 2) put_name_byte(bytes[i], escape);
    } else {
        for (std::size_t i = 0; i < length; ++i) put_name_byte(bytes[i], escape);
    }
}
