// Loading built fonts for the table parser tests: in this process (to look at the
// records) or through the program (to compare its exact messages).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "font/font.h"
#include "support/font_builder.h"
#include "support/run.h"
#include "tables/registry.h"

namespace tabletest {

// A font loaded and elaborated as the font command does it, with what that printed.
struct parsed_font {
    testrun::scratch_dir dir;
    std::string path;
    run_notices notices;
    std::unique_ptr<font_object> font;
    std::string err;
};

inline void load_and_elaborate(parsed_font& p) {
    testing::internal::CaptureStderr();
    p.font = load_font(p.path.c_str(), {false, p.notices});
    if (p.font)
        for (const char* tag : font_elab_order_of(*p.font)) load_elab_table(*p.font, tag, 1);
    p.err = testing::internal::GetCapturedStderr();
}

inline std::unique_ptr<parsed_font> parse_file(const std::string& path) {
    auto p = std::make_unique<parsed_font>();
    p->path = path;
    load_and_elaborate(*p);
    return p;
}

inline std::unique_ptr<parsed_font> parse(const testfont::font_builder& b) {
    auto p = std::make_unique<parsed_font>();
    p->path = b.write(p->dir.file("f.ttf"));
    load_and_elaborate(*p);
    return p;
}

inline std::unique_ptr<parsed_font> parse(const testfont::font_parts& parts) {
    return parse(parts.builder());
}

// `kestrix F font pop` (or other words after the file name) on a built font.
struct font_run {
    testrun::scratch_dir dir;
    std::string path;
    testrun::result run;
};

inline std::unique_ptr<font_run> run_font(const testfont::font_builder& b,
                                          std::vector<std::string> words = {"font", "pop"}) {
    auto r = std::make_unique<font_run>();
    r->path = b.write(r->dir.file("f.ttf"));
    words.insert(words.begin(), r->path);
    r->run = testrun::kestrix(words);
    return r;
}

// The line the font command adds when a table gives no record.
inline std::string no_table(const std::string& tag) {
    return "font: no " + tag + " table\n";
}

inline std::string no_such_table(const std::string& tag, const std::string& path) {
    return "No \"" + tag + "\" table in font \"" + path + "\"!\n";
}

}  // namespace tabletest
