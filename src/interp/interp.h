// Program entry, the command table and dispatch, and program-wide interpreter state.
#pragma once

#include <memory>
#include <string>

struct font_object;

using command_handler = int (*)();

struct command_entry {
    const char* name;  // compared case-sensitively
    command_handler handler;
};

// The 20 commands, in table order, ended by a row with a null name.
extern const command_entry command_table[];

// Forced file interpretation: offset-table checks become warnings while it is 1.
extern int forced_interpretation;

// The process's arguments, kept for the AFM writer, which echoes the command line.
extern int saved_argc;
extern char** saved_argv;

// Pops the top item and runs it when it names a command; otherwise pushes it back.
int execute_token();

// Runs the tokens of a script file ("-" is the standard input). Scripts may run scripts,
// up to kMaxRunDepth levels.
int run_file(const char* path);
constexpr int kMaxRunDepth = 256;

// Prints the start-up banner and checks the integer type widths.
void print_banner();
void check_typedefs();

// The program: returns the exit status (0, or -1 after a failing command).
int kestrix_main(int argc, char** argv);

// Font objects live in a program-wide pool: the stack only refers to them. `font` adds
// one, `free` releases one; whatever is left goes away at exit.
font_object* adopt_font(std::unique_ptr<font_object> font);
void release_font(font_object* font);

// Script tokens live until the program ends; stack items point into this storage.
const char* keep_token(std::string token);

// Returns the interpreter to its state at program start: empty stack, no font objects,
// no kept script tokens, forced interpretation off, list numbering and the composite-glyph
// notice as new. For callers that run many programs
// in one process (the fuzz targets and their regression replays).
void reset_interpreter();

// Every command handler, by name.
int afm_command();
int chart_command();
int dup_command();
int encode_command();
int font_command();
int force_command();
int free_command();
int gen_command();
int getmetrics_command();
int list_command();
int listname_command();
int platform_command();
int pop_command();
int import_command();
int export_command();
int rename_command();
int run_command();
int setaw_command();
int show_command();
int stack_command();
