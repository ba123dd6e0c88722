#include <cstdio>
#include <new>

#include "joiner.h"

int main(int argc, char* argv[]) {
    try {
        return brindle::run_brindle(argc, argv);
    } catch (const std::bad_alloc&) {
        // The table readers report running out themselves; this is for the rest.
        std::fputs("Out of memory!\n", stderr);
        return -1;
    }
}
