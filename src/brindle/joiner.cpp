#include "joiner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tables.h"
#include "text_input.h"

namespace brindle {

namespace {

struct file_closer {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

file_ptr open_for_reading(const char* path) {
    file_ptr stream(std::fopen(path, "r"));
    if (!stream) report_cannot_open(path);
    return stream;
}

void print_code_line(std::uint32_t code, std::string_view name) {
    std::printf("CH <%04x> ; N %.*s ;\n", static_cast<unsigned>(code),
                static_cast<int>(name.size()), name.data());
}

// Preference: the name's own code, the code of the first synonym that the large table
// knows, the first numeric fallback of its row, else -1.
void write_metrics_line(const joiner_tables& tables, std::string_view name) {
    long row = find_synonym(tables, name);
    long index = find_synonymous_code(tables, name, row);
    if (index >= 0) {
        print_code_line(tables.large[static_cast<std::size_t>(index)].code, name);
        return;
    }
    std::int32_t fallback = find_fallback(tables, row);
    if (fallback >= 0) {
        print_code_line(static_cast<std::uint32_t>(fallback), name);
    } else {
        std::printf("C -1 ; N %.*s ;\n", static_cast<int>(name.size()), name.data());
    }
}

constexpr const char* usage = "Use: %s large-encoding.cod small-encoding.cod [synonyms]\n";

void print_help() {
    std::printf(usage, "brindle");
    std::printf(
        "Joins a large and a small character-code table, and an optional synonym file,\n"
        "into an encoding file for the encode command of kestrix, on the standard output.\n"
        "  --help     print this help and exit\n"
        "  --version  print the version and exit\n");
}

// A full disk or a closed pipe must not pass for a finished encoding file.
int finish_output() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    report_cannot_write("standard output");
    return -1;
}

}  // namespace

int run_brindle(int argc, char* argv[]) {
    // A single argument is never a valid run, so the flags cannot hide a table's name.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_help();
        return finish_output();
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("brindle %s\n", BRINDLE_VERSION);
        return finish_output();
    }
    if (argc != 3 && argc != 4) {
        // The usage names the program as it is known, not as it happened to be started.
        std::fprintf(stderr, usage, "brindle");
        return -1;
    }
    const char* large_path = argv[1];
    const char* small_path = argv[2];
    const char* synonym_path = argc == 4 ? argv[3] : nullptr;

    // Every file is opened before any is read, so a missing one stops the run before
    // anything is written.
    file_ptr large_file = open_for_reading(large_path);
    if (!large_file) return -1;
    file_ptr small_file = open_for_reading(small_path);
    if (!small_file) return -1;
    file_ptr synonym_file;
    joiner_tables tables;
    if (synonym_path) {
        synonym_file = open_for_reading(synonym_path);
        if (!synonym_file) return -1;
        tables.syn_name = synonym_path;
    }

    auto add_to_large = [&](std::uint32_t code, std::string_view name, long line_number) {
        return add_large_entry(tables, large_path, code, name, line_number);
    };
    if (read_code_table(large_file.get(), large_path, "large-table", add_to_large) != 0) return -1;
    large_file.reset();

    if (read_synonyms(tables, synonym_file.get()) != 0) return -1;
    synonym_file.reset();

    std::printf("StartCharMetrics 0\n");
    // The small table's own codes are read but not used: it only supplies the names
    // and their order. A fatal error here leaves the lines written so far, and no
    // "EndCharMetrics", on the output.
    auto write_line = [&](std::uint32_t, std::string_view name, long) {
        write_metrics_line(tables, name);
        return 0;
    };
    if (read_code_table(small_file.get(), small_path, "small-table", write_line) != 0) return -1;
    small_file.reset();

    std::printf("EndCharMetrics\n");
    return finish_output();
}

}  // namespace brindle
