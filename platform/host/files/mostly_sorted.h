// Sorting lists that are mostly in order already: a drawing's handles and
// records, which a file gives in its own order, nearly always increasing.
#pragma once

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

namespace standin {

// Sorts `v` as std::sort does (equal elements in no promised order). What
// breaks the order is taken out, sorted on its own and merged back: for a
// million elements of which a few are out of place, a pass instead of
// n log n comparisons, and room for the few only. An element above those
// after it (a high handle early in a file) is what is taken out, not all
// that follow it. A list more out of order is sorted in place. True when
// it was sorted by merging (or was sorted already).
template <class T, class Allocator, class Less = std::less<>>
bool SortMostlySorted(std::vector<T, Allocator>& v, Less less = Less())
{
    const size_t n = v.size(), most = n / 16;
    // At most this many elements above the one being placed are taken out
    // as out of place, when the ones after it keep to the order below them.
    const size_t kSpikes = 16;
    std::vector<T> late;
    size_t kept = 0, i = 0;
    for (; i < n && late.size() <= most; ++i) {
        if (kept == 0 || !less(v[i], v[kept - 1])) {
            if (kept++ != i) v[kept - 1] = std::move(v[i]);
            continue;
        }
        // How many of the last kept are above v[i] (up to kSpikes + 1).
        size_t above = 1;
        while (above <= kSpikes && above < kept && less(v[i], v[kept - 1 - above])) ++above;
        const bool fits = above <= kSpikes;
        // The elements above are the ones out of place when there is one,
        // or when the next element follows v[i] below them too.
        const bool spikes =
            fits && (above == 1 || (i + 1 < n && !less(v[i + 1], v[i]) && less(v[i + 1], v[kept - above])));
        if (!spikes) {
            late.push_back(std::move(v[i]));
            continue;
        }
        for (size_t k = kept - above; k < kept; ++k) late.push_back(std::move(v[k]));
        kept -= above;
        v[kept++] = std::move(v[i]);
    }
    if (late.empty() && i == n) return true;
    // Too much out of order: what was not looked at yet and what was taken
    // out go back behind the kept ones, and the whole is sorted.
    if (i < n) {
        if (kept != i) std::move(v.begin() + (long)i, v.end(), v.begin() + (long)kept);
        kept += n - i;
        std::move(late.begin(), late.end(), v.begin() + (long)kept);
        std::sort(v.begin(), v.end(), less);
        return false;
    }
    std::sort(late.begin(), late.end(), less);
    std::move(late.begin(), late.end(), v.begin() + (long)kept);
    std::inplace_merge(v.begin(), v.begin() + (long)kept, v.end(), less);
    return true;
}

}  // namespace standin
