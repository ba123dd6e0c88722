// Integer conversion of operands and the stack's own rules.
#include <gtest/gtest.h>

#include "commands/stack.h"

namespace {

struct conversion {
    const char* text;
    bool ok;
    std::int32_t value;
    std::size_t consumed;
};

class IntegerConversion : public ::testing::TestWithParam<conversion> {};

TEST_P(IntegerConversion, FollowsScanfIntegerRules) {
    const conversion& c = GetParam();
    std::int32_t value = 12345;
    std::size_t consumed = 0;
    ASSERT_EQ(parse_c_integer(c.text, value, consumed), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(consumed, c.consumed) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stackcheck, IntegerConversion,
    ::testing::Values(conversion{"42", true, 42, 2}, conversion{"-7", true, -7, 2},
                      conversion{"+3", true, 3, 2}, conversion{"0x1F", true, 31, 4},
                      conversion{"0X1f", true, 31, 4}, conversion{"010", true, 8, 3},
                      conversion{" 5", true, 5, 2}, conversion{"08", true, 0, 1},
                      conversion{"12abc", true, 12, 2}, conversion{"0x", true, 0, 1},
                      conversion{"2147483647", true, 2147483647, 10},
                      conversion{"-2147483648", true, INT32_MIN, 11},
                      conversion{"2147483648", false, 0, 0}, conversion{"0x80000000", false, 0, 0},
                      conversion{"99999999999999999999", false, 0, 0}, conversion{"", false, 0, 0},
                      conversion{"abc", false, 0, 0}, conversion{"-", false, 0, 0},
                      conversion{"  ", false, 0, 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Stackcheck, MessagesAndConsumption) {
    operand_stack stack;
    std::int32_t out = 99;

    testing::internal::CaptureStderr();
    EXPECT_EQ(stackcheck(stack, out), -1);
    stack.push("08", ITEM_STRING);
    EXPECT_EQ(stackcheck(stack, out), -1);
    stack.push("abc", ITEM_STRING);
    EXPECT_EQ(stackcheck(stack, out), -1);
    stack.push("4294967296", ITEM_STRING);
    EXPECT_EQ(stackcheck(stack, out), -1);
    int dummy = 0;
    stack.push(&dummy, ITEM_FONT);
    EXPECT_EQ(stackcheck(stack, out), -1);
    stack.push(nullptr, ITEM_UNDEFINED);
    EXPECT_EQ(stackcheck(stack, out), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "stackcheck: expected integer, but stack is empty\n"
              "typecheck: extraneous chars in \"08\"\n"
              "typecheck: \"abc\" not an integer\n"
              "typecheck: \"4294967296\" not an integer\n"
              "typecheck: expected integer, got font\n"
              "typecheck: expected integer, got undefined\n");
    EXPECT_EQ(out, 99);
    EXPECT_EQ(stack.depth(), 0);

    stack.push_integer(-5);
    EXPECT_EQ(stackcheck(stack, out), 0);
    EXPECT_EQ(out, -5);
}

}  // namespace
