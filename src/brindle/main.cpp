#include <cstdio>
#include <new>

#include "joiner.h"

int main(int argc, char* argv[]) {
    try {
        return brindle::run_brindle(argc, argv);
    } catch (const std::bad_alloc&) {
        // Only reached when even the fixed-size setup cannot get memory.
        std::fputs("Out of memory!\n", stderr);
        return -1;
    }
}
