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
int encode_command() {
    return not_available("encode");
}
int getmetrics_command() {
    return not_available("getmetrics");
}
int platform_command() {
    return not_available("platform");
}
int import_command() {
    return not_available("import");
}
int export_command() {
    return not_available("export");
}
int rename_command() {
    return not_available("rename");
}
int setaw_command() {
    return not_available("setaw");
}
