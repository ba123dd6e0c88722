// A file that writes to the standard error stream behind the message sink's back, with the
// call split over two lines: check_message_channel.sh must refuse it.
#include <cstdio>

void report_bad_table(int format) {
    std::fprintf(stderr, "unknown format %d\n", format);
}
