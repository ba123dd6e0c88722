// Shared plumbing of the fuzz targets: a private working directory, confinement of the
// files the program may open, per-input cleanup, and a way to feed command words to the
// interpreter in process.
//
// Every target defines LLVMFuzzerTestOneInput. The same sources build two ways: with
// libFuzzer (fuzz/CMakeLists.txt) and as plain replay programs that the test suite runs
// over the inputs kept in tests/regress (tests/regress/replay_main.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct kestrix_context;
class message_sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzzkit {

// Called once, before the first input: makes a fresh directory under the system's
// temporary area, points the standard input at /dev/null (a script may name "-"), and
// writes the fixtures there: files (name, contents) the target keeps for every input.
void setup(const char* target, const std::vector<std::pair<std::string, std::string>>& fixtures);
bool is_set_up();

// Writes a file (inside an input: a name in the working directory).
void write_file(const std::string& name, std::string_view bytes);

// An input runs inside the working directory, with a context of its own: begin_input()
// makes the context, as a fresh run of the program has it (its messages discarded), moves there and
// confines the program to it (the program's opens of any path with a '/' fail as if the file could
// not be opened, so a fuzzed script cannot reach /dev/zero, read a terminal or write elsewhere);
// end_input() removes every file the input left behind (all but the fixtures), drops the context
// and moves back, so that libFuzzer's own relative paths keep their meaning.
void begin_input();
void end_input();

// Pushes each word as a string token and dispatches it, as the command line does; stops
// at the first failing command and returns its status.
int run_words(std::initializer_list<std::string_view> words);

// The current input's context (between begin_input and end_input).
kestrix_context& context();

// Where the targets' messages go: nowhere. No target reads them, and a hostile count can
// make a parser repeat one thousands of times.
message_sink& dropped_messages();

// The contents of a bundled sample font (fonts/NAME in the source tree).
std::string sample_font(const char* name);

}  // namespace fuzzkit
