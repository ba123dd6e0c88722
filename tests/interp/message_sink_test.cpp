// A run given a sink of its own: commands, the loader and the parsers all report through
// it, with exactly the text the program prints on its standard error stream.
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

TEST(MessageSink, ARunsSinkGetsWhatTheProgramPrintsOnStandardError) {
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
