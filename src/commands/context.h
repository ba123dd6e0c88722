// Everything one run of the program keeps between commands. kestrix_main makes one per
// run; a process that runs many programs (the fuzz targets) makes one per program, so
// each starts as a fresh process does.
#pragma once

#include <list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/stack.h"
#include "font/font.h"
#include "report/list.h"
#include "report/listname.h"

struct kestrix_context;

// Runs the tokens of a script file; the interpreter provides it, for the run command.
using script_runner = int (*)(kestrix_context& context, const char* path);

// Tokens a run keeps before it looks for ones no stack item refers to.
inline constexpr std::size_t kMinTokensKept = 4 * kStackCapacity;

struct kestrix_context {
    explicit kestrix_context(script_runner run_script, std::span<char* const> args = {},
                             command_word_test is_command = nullptr)
        : run_script(run_script), args(args), is_command(is_command) {
        stack.report_to(*messages_);
    }
    kestrix_context(const kestrix_context&) = delete;
    kestrix_context& operator=(const kestrix_context&) = delete;

    const script_runner run_script;
    const std::span<char* const> args;  // the program's arguments, echoed by afm
    // Whether a word names a command; the interpreter provides it, for listname.
    const command_word_test is_command;
    int run_depth = 0;  // scripts running inside each other

    operand_stack stack;
    bool forced_interpretation = false;  // offset-table checks only warn while on
    bool replace_outputs = false;        // gen, export and chart may replace a file
    run_notices notices;                 // given once per run
    display_ids list_ids;                // the list command's numbering of attached blocks

    // The options fonts are loaded with at this point of the run (face: the font of a
    // collection that the face command picks).
    load_options font_options(std::optional<std::size_t> face = std::nullopt) {
        return {forced_interpretation, notices, face, *messages_};
    }
    // What writers do about a file already at their output path.
    existing_file existing_outputs() const {
        return replace_outputs ? existing_file::replace : existing_file::refuse;
    }

    // Where every message of the run goes: the standard error stream, unless a test, a fuzz
    // target or an embedding program hands the context a sink of its own.
    message_sink& messages() const { return *messages_; }
    void report_to(message_sink& sink) {
        messages_ = &sink;
        stack.report_to(sink);
    }

    // Font objects live in the run's pool: the stack only refers to them. `font` adds one,
    // `free` releases one; whatever is left goes away with the context.
    font_object* adopt_font(std::unique_ptr<font_object> font);
    void release_font(font_object* font);

    // Script tokens live while a stack item refers to them: stack items point into this
    // storage, and keeping a token first drops the unreferenced ones once enough have
    // gathered. A handler that reads script tokens (run) copies what it popped first.
    const char* keep_token(std::string token);
    std::size_t kept_tokens() const { return tokens_.size(); }

  private:
    void drop_unreferenced_tokens();

    message_sink* messages_ = &standard_error_sink();

    std::list<std::string> tokens_;  // a list: the text of a kept token never moves
    std::size_t collect_at_ = kMinTokensKept;
    std::vector<std::unique_ptr<font_object>> fonts_;  // after notices: fonts go first
};
