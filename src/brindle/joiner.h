// brindle's main flow: joins a large and a small code table and an optional synonym
// file into an encoding file on the standard output.
#pragma once

namespace brindle {

// Runs the whole program on its command line; returns the exit status, 0 or -1.
int run_brindle(int argc, char* argv[]);

}  // namespace brindle
