#include "interp/token.h"

#include <cctype>
#include <new>

namespace {

bool is_space(int c) {
    return c != EOF && std::isspace(static_cast<unsigned char>(c));
}

// One token, its characters taken from next_char (EOF at the end of the input).
template <class Next>
token_status read_token(Next& next_char, std::string& token) {
    bool in_string = false;
    int c = next_char();
    for (;;) {
        while (is_space(c)) c = next_char();
        if (c == EOF) return token_status::end;
        if (c == '(') {
            // White space right after the parenthesis belongs to the string.
            in_string = true;
            c = next_char();
            if (c == EOF) return token_status::end;
        }
        if (c != '%') break;
        // A comment runs to the end of the line; a "(" before it still applies after it.
        while (c != '\n') {
            c = next_char();
            if (c == EOF) return token_status::end;
        }
        c = next_char();
    }

    std::string text;
    try {
        text.reserve(32);
        for (;;) {
            if (in_string && c == ')') break;
            if (!in_string && is_space(c)) break;
            if (in_string && c == '\\') {
                c = next_char();
                if (c == EOF) break;
            }
            if (text.size() >= kMaxTokenLength) {
                std::fprintf(stderr, "parse_token: token too long\n");
                return token_status::error;
            }
            text.push_back(static_cast<char>(c));
            c = next_char();
            if (c == EOF) break;
        }
        // Like a C string, a token ends at its first NUL byte.
        token.assign(text.c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "parse_token: out of memory\n");
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
