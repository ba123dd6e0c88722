// Running one command in this process on operands pushed by the test, with the font
// loaded here, so that a test can look at the elaborated records the command changed.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "font/font.h"
#include "interp/interp.h"
#include "support/font_builder.h"
#include "tables/registry.h"

namespace cmdtest {

// A font loaded and elaborated as the font command does it (messages captured).
struct loaded_font {
    run_notices notices;
    std::unique_ptr<font_object> font;
    std::string load_messages;

    explicit loaded_font(const std::string& path) {
        testing::internal::CaptureStderr();
        font = load_font(path.c_str(), {false, notices});
        if (font)
            for (const char* tag : font_elab_order_of(*font)) load_elab_table(*font, tag, 1);
        load_messages = testing::internal::GetCapturedStderr();
    }
    font_object& operator*() const { return *font; }
    font_object* operator->() const { return font.get(); }
};

// One operand: a font, a string or an integer.
struct operand {
    stack_item item;
    operand(font_object* f) { item = {f, 0, ITEM_FONT}; }
    operand(font_object& f) : operand(&f) {}
    operand(const loaded_font& f) : operand(f.font.get()) {}
    operand(const char* s) : operand(std::string(s)) {}
    operand(std::string s) {
        static std::deque<std::string> kept;  // stack items point at their text
        kept.push_back(std::move(s));
        item = {kept.back().c_str(), 0, ITEM_STRING, kept.back().size()};
    }
    operand(int n) { item = {nullptr, n, ITEM_INTEGER}; }
};

struct outcome {
    int status = 0;
    std::string err;
    std::string out;
    std::vector<stack_item> left;  // what the stack holds afterwards, bottom first
};

// Pushes the operands (bottom first) onto a fresh context's stack and runs the handler.
inline outcome run(command_handler handler, std::initializer_list<operand> operands) {
    kestrix_context context(run_file);
    for (const operand& o : operands) context.stack.push_back(o.item);
    outcome r;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    r.status = handler(context);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    for (int i = 0; i < context.stack.depth(); ++i) r.left.push_back(context.stack.slot(i));
    return r;
}

// True when the stack was left holding just this font.
inline bool left_font(const outcome& r, const font_object& font) {
    return r.left.size() == 1 && r.left[0].type == ITEM_FONT && r.left[0].val == &font;
}

}  // namespace cmdtest
