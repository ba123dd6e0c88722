#include "commands/context.h"

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
    tokens_.push_back(std::move(token));
    return tokens_.back().c_str();
}
