// The interpreter: the command table and dispatch, script files, and the program.
#pragma once

#include <string_view>

#include "commands/commands.h"
#include "commands/context.h"

struct command_entry {
    const char* name;  // compared case-sensitively
    command_handler handler;
};

// The commands, in table order, ended by a row with a null name.
extern const command_entry command_table[];

// Whether the word is the name of a command of the table.
bool is_command_word(std::string_view word);

// Pops the top item and runs it when it names a command; otherwise pushes it back.
int execute_token(kestrix_context& context);

// Runs the tokens of a script file ("-" is the standard input). Scripts may run scripts,
// up to kMaxRunDepth levels.
int run_file(kestrix_context& context, const char* path);
constexpr int kMaxRunDepth = 256;

// Prints the start-up banner and checks the integer type widths.
void print_banner();
void check_typedefs();

// The program: returns the exit status: 0, or -1 after a failing command or when a word
// left on the stack looks like a misspelt command.
int kestrix_main(int argc, char** argv);
