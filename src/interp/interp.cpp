#include "interp/interp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
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

// One command a line, so that adding one changes one line.
// clang-format off
const command_entry command_table[] = {
    {"afm", afm_command},
    {"chart", chart_command},
    {"chartrange", chartrange_command},
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
    {"replace", replace_command},
    {"run", run_command},
    {"setaw", setaw_command},
    {"show", show_command},
    {"stack", stack_command},
    {"texafm", texafm_command},
    {nullptr, nullptr},
};
// clang-format on

namespace {

// No exception may leave a handler: a failed allocation is reported like any failure.
int call_handler(command_handler handler, kestrix_context& context) {
    try {
        return handler(context);
    } catch (const std::bad_alloc&) {
        say(context.messages(), "Out of memory!\n");
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

// Only a word that looks like a command is taken for a misspelt one: letters and digits,
// perhaps after the dashes of an option. "g-n", "a)b" or a file name is an operand.
bool looks_like_a_command(std::string_view word) {
    const std::size_t body = word.find_first_not_of('-');
    if (body == std::string_view::npos) return false;
    return std::all_of(word.begin() + static_cast<long>(body), word.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

std::string lower_case(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// A short name is easily one edit away from an unrelated word ("deep" from dup), so
// names of up to four letters allow one edit, longer ones two.
std::size_t edits_allowed(std::string_view name) {
    return name.size() <= 4 ? 1 : 2;
}

// The name a leftover word may have been meant as: the closest of the candidates within
// its edit allowance, case ignored; nothing for a word that is exactly a candidate.
const char* name_meant(std::string_view word, std::span<const char* const> candidates) {
    if (word.size() > 64 || !looks_like_a_command(word)) return nullptr;
    const std::string lower = lower_case(word);
    const char* best = nullptr;
    std::size_t best_distance = 0;
    for (const char* name : candidates) {
        if (word == name) return nullptr;
        const std::size_t distance = edit_distance(lower, name);
        if (distance <= edits_allowed(name) && (!best || distance < best_distance)) {
            best = name;
            best_distance = distance;
        }
    }
    return best;
}

// What a leftover word may have been meant as: a command, or an option when the word was
// the only argument.
std::vector<const char*> hint_candidates(bool sole_argument) {
    std::vector<const char*> names;
    for (const command_entry* c = command_table; c->name; ++c) names.push_back(c->name);
    if (sole_argument) names.insert(names.end(), {"--help", "--version"});
    return names;
}

// After the leftover-stack listing: the first word, from the top, that looks like a
// misspelt command. True when there was one: the run then fails, since the command the
// user meant never ran.
bool suggest_command(const operand_stack& stack, bool sole_argument, message_sink& messages) {
    const std::vector<const char*> candidates = hint_candidates(sole_argument);
    for (int i = stack.depth() - 1; i >= 0; --i) {
        const stack_item& item = stack.slot(i);
        if (item.type != ITEM_STRING || !item.str()) continue;
        if (const char* meant = name_meant(item.str(), candidates)) {
            say(messages, "Note: \"%s\" is not a command; did you mean \"%s\"?\n", item.str(),
                meant);
            return true;
        }
    }
    return false;
}

// -h, -help and help alone ask for the usage as --help does.
bool asks_for_help(const char* word) {
    for (const char* spelling : {"--help", "-help", "-h", "help"})
        if (std::strcmp(word, spelling) == 0) return true;
    return false;
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
int report_unreadable(const std::string& path, const char* what, message_sink& messages) {
    const int saved = errno != 0 ? errno : EIO;
    say(messages, "run: cannot %s \"%s\"\n", what, path.c_str());
    errno = saved;
    say_errno(messages, path.c_str());
    return -1;
}

int report_too_large(const std::string& path, message_sink& messages) {
    report_input_too_large(path.c_str(), messages);
    say(messages, "file \"%s\": run terminated\n", path.c_str());
    return -1;
}

// A directory opens for reading; it is refused as unreadable before any read.
bool is_directory(std::FILE* stream) {
    struct stat st {};
    if (fstat(fileno(stream), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    errno = EISDIR;
    return true;
}

// Pushes a script token as a string item; its text may hold zero bytes.
int push_token(kestrix_context& context, std::string text) {
    const std::size_t length = text.size();
    return context.stack.push_string({context.keep_token(std::move(text)), length});
}

}  // namespace

bool is_command_word(std::string_view word) {
    for (const command_entry* c = command_table; c->name; ++c)
        if (word == c->name) return true;
    return false;
}

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
        say(context.messages(), "run: missing file name\n");
        return -1;
    }
    // Each level holds an open file and a few stack frames; a script that runs itself
    // would otherwise recurse until the process runs out of one or the other.
    if (context.run_depth >= kMaxRunDepth) {
        say(context.messages(), "run: scripts nested more than %d deep\n", kMaxRunDepth);
        return -1;
    }
    struct level_guard {
        int& depth;
        explicit level_guard(int& d) : depth(d) { ++depth; }
        ~level_guard() { --depth; }
    } level(context.run_depth);
    // The tokens run below may free every token the caller holds, path among them.
    const std::string name = path;
    message_sink& messages = context.messages();
    file_handle stream = open_file(name.c_str(), "r", messages);
    if (!stream || is_directory(stream.get())) return report_unreadable(name, "open", messages);
    if (known_to_exceed(stream.get())) return report_too_large(name, messages);
    std::size_t budget = kMaxInputBytes;
    for (;;) {
        script_token token;
        token_status ts = parse_token(stream.get(), token, budget);
        if (ts == token_status::too_large) return report_too_large(name, messages);
        if (ts == token_status::end)
            return std::ferror(stream.get()) ? report_unreadable(name, "read", messages) : 0;
        if (ts == token_status::error) say(messages, "parse_token: %s\n", token.problem);
        int status = -1;
        if (ts == token_status::token && push_token(context, std::move(token.text)) == 0)
            status = token.operand_only ? 0 : execute_token(context);
        if (status != 0) {
            say(messages, "file \"%s\": run terminated\n", name.c_str());
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
    kestrix_context context(run_file, {argv, static_cast<std::size_t>(argc)}, is_command_word);
    if (argc <= 1) {
        print_banner();
        check_typedefs();
        return 0;
    }
    if (argc == 2 && asks_for_help(argv[1])) {
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
    message_sink& messages = context.messages();
    if (status == 0) status = flush_standard_output("kestrix", messages);
    if (status != 0) say(messages, "kestrix: exiting due to error\n");
    if (context.stack.depth() > 0) {
        say(messages, "Warning: on exit, stack was not empty:\n");
        messages.take(context.stack.listing());
        if (suggest_command(context.stack, argc == 2, messages)) status = -1;
    }
    std::fflush(stdout);
    return status;
}
