// The rename command: replaces the string of one name record.
#pragma once

#include <string_view>

#include "font/messages.h"

struct name_record;

// Stores UTF-8 text in the record as its platform encodes names (see encode_name_text):
// UTF-16 big-endian for platforms 0 and 3, Mac Roman for platform 1 (with a warning for
// characters it cannot hold), others byte for byte. 0, or -1 with the record unchanged.
// The text may hold zero bytes (a script's escaped ones).
int set_name(name_record* record, std::string_view text, message_sink& messages);
int set_name(name_record* record, const char* text, message_sink& messages);
