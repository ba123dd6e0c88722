// Splits script text into tokens: white-space separated words, parenthesised strings
// with backslash escapes, and "%" comments.
#pragma once

#include <cstdio>
#include <string>

enum class token_status {
    token,      // a token was read
    end,        // end of input
    error,      // the token cannot be read: script_token::problem says why
    too_large,  // the script went on past its byte budget; nothing was printed
};

constexpr std::size_t kMaxTokenLength = 257;

// Inside parentheses a backslash takes the next character literally, except before three
// octal digits of at most 377: those stand for the byte of that value (\033 is ESC, \000
// a zero byte, which the token keeps). A raw zero byte still ends the token's text.
struct script_token {
    std::string text;
    // A parenthesised string with an escape in it: an operand even when it spells a
    // command, so that text written out for a script (listname) never runs.
    bool operand_only = false;
    // Why the token could not be read ("token too long", "out of memory"), for the caller
    // to report; the reader itself prints nothing.
    const char* problem = nullptr;
};

token_status parse_token(std::FILE* stream, std::string& token);

// As above, taking each byte read from `budget` (the bytes a script may still hold):
// too_large once a byte beyond it would be read.
token_status parse_token(std::FILE* stream, std::string& token, std::size_t& budget);
token_status parse_token(std::FILE* stream, script_token& token, std::size_t& budget);
