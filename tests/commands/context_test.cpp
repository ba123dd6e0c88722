// The run's context keeps a script token only while a stack item refers to it.
#include <gtest/gtest.h>

#include <string>

#include "commands/context.h"

TEST(Context, KeepsOnlyTokensTheStackRefersTo) {
    kestrix_context context(nullptr);
    const char* held = context.keep_token("held");
    ASSERT_EQ(context.stack.push(held, ITEM_STRING), 0);
    stack_item item;
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(context.stack.push(context.keep_token(std::to_string(i)), ITEM_STRING), 0);
        context.stack.pop(item);
    }
    EXPECT_LE(context.kept_tokens(), kMinTokensKept + 1);
    ASSERT_TRUE(context.stack.pop(item));
    EXPECT_EQ(item.val, held);
    EXPECT_STREQ(item.str(), "held");
}
