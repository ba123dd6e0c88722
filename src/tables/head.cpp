// head table layout (54 bytes):
//   0 Fixed  version             1.0
//   4 Fixed  fontRevision
//   8 ULONG  checkSumAdjustment
//  12 ULONG  magicNumber
//  16 USHORT flags
//  18 USHORT unitsPerEm
//  20 8 bytes created, 28 8 bytes modified (seconds since 1904, kept as raw bytes)
//  36 SHORT  xMin, yMin, xMax, yMax
//  44 USHORT macStyle, lowestRecPPEM
//  48 SHORT  fontDirectionHint, indexToLocFormat, glyphDataFormat
#include "tables/head.h"

#include <cstdio>

#include "tables/alloc.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {
constexpr LONG kVersion1 = 0x00010000;
}

void check_head_magic(font_object& font) {
    const table_entry* head = find_table(font, "head", 1);
    if (!head) return;
    mem_stream& s = font.in_stream;
    s.seek(static_cast<long>(head->offset));
    read_ulong(s);  // version
    read_ulong(s);  // fontRevision
    read_ulong(s);  // checkSumAdjustment
    if (read_ulong(s) != kHeadMagicNumber)
        say(*font.messages, "Warning: \"%s\" does not contain TrueType 1.0 magic number\n",
            font.font_path.c_str());
}

std::unique_ptr<head_elab> do_head(font_object& font) {
    table_entry* entry = find_table(font, "head", 1);
    if (!entry) return nullptr;
    table_reader in(font, *entry);
    auto head = new_record<head_elab>(*font.messages);
    if (!head) return nullptr;

    head->version = in.s32();
    if (head->version != kVersion1) {
        say(*font.messages, "do_head: version 0x%08lx of head table unknown\n",
            static_cast<unsigned long>(static_cast<ULONG>(head->version)));
        return nullptr;
    }
    head->fontRevision = in.s32();
    head->checkSumAdjustment = in.u32();
    head->magicNumber = in.u32();
    head->flags = in.u16();
    head->unitsPerEm = in.u16();
    in.read(head->created, sizeof head->created);
    in.read(head->modified, sizeof head->modified);
    head->xMin = in.s16();
    head->yMin = in.s16();
    head->xMax = in.s16();
    head->yMax = in.s16();
    head->macStyle = in.u16();
    head->lowestRecPPEM = in.u16();
    head->fontDirectionHint = in.s16();
    head->indexToLocFormat = in.s16();
    head->glyphDataFormat = in.s16();
    return head;
}

head_elab* head_table(font_object& font) {
    return elab_as<head_elab>(font, "head");
}
