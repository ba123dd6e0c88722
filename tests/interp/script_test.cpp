// Scripts run by `run`: tokenising, nesting, and how failures end every level.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "interp/token.h"
#include "support/run.h"

using testrun::kestrix;

namespace {

const std::string kExitError = "kestrix: exiting due to error\n";

struct tokens_case {
    const char* name;
    std::string script;
    std::string dump;  // what `stack` prints after running the script
};

class ScriptTokens : public ::testing::TestWithParam<tokens_case> {};

// Runs the script and then `stack`, popping nothing: the dump shows every token.
TEST_P(ScriptTokens, PushesTheExpectedTokens) {
    testrun::scratch_dir dir;
    std::string path = dir.file("s.ks");
    testrun::write_file(path, GetParam().script);
    auto r = kestrix({path, "run", "stack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, GetParam().dump);
}

std::string dump_of(std::initializer_list<std::string> items) {
    std::string out;
    int i = static_cast<int>(items.size()) - 1;
    for (auto it = items.end(); it != items.begin();) {
        --it;
        out += "stack[" + std::to_string(i) + "] = string \"" + *it + "\"" +
               (i == static_cast<int>(items.size()) - 1 ? " <-- top" : "") + "\n";
        --i;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    TokenReader, ScriptTokens,
    ::testing::Values(
        tokens_case{"plain", "a b\tc\n", dump_of({"a", "b", "c"})},
        tokens_case{"no_trailing_newline", "a bc", dump_of({"a", "bc"})},
        tokens_case{"empty_parens", "() x", dump_of({"", "x"})},
        tokens_case{"leading_space_kept", "( lead)", dump_of({" lead"})},
        tokens_case{"percent_inside_word", "a%b", dump_of({"a%b"})},
        tokens_case{"comment_after_space", "a %comment b\nc", dump_of({"a", "c"})},
        tokens_case{"comment_at_eof", "a\n% last", dump_of({"a"})},
        tokens_case{"escapes", "(a\\)b\\\\c\\n)", dump_of({"a)b\\cn"})},
        // Three octal digits up to 377 are a byte; anything else is literal.
        tokens_case{"octal_escapes", "(\\101\\102\\060x\\400\\8\\12)", dump_of({"AB0x400812"})},
        tokens_case{"escaped_command_words_are_text", "a (\\pop) (p\\op)",
                    dump_of({"a", "pop", "pop"})},
        tokens_case{"raw_zero_byte_ends_the_text", std::string("(a\0b) c", 8), dump_of({"a", "c"})},
        tokens_case{"backslash_at_eof", "(ab\\", dump_of({"ab"})},
        tokens_case{"unclosed_string", "(a b", dump_of({"a b"})},
        tokens_case{"paren_at_eof", "x (", dump_of({"x"})},
        tokens_case{"no_nesting", "(a(b)c)", dump_of({"a(b", "c)"})},
        tokens_case{"paren_then_comment", "(% note\nx y)", dump_of({"x y"})},
        tokens_case{"only_comments", "  % one\n\t% two\n", "stack: stack is empty\n"},
        tokens_case{"token_257", std::string(257, 'z'), dump_of({std::string(257, 'z')})}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST(Script, CommandWordsRunEvenInParentheses) {
    testrun::scratch_dir dir;
    testrun::write_file(dir.file("inner.ks"), "b\n");
    testrun::write_file(dir.file("outer.ks"), "a " + dir.file("inner.ks") + " (run) c (pop)");
    auto r = kestrix({dir.file("outer.ks"), "run", "stack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dump_of({"a", "b"}));
}

TEST(Script, TooLongTokenFailsTheRun) {
    testrun::scratch_dir dir;
    std::string path = dir.file("long.ks");
    testrun::write_file(path, "a " + std::string(258, 'z') + " b");
    auto r = kestrix({path, "run"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "parse_token: token too long\nfile \"" + path + "\": run terminated\n" +
                         kExitError + "Warning: on exit, stack was not empty:\n" +
                         "stack[0] = string \"a\" <-- top\n");
}

TEST(Script, FailureEndsEveryLevel) {
    testrun::scratch_dir dir;
    std::string inner = dir.file("inner.ks"), outer = dir.file("outer.ks");
    testrun::write_file(inner, "pop pop never");
    testrun::write_file(outer, "x " + inner + " run after");
    auto r = kestrix({outer, "run", "later"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "pop: stack is empty\nfile \"" + inner + "\": run terminated\nfile \"" +
                         outer + "\": run terminated\n" + kExitError);
}

// A script that runs itself stops at the nesting limit instead of exhausting the stack
// or the open files; every level on the way out reports its end.
TEST(Script, SelfRunningScriptStopsAtTheNestingLimit) {
    testrun::scratch_dir dir;
    std::string path = dir.file("self.ks");
    testrun::write_file(path, "(" + path + ") run\n");
    auto r = kestrix({path, "run"});
    EXPECT_EQ(r.status, 255);
    std::string terminated;
    for (int i = 0; i < 256; ++i) terminated += "file \"" + path + "\": run terminated\n";
    EXPECT_EQ(r.err, "run: scripts nested more than 256 deep\n" + terminated + kExitError);
}

TEST(Script, StandardInput) {
    testrun::options opts;
    opts.stdin_data = "a b pop";
    auto r = kestrix({"-", "run", "stack"}, opts);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dump_of({"a"}));
}

TEST(Script, RunFailures) {
    testrun::scratch_dir dir;
    std::string empty = dir.file("empty.ks");
    testrun::write_file(empty, "() run");
    auto r = kestrix({empty, "run"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err,
              "run: missing file name\nfile \"" + empty + "\": run terminated\n" + kExitError);

    std::string missing = dir.file("missing.ks");
    r = kestrix({missing, "run"});
    EXPECT_EQ(r.status, 255);
    std::string report = missing + ": No such file or directory\n";
    EXPECT_EQ(r.err, "Cannot open \"" + missing + "\" in mode \"r\"\n" + report +
                         "run: cannot open \"" + missing + "\"\n" + report + kExitError);

    r = kestrix({testrun::sample_font("Vera.ttf"), "font", "run"});
    EXPECT_EQ(r.status, 255);
    // Vera's composite glyphs are reported once when it loads.
    EXPECT_EQ(r.err,
              "read_glyph: glyph 98: warning: composite glyph(s) ignored\n"
              "run: expected file name\n" +
                  kExitError);
}

// A script may not go on past its byte budget, even with nothing but blanks and comments.
TEST(Script, EndlessBlanksRunOutOfBudget) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("a % comment\n        b", f);
    std::rewind(f);
    std::string token;
    std::size_t budget = 12;
    EXPECT_EQ(parse_token(f, token, budget), token_status::token);
    EXPECT_EQ(token, "a");
    EXPECT_EQ(parse_token(f, token, budget), token_status::too_large);
    std::fclose(f);
}

// An escaped zero byte stays in the token; a string with an escape is an operand only.
TEST(Script, EscapedZeroByteIsKeptAndMarksTheTokenAnOperand) {
    std::string script = "(a\\000b) (ab) ab";
    std::FILE* f = fmemopen(script.data(), script.size(), "r");
    ASSERT_NE(f, nullptr);
    std::size_t budget = script.size();
    script_token token;
    ASSERT_EQ(parse_token(f, token, budget), token_status::token);
    EXPECT_EQ(token.text, std::string("a\0b", 3));
    EXPECT_TRUE(token.operand_only);
    for (const char* plain : {"ab", "ab"}) {
        ASSERT_EQ(parse_token(f, token, budget), token_status::token);
        EXPECT_EQ(token.text, plain);
        EXPECT_FALSE(token.operand_only);
    }
    EXPECT_EQ(parse_token(f, token, budget), token_status::end);
    std::fclose(f);
}
