// A cmap subtable of a format no type here reads: kept as its stored bytes (its length,
// cut at the end of the table), written back unchanged, mapping nothing. Formats 8 and 10
// carry a 32-bit length at offset 4, format 14 one at offset 2, the others a 16-bit one
// at offset 2.
#pragma once

#include <vector>

#include "tables/cmap.h"
#include "tables/cmap_support.h"

class cmap_kept : public cmap_subtable {
  public:
    ULONG length32 = 0;  // the stored length
    std::vector<BYTE> stored;

    // Without bytes: a stub of format, length 6 and language.
    unsigned long byte_length() const override { return stored.empty() ? 6 : stored.size(); }
    bool short_length() const override { return false; }
    void write(mem_stream& out, unsigned long length) const override;
    void list() const override;
    bool maps_codes() const override { return false; }

  protected:
    USHORT lookup(ULONG code) const override;
};

std::unique_ptr<cmap_subtable> read_cmap_kept(table_reader& in, const cmap_read_context& context);

// Reads the bytes of a kept subtable into sub, for the types that keep their bytes and
// read them as well (formats 2 and 14).
void read_kept_bytes(table_reader& in, const cmap_read_context& context, cmap_kept& sub);
