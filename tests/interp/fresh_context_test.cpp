// A fresh context: many programs in one process (the fuzz targets and their replays) each
// start from the state a fresh process has, and may keep their messages instead of printing
// them.
#include <gtest/gtest.h>

#include <string>

#include "font/messages.h"
#include "interp/interp.h"
#include "support/font_builder.h"
#include "support/run.h"

namespace {

int run_words(kestrix_context& context, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        int status = context.stack.push(context.keep_token(w), ITEM_STRING);
        if (status == 0) status = execute_token(context);
        if (status != 0) return status;
    }
    return 0;
}

std::string load_quietly_except_stderr(kestrix_context& context, const std::string& path) {
    testing::internal::CaptureStderr();
    run_words(context, {path.c_str(), "font"});
    return testing::internal::GetCapturedStderr();
}

TEST(FreshContext, StartsEachProgramAfresh) {
    testrun::scratch_dir dir;
    auto parts = testfont::standard_parts();
    testfont::make_aring_composite(parts);
    const std::string path = parts.builder().write(dir.file("composite.ttf"));
    const std::string notice = "read_glyph: glyph 6: warning: composite glyph(s) ignored\n";

    {
        kestrix_context first(run_file);
        testing::internal::CaptureStderr();
        ASSERT_EQ(run_words(first, {"force", "a", "b"}), 0);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(load_quietly_except_stderr(first, path), notice);
        EXPECT_EQ(load_quietly_except_stderr(first, path), "");  // once per run
        EXPECT_EQ(first.stack.depth(), 4);
    }

    kestrix_context second(run_file);
    EXPECT_EQ(second.stack.depth(), 0);
    EXPECT_EQ(second.forced_interpretation, 0);
    EXPECT_EQ(load_quietly_except_stderr(second, path), notice);
    ASSERT_EQ(second.stack.depth(), 1);
    EXPECT_NE(second.stack.slot(0).font(), nullptr);
    kestrix_context third(run_file);
    EXPECT_EQ(third.stack.depth(), 0);
}

// A run given a sink of its own: commands, the loader and the parsers all report through
// it, with exactly the text the program prints on its standard error stream.
TEST(FreshContext, ReportsThroughTheSinkItIsGivenAsTheProgramPrints) {
    testrun::scratch_dir dir;
    auto parts = testfont::minimal_parts();
    parts.maxp.version = 0x00005000;  // every parser that counts glyphs complains
    const std::string path = parts.builder().write(dir.file("f.ttf"));
    const testrun::result program = testrun::kestrix({path, "font", "pop", "pop"});
    ASSERT_NE(program.err, "");

    kestrix_context context(run_file);
    captured_messages messages;
    context.report_to(messages);
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_words(context, {path.c_str(), "font", "pop"}), 0);
    EXPECT_NE(run_words(context, {"pop"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // The program adds its exit message after the failing command's.
    EXPECT_EQ(messages.text() + "kestrix: exiting due to error\n", program.err);
}

}  // namespace
