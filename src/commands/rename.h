// The rename command: replaces the string of one name record.
#pragma once

struct name_record;

// Stores text in the record as its platform encodes names: platforms 0 and 3 as UTF-16
// big-endian units 0x0000-0x00FF (a zero byte before each character), others byte for
// byte. 0, or -1 with the record unchanged.
int set_name(name_record* record, const char* text);
