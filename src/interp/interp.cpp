#include "interp/interp.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "commands/operands.h"
#include "font/types.h"
#include "interp/token.h"

namespace {
constexpr const char* kVersion = "1.0.0";
}  // namespace

const command_entry command_table[] = {
    {"afm", afm_command},
    {"chart", chart_command},
    {"dup", dup_command},
    {"encode", encode_command},
    {"face", face_command},
    {"family", family_command},
    {"font", font_command},
    {"force", force_command},
    {"free", free_command},
    {"gen", gen_command},
    {"getmetrics", getmetrics_command},
    {"list", list_command},
    {"listname", listname_command},
    {"platform", platform_command},
    {"pop", pop_command},
    {"import", import_command},
    {"export", export_command},
    {"rename", rename_command},
    {"run", run_command},
    {"setaw", setaw_command},
    {"show", show_command},
    {"stack", stack_command},
    {"texafm", texafm_command},
    {nullptr, nullptr},
};

namespace {

// No exception may leave a handler: a failed allocation is reported like any failure.
int call_handler(command_handler handler, kestrix_context& context) {
    try {
        return handler(context);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "Out of memory!\n");
        return -1;
    }
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) between two words.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The command a leftover word may have been meant as: one within two edits, and fewer
// edits than the word has letters (so that "ab" suggests nothing).
const char* command_meant(std::string_view word) {
    if (word.size() > 64) return nullptr;
    const char* best = nullptr;
    std::size_t best_distance = 3;
    for (const command_entry* c = command_table; c->name; ++c) {
        const std::size_t distance = edit_distance(word, c->name);
        if (distance > 0 && distance < best_distance && distance < word.size()) {
            best = c->name;
            best_distance = distance;
        }
    }
    return best;
}

// After the leftover-stack listing: the first word, from the top, that looks like a
// misspelt command.
void suggest_command(const operand_stack& stack) {
    for (int i = stack.depth() - 1; i >= 0; --i) {
        const stack_item& item = stack.slot(i);
        if (item.type != ITEM_STRING || !item.str()) continue;
        if (const char* meant = command_meant(item.str())) {
            std::fprintf(stderr, "Note: \"%s\" is not a command; did you mean \"%s\"?\n",
                         item.str(), meant);
            return;
        }
    }
}

void print_usage() {
    std::printf(
        "usage: kestrix [word ...]\n"
        "       kestrix --help | --version\n"
        "Runs the words as a postfix program: a command word pops its operands from the\n"
        "stack, any other word is pushed. For example:\n"
        "  kestrix FONT.ttf font list                 report on a font\n"
        "  kestrix FONT.ttf font 3 1 afm > FONT.afm   AFM metrics through encoding 3.1\n"
        "  kestrix FONT.ttf font 3 1 texafm           the AFM that afm2tfm and afm2pl read\n"
        "  kestrix script.ks run                      run the words of a script file\n"
        "Commands:");
    for (const command_entry* c = command_table; c->name; ++c) std::printf(" %s", c->name);
    std::printf("\nSee the kestrix(1) manual page and README.md.\n");
}

// A script that cannot be read fails with the system's reason; errno holds it on entry.
int report_unreadable(const std::string& path, const char* what) {
    const int saved = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "run: cannot %s \"%s\"\n", what, path.c_str());
    errno = saved;
    std::perror(path.c_str());
    return -1;
}

int report_too_large(const std::string& path) {
    report_input_too_large(path.c_str());
    std::fprintf(stderr, "file \"%s\": run terminated\n", path.c_str());
    return -1;
}

// A directory opens for reading; it is refused as unreadable before any read.
bool is_directory(std::FILE* stream) {
    struct stat st {};
    if (fstat(fileno(stream), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    errno = EISDIR;
    return true;
}

}  // namespace

int execute_token(kestrix_context& context) {
    stack_item item;
    if (!context.stack.pop(item)) return 0;
    if (item.type == ITEM_STRING && item.str()) {
        for (const command_entry* c = command_table; c->name; ++c)
            if (std::strcmp(c->name, item.str()) == 0) return call_handler(c->handler, context);
    }
    // Not a command: the item was just popped, so putting it back cannot overflow.
    context.stack.push_back(item);
    return 0;
}

int run_file(kestrix_context& context, const char* path) {
    if (!path || !*path) {
        std::fprintf(stderr, "run: missing file name\n");
        return -1;
    }
    // Each level holds an open file and a few stack frames; a script that runs itself
    // would otherwise recurse until the process runs out of one or the other.
    if (context.run_depth >= kMaxRunDepth) {
        std::fprintf(stderr, "run: scripts nested more than %d deep\n", kMaxRunDepth);
        return -1;
    }
    struct level_guard {
        int& depth;
        explicit level_guard(int& d) : depth(d) { ++depth; }
        ~level_guard() { --depth; }
    } level(context.run_depth);
    // The tokens run below may free every token the caller holds, path among them.
    const std::string name = path;
    file_handle stream = open_file(name.c_str(), "r");
    if (!stream || is_directory(stream.get())) return report_unreadable(name, "open");
    if (known_to_exceed(stream.get())) return report_too_large(name);
    std::size_t budget = kMaxInputBytes;
    for (;;) {
        std::string token;
        token_status ts = parse_token(stream.get(), token, budget);
        if (ts == token_status::too_large) return report_too_large(name);
        if (ts == token_status::end)
            return std::ferror(stream.get()) ? report_unreadable(name, "read") : 0;
        int status = -1;
        if (ts == token_status::token &&
            context.stack.push(context.keep_token(std::move(token)), ITEM_STRING) == 0)
            status = execute_token(context);
        if (status != 0) {
            std::fprintf(stderr, "file \"%s\": run terminated\n", name.c_str());
            return status;
        }
    }
}

void print_banner() {
    std::printf(
        "kestrix: (c) 2026 the kestrix developers; report problems on the project's tracker\n");
    std::printf("Documentation: README.md and the kestrix(1) manual page\n");
    std::printf("Updates and support: the kestrix project repository\n");
    std::printf("Release %s for POSIX systems, 2026-12-07\n", kVersion);
}

void check_typedefs() {
    if (sizeof(BYTE) != 1) std::printf("inconsistent typedef: BYTE\n");
    if (sizeof(CHAR) != 1) std::printf("inconsistent typedef: CHAR\n");
    if (sizeof(USHORT) != 2) std::printf("inconsistent typedef: USHORT\n");
    if (sizeof(SHORT) != 2) std::printf("inconsistent typedef: SHORT\n");
    if (sizeof(ULONG) != 4) std::printf("inconsistent typedef: ULONG\n");
    if (sizeof(LONG) != 4) std::printf("inconsistent typedef: LONG\n");
}

int kestrix_main(int argc, char** argv) {
    kestrix_context context(run_file, {argv, static_cast<std::size_t>(argc)});
    if (argc <= 1) {
        print_banner();
        check_typedefs();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_usage();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kestrix %s\n", kVersion);
        return 0;
    }
    int status = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        // Each command-line word is one whole token, never split or scanned.
        status = context.stack.push(argv[i], ITEM_STRING);
        if (status == 0) status = execute_token(context);
    }
    // Output that was still buffered can fail only now (a full disk, a closed stream).
    if (status == 0)
        status = flush_standard_output("kestrix");
    else
        std::fflush(stdout);
    if (status != 0) std::fprintf(stderr, "kestrix: exiting due to error\n");
    if (context.stack.depth() > 0) {
        std::fprintf(stderr, "Warning: on exit, stack was not empty:\n");
        context.stack.dump(stderr);
        suggest_command(context.stack);
    }
    std::fflush(stdout);
    return status;
}
