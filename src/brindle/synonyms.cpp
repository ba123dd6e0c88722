// The synonym file: rows of glyph names that stand for one another, with optional
// numeric fallback codes.
#include <new>
#include <utility>

#include "tables.h"
#include "text_input.h"

namespace brindle {

namespace {

// Words of a synonym line are separated by these; other white space (a vertical tab,
// say) belongs to the word.
constexpr std::string_view word_separators = " \t\r\n";

// Splits a line into the words of one row; words past the last slot are reported and
// dropped.
synonym_row split_synonym_line(std::string_view text, long line_number) {
    synonym_row row;
    std::size_t start = text.find_first_not_of(word_separators);
    while (start != std::string_view::npos) {
        if (row.size() == synonym_slots) {
            std::fprintf(stderr, "synonym-table line %ld too many entries\n", line_number);
            break;
        }
        std::size_t end = text.find_first_of(word_separators, start);
        std::string_view word =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        row.emplace_back(word);
        start = end == std::string_view::npos ? end : text.find_first_not_of(word_separators, end);
    }
    return row;
}

// Enters the words of row `row` into the index, each unless an earlier row holds it
// already. If memory runs out, the words this row entered are taken out again, so that
// the index never points past the rows kept.
void index_row(first_position_index& index, const synonym_row& words, std::size_t row) {
    try {
        for (const std::string& word : words) index.try_emplace(word, row);
    } catch (const std::bad_alloc&) {
        for (const std::string& word : words) {
            auto entered = index.find(word);
            if (entered != index.end() && entered->second == row) index.erase(entered);
        }
        throw;
    }
}

}  // namespace

int read_synonyms(joiner_tables& tables, std::FILE* in) {
    if (!in) return 0;
    const char* path = tables.syn_name.c_str();
    std::string line;
    for (long line_number = 1;; ++line_number) {
        try {
            line_status status = read_line(in, synonym_line_max, line);
            if (status == line_status::end_of_file) return 0;
            if (status == line_status::read_error) {
                report_cannot_read(path);
                return -1;
            }
            if (is_comment_line(line)) continue;
            if (status == line_status::too_long) {
                std::fprintf(stderr, "synonym-table line %ld too long\n", line_number);
                continue;
            }
            // A blank line becomes a row too: it matches nothing. The room for the row
            // is made first, so that once the row is indexed, storing it cannot fail.
            synonym_row row = split_synonym_line(strip_comment(line), line_number);
            if (tables.syn.size() == tables.syn.capacity()) {
                tables.syn.reserve(tables.syn.empty() ? 64 : 2 * tables.syn.size());
            }
            index_row(tables.syn_index, row, tables.syn.size());
            tables.syn.push_back(std::move(row));
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "%s: (line %ld) out of memory, synonyms from here on ignored\n",
                         path, line_number);
            return 0;
        }
    }
}

long find_synonym(const joiner_tables& tables, std::string_view name) {
    auto found = tables.syn_index.find(name);
    return found == tables.syn_index.end() ? -1 : static_cast<long>(found->second);
}

long find_synonymous_code(const joiner_tables& tables, std::string_view name, long row) {
    // A name that the large table knows keeps its own code, synonyms or not.
    long index = find_exact_code(tables, name);
    if (index >= 0 || row < 0) return index;
    for (const std::string& word : tables.syn[static_cast<std::size_t>(row)]) {
        if (!is_letter(word[0])) continue;
        index = find_exact_code(tables, word);
        if (index >= 0) return index;
    }
    return -1;
}

std::int32_t find_fallback(const joiner_tables& tables, long row) {
    if (row < 0) return -1;
    for (const std::string& word : tables.syn[static_cast<std::size_t>(row)]) {
        if (!is_decimal_digit(word[0])) continue;
        if (auto code = scan_integer(word)) return *code;
        std::fprintf(stderr, "strange fallback code: %s\n", word.c_str());
    }
    return -1;
}

}  // namespace brindle
