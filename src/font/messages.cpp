#include "font/messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

class standard_error final : public message_sink {
  public:
    void take(std::string_view text) override {
        std::fflush(stdout);
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
};

}  // namespace

std::string vformatted(const char* format, std::va_list args) {
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string formatted(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = vformatted(format, args);
    va_end(args);
    return text;
}

void vsay(message_sink& sink, const char* format, std::va_list args) {
    const std::string text = vformatted(format, args);
    if (!text.empty()) sink.take(text);
}

void say(message_sink& sink, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    vsay(sink, format, args);
    va_end(args);
}

void say_errno(message_sink& sink, const char* what) {
    const int error = errno;  // formatting must not lose it
    say(sink, "%s: %s\n", what, std::strerror(error));
}

message_sink& standard_error_sink() {
    static standard_error sink;
    return sink;
}
