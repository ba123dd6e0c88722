#include "commands/context.h"

#include <algorithm>
#include <unordered_set>

font_object* kestrix_context::adopt_font(std::unique_ptr<font_object> font) {
    fonts_.push_back(std::move(font));
    return fonts_.back().get();
}

void kestrix_context::release_font(font_object* font) {
    for (auto it = fonts_.begin(); it != fonts_.end(); ++it) {
        if (it->get() == font) {
            free_font(std::move(*it));
            fonts_.erase(it);
            return;
        }
    }
}

const char* kestrix_context::keep_token(std::string token) {
    if (tokens_.size() >= collect_at_) drop_unreferenced_tokens();
    tokens_.push_back(std::move(token));
    return tokens_.back().c_str();
}

void kestrix_context::drop_unreferenced_tokens() {
    std::unordered_set<const void*> referenced;
    for (int i = 0; i < stack.depth(); ++i)
        if (stack.slot(i).type == ITEM_STRING) referenced.insert(stack.slot(i).val);
    tokens_.remove_if([&](const std::string& t) { return !referenced.contains(t.c_str()); });
    // The stack holds at most kStackCapacity tokens, so each collection frees at least as
    // many as it keeps: the work per token stays constant.
    collect_at_ = std::max(kMinTokensKept, 2 * tokens_.size());
}
