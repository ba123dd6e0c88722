#include "encoding/encoding_pairs.h"

#include <algorithm>
#include <numeric>

namespace {

// Codes are counted over 0 .. max(0xFFFF, highest code): the counting arrays grow with the
// supplementary planes only when an encoding reaches them.
std::size_t code_space(const std::vector<encoding_pair>& pairs) {
    ULONG highest = 0xFFFF;
    for (const encoding_pair& p : pairs) highest = std::max(highest, p.code);
    return std::size_t{highest} + 1;
}

// Counts over positions 0 .. n-1 with prefix sums and "k-th unit" search in O(log n).
class fenwick {
  public:
    explicit fenwick(std::size_t n) : tree_(n + 1, 0) {}

    void add(std::size_t index, long delta) {
        for (std::size_t i = index + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
    }
    // Sum over positions [0, end).
    std::size_t prefix(std::size_t end) const {
        long sum = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1)) sum += tree_[i];
        return static_cast<std::size_t>(sum);
    }
    // Position of the k-th unit (k from 1); every count must be 0 or 1.
    std::size_t find_kth(std::size_t k) const {
        std::size_t pos = 0;
        std::size_t step = 1;
        while (step * 2 < tree_.size()) step *= 2;
        for (; step > 0; step /= 2) {
            std::size_t next = pos + step;
            if (next < tree_.size() && static_cast<std::size_t>(tree_[next]) < k) {
                pos = next;
                k -= static_cast<std::size_t>(tree_[next]);
            }
        }
        return pos;  // 0-based position
    }

  private:
    std::vector<long> tree_;
};

// How the exchange sort treats equal codes. After step i the pairs 0 .. i are sorted, and
// step i moves pair i to the end of the run of its own code, then carries the first pair of
// every run with a higher code to the end of that run: each such run rotates left by one.
// So a run is a cycle with a start: a new pair of its code is inserted just before the
// start, and every pair of a lower code inserted later advances the start by one.
//
// Per run we track only the cycle's size, the start's index and, for each insertion, the
// index it was made at; the final places then follow offline by filling free slots from
// the last insertion back (the k-th free slot is where an element inserted at index k-1
// ends up once everything after it has been inserted).
struct run_state {
    std::size_t size = 0;
    std::size_t start = 0;       // index of the run's first pair in the cycle
    std::size_t lower_seen = 0;  // pairs of lower codes inserted when last brought up to date
    std::vector<std::size_t> inserted_at;

    void advance(std::size_t lower_now) {
        if (size > 0) start = (start + (lower_now - lower_seen)) % size;
        lower_seen = lower_now;
    }
    void insert() {
        inserted_at.push_back(size == 0 ? 0 : start);
        ++size;
        start = (start + (size == 1 ? 0 : 1)) % size;
    }
};

// Rewrites each run of equal codes in `sorted` (input order so far) into exchange order.
void order_equal_codes(const std::vector<encoding_pair>& input,
                       const std::vector<std::size_t>& run_begin,
                       std::vector<encoding_pair>& sorted) {
    const std::size_t codes = run_begin.size() - 1;
    std::vector<int> run_of(codes, -1);
    std::vector<run_state> runs;
    for (std::size_t c = 0; c < codes; ++c)
        if (run_begin[c + 1] - run_begin[c] > 1) {
            run_of[c] = static_cast<int>(runs.size());
            runs.emplace_back();
        }

    fenwick inserted(codes);
    for (const encoding_pair& p : input) {
        if (run_of[p.code] >= 0) {
            run_state& run = runs[static_cast<std::size_t>(run_of[p.code])];
            run.advance(inserted.prefix(p.code));
            run.insert();
        }
        inserted.add(p.code, 1);
    }

    for (std::size_t c = 0; c < codes; ++c) {
        if (run_of[c] < 0) continue;
        run_state& run = runs[static_cast<std::size_t>(run_of[c])];
        run.advance(inserted.prefix(c));

        const std::size_t m = run.size;
        const encoding_pair* members = sorted.data() + run_begin[c];
        std::vector<encoding_pair> cycle(m);
        fenwick free_slots(m);
        for (std::size_t i = 0; i < m; ++i) free_slots.add(i, 1);
        for (std::size_t i = m; i-- > 0;) {
            std::size_t slot = free_slots.find_kth(run.inserted_at[i] + 1);
            cycle[slot] = members[i];
            free_slots.add(slot, -1);
        }
        for (std::size_t i = 0; i < m; ++i) sorted[run_begin[c] + i] = cycle[(run.start + i) % m];
    }
}

}  // namespace

void sort_encoding_pairs(std::vector<encoding_pair>& pairs) {
    if (pairs.size() < 2) return;
    const std::size_t codes = code_space(pairs);

    // Counting sort: stable, so equal codes are in input order until reordered below.
    std::vector<std::size_t> run_begin(codes + 1, 0);
    for (const encoding_pair& p : pairs) ++run_begin[p.code + 1u];
    std::partial_sum(run_begin.begin(), run_begin.end(), run_begin.begin());

    std::vector<encoding_pair> sorted(pairs.size());
    std::vector<std::size_t> next(run_begin.begin(), run_begin.end() - 1);
    for (const encoding_pair& p : pairs) sorted[next[p.code]++] = p;

    bool duplicates = false;
    for (std::size_t c = 0; c < codes && !duplicates; ++c)
        duplicates = run_begin[c + 1] - run_begin[c] > 1;
    if (duplicates) order_equal_codes(pairs, run_begin, sorted);

    pairs.swap(sorted);
}
