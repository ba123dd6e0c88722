#include <gtest/gtest.h>

#include "support/run.h"

TEST(Program, NoArgumentsExitsCleanly) {
    auto r = testrun::kestrix({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}
