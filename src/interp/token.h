// Splits script text into tokens: white-space separated words, parenthesised strings
// with backslash escapes, and "%" comments.
#pragma once

#include <cstdio>
#include <string>

enum class token_status {
    token,  // a token was read
    end,    // end of input
    error,  // the reader printed an error (token too long, out of memory)
};

constexpr std::size_t kMaxTokenLength = 257;

token_status parse_token(std::FILE* stream, std::string& token);
