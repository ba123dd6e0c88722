// Small helpers shared by the editing commands.
#pragma once

#include <cstdio>

namespace commands {

// Prints a complete message on the standard error stream and gives the failure status.
inline int fail(const char* message) {
    std::fprintf(stderr, "%s", message);
    return -1;
}

}  // namespace commands
