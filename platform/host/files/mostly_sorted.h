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
// n log n comparisons, and room for the few only. A list more out of
// order is sorted in place.
template <class T, class Allocator, class Less = std::less<>>
void SortMostlySorted(std::vector<T, Allocator>& v, Less less = Less())
{
    // The elements below one before them: those taken out.
    size_t breaking = 0;
    for (size_t i = 1, top = 0; i < v.size(); ++i) {
        if (less(v[i], v[top])) ++breaking;
        else top = i;
    }
    if (breaking == 0) return;
    if (breaking > v.size() / 16) {
        std::sort(v.begin(), v.end(), less);
        return;
    }
    std::vector<T> late;
    late.reserve(breaking);
    size_t kept = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (kept > 0 && less(v[i], v[kept - 1])) late.push_back(std::move(v[i]));
        else if (kept++ != i) v[kept - 1] = std::move(v[i]);
    }
    v.erase(v.begin() + (long)kept, v.end());
    std::sort(late.begin(), late.end(), less);
    v.insert(v.end(), std::make_move_iterator(late.begin()), std::make_move_iterator(late.end()));
    std::inplace_merge(v.begin(), v.begin() + (long)kept, v.end(), less);
}

}  // namespace standin
