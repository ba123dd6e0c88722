// Line reading and the scanf-style conversions shared by brindle's three input files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace brindle {

// Longest line content (newline excluded) that the code tables and the synonym
// file accept; one character more makes the line "too long".
inline constexpr std::size_t code_line_max = 78;
inline constexpr std::size_t synonym_line_max = 126;

enum class line_status { ok, too_long, end_of_file, read_error };

// Reads the next physical line into `line`, without its newline; the last line of a
// file needs none. A line longer than `max_length` is read up to its newline and
// dropped, and only its first `max_length` + 1 characters are kept (enough to tell a
// comment line), so memory stays bounded however long the line is.
line_status read_line(std::FILE* in, std::size_t max_length, std::string& line);

// "#" and "%" start comments; a line that begins with either is a comment line.
bool is_comment_line(std::string_view line);

// Cuts a line at its first comment character. A NUL byte ends the line's text as well,
// since nothing after it could ever be seen as part of a name.
std::string_view strip_comment(std::string_view line);

bool is_hex_digit(char c);
bool is_decimal_digit(char c);
bool is_letter(char c);

struct code_and_name {
    std::uint32_t code = 0;
    std::string_view name;  // points into the scanned line
};

// Matches "%x %s": a hexadecimal code (a leading 0x is accepted), optional white
// space, and the first word after it. A code that does not fit 32 bits reads as
// 0xffffffff rather than wrapping onto a small, plausible code.
std::optional<code_and_name> scan_code_and_name(std::string_view line);

// Converts the start of a word the way "%i" does: decimal, hexadecimal after 0x,
// octal after a leading 0. Nothing is returned when no number can be read (as for
// "0x" without a hex digit after it) or when the number does not fit an int.
std::optional<std::int32_t> scan_integer(std::string_view word);

// "<path>: cannot open", "<path>: cannot read", "<path>: cannot write", each followed
// by the system's description of the error pending in errno.
void report_cannot_open(const char* path);
void report_cannot_read(const char* path);
void report_cannot_write(const char* path);

}  // namespace brindle
