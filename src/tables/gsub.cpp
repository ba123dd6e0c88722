// GSUB layout (big-endian; the header and the script, feature and lookup lists are those of
// GPOS, see gpos.cpp; every Offset16 counts from the start of the structure that holds it,
// the Offset32 of an extension from the extension subtable):
//   header         0 USHORT majorVersion (1), 2 USHORT minorVersion (0 or 1),
//                  4 Offset16 scriptListOffset, 6 featureListOffset, 8 lookupListOffset
//   LigatureSubst  USHORT substFormat (1), Offset16 coverage, USHORT ligatureSetCount,
//                  Offset16 ligatureSets[ligatureSetCount] (by coverage index)
//   LigatureSet    USHORT ligatureCount, Offset16 ligatures[ligatureCount]
//   Ligature       USHORT ligatureGlyph, USHORT componentCount,
//                  USHORT componentGlyphIDs[componentCount - 1] (the glyphs after the first)
//   Extension      USHORT substFormat (1), USHORT extensionLookupType, Offset32 offset
#include "tables/gsub.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

constexpr USHORT kLigatureSubstitution = 4;
constexpr USHORT kExtension = 7;
constexpr BYTE kLigaTag[4] = {'l', 'i', 'g', 'a'};

bool fits(const table_reader& r, std::size_t at, std::size_t count, std::size_t unit) {
    return at <= r.size() && count <= (r.size() - at) / unit;
}

// Reads the ligature subtables of the liga lookups. Work is limited to a multiple of the
// table's size, so a small hostile table that shares its ligature sets among many coverage
// entries cannot make it run for long.
class ligature_reader {
  public:
    ligature_reader(table_reader r, std::size_t glyphs)
        : r_(r), glyphs_(glyphs), budget_(16 * r.size()) {}

    void lookup(std::size_t index, const gpos_lookup& lookup, std::vector<gsub_ligature>& out) {
        for (std::size_t k = 0; k < lookup.subtables.size() && !stopped_; ++k) {
            const std::size_t mark = out.size();
            if (const char* bad = subtable(lookup, lookup.subtables[k], out)) {
                out.resize(mark);
                say(r_.messages(), "gsub_ligatures: lookup %zu subtable %zu: %s, skipped\n", index,
                    k, bad);
            }
        }
    }

  private:
    bool charge(std::size_t units) {
        if (!stopped_ && units <= budget_) {
            budget_ -= units;
            return true;
        }
        if (!stopped_)
            say(r_.messages(),
                "gsub_ligatures: the liga lookups take more work than the table's size "
                "allows, the rest left out\n");
        stopped_ = true;
        return false;
    }

    const char* subtable(const gpos_lookup& lookup, std::size_t at,
                         std::vector<gsub_ligature>& out) {
        if (!charge(1)) return nullptr;
        if (lookup.lookupType == kExtension) {
            r_.seek(at + 2);
            const USHORT type = r_.u16();
            const std::size_t target = at + r_.u32();
            if (type == kExtension) return "extension of an extension";
            if (type != kLigatureSubstitution) return nullptr;  // not a ligature lookup
            at = target;
        }
        if (!fits(r_, at, 6, 1)) return "offset past the table";
        r_.seek(at);
        if (r_.u16() != 1) return "unknown ligature substitution format";
        const USHORT coverageOffset = r_.u16();
        const USHORT ligatureSetCount = r_.u16();
        if (!fits(r_, at + 6, ligatureSetCount, 2)) return "ligature sets past the table";
        if (const char* bad = read_coverage(
                r_, at + coverageOffset, glyphs_, [this](std::size_t n) { return charge(n); },
                firsts_))
            return bad;
        for (const covered_glyph& first : firsts_) {
            if (stopped_) return nullptr;
            if (first.index >= ligatureSetCount) return "coverage index past the ligature sets";
            r_.seek(at + 6 + 2 * first.index);
            if (const char* bad = ligature_set(at + r_.u16(), first.glyph, out)) return bad;
        }
        return nullptr;
    }

    // The two-glyph ligatures of one set; longer ones are passed over.
    const char* ligature_set(std::size_t set, USHORT first, std::vector<gsub_ligature>& out) {
        r_.seek(set);
        const USHORT ligatureCount = r_.u16();
        if (!fits(r_, set + 2, ligatureCount, 2)) return "ligature set past the table";
        if (!charge(ligatureCount)) return nullptr;
        for (std::size_t i = 0; i < ligatureCount; ++i) {
            r_.seek(set + 2 + 2 * i);
            const std::size_t at = set + r_.u16();
            if (!fits(r_, at, 4, 1)) return "ligature past the table";
            r_.seek(at);
            const USHORT ligatureGlyph = r_.u16();
            const USHORT componentCount = r_.u16();
            if (componentCount != 2) continue;
            if (!fits(r_, at + 4, 1, 2)) return "ligature past the table";
            const USHORT second = r_.u16();
            if (second < glyphs_ && ligatureGlyph < glyphs_)
                out.push_back({first, second, ligatureGlyph});
        }
        return nullptr;
    }

    table_reader r_;
    std::size_t glyphs_;
    std::size_t budget_;
    bool stopped_ = false;
    std::vector<covered_glyph> firsts_;
};

// Keeps the first ligature of each (first, second) pair, ordered by the pair.
void first_of_each_pair(std::vector<gsub_ligature>& ligatures) {
    auto by_pair = [](const gsub_ligature& a, const gsub_ligature& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    };
    std::stable_sort(ligatures.begin(), ligatures.end(), by_pair);
    ligatures.erase(std::unique(ligatures.begin(), ligatures.end(),
                                [](const gsub_ligature& a, const gsub_ligature& b) {
                                    return a.first == b.first && a.second == b.second;
                                }),
                    ligatures.end());
}

std::unique_ptr<std::vector<gsub_ligature>> compute_ligatures(font_object& font,
                                                              const gsub_elab& gsub) {
    auto ligatures = std::make_unique<std::vector<gsub_ligature>>();
    const table_entry* entry = find_table(font, "GSUB", 0);
    const table_entry* maxp_entry = find_table(font, "maxp", 0);
    if (!entry || !maxp_entry || !maxp_entry->ElabPtr) return ligatures;
    const std::size_t glyphs = static_cast<const maxp_elab&>(*maxp_entry->ElabPtr).numGlyphs;
    ligature_reader reader(table_reader(font, *entry), glyphs);
    for (USHORT index : feature_lookups(gsub, kLigaTag, "gsub_ligatures")) {
        const gpos_lookup& lookup = gsub.lookups[index];
        if (lookup.lookupType == kLigatureSubstitution || lookup.lookupType == kExtension)
            reader.lookup(index, lookup, *ligatures);
    }
    first_of_each_pair(*ligatures);
    return ligatures;
}

}  // namespace

std::unique_ptr<gsub_elab> do_gsub(font_object& font) {
    table_entry* entry = find_table(font, "GSUB", 0);
    if (!entry) return nullptr;
    auto gsub = std::make_unique<gsub_elab>();
    table_reader r(font, *entry);
    // Another version is kept without lists, so it is not parsed again.
    read_layout_table(r, *gsub, gsub->majorVersion, gsub->minorVersion, "do_gsub", "GSUB");
    return gsub;
}

gsub_elab* gsub_table(font_object& font) {
    return static_cast<gsub_elab*>(load_elab_table(font, "GSUB", 0));
}

const std::vector<gsub_ligature>& gsub_ligatures(font_object& font) {
    static const std::vector<gsub_ligature> kNone;
    gsub_elab* gsub = gsub_table(font);
    if (!gsub) return kNone;
    // An allocation failure reaches the command, which fails: no ligatures are made up.
    if (!gsub->ligatures) gsub->ligatures = compute_ligatures(font, *gsub);
    return *gsub->ligatures;
}
