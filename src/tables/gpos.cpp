// GPOS layout (big-endian; every Offset16 counts from the start of the structure that holds
// it, the Offset32 of an extension from the extension subtable):
//   header   0 USHORT majorVersion (1), 2 USHORT minorVersion (0 or 1),
//            4 Offset16 scriptListOffset, 6 featureListOffset, 8 lookupListOffset
//   ScriptList   USHORT scriptCount, {Tag, Offset16 script}[scriptCount]
//   Script       Offset16 defaultLangSys (0: none), USHORT langSysCount,
//                {Tag, Offset16 langSys}[langSysCount]
//   LangSys      Offset16 lookupOrder (reserved), USHORT requiredFeatureIndex (0xFFFF: none),
//                USHORT featureIndexCount, USHORT featureIndices[featureIndexCount]
//   FeatureList  USHORT featureCount, {Tag, Offset16 feature}[featureCount]
//   Feature      Offset16 featureParams, USHORT lookupIndexCount, USHORT indices[...]
//   LookupList   USHORT lookupCount, Offset16 lookups[lookupCount]
//   Lookup       USHORT lookupType, USHORT lookupFlag, USHORT subTableCount,
//                Offset16 subtables[subTableCount] (then markFilteringSet, not needed)
//   PairPos 1    USHORT posFormat, Offset16 coverage, USHORT valueFormat1, valueFormat2,
//                USHORT pairSetCount, Offset16 pairSets[pairSetCount]
//     PairSet    USHORT pairValueCount, {USHORT secondGlyph, ValueRecord v1, v2}[...]
//   PairPos 2    USHORT posFormat, Offset16 coverage, USHORT valueFormat1, valueFormat2,
//                Offset16 classDef1, classDef2, USHORT class1Count, class2Count,
//                {{ValueRecord v1, v2}[class2Count]}[class1Count]
//   Extension    USHORT posFormat (1), USHORT extensionLookupType, Offset32 extensionOffset
//   ValueRecord  one SHORT or Offset16 per bit of valueFormat's low byte, in bit order:
//                XPlacement, YPlacement, XAdvance, YAdvance, then four device offsets
//   Coverage 1   USHORT format, glyphCount, USHORT glyphArray[glyphCount] (index = position)
//   Coverage 2   USHORT format, rangeCount, {start, end, startCoverageIndex}[rangeCount]
//   ClassDef 1   USHORT format, startGlyphID, glyphCount, USHORT classValues[glyphCount]
//   ClassDef 2   USHORT format, classRangeCount, {start, end, class}[classRangeCount]
#include "tables/gpos.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "tables/maxp.h"
#include "tables/registry.h"
#include "tables/table_reader.h"

namespace {

constexpr USHORT kPairAdjustment = 2;
constexpr USHORT kExtension = 9;
constexpr USHORT kNoRequiredFeature = 0xFFFF;
constexpr USHORT kXAdvance = 0x0004;
constexpr BYTE kKernTag[4] = {'k', 'e', 'r', 'n'};

// True when count items of unit bytes starting at `at` lie inside the table.
bool fits(const table_reader& r, std::size_t at, std::size_t count, std::size_t unit) {
    return at <= r.size() && count <= (r.size() - at) / unit;
}

// How many records of `unit` bytes the list at `list` (a 16-bit count, then the records)
// holds inside the table; when its count claims more, says so naming the list.
std::size_t list_count(table_reader& r, std::size_t list, std::size_t unit, const char* what,
                       const char* who) {
    r.seek(list);
    const USHORT claimed = r.u16();
    const std::size_t at = list + 2;
    const std::size_t fit =
        at > r.size() ? 0 : std::min<std::size_t>(claimed, (r.size() - at) / unit);
    if (fit < claimed)
        say(r.messages(), "%s: %s list runs past the table, %zu of %u kept\n", who, what, fit,
            unsigned{claimed});
    return fit;
}

// ------------------------------------------------------------------ the lists

// Lookup-index lists are read once per offset and shared by the features that point there.
// Distinct lists of a well-formed table do not overlap, so the indices kept are limited to
// one per two bytes of the table.
void read_feature_list(table_reader& r, std::size_t list, layout_lists& gpos, const char* who) {
    const std::size_t count = list_count(r, list, 6, "feature", who);
    gpos.features.resize(count);
    std::unordered_map<std::size_t, std::shared_ptr<const std::vector<USHORT>>> lists;
    std::size_t budget = r.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        gpos_feature& f = gpos.features[i];
        r.seek(list + 2 + 6 * i);
        r.read(f.tag, 4);
        const std::size_t at = list + r.u16();
        if (auto shared = lists.find(at); shared != lists.end()) {
            f.lookupListIndices = shared->second;
            continue;
        }
        r.seek(at + 2);
        const USHORT lookupIndexCount = r.u16();
        if (!fits(r, at + 4, lookupIndexCount, 2) || lookupIndexCount > budget) {
            say(r.messages(), "%s: feature %zu runs past the table, skipped\n", who, i);
            continue;
        }
        budget -= lookupIndexCount;
        auto indices = std::make_shared<std::vector<USHORT>>(lookupIndexCount);
        for (USHORT& index : *indices) index = r.u16();
        f.lookupListIndices = lists[at] = std::move(indices);
    }
    gpos.used_features.assign(count, false);
}

// Walks the scripts and their language systems, marking the features they use. Shared
// tables are read once; in a well-formed table every record read is a distinct two or
// more bytes, so reading more records than the table has bytes means tables overlap.
class script_walk {
  public:
    script_walk(table_reader& r, layout_lists& gpos, const char* who)
        : r_(r), gpos_(gpos), who_(who), budget_(r.size()) {}

    void run(std::size_t list) {
        r_.seek(list);
        const USHORT scriptCount = r_.u16();
        for (std::size_t i = 0; i < scriptCount && charge(); ++i) {
            r_.seek(list + 2 + 6 * i + 4);
            script(list + r_.u16());
        }
    }

  private:
    bool charge() {
        if (budget_ > 0) return --budget_, true;
        if (!overrun_)
            say(r_.messages(), "%s: script list reads past its bytes, rest skipped\n", who_);
        overrun_ = true;
        return false;
    }

    void script(std::size_t at) {
        if (!seen_scripts_.insert(at).second) return;
        r_.seek(at);
        const USHORT defaultLangSys = r_.u16();
        const USHORT langSysCount = r_.u16();
        if (defaultLangSys != 0) lang_sys(at + defaultLangSys);
        for (std::size_t i = 0; i < langSysCount && charge(); ++i) {
            r_.seek(at + 4 + 6 * i + 4);
            lang_sys(at + r_.u16());
        }
    }

    void lang_sys(std::size_t at) {
        if (!seen_lang_sys_.insert(at).second) return;
        r_.seek(at + 2);
        use(r_.u16());
        const USHORT featureIndexCount = r_.u16();
        for (std::size_t i = 0; i < featureIndexCount && charge(); ++i) {
            r_.seek(at + 6 + 2 * i);
            use(r_.u16());
        }
    }

    void use(USHORT feature) {
        if (feature == kNoRequiredFeature) return;
        if (feature < gpos_.used_features.size())
            gpos_.used_features[feature] = true;
        else if (reported_.insert(feature).second)
            say(r_.messages(), "%s: feature index %u past the feature list, skipped\n", who_,
                feature);
    }

    table_reader& r_;
    layout_lists& gpos_;
    const char* who_;
    std::size_t budget_;
    bool overrun_ = false;
    std::unordered_set<std::size_t> seen_scripts_, seen_lang_sys_;
    std::unordered_set<USHORT> reported_;
};

// Lookup tables may be shared, so the subtable offsets kept are limited to one per two
// bytes of the table: what a table without overlapping lookups can hold.
void read_lookup_list(table_reader& r, std::size_t list, layout_lists& gpos, const char* who) {
    const std::size_t count = list_count(r, list, 2, "lookup", who);
    gpos.lookups.resize(count);
    std::size_t budget = r.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        gpos_lookup& lookup = gpos.lookups[i];
        r.seek(list + 2 + 2 * i);
        const std::size_t at = list + r.u16();
        r.seek(at);
        lookup.lookupType = r.u16();
        lookup.lookupFlag = r.u16();
        const USHORT subTableCount = r.u16();
        if (!fits(r, at + 6, subTableCount, 2) || subTableCount > budget) {
            say(r.messages(), "%s: lookup %zu runs past the table, skipped\n", who, i);
            continue;
        }
        budget -= subTableCount;
        lookup.subtables.resize(subTableCount);
        for (ULONG& offset : lookup.subtables) offset = static_cast<ULONG>(at + r.u16());
    }
}

}  // namespace

void read_layout_lists(table_reader& r, const layout_offsets& at, layout_lists& lists,
                       const char* who) {
    lists.messages = &r.messages();
    if (at.featureList != 0) read_feature_list(r, at.featureList, lists, who);
    if (at.scriptList != 0) script_walk(r, lists, who).run(at.scriptList);
    if (at.lookupList != 0) read_lookup_list(r, at.lookupList, lists, who);
}

void read_layout_table(table_reader& r, layout_lists& lists, USHORT& majorVersion,
                       USHORT& minorVersion, const char* who, const char* tag) {
    majorVersion = r.u16();
    minorVersion = r.u16();
    layout_offsets at;
    at.scriptList = r.u16();
    at.featureList = r.u16();
    at.lookupList = r.u16();
    if (majorVersion != 1) {
        say(r.messages(), "%s: version %u.%u of %s table unknown\n", who, majorVersion,
            minorVersion, tag);
        return;
    }
    read_layout_lists(r, at, lists, who);
}

const char* read_coverage(table_reader& r, std::size_t at, std::size_t glyph_count,
                          const std::function<bool(std::size_t)>& charge,
                          std::vector<covered_glyph>& glyphs) {
    glyphs.clear();
    if (!fits(r, at, 4, 1)) return "coverage past the table";
    r.seek(at);
    const USHORT format = r.u16();
    const USHORT count = r.u16();
    if (format == 1) {
        if (!fits(r, at + 4, count, 2)) return "coverage past the table";
        if (!charge(count)) return nullptr;
        for (ULONG i = 0; i < count; ++i) {
            const USHORT g = r.u16();
            if (g < glyph_count) glyphs.push_back({g, i});
        }
        return nullptr;
    }
    if (format != 2) return "unknown coverage format";
    if (!fits(r, at + 4, count, 6)) return "coverage past the table";
    long previous_end = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const USHORT start = r.u16(), end = r.u16();
        const USHORT startCoverageIndex = r.u16();
        if (start > end || start <= previous_end) return "coverage ranges out of order";
        previous_end = end;
        const std::size_t last = std::min<std::size_t>(end + std::size_t{1}, glyph_count);
        if (start < last && !charge(last - start)) return nullptr;
        for (std::size_t g = start; g < last; ++g)
            glyphs.push_back(
                {static_cast<USHORT>(g), static_cast<ULONG>(startCoverageIndex + (g - start))});
    }
    return nullptr;
}

namespace {

// ------------------------------------------------------------------ pair kerning

// A value found for a pair: key is left << 16 | right.
struct pair_value {
    ULONG key = 0;
    LONG value = 0;
};

// Byte size of a value record, and where its XAdvance lies in it.
std::size_t value_record_size(USHORT format) {
    return 2 * static_cast<std::size_t>(std::popcount(static_cast<unsigned>(format & 0xFF)));
}
std::size_t x_advance_offset(USHORT format) {
    return 2 * static_cast<std::size_t>(std::popcount(static_cast<unsigned>(format & 0x03)));
}

// Expands the pair subtables of the kern lookups into pair values, one lookup at a time.
// Work is limited to a multiple of the table's size plus the values produced, and the
// values to kMaxGposPairValues, so a small hostile table cannot make it run for long.
class pair_expander {
  public:
    pair_expander(table_reader r, std::size_t glyphs)
        : r_(r), glyphs_(glyphs), budget_(16 * r.size() + kMaxGposPairValues) {}

    // The values of one lookup, each pair once (the first subtable covering it wins),
    // appended to `out`.
    void lookup(std::size_t index, const gpos_lookup& lookup, std::vector<pair_value>& out) {
        lookup_ = index;
        const std::size_t start = out.size();
        if (!charge(glyphs_)) return;
        closed_.assign(glyphs_, false);
        for (std::size_t k = 0; k < lookup.subtables.size() && !stopped_; ++k) {
            subtable_ = k;
            const std::size_t mark = out.size();
            const char* bad = subtable(lookup, lookup.subtables[k], out);
            if (bad) {
                out.resize(mark);
                say(r_.messages(), "gpos_kern_pairs: lookup %zu subtable %zu: %s, skipped\n",
                    lookup_, k, bad);
            }
        }
        // Within one lookup the earlier subtable wins: keep the first value of each key.
        auto first = out.begin() + static_cast<std::ptrdiff_t>(start);
        std::stable_sort(first, out.end(),
                         [](const pair_value& a, const pair_value& b) { return a.key < b.key; });
        out.erase(
            std::unique(first, out.end(),
                        [](const pair_value& a, const pair_value& b) { return a.key == b.key; }),
            out.end());
    }

  private:
    // Whether the work may go on; the first refusal says why.
    bool charge(std::size_t units) {
        if (!stopped_ && units <= budget_) {
            budget_ -= units;
            return true;
        }
        stop("the kern lookups take more work than the table's size allows");
        return false;
    }
    bool room(const std::vector<pair_value>& out) {
        if (out.size() < kMaxGposPairValues) return true;
        stop("more than 16777216 pair values in the kern lookups");
        return false;
    }
    void stop(const char* why) {
        if (!stopped_) say(r_.messages(), "gpos_kern_pairs: %s, the rest left out\n", why);
        stopped_ = true;
    }

    const char* subtable(const gpos_lookup& lookup, std::size_t at, std::vector<pair_value>& out) {
        if (!charge(1)) return nullptr;
        if (lookup.lookupType == kExtension) {
            r_.seek(at + 2);
            const USHORT type = r_.u16();
            const std::size_t target = at + r_.u32();
            if (type == kExtension) return "extension of an extension";
            if (type != kPairAdjustment) return "extension to a lookup of another type";
            at = target;
        }
        if (!fits(r_, at, 10, 1)) return "offset past the table";
        r_.seek(at);
        const USHORT posFormat = r_.u16();
        if (posFormat == 1) return pair_format1(at, out);
        if (posFormat == 2) return pair_format2(at, out);
        return "unknown pair adjustment format";
    }

    const char* coverage(std::size_t at, std::vector<covered_glyph>& glyphs) {
        return read_coverage(
            r_, at, glyphs_, [this](std::size_t n) { return charge(n); }, glyphs);
    }

    // Class of every glyph below the glyph count; glyphs not listed are class 0.
    const char* class_def(std::size_t at, std::vector<USHORT>& classes) {
        if (!charge(glyphs_)) return nullptr;
        classes.assign(glyphs_, 0);
        if (!fits(r_, at, 4, 1)) return "class definition past the table";
        r_.seek(at);
        const USHORT format = r_.u16();
        if (format == 1) {
            const USHORT startGlyphID = r_.u16();
            const USHORT glyphCount = r_.u16();
            if (!fits(r_, at + 6, glyphCount, 2)) return "class definition past the table";
            if (!charge(glyphCount)) return nullptr;
            for (std::size_t g = startGlyphID; g < startGlyphID + std::size_t{glyphCount}; ++g) {
                const USHORT value = r_.u16();
                if (g < glyphs_) classes[g] = value;
            }
            return nullptr;
        }
        if (format != 2) return "unknown class definition format";
        const USHORT classRangeCount = r_.u16();
        if (!fits(r_, at + 4, classRangeCount, 6)) return "class definition past the table";
        for (std::size_t i = 0; i < classRangeCount; ++i) {
            const USHORT start = r_.u16(), end = r_.u16(), value = r_.u16();
            const std::size_t last = std::min<std::size_t>(end + std::size_t{1}, glyphs_);
            if (start < last && !charge(last - start)) return nullptr;
            for (std::size_t g = start; g < last; ++g) classes[g] = value;
        }
        return nullptr;
    }

    // Pairs listed glyph by glyph: a pair is covered when its second glyph is in the
    // first glyph's pair set; the others fall through to the next subtable.
    const char* pair_format1(std::size_t at, std::vector<pair_value>& out) {
        r_.seek(at + 2);
        const USHORT coverageOffset = r_.u16();
        const USHORT valueFormat1 = r_.u16(), valueFormat2 = r_.u16();
        const USHORT pairSetCount = r_.u16();
        if (!fits(r_, at + 10, pairSetCount, 2)) return "pair sets past the table";
        if (coverageOffset == 0) return nullptr;
        if (const char* bad = coverage(at + coverageOffset, lefts_)) return bad;
        const std::size_t record =
            2 + value_record_size(valueFormat1) + value_record_size(valueFormat2);
        const std::size_t x_advance = 2 + x_advance_offset(valueFormat1);
        const bool has_x_advance = valueFormat1 & kXAdvance;
        for (const covered_glyph& left : lefts_) {
            if (stopped_) return nullptr;
            if (left.index >= pairSetCount) return "coverage index past the pair sets";
            if (closed_[left.glyph]) continue;
            r_.seek(at + 10 + 2 * left.index);
            const std::size_t set = at + r_.u16();
            r_.seek(set);
            const USHORT pairValueCount = r_.u16();
            if (!fits(r_, set + 2, pairValueCount, record)) return "pair set past the table";
            if (!charge(pairValueCount)) return nullptr;
            const ULONG high = ULONG{left.glyph} << 16;
            for (std::size_t i = 0; i < pairValueCount && room(out); ++i) {
                const std::size_t at_record = set + 2 + i * record;
                r_.seek(at_record);
                const USHORT secondGlyph = r_.u16();
                if (secondGlyph >= glyphs_) continue;
                LONG value = 0;
                if (has_x_advance) {
                    r_.seek(at_record + x_advance);
                    value = r_.s16();
                }
                out.push_back({high | secondGlyph, value});
            }
        }
        return nullptr;
    }

    // Pairs by class: every second glyph has a class (0 when the second class definition
    // does not list it), so a covered first glyph is paired with every glyph here, and no
    // later subtable of the lookup is consulted for it.
    const char* pair_format2(std::size_t at, std::vector<pair_value>& out) {
        r_.seek(at + 2);
        const USHORT coverageOffset = r_.u16();
        const USHORT valueFormat1 = r_.u16(), valueFormat2 = r_.u16();
        const USHORT classDef1 = r_.u16(), classDef2 = r_.u16();
        const USHORT class1Count = r_.u16(), class2Count = r_.u16();
        const std::size_t record =
            value_record_size(valueFormat1) + value_record_size(valueFormat2);
        const std::size_t rows = at + 16;
        if (record > 0 && !fits(r_, rows, std::size_t{class1Count} * class2Count, record))
            return "class records past the table";
        if (coverageOffset == 0) return nullptr;
        if (const char* bad = coverage(at + coverageOffset, lefts_)) return bad;
        if (lefts_.empty()) return nullptr;
        if (classDef1 != 0) {
            if (const char* bad = class_def(at + classDef1, class1_)) return bad;
        } else if (charge(glyphs_)) {
            class1_.assign(glyphs_, 0);
        }
        if (classDef2 != 0) {
            if (const char* bad = class_def(at + classDef2, class2_)) return bad;
        } else if (charge(glyphs_)) {
            class2_.assign(glyphs_, 0);
        }
        if (stopped_ || !charge(2 * glyphs_)) return nullptr;  // the grouping by class
        for (const covered_glyph& left : lefts_)
            if (class1_[left.glyph] >= class1Count) return "class past the class count";
        if (!group_by_class(class2Count)) return "class past the class count";

        const bool has_x_advance = valueFormat1 & kXAdvance;
        const std::size_t x_advance = x_advance_offset(valueFormat1);
        for (const covered_glyph& left : lefts_) {
            if (closed_[left.glyph]) continue;
            closed_[left.glyph] = true;
            if (!has_x_advance) continue;
            if (!charge(class2Count)) return nullptr;
            const ULONG high = ULONG{left.glyph} << 16;
            const std::size_t row = rows + std::size_t{class1_[left.glyph]} * class2Count * record;
            for (std::size_t c2 = 0; c2 < class2Count; ++c2) {
                r_.seek(row + c2 * record + x_advance);
                const SHORT value = r_.s16();
                if (value == 0) continue;
                for (std::size_t i = class_start_[c2]; i < class_start_[c2 + 1] && room(out); ++i)
                    out.push_back({high | by_class_[i], value});
            }
            if (stopped_) return nullptr;
        }
        return nullptr;
    }

    // Orders the glyphs by their second class (by_class_, class c from class_start_[c]);
    // false when a glyph's class is past the count.
    bool group_by_class(USHORT class2Count) {
        class_start_.assign(std::size_t{class2Count} + 1, 0);
        for (std::size_t g = 0; g < glyphs_; ++g) {
            if (class2_[g] >= class2Count) return false;
            ++class_start_[class2_[g] + 1];
        }
        for (std::size_t c = 0; c < class2Count; ++c) class_start_[c + 1] += class_start_[c];
        by_class_.resize(glyphs_);
        std::vector<std::size_t> next(class_start_.begin(), class_start_.end() - 1);
        for (std::size_t g = 0; g < glyphs_; ++g)
            by_class_[next[class2_[g]]++] = static_cast<USHORT>(g);
        return true;
    }

    table_reader r_;
    std::size_t glyphs_;
    std::size_t budget_;
    bool stopped_ = false;
    std::size_t lookup_ = 0, subtable_ = 0;
    std::vector<bool> closed_;  // first glyphs a class subtable of this lookup has covered
    std::vector<covered_glyph> lefts_;
    std::vector<USHORT> class1_, class2_, by_class_;
    std::vector<std::size_t> class_start_;
};

// A pair lookup, or an extension lookup whose subtables lead to pair subtables (or, in
// error, to other extensions, which are reported when the lookup is expanded).
bool is_pair_lookup(table_reader r, const gpos_lookup& lookup) {
    if (lookup.lookupType == kPairAdjustment) return true;
    if (lookup.lookupType != kExtension) return false;
    for (ULONG at : lookup.subtables) {
        r.seek(at + 2);
        const USHORT type = r.u16();
        if (type == kPairAdjustment || type == kExtension) return true;
    }
    return false;
}

// Sums the values of each pair over the lookups and drops the pairs that come to 0.
std::vector<gpos_pair> sum_by_pair(std::vector<pair_value>& values) {
    std::sort(values.begin(), values.end(),
              [](const pair_value& a, const pair_value& b) { return a.key < b.key; });
    std::vector<gpos_pair> pairs;
    for (std::size_t i = 0; i < values.size();) {
        const ULONG key = values[i].key;
        LONG sum = 0;
        for (; i < values.size() && values[i].key == key; ++i) sum += values[i].value;
        if (sum != 0)
            pairs.push_back({static_cast<USHORT>(key >> 16), static_cast<USHORT>(key), sum});
    }
    return pairs;
}

std::unique_ptr<gpos_kerning> compute_kerning(font_object& font, const gpos_elab& gpos) {
    auto kerning = std::make_unique<gpos_kerning>();
    table_entry* entry = find_table(font, "GPOS", 0);
    const table_entry* maxp_entry = find_table(font, "maxp", 0);
    if (!entry || !maxp_entry || !maxp_entry->ElabPtr) return kerning;
    const std::size_t glyphs = static_cast<const maxp_elab&>(*maxp_entry->ElabPtr).numGlyphs;
    const table_reader r(font, *entry);
    pair_expander expander(r, glyphs);
    std::vector<pair_value> values;
    for (USHORT index : kern_feature_lookups(gpos)) {
        const gpos_lookup& lookup = gpos.lookups[index];
        if (!is_pair_lookup(r, lookup)) continue;
        ++kerning->pair_lookups;
        expander.lookup(index, lookup, values);
    }
    kerning->pairs = sum_by_pair(values);
    return kerning;
}

}  // namespace

// A failed allocation is not caught here: a GPOS without its kerning would report no pairs
// as if the font had none, so the exception fails the command that asked instead.
std::unique_ptr<gpos_elab> do_gpos(font_object& font) {
    table_entry* entry = find_table(font, "GPOS", 0);
    if (!entry) return nullptr;
    auto gpos = std::make_unique<gpos_elab>();
    table_reader r(font, *entry);
    // Another version is kept without lists, so it is not parsed again.
    read_layout_table(r, *gpos, gpos->majorVersion, gpos->minorVersion, "do_gpos", "GPOS");
    return gpos;
}

gpos_elab* gpos_table(font_object& font) {
    return static_cast<gpos_elab*>(load_elab_table(font, "GPOS", 0));
}

std::vector<USHORT> feature_lookups(const layout_lists& lists, const BYTE (&tag)[4],
                                    const char* who) {
    std::vector<bool> used(lists.lookups.size(), false);
    std::unordered_set<USHORT> reported;
    std::unordered_set<const std::vector<USHORT>*> walked;  // a shared list is walked once
    for (std::size_t f = 0; f < lists.features.size(); ++f) {
        const gpos_feature& feature = lists.features[f];
        if (!lists.used_features[f] || std::memcmp(feature.tag, tag, 4) != 0 ||
            !feature.lookupListIndices || !walked.insert(feature.lookupListIndices.get()).second)
            continue;
        for (USHORT index : *feature.lookupListIndices) {
            if (index < used.size())
                used[index] = true;
            else if (reported.insert(index).second)
                say(*lists.messages, "%s: lookup index %u past the lookup list\n", who, index);
        }
    }
    std::vector<USHORT> lookups;
    for (std::size_t i = 0; i < used.size(); ++i)
        if (used[i]) lookups.push_back(static_cast<USHORT>(i));
    return lookups;
}

std::vector<USHORT> kern_feature_lookups(const gpos_elab& gpos) {
    return feature_lookups(gpos, kKernTag, "gpos_kern_pairs");
}

const gpos_kerning& gpos_kern_pairs(font_object& font) {
    static const gpos_kerning kNone{};
    gpos_elab* gpos = gpos_table(font);
    if (!gpos) return kNone;
    if (!gpos->kerning) gpos->kerning = compute_kerning(font, *gpos);
    return *gpos->kerning;
}
