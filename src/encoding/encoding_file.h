// The encoding file: the character-metrics line form of AFM files.
//
//     Comment any text                     (ignored wherever it stands)
//     StartCharMetrics 0                   (everything before it is ignored)
//     CH <0041> ; N A ;                    (hexadecimal code)
//     C 32 ; WX 600 ; N space ; B 0 0 0 0 ;  (decimal code; other fields ignored)
//     EndCharMetrics                       (nothing after it is read)
//
// Lines are read whole, whatever their length, up to the limit of an input file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

#include "font/fileio.h"

// Calls `handle` with each metrics line of the stream (its line end still attached).
// False, after the message of report_input_too_large naming the file, when more than
// `limit` bytes had to be read.
bool for_each_metrics_line(std::FILE* in, const std::function<void(char* line)>& handle,
                           message_sink& messages, const char* name = "-",
                           std::size_t limit = kMaxInputBytes);

// The last code and name tokens of a metrics line; null where the line has none.
struct metrics_tokens {
    const char* code = nullptr;
    const char* name = nullptr;
};

// Splits the line in place into tokens at runs of " \t\n\r" and walks its fields: a field
// ends with a token that is exactly ";", and its first token is its key. "C" and "CH" take
// the next token as the code, "N" as the glyph name; other keys and the rest of each field
// are skipped.
metrics_tokens scan_metrics_line(char* line);

// Reads a code token: "<" and hexadecimal digits (a closing ">" or anything else after
// them is ignored), or a decimal number with an optional sign. False when there are no
// digits. Values too large for `value` saturate at its maximum.
bool read_code_token(const char* token, long long& value);
