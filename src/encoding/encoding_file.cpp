#include "encoding/encoding_file.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

bool starts_with(const char* line, const char* prefix) {
    return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}

bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Hands out the tokens of a line one at a time, terminating each in place.
class token_cursor {
  public:
    explicit token_cursor(char* line) : p_(line) {}

    const char* next() {
        while (*p_ && is_separator(*p_)) ++p_;
        if (!*p_) return nullptr;
        char* token = p_;
        while (*p_ && !is_separator(*p_)) ++p_;
        if (*p_) *p_++ = '\0';
        return token;
    }

  private:
    char* p_;
};

bool is_field_end(const char* token) {
    return std::strcmp(token, ";") == 0;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Accumulates digits in base `base`, saturating at LLONG_MAX; false when there are none.
bool read_digits(const char* p, int base, long long& value) {
    long long v = 0;
    bool any = false;
    for (int d; (d = hex_value(*p)) >= 0 && d < base; ++p) {
        any = true;
        v = v > (LLONG_MAX - d) / base ? LLONG_MAX : v * base + d;
    }
    if (any) value = v;
    return any;
}

enum class line_status { line, end, too_long };

// Line starts that matter outside the metrics section ("Comment", "StartCharMetrics").
constexpr std::size_t kHeaderLineKept = 32;

// The next line, its line end kept, taking its bytes from `budget`. Only the first `keep`
// bytes are stored; the rest of a longer line is read and dropped. The line grows at most to
// the budget it started with, so even a line of the whole 1 GiB never takes twice that.
line_status read_line(std::FILE* in, std::string& line, std::size_t& budget, std::size_t keep) {
    line.clear();
    const std::size_t most = std::min(keep, budget);
    bool any = false;
    for (int c; (c = std::getc(in)) != EOF;) {
        if (budget == 0) return line_status::too_long;
        --budget;
        any = true;
        if (line.size() < most) {
            if (line.size() == line.capacity())
                line.reserve(std::min(most, std::max<std::size_t>(64, 2 * line.capacity())));
            line.push_back(static_cast<char>(c));
        }
        if (c == '\n') break;
    }
    return any ? line_status::line : line_status::end;
}

}  // namespace

bool for_each_metrics_line(std::FILE* in, const std::function<void(char* line)>& handle,
                           message_sink& messages, const char* name, std::size_t limit) {
    if (known_to_exceed(in, limit)) {
        report_input_too_large(name, messages);
        return false;
    }
    std::string line;
    bool in_metrics = false;
    for (;;) {
        const line_status status = read_line(in, line, limit, in_metrics ? limit : kHeaderLineKept);
        if (status == line_status::too_long) {
            report_input_too_large(name, messages);
            return false;
        }
        if (status == line_status::end) return true;
        if (starts_with(line.c_str(), "Comment")) continue;
        if (!in_metrics) {
            in_metrics = starts_with(line.c_str(), "StartCharMetrics");
            continue;
        }
        if (starts_with(line.c_str(), "EndCharMetrics")) return true;
        handle(line.data());
    }
}

metrics_tokens scan_metrics_line(char* line) {
    metrics_tokens found;
    token_cursor cursor(line);
    const char* token = cursor.next();
    while (token) {
        if (is_field_end(token)) {  // an empty field
            token = cursor.next();
            continue;
        }
        const bool is_code = std::strcmp(token, "C") == 0 || std::strcmp(token, "CH") == 0;
        const bool is_name = std::strcmp(token, "N") == 0;
        token = cursor.next();
        if (token && !is_field_end(token) && (is_code || is_name)) {
            (is_code ? found.code : found.name) = token;
            token = cursor.next();
        }
        while (token && !is_field_end(token)) token = cursor.next();
        if (token) token = cursor.next();  // past the ";"
    }
    return found;
}

bool read_code_token(const char* token, long long& value) {
    if (token[0] == '<') return read_digits(token + 1, 16, value);
    const char* p = token;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!read_digits(p, 10, value)) return false;
    if (negative) value = -value;
    return true;
}
