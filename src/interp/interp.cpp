#include "interp/interp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "font/font.h"
#include "font/types.h"
#include "interp/stack.h"
#include "interp/token.h"
#include "report/list.h"
#include "tables/glyf.h"

int forced_interpretation = 0;
int saved_argc = 0;
char** saved_argv = nullptr;

const command_entry command_table[] = {
    {"afm", afm_command},       {"chart", chart_command},       {"dup", dup_command},
    {"encode", encode_command}, {"font", font_command},         {"force", force_command},
    {"free", free_command},     {"gen", gen_command},           {"getmetrics", getmetrics_command},
    {"list", list_command},     {"listname", listname_command}, {"platform", platform_command},
    {"pop", pop_command},       {"import", import_command},     {"export", export_command},
    {"rename", rename_command}, {"run", run_command},           {"setaw", setaw_command},
    {"show", show_command},     {"stack", stack_command},       {nullptr, nullptr},
};

namespace {

std::deque<std::string>& token_pool() {
    static std::deque<std::string> pool;
    return pool;
}

std::vector<std::unique_ptr<font_object>>& font_pool() {
    static std::vector<std::unique_ptr<font_object>> pool;
    return pool;
}

// No exception may leave a handler: a failed allocation is reported like any failure.
int call_handler(command_handler handler) {
    try {
        return handler();
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "Out of memory!\n");
        return -1;
    }
}

}  // namespace

const char* keep_token(std::string token) {
    token_pool().push_back(std::move(token));
    return token_pool().back().c_str();
}

font_object* adopt_font(std::unique_ptr<font_object> font) {
    font_pool().push_back(std::move(font));
    return font_pool().back().get();
}

void release_font(font_object* font) {
    auto& pool = font_pool();
    for (auto it = pool.begin(); it != pool.end(); ++it) {
        if (it->get() == font) {
            free_font(std::move(*it));
            pool.erase(it);
            return;
        }
    }
}

void reset_interpreter() {
    clear_stack();
    auto& fonts = font_pool();
    while (!fonts.empty()) {
        free_font(std::move(fonts.back()));
        fonts.pop_back();
    }
    token_pool().clear();
    forced_interpretation = 0;
    forget_display_ids();
    rearm_composite_warning();
}

int execute_token() {
    stack_item item;
    if (!pop_item(item)) return 0;
    if (item.type == ITEM_STRING && item.str()) {
        for (const command_entry* c = command_table; c->name; ++c)
            if (std::strcmp(c->name, item.str()) == 0) return call_handler(c->handler);
    }
    // Not a command: the item was just popped, so putting it back cannot overflow.
    push_back_item(item);
    return 0;
}

int run_file(const char* path) {
    if (!path || !*path) {
        std::fprintf(stderr, "run: missing file name\n");
        return -1;
    }
    // Each level holds an open file and a few stack frames; a script that runs itself
    // would otherwise recurse until the process runs out of one or the other.
    static int depth = 0;
    if (depth >= kMaxRunDepth) {
        std::fprintf(stderr, "run: scripts nested more than %d deep\n", kMaxRunDepth);
        return -1;
    }
    struct level_guard {
        level_guard() { ++depth; }
        ~level_guard() { --depth; }
    } level;
    file_handle stream = open_file(path, "r");
    if (!stream) {
        int saved = errno;
        std::fprintf(stderr, "run: cannot open \"%s\"\n", path);
        errno = saved;
        std::perror(path);
        return -1;
    }
    for (;;) {
        std::string token;
        token_status ts = parse_token(stream.get(), token);
        if (ts == token_status::end) return 0;
        int status = -1;
        if (ts == token_status::token && push_item(keep_token(std::move(token)), ITEM_STRING) == 0)
            status = execute_token();
        if (status != 0) {
            std::fprintf(stderr, "file \"%s\": run terminated\n", path);
            return status;
        }
    }
}

int run_command() {
    stack_item item;
    if (!pop_item(item)) {
        std::fprintf(stderr, "run: stack is empty\n");
        return -1;
    }
    if (item.type != ITEM_STRING) {
        std::fprintf(stderr, "run: expected file name\n");
        return -1;
    }
    return run_file(item.str());
}

int force_command() {
    forced_interpretation = 1 - forced_interpretation;
    if (forced_interpretation == 1)
        std::fprintf(stderr, "Warning: forced file interpretation is ON\n");
    return 0;
}

void print_banner() {
    std::printf(
        "kestrix: (c) 2026 the kestrix developers; report problems on the project's tracker\n");
    std::printf("Documentation: README.md and the kestrix(1) manual page\n");
    std::printf("Updates and support: the kestrix project repository\n");
    std::printf("Release 1.0.0 for POSIX systems, 2026-12-07\n");
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
    saved_argc = argc;
    saved_argv = argv;
    if (argc <= 1) {
        print_banner();
        check_typedefs();
        return 0;
    }
    int status = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        // Each command-line word is one whole token, never split or scanned.
        status = push_item(argv[i], ITEM_STRING);
        if (status == 0) status = execute_token();
    }
    std::fflush(stdout);
    if (status != 0) std::fprintf(stderr, "kestrix: exiting due to error\n");
    if (stack_depth() > 0) {
        std::fprintf(stderr, "Warning: on exit, stack was not empty:\n");
        dump_stack(stderr);
    }
    std::fflush(stdout);
    return status;
}
