// brindle's in-memory tables: the large code table and the synonym rows, their
// readers and the lookups that pick a code for a glyph name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brindle {

inline constexpr std::size_t synonym_slots = 10;

struct code_entry {
    std::uint32_t code = 0;
    std::string name;
};

// The words of one synonym line in line order, at most `synonym_slots` of them. A
// word that begins with a letter names a glyph, one that begins with a digit is a
// fallback code, any other word only serves to find the row.
using synonym_row = std::vector<std::string>;

// Heterogeneous lookup, so that a lookup by string_view copies nothing.
struct name_hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};

// Each name mapped to the first position it holds: the answer a scan in file order
// would give, at the cost of one hash lookup.
using first_position_index =
    std::unordered_map<std::string, std::size_t, name_hash, std::equal_to<>>;

struct joiner_tables {
    std::vector<code_entry> large;  // the large code table in file order, .notdef left out
    std::vector<synonym_row> syn;   // the synonym rows in file order
    std::string syn_name;           // the synonym file's name, for its messages

    // Kept in step with `large` and `syn` by add_large_entry and read_synonyms.
    first_position_index large_index;  // name -> its first entry of `large`
    first_position_index syn_index;    // word -> the first row of `syn` holding it

    std::size_t large_codes() const { return large.size(); }
    std::size_t synonyms() const { return syn.size(); }
};

// Called for every code/name pair of a code table except ".notdef" lines; returns 0 to
// read on, or -1 after printing why the run must stop.
using entry_handler =
    std::function<int(std::uint32_t code, std::string_view name, long line_number)>;

// Reads a code table line by line. `label` names the table in the "too long" warning
// ("large-table", "small-table"); `path` names it in the fatal messages. Returns 0 at
// the end of the file, -1 after a fatal error.
int read_code_table(std::FILE* in, const char* path, const char* label,
                    const entry_handler& on_entry);

// Appends one pair of the large table; -1 (with its message) when the name cannot be
// copied or indexed, the table being left as it was.
int add_large_entry(joiner_tables& tables, const char* path, std::uint32_t code,
                    std::string_view name, long line_number);

// Reads the synonym file into `tables.syn`; a null stream (no synonym file) reads
// nothing. No memory for a row ends the reading and keeps the rows read so far. Returns -1 only
// when the file cannot be read.
int read_synonyms(joiner_tables& tables, std::FILE* in);

// Index of the first large-table entry named `name`, or -1.
long find_exact_code(const joiner_tables& tables, std::string_view name);

// Index of the first synonym row that holds `name` in one of its slots, or -1.
long find_synonym(const joiner_tables& tables, std::string_view name);

// Large-table index for the name itself or, failing that, for the first word of
// `row` that begins with a letter and that the large table knows; -1 if none.
long find_synonymous_code(const joiner_tables& tables, std::string_view name, long row);

// The first fallback code of `row` that converts, or -1. Words that begin with a digit
// but do not convert are reported and passed over.
std::int32_t find_fallback(const joiner_tables& tables, long row);

}  // namespace brindle
