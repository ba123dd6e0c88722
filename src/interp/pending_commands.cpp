// Commands whose subsystems are still to come answer with a clear failure.
#include <cstdio>

#include "interp/interp.h"

namespace {

int not_available(const char* name) {
    std::fprintf(stderr, "%s: command not available in this build\n", name);
    return -1;
}

}  // namespace

int afm_command() {
    return not_available("afm");
}
