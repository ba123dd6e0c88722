// Code tables (.cod files): one "code name" pair per line, the code in hexadecimal.
#include <new>
#include <tuple>

#include "tables.h"
#include "text_input.h"

namespace brindle {

namespace {

void report_line_out_of_memory(const char* path, long line_number) {
    std::fprintf(stderr, "%s (line %ld) out of memory\n", path, line_number);
}

}  // namespace

int read_code_table(std::FILE* in, const char* path, const char* label,
                    const entry_handler& on_entry) {
    std::string line;
    for (long line_number = 1;; ++line_number) {
        line_status status;
        try {
            status = read_line(in, code_line_max, line);
        } catch (const std::bad_alloc&) {
            report_line_out_of_memory(path, line_number);
            return -1;
        }
        if (status == line_status::end_of_file) return 0;
        if (status == line_status::read_error) {
            report_cannot_read(path);
            return -1;
        }
        if (is_comment_line(line)) continue;
        if (status == line_status::too_long) {
            std::fprintf(stderr, "%s line %ld too long\n", label, line_number);
            continue;
        }

        std::string_view text = strip_comment(line);
        if (text.empty() || !is_hex_digit(text[0])) {
            std::fprintf(stderr, "%s (line %ld) does not start with hex digit or #\n", path,
                         line_number);
            return -1;
        }
        auto pair = scan_code_and_name(text);
        if (!pair) {
            std::fprintf(stderr, "%s (line %ld) not a code/name pair\n", path, line_number);
            return -1;
        }
        if (pair->name == ".notdef") continue;
        if (on_entry(pair->code, pair->name, line_number) != 0) return -1;
    }
}

int add_large_entry(joiner_tables& tables, const char* path, std::uint32_t code,
                    std::string_view name, long line_number) {
    // The index keeps the first entry of a name: a later duplicate is stored but never
    // found, as with a scan from the top.
    first_position_index::iterator added;
    bool is_first = false;
    try {
        std::tie(added, is_first) =
            tables.large_index.try_emplace(std::string(name), tables.large.size());
        tables.large.push_back(code_entry{code, std::string(name)});
    } catch (const std::bad_alloc&) {
        if (is_first) tables.large_index.erase(added);
        report_line_out_of_memory(path, line_number);
        return -1;
    }
    return 0;
}

long find_exact_code(const joiner_tables& tables, std::string_view name) {
    auto found = tables.large_index.find(name);
    return found == tables.large_index.end() ? -1 : static_cast<long>(found->second);
}

}  // namespace brindle
