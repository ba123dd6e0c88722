// reset_interpreter: many programs in one process (the fuzz targets and their replays)
// each start from the state a fresh process has.
#include <gtest/gtest.h>

#include <string>

#include "interp/interp.h"
#include "interp/stack.h"
#include "support/font_builder.h"
#include "support/run.h"

namespace {

int run_words(std::initializer_list<const char*> words) {
    for (const char* w : words) {
        int status = push_item(keep_token(w), ITEM_STRING);
        if (status == 0) status = execute_token();
        if (status != 0) return status;
    }
    return 0;
}

std::string load_quietly_except_stderr(const std::string& path) {
    testing::internal::CaptureStderr();
    run_words({path.c_str(), "font"});
    return testing::internal::GetCapturedStderr();
}

TEST(ResetInterpreter, StartsEachProgramAfresh) {
    testrun::scratch_dir dir;
    auto parts = testfont::standard_parts();
    testfont::make_aring_composite(parts);
    const std::string path = parts.builder().write(dir.file("composite.ttf"));
    const std::string notice = "read_glyph: glyph 6: warning: composite glyph(s) ignored\n";
    reset_interpreter();  // whatever tests ran before in this process

    testing::internal::CaptureStderr();
    ASSERT_EQ(run_words({"force", "a", "b"}), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(load_quietly_except_stderr(path), notice);
    EXPECT_EQ(load_quietly_except_stderr(path), "");  // once per run
    EXPECT_EQ(stack_depth(), 4);

    reset_interpreter();
    EXPECT_EQ(stack_depth(), 0);
    EXPECT_EQ(forced_interpretation, 0);
    EXPECT_EQ(load_quietly_except_stderr(path), notice);
    ASSERT_EQ(stack_depth(), 1);
    EXPECT_NE(stack_slot(0).font(), nullptr);
    reset_interpreter();
    EXPECT_EQ(stack_depth(), 0);
}

}  // namespace
