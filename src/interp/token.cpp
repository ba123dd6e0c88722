#include "interp/token.h"

#include <cctype>
#include <new>

namespace {

bool is_space(int c) {
    return c != EOF && std::isspace(static_cast<unsigned char>(c));
}

}  // namespace

token_status parse_token(std::FILE* stream, std::string& token) {
    bool in_string = false;
    int c = std::fgetc(stream);
    for (;;) {
        while (is_space(c)) c = std::fgetc(stream);
        if (c == EOF) return token_status::end;
        if (c == '(') {
            // White space right after the parenthesis belongs to the string.
            in_string = true;
            c = std::fgetc(stream);
            if (c == EOF) return token_status::end;
        }
        if (c != '%') break;
        // A comment runs to the end of the line; a "(" before it still applies after it.
        while (c != '\n') {
            c = std::fgetc(stream);
            if (c == EOF) return token_status::end;
        }
        c = std::fgetc(stream);
    }

    std::string text;
    try {
        text.reserve(32);
        for (;;) {
            if (in_string && c == ')') break;
            if (!in_string && is_space(c)) break;
            if (in_string && c == '\\') {
                c = std::fgetc(stream);
                if (c == EOF) break;
            }
            if (text.size() >= kMaxTokenLength) {
                std::fprintf(stderr, "parse_token: token too long\n");
                return token_status::error;
            }
            text.push_back(static_cast<char>(c));
            c = std::fgetc(stream);
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
