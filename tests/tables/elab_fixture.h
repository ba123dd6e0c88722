// Helpers for the table-parser tests: build a font, then either run `kestrix F font pop`
// on it or load it in this process and elaborate one table, capturing what is printed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "font/font.h"
#include "support/font_builder.h"
#include "support/run.h"
#include "tables/registry.h"

namespace elabtest {

struct loaded_font {
    testrun::scratch_dir dir;
    std::string path;
    run_notices notices;
    std::unique_ptr<font_object> font;
    std::string err;  // everything printed while loading and elaborating
};

// Loads the built font in this process and elaborates `tags` in order.
inline std::unique_ptr<loaded_font> load(const testfont::font_builder& b,
                                         std::initializer_list<const char*> tags,
                                         bool forced_interpretation = false) {
    auto l = std::make_unique<loaded_font>();
    l->path = b.write(l->dir.file("f.ttf"));
    testing::internal::CaptureStderr();
    l->font = load_font(l->path.c_str(), {forced_interpretation, l->notices});
    if (l->font)
        for (const char* tag : tags) load_elab_table(*l->font, tag, 1);
    l->err = testing::internal::GetCapturedStderr();
    return l;
}

// Runs `kestrix F font pop` on the built font.
struct run_result {
    testrun::scratch_dir dir;
    std::string path;
    testrun::result run;
};

inline std::unique_ptr<run_result> run_font(const testfont::font_builder& b) {
    auto r = std::make_unique<run_result>();
    r->path = b.write(r->dir.file("f.ttf"));
    r->run = testrun::kestrix({r->path, "font", "pop"});
    return r;
}

// Moves a table to the end of the file, unpadded, so that reading past it reaches the
// end of the data.
inline void move_table_last(testfont::font_builder& b, const std::string& tag) {
    testfont::table_data t = b.table(tag);
    b.remove_table(tag);
    t.pad = false;
    b.tables.push_back(std::move(t));
}

// Prints what `fn` writes to the standard error stream.
template <class Fn>
std::string stderr_of(Fn&& fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

}  // namespace elabtest
