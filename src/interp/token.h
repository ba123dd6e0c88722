// Splits script text into tokens: white-space separated words, parenthesised strings
// with backslash escapes, and "%" comments.
#pragma once

#include <cstdio>
#include <string>

enum class token_status {
    token,      // a token was read
    end,        // end of input
    error,      // the reader printed an error (token too long, out of memory)
    too_large,  // the script went on past its byte budget; nothing was printed
};

constexpr std::size_t kMaxTokenLength = 257;

token_status parse_token(std::FILE* stream, std::string& token);

// As above, taking each byte read from `budget` (the bytes a script may still hold):
// too_large once a byte beyond it would be read.
token_status parse_token(std::FILE* stream, std::string& token, std::size_t& budget);
