#include "text_input.h"

#include <cerrno>
#include <limits>

namespace brindle {

line_status read_line(std::FILE* in, std::size_t max_length, std::string& line) {
    line.clear();
    line.reserve(max_length + 1);
    bool read_any = false;
    int c;
    while ((c = std::getc(in)) != EOF && c != '\n') {
        read_any = true;
        if (line.size() <= max_length) line.push_back(static_cast<char>(c));
    }
    if (std::ferror(in)) return line_status::read_error;
    if (c == EOF && !read_any) return line_status::end_of_file;
    return line.size() > max_length ? line_status::too_long : line_status::ok;
}

bool is_comment_line(std::string_view line) {
    return !line.empty() && (line[0] == '#' || line[0] == '%');
}

std::string_view strip_comment(std::string_view line) {
    std::size_t end = line.find_first_of(std::string_view("#%\0", 3));
    return end == std::string_view::npos ? line : line.substr(0, end);
}

bool is_hex_digit(char c) {
    return is_decimal_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_decimal_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

namespace {

// The white space that scanf's "%s" and " " directives skip.
bool is_scanf_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digit_value(char c) {
    if (is_decimal_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool is_digit_of_base(char c, int base) {
    if (base == 16) return is_hex_digit(c);
    return is_decimal_digit(c) && digit_value(c) < base;
}

bool starts_with_hex_prefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Reads the digits of `base` at the start of `text`, consuming them. The value is
// capped just above `limit`, so the caller can tell an oversized number without any
// arithmetic overflowing.
std::uint64_t consume_digits(std::string_view& text, int base, std::uint64_t limit) {
    std::uint64_t value = 0;
    while (!text.empty() && is_digit_of_base(text[0], base)) {
        if (value <= limit) value = value * static_cast<std::uint64_t>(base) + digit_value(text[0]);
        text.remove_prefix(1);
    }
    return value;
}

// "0x" must be followed by a hex digit: "0x" alone is not a number, even though some
// C libraries read it as 0.
std::optional<std::uint64_t> consume_hex(std::string_view& text, std::uint64_t limit) {
    if (starts_with_hex_prefix(text)) {
        if (text.size() < 3 || !is_hex_digit(text[2])) return std::nullopt;
        text.remove_prefix(2);
    }
    if (text.empty() || !is_hex_digit(text[0])) return std::nullopt;
    return consume_digits(text, 16, limit);
}

}  // namespace

std::optional<code_and_name> scan_code_and_name(std::string_view line) {
    constexpr std::uint64_t code_limit = std::numeric_limits<std::uint32_t>::max();
    std::string_view rest = line;
    while (!rest.empty() && is_scanf_space(rest[0])) rest.remove_prefix(1);
    std::optional<std::uint64_t> code = consume_hex(rest, code_limit);
    if (!code) return std::nullopt;

    while (!rest.empty() && is_scanf_space(rest[0])) rest.remove_prefix(1);
    std::size_t name_length = 0;
    while (name_length < rest.size() && !is_scanf_space(rest[name_length])) ++name_length;
    if (name_length == 0) return std::nullopt;

    code_and_name result;
    result.code = static_cast<std::uint32_t>(*code > code_limit ? code_limit : *code);
    result.name = rest.substr(0, name_length);
    return result;
}

std::optional<std::int32_t> scan_integer(std::string_view word) {
    constexpr std::uint64_t int_limit = std::numeric_limits<std::int32_t>::max();
    std::optional<std::uint64_t> value;
    if (starts_with_hex_prefix(word)) {
        value = consume_hex(word, int_limit);
    } else if (!word.empty() && is_decimal_digit(word[0])) {
        value = consume_digits(word, word[0] == '0' ? 8 : 10, int_limit);
    }
    if (!value || *value > int_limit) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

namespace {

void report_file_error(const char* path, const char* what) {
    int error = errno;  // the message below must not disturb what perror describes
    std::fprintf(stderr, "%s: %s\n", path, what);
    errno = error;
    std::perror(path);
}

}  // namespace

void report_cannot_open(const char* path) {
    report_file_error(path, "cannot open");
}

void report_cannot_read(const char* path) {
    report_file_error(path, "cannot read");
}

void report_cannot_write(const char* path) {
    report_file_error(path, "cannot write");
}

}  // namespace brindle
