// The interpreter: the command table and dispatch, script files, and the program.
#pragma once

#include "commands/commands.h"
#include "commands/context.h"

struct command_entry {
    const char* name;  // compared case-sensitively
    command_handler handler;
};

// The commands, in table order, ended by a row with a null name.
extern const command_entry command_table[];

// Pops the top item and runs it when it names a command; otherwise pushes it back.
int execute_token(kestrix_context& context);

// Runs the tokens of a script file ("-" is the standard input). Scripts may run scripts,
// up to kMaxRunDepth levels.
int run_file(kestrix_context& context, const char* path);
constexpr int kMaxRunDepth = 256;

// Prints the start-up banner and checks the integer type widths.
void print_banner();
void check_typedefs();

// The program: returns the exit status (0, or -1 after a failing command).
int kestrix_main(int argc, char** argv);
