// In-process tests of brindle's conversions and of its table readers when memory
// runs out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "tables.h"
#include "text_input.h"

// Every allocation of this test program goes through here, so a test can make all
// allocations from the n-th on fail, as when memory is exhausted.
namespace {
long allocations_before_failure = -1;  // -1: never fail
long failed_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (allocations_before_failure == 0) {
        ++failed_allocations;
        throw std::bad_alloc();
    }
    if (allocations_before_failure > 0) --allocations_before_failure;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using brindle::joiner_tables;

struct stream_closer {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using stream_ptr = std::unique_ptr<std::FILE, stream_closer>;

stream_ptr stream_of(const std::string& text) {
    return stream_ptr(fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
}

TEST(ScanInteger, ReadsLikeIntegerScan) {
    struct expectation {
        const char* word;
        std::optional<std::int32_t> value;
    };
    for (const auto& e : std::vector<expectation>{
             {"913", 913},
             {"0x391", 0x391},
             {"0X1fZ", 0x1f},
             {"0101", 65},
             {"08", 0},  // octal stops at the 8
             {"0", 0},
             {"12abc", 12},
             {"2147483647", 2147483647},
             {"0x7fffffff", 0x7fffffff},
             {"2147483648", std::nullopt},
             {"0xffffffff", std::nullopt},
             {"99999999999999999999999", std::nullopt},
             {"0x", std::nullopt},
             {"0xg", std::nullopt},
             {"A", std::nullopt},
             {"", std::nullopt},
         }) {
        EXPECT_EQ(brindle::scan_integer(e.word), e.value) << e.word;
    }
}

// Runs `read` with allocations failing from the n-th on, for n = 0, 1, ... until a run
// completes without running out. `check` sees the status and the messages of each run.
template <typename Read, typename Check>
void for_every_failure_point(Read read, Check check) {
    for (long n = 0;; ++n) {
        ::testing::internal::CaptureStderr();
        failed_allocations = 0;
        allocations_before_failure = n;
        int status = read();
        allocations_before_failure = -1;
        bool ran_out = failed_allocations > 0;
        std::string messages = ::testing::internal::GetCapturedStderr();
        check(status, messages, ran_out);
        if (!ran_out || n > 1000) break;
    }
}

TEST(SynonymMemory, RunningOutStopsReadingAndKeepsTheRowsReadSoFar) {
    const std::string text = "Alpha A 0x391\n# comment\nBeta B\n\nGamma G A 7 8 9 10 11\n";
    const std::vector<long> row_lines{1, 3, 4, 5};
    const std::vector<brindle::synonym_row> all_rows{
        {"Alpha", "A", "0x391"}, {"Beta", "B"}, {}, {"Gamma", "G", "A", "7", "8", "9", "10", "11"}};

    joiner_tables tables;
    for_every_failure_point(
        [&] {
            tables = joiner_tables{};
            tables.syn_name = "syn.txt";
            auto in = stream_of(text);
            return brindle::read_synonyms(tables, in.get());
        },
        [&](int status, const std::string& messages, bool ran_out) {
            EXPECT_EQ(status, 0);
            if (!ran_out) {
                EXPECT_EQ(messages, "");
                EXPECT_EQ(tables.syn, all_rows);
                return;
            }
            std::size_t kept = tables.syn.size();
            ASSERT_LT(kept, all_rows.size());
            EXPECT_TRUE(std::equal(tables.syn.begin(), tables.syn.end(), all_rows.begin()));
            // Each word is found in the first row kept that holds it (A in the first,
            // though the row that failed held it too); a dropped row's words not at all.
            for (const auto& row : all_rows) {
                for (const std::string& word : row) {
                    long first = -1;
                    for (std::size_t r = kept; r-- > 0;) {
                        if (std::count(all_rows[r].begin(), all_rows[r].end(), word)) {
                            first = static_cast<long>(r);
                        }
                    }
                    EXPECT_EQ(brindle::find_synonym(tables, word), first) << word;
                }
            }
            EXPECT_EQ(messages, "syn.txt: (line " + std::to_string(row_lines[kept]) +
                                    ") out of memory, synonyms from here on ignored\n");
        });
}

TEST(LargeTableMemory, RunningOutIsFatalWithTheLineNumber) {
    const std::string text = "41 A\n# comment\n42 B\n43 C\n";
    const std::vector<long> entry_lines{1, 3, 4};

    joiner_tables tables;
    brindle::entry_handler add = [&](std::uint32_t code, std::string_view name, long line) {
        return brindle::add_large_entry(tables, "large.cod", code, name, line);
    };
    for_every_failure_point(
        [&] {
            tables = joiner_tables{};
            auto in = stream_of(text);
            return brindle::read_code_table(in.get(), "large.cod", "large-table", add);
        },
        [&](int status, const std::string& messages, bool ran_out) {
            if (!ran_out) {
                EXPECT_EQ(status, 0);
                EXPECT_EQ(messages, "");
                EXPECT_EQ(tables.large.size(), 3u);
                return;
            }
            EXPECT_EQ(status, -1);
            ASSERT_LT(tables.large.size(), entry_lines.size());
            for (long entry = 0; entry < 3; ++entry) {
                std::string name(1, static_cast<char>('A' + entry));
                EXPECT_EQ(brindle::find_exact_code(tables, name),
                          entry < static_cast<long>(tables.large.size()) ? entry : -1);
            }
            EXPECT_EQ(messages, "large.cod (line " +
                                    std::to_string(entry_lines[tables.large.size()]) +
                                    ") out of memory\n");
        });
}

}  // namespace
