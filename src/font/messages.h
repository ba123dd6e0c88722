// The one channel every layer reports through. A message is one piece of text, its
// newline included, handed to a sink: the program's sink writes it to the standard error
// stream after flushing the standard output, so a reader sees the two streams in the order
// they were written; tests, fuzz targets and an embedding program collect or drop them
// instead, without touching file descriptors.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

class message_sink {
  public:
    virtual ~message_sink() = default;
    // One message's text, exactly as it is to appear (newline included when it ends a line).
    virtual void take(std::string_view text) = 0;
};

// The text printf would write.
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformatted(const char* format, std::va_list args) __attribute__((format(printf, 1, 0)));

// Formats as printf does and hands the text to the sink as one message.
void say(message_sink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
void vsay(message_sink& sink, const char* format, std::va_list args)
    __attribute__((format(printf, 2, 0)));
// What the C library's perror writes for `what`: "WHAT: " and the text of the current errno.
void say_errno(message_sink& sink, const char* what);

// The program's sink: flushes the standard output, then writes to the standard error.
message_sink& standard_error_sink();

// Collects every message, in order, in one string.
class captured_messages : public message_sink {
  public:
    void take(std::string_view text) override { text_ += text; }
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

// Drops every message (a fuzz target reads none of them).
class discarded_messages : public message_sink {
  public:
    void take(std::string_view) override {}
};
