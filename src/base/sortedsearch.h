// Bisection over sorted arrays of records.
#pragma once

#include <cstdint>

// compare(key, elementKey) < 0, 0 or > 0.
typedef int (*SortedCompareFn)(const void* key, const void* elementKey);

// Finds `key` among `count` elements of `elementSize` bytes sorted by the key
// at `keyOffset` inside each. True with its index when found; else false
// with the index where it belongs.
bool SortedFindIndex(const void* base, int32_t elementSize, int32_t keyOffset, int32_t count,
                     const void* key, int32_t* index, SortedCompareFn compare);
