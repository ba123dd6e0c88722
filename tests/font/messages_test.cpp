// The message sink: one message per say, in order, with printf's text; and a parser
// reporting through the sink its font was loaded with, not on the standard error stream.
#include "font/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "font/font.h"
#include "tables/registry.h"
#include "support/font_builder.h"
#include "support/run.h"

namespace {

// Counts the messages handed over, to show that one say is one message.
class counting_sink : public captured_messages {
  public:
    void take(std::string_view text) override {
        ++count;
        captured_messages::take(text);
    }
    int count = 0;
};

TEST(MessageSink, SaysPrintfsTextAsOneMessageEach) {
    counting_sink sink;
    say(sink, "%s: glyph %d of %u\n", "hmtx", -1, 7u);
    const std::string long_name(2000, 'x');  // past any fixed buffer
    say(sink, "No \"%s\" table in font \"%s\"!\n", "maxp", long_name.c_str());
    say(sink, "%s", "");  // nothing to say: no message
    errno = ENOENT;
    say_errno(sink, "f.ttf");
    EXPECT_EQ(sink.count, 3);
    EXPECT_EQ(sink.text(), "hmtx: glyph -1 of 7\nNo \"maxp\" table in font \"" + long_name +
                               "\"!\nf.ttf: " + std::strerror(ENOENT) + "\n");

    discarded_messages dropped;
    testing::internal::CaptureStderr();
    say(dropped, "Out of memory!\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(MessageSink, ParsersOfAFontReportThroughTheSinkItWasLoadedWith) {
    testrun::scratch_dir dir;
    auto parts = testfont::minimal_parts();
    parts.maxp.version = 0x00005000;
    const std::string path = parts.builder().write(dir.file("f.ttf"));
    run_notices notices;
    captured_messages messages;

    testing::internal::CaptureStderr();
    auto font = load_font(path.c_str(), {false, notices, std::nullopt, messages});
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(load_elab_table(*font, "maxp", 1), nullptr);
    EXPECT_EQ(find_table(*font, "kern", 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(messages.text(),
              "do_maxp: version 0x00005000 of maxp table unknown\n"
              "No \"kern\" table in font \"" +
                  path + "\"!\n");
}

}  // namespace
