#include "report/list.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "font/font.h"
#include "report/gpos_summary.h"
#include "report/listname.h"
#include "tables/cmap.h"
#include "tables/head.h"
#include "tables/hhea.h"
#include "tables/hmtx.h"
#include "tables/kern.h"
#include "tables/maxp.h"
#include "tables/name.h"
#include "tables/name_text.h"
#include "tables/naming.h"
#include "tables/os2.h"
#include "tables/post.h"

namespace {

const char kDashLine[] = "---------------------------------------------------\n";
const char kEqualsLine[] = "===================================\n";

// Out-of-range entries of a record's array read as zero.
template <class T>
T value_at(const std::vector<T>& values, std::size_t i) {
    return i < values.size() ? values[i] : T{};
}

void say_missing(const font_object& font, const char* what) {
    say(*font.messages, "do_list: no %s table in font\n", what);
}

void list_directory(const font_object& font, display_ids& ids) {
    const USHORT count = font.otable->numTables;
    std::printf("Font contains %d table%s:\n", count, count == 1 ? "" : "s");
    std::printf("%s", kDashLine);
    std::printf("Name  Checksum   Offset   Length Elab Ptr ImportPtr\n");
    std::printf("%s", kDashLine);
    if (font.table_dir.empty()) {
        say(*font.messages, "list: no table data\n");
    }
    for (const table_entry& entry : font.table_dir) {
        std::printf("%4s 0x%08lx %8lu %8lu %08lX %08lX\n", entry.tag,
                    static_cast<unsigned long>(entry.checkSum),
                    static_cast<unsigned long>(entry.offset),
                    static_cast<unsigned long>(entry.length), ids.of(entry.ElabPtr.get()),
                    ids.of(entry.ImportPtr.get()));
    }
    std::printf("%s\n", kDashLine);
}

// The string as UTF-8 on one line, as the AFM writer gives it, so that the report stays
// text whatever the font holds.
void print_name_text(const name_record& record) {
    const std::size_t length = std::min<std::size_t>(record.length, record.string.size());
    const std::string text = name_text_one_line(
        record.platformID, reinterpret_cast<const BYTE*>(record.string.data()), length);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void list_names(const name_elab& name) {
    bool first = true;
    for (const name_record& record : name.records) {
        if (first) std::printf("%s", kEqualsLine);
        first = false;
        std::printf("Name %u %u 0x%04x %u:\n", record.platformID, record.encodingID,
                    record.languageID, record.nameID);
        print_platform_name(record.platformID);
        std::printf(" %s", encoding_name(record.platformID, record.encodingID));
        std::printf(" (%s)\n", language_name(record.platformID, record.languageID).c_str());
        print_name_id(record.nameID);
        std::printf(" = \"");
        print_name_text(record);
        std::printf("\"\n%s", kEqualsLine);
    }
}

void list_cmap(const cmap_elab& cmap) {
    const std::size_t slots = std::min<std::size_t>(cmap.numTables, cmap.subtables.size());
    for (std::size_t i = 0; i < slots; ++i) list_cmap_subtable(cmap.subtables[i].get());
}

void list_hhea(const hhea_elab& hhea) {
    std::printf("Horizontal header (hhea) information:\n");
    std::printf("  Ascender = %d FUnits\n", hhea.ascender);
    std::printf("  Descender = %d FUnits\n", hhea.descender);
    std::printf("  LineGap = %d FUnits\n", hhea.lineGap);
    std::printf("  Max Advance Width = %u FUnits\n", hhea.advanceWidthMax);
    std::printf("  Min Left Sidebearing = %d FUnits\n", hhea.minLeftSideBearing);
    std::printf("  Min Right Sidebearing = %d FUnits\n", hhea.minRightSideBearing);
    std::printf("  Max X Extent = %d FUnits\n", hhea.xMaxExtent);
    std::printf("  Cursor slope = %d/%d\n", hhea.caretSlopeRise, hhea.caretSlopeRun);
    std::printf("  Nr of Horz Metrics = %d\n", hhea.numberOfHMetrics);
}

void list_maxp(const maxp_elab& maxp) {
    const struct {
        const char* name;
        USHORT value;
    } fields[] = {
        {"numGlyphs", maxp.numGlyphs},
        {"maxPoints", maxp.maxPoints},
        {"maxContours", maxp.maxContours},
        {"maxCompositePoints", maxp.maxCompositePoints},
        {"maxCompositeContours", maxp.maxCompositeContours},
        {"maxZones", maxp.maxZones},
        {"maxTwilightPoints", maxp.maxTwilightPoints},
        {"maxStorage", maxp.maxStorage},
        {"maxFunctionDefs", maxp.maxFunctionDefs},
        {"maxInstructionDefs", maxp.maxInstructionDefs},
        {"maxStackElements", maxp.maxStackElements},
        {"maxSizeOfInstructions", maxp.maxSizeOfInstructions},
        {"maxComponentElements", maxp.maxComponentElements},
        {"maxComponentDepth", maxp.maxComponentDepth},
    };
    std::printf("Maximum profile (maxp) information:\n");
    for (const auto& field : fields) std::printf("  %s = %d\n", field.name, field.value);
}

// One OS/2 field: its value as a signed decimal and as the 8 hex digits of its 32-bit
// form. Callers pass the field in its own type, so signed fields are sign-extended and
// unsigned ones zero-extended.
void os2_line(USHORT revision, const char* field, long value) {
    std::printf("os2->v.rev%u->%s = %ld = 0x%08lx\n", revision, field, value,
                static_cast<unsigned long>(value) & 0xFFFFFFFFUL);
}

// The version, then the fields of its revision but the panose bytes.
void list_os2(const os2_elab& os2) {
    const os2_revision* v = os2.v.get();
    if (!v || os2.version > kOS2LastVersion) return;
    const USHORT rev = os2.version;
    os2_line(rev, "version", v->version);
    for (const os2_field& f : os2_fields()) {
        if (f.since > rev || !f.listed) continue;
        os2_line(rev, rev >= 1 && f.name_v1 ? f.name_v1 : f.name, f.value(*v));
    }
}

// One line per glyph of maxp's count; the record holds one entry per glyph counted when
// it was parsed, and any glyph beyond that shows zeros.
void list_hmtx(const hmtx_elab& hmtx, const maxp_elab& maxp, const hhea_elab& hhea) {
    std::printf("Horizontal metrics (GlyphIndex: advanceWidth leftSideBearing):\n");
    std::printf("  maxp->numGlyphs=%d hhea->numberOfHMetrics=%d\n", maxp.numGlyphs,
                hhea.numberOfHMetrics);
    for (int i = 0; i < maxp.numGlyphs; ++i) {
        const long_hor_metric m = value_at(hmtx.hMetrics, static_cast<std::size_t>(i));
        std::printf("  %3d: %4u %4d\n", i, m.advanceWidth, m.lsb);
    }
}

void print_date(const char* label, const BYTE (&date)[8]) {
    std::printf("  %s", label);
    for (BYTE b : date) std::printf(" %02x", b);
    std::printf("\n");
}

void list_head(const head_elab& head) {
    std::printf("Font header:\n");
    std::printf("  fontRevision 0x%04lx\n",
                static_cast<unsigned long>(static_cast<ULONG>(head.fontRevision)));
    std::printf("  checkSumAdjustment 0x%08lx\n",
                static_cast<unsigned long>(head.checkSumAdjustment));
    std::printf("  magicNumber 0x%08lx\n", static_cast<unsigned long>(head.magicNumber));
    // The flags are printed in decimal behind a "0x": flags 11 read 0x0011.
    std::printf("  flags 0x%04u\n", head.flags);
    std::printf("  unitsPerEm %u\n", head.unitsPerEm);
    print_date("DateTimeCreated", head.created);
    print_date("DateTimeModified", head.modified);
    std::printf("  xMin %d\n", head.xMin);
    std::printf("  yMin %d\n", head.yMin);
    std::printf("  xMax %d\n", head.xMax);
    std::printf("  yMax %d\n", head.yMax);
    std::printf("  macStyle %u\n", head.macStyle);
    std::printf("  lowestRecPPEM %u\n", head.lowestRecPPEM);
    std::printf("  fontDirectionHint %d\n", head.fontDirectionHint);
    std::printf("  indexToLocFormat %d\n", head.indexToLocFormat);
    std::printf("  glyphDataFormat %d\n", head.glyphDataFormat);
}

void list_kern(font_object& font) {
    const kern_elab* kern = kern_table(font);
    if (!kern) {
        std::printf("No (optional) kerning tables in font.\n");
        return;
    }
    std::printf("Kerning: %ld subtable%s, version %ld\n", static_cast<long>(kern->nTables),
                kern->nTables == 1 ? "" : "s", static_cast<long>(kern->version));
}

}  // namespace

void list_cmap_subtable(const cmap_subtable* subtable) {
    if (!subtable) return;
    const cmap_subtable& st = *subtable;
    std::printf("cmap subtable %u.%u (", st.platformID, st.encodingID);
    print_platform_name(st.platformID);
    std::printf(" %s", encoding_name(st.platformID, st.encodingID));
    std::printf(")\n");
    st.list();
    std::printf("%s", kEqualsLine);
}

unsigned long display_ids::of(const void* block) {
    if (!block) return 0;
    auto [it, inserted] = ids_.try_emplace(block, ids_.size() + 1);
    return it->second & 0xFFFFFFFFUL;
}

int do_list(font_object& font, display_ids& ids) {
    if (!font.font_path.empty()) std::printf("Font file: %s\n", font.font_path.c_str());
    if (font.otable) list_directory(font, ids);

    // Of post only its presence matters.
    const post_elab* post = post_table(font);
    if (!post) say_missing(font, "post");
    const name_elab* name = name_table(font);
    if (!name) say_missing(font, "name");
    const cmap_elab* cmap = cmap_table(font);
    if (!cmap) say_missing(font, "cmap");
    const hhea_elab* hhea = hhea_table(font);
    if (!hhea) say_missing(font, "hhea");
    const maxp_elab* maxp = maxp_table(font);
    if (!maxp) say_missing(font, "maxp");
    const os2_elab* os2 = os2_table(font);
    if (!os2) say_missing(font, "os2");

    if (name) list_names(*name);
    if (cmap) list_cmap(*cmap);
    if (hhea) list_hhea(*hhea);
    if (maxp) list_maxp(*maxp);
    if (os2) list_os2(*os2);
    if (hhea && maxp) {
        const hmtx_elab* hmtx = hmtx_table(font);
        if (hmtx)
            list_hmtx(*hmtx, *maxp, *hhea);
        else
            say_missing(font, "hmtx");
    }
    const head_elab* head = head_table(font);
    if (head)
        list_head(*head);
    else
        say_missing(font, "head");
    list_kern(font);
    list_gpos_kerning(font);
    std::fflush(stdout);
    return 0;
}
