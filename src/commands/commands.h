// Every command handler. Each takes its operands from the context's stack and leaves its
// results there; 0, or -1 after a message through the context.
#pragma once

struct kestrix_context;

using command_handler = int (*)(kestrix_context& context);

int afm_command(kestrix_context& context);         // afm.cpp
int chart_command(kestrix_context& context);       // chart.cpp
int chartrange_command(kestrix_context& context);  // chart.cpp
int dup_command(kestrix_context& context);         // stack_commands.cpp
int encode_command(kestrix_context& context);      // encode.cpp
int face_command(kestrix_context& context);        // font_commands.cpp
int family_command(kestrix_context& context);      // family.cpp
int font_command(kestrix_context& context);        // font_commands.cpp
int force_command(kestrix_context& context);       // font_commands.cpp
int free_command(kestrix_context& context);        // font_commands.cpp
int gen_command(kestrix_context& context);         // gen.cpp
int getmetrics_command(kestrix_context& context);  // metrics.cpp
int list_command(kestrix_context& context);        // list.cpp
int listname_command(kestrix_context& context);    // list.cpp
int platform_command(kestrix_context& context);    // platform.cpp
int pop_command(kestrix_context& context);         // stack_commands.cpp
int import_command(kestrix_context& context);      // table_io.cpp
int export_command(kestrix_context& context);      // table_io.cpp
int rename_command(kestrix_context& context);      // rename.cpp
int replace_command(kestrix_context& context);     // font_commands.cpp
int run_command(kestrix_context& context);         // run.cpp
int setaw_command(kestrix_context& context);       // metrics.cpp
int show_command(kestrix_context& context);        // stack_commands.cpp
int stack_command(kestrix_context& context);       // stack_commands.cpp
int texafm_command(kestrix_context& context);      // afm.cpp
