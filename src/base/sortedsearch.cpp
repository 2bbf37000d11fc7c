#include "base/sortedsearch.h"

bool SortedFindIndex(const void* base, int32_t elementSize, int32_t keyOffset, int32_t count,
                     const void* key, int32_t* index, SortedCompareFn compare)
{
    const char* bytes = static_cast<const char*>(base);
    int32_t lo = 0, hi = count - 1;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = compare(key, bytes + (int64_t)mid * elementSize + keyOffset);
        if (c == 0) {
            *index = mid;
            return true;
        }
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    *index = lo;
    return false;
}
