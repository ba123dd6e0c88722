#include "interp/token.h"

#include <cctype>
#include <new>

namespace {

bool is_space(int c) {
    return c != EOF && std::isspace(static_cast<unsigned char>(c));
}

bool is_octal(int c) {
    return c >= '0' && c <= '7';
}

// Characters from next_char, with room to put back the two an escape may read ahead.
template <class Next>
class char_source {
  public:
    explicit char_source(Next& next_char) : next_char_(next_char) {}
    int get() { return held_count_ > 0 ? held_[--held_count_] : next_char_(); }
    void put_back(int c) { held_[held_count_++] = c; }

  private:
    Next& next_char_;
    int held_[2] = {};  // the last put back is read first
    int held_count_ = 0;
};

// The character a backslash escapes, the backslash already read: the byte of three octal
// digits of at most 377, or else the next character itself (EOF at the end of input).
template <class Source>
int escaped_char(Source& in) {
    const int first = in.get();
    if (first < '0' || first > '3') return first;
    const int second = in.get();
    if (!is_octal(second)) {
        in.put_back(second);
        return first;
    }
    const int third = in.get();
    if (!is_octal(third)) {
        in.put_back(third);
        in.put_back(second);
        return first;
    }
    return (first - '0') * 64 + (second - '0') * 8 + (third - '0');
}

// One token, its characters taken from next_char (EOF at the end of the input).
template <class Next>
token_status read_token(Next& next_char, script_token& token) {
    char_source<Next> in(next_char);
    bool in_string = false;
    int c = in.get();
    for (;;) {
        while (is_space(c)) c = in.get();
        if (c == EOF) return token_status::end;
        if (c == '(') {
            // White space right after the parenthesis belongs to the string.
            in_string = true;
            c = in.get();
            if (c == EOF) return token_status::end;
        }
        if (c != '%') break;
        // A comment runs to the end of the line; a "(" before it still applies after it.
        while (c != '\n') {
            c = in.get();
            if (c == EOF) return token_status::end;
        }
        c = in.get();
    }

    std::string text;
    std::size_t raw_zero = std::string::npos;  // where the first unescaped zero byte is
    bool escaped = false;
    try {
        text.reserve(32);
        for (;;) {
            if (in_string && c == ')') break;
            if (!in_string && is_space(c)) break;
            const bool escape = in_string && c == '\\';
            if (escape) {
                c = escaped_char(in);
                if (c == EOF) break;
                escaped = true;
            }
            if (text.size() >= kMaxTokenLength) {
                token.problem = "token too long";
                return token_status::error;
            }
            if (c == '\0' && !escape && raw_zero == std::string::npos) raw_zero = text.size();
            text.push_back(static_cast<char>(c));
            c = in.get();
            if (c == EOF) break;
        }
        // Like a C string, a token ends at its first NUL byte, unless the NUL was escaped.
        if (raw_zero != std::string::npos) text.resize(raw_zero);
        token.text = std::move(text);
        token.operand_only = escaped;
    } catch (const std::bad_alloc&) {
        token.problem = "out of memory";
        return token_status::error;
    }
    return token_status::token;
}

}  // namespace

token_status parse_token(std::FILE* stream, std::string& token) {
    std::size_t unlimited = static_cast<std::size_t>(-1);
    return parse_token(stream, token, unlimited);
}

token_status parse_token(std::FILE* stream, std::string& token, std::size_t& budget) {
    script_token read;
    const token_status status = parse_token(stream, read, budget);
    if (status == token_status::token) token = std::move(read.text);
    return status;
}

token_status parse_token(std::FILE* stream, script_token& token, std::size_t& budget) {
    bool over_budget = false;
    auto next_char = [&] {
        const int c = std::fgetc(stream);
        if (c != EOF && budget == 0) {
            over_budget = true;
            return EOF;
        }
        if (c != EOF) --budget;
        return c;
    };
    const token_status status = read_token(next_char, token);
    return over_budget ? token_status::too_large : status;
}
