// Allocation of parsed records and their arrays. A failed allocation is reported where it
// happens, with the text the caller gives, and the parser carries on or gives up as the
// table's rules say; no exception leaves a parser.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "font/messages.h"

inline constexpr const char* kOutOfMemory = "Out of memory!\n";

// A zero-initialised record, or nothing after reporting "Out of memory!\n".
template <class T>
std::unique_ptr<T> new_record(message_sink& messages) {
    try {
        return std::make_unique<T>();
    } catch (const std::bad_alloc&) {
        messages.take(kOutOfMemory);
        return nullptr;
    }
}

// Sizes v to exactly n value-initialised elements; on failure reports oom_text and
// returns false, leaving v empty.
template <class T>
bool allocate_array(std::vector<T>& v, std::size_t n, message_sink& messages,
                    const char* oom_text = kOutOfMemory) {
    try {
        std::vector<T>(n).swap(v);
        return true;
    } catch (const std::bad_alloc&) {
        messages.take(oom_text);
        return false;
    } catch (const std::length_error&) {
        messages.take(oom_text);
        return false;
    }
}
