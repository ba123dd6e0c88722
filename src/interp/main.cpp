#include "interp/interp.h"

int main(int argc, char** argv) {
    return kestrix_main(argc, argv) == 0 ? 0 : 255;
}
