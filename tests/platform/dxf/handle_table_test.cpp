// The reader's table of the objects a file's handles name (HandleIds),
// held against a map doing the same: handles spread or close together, ones
// that fall on the same slot, set again, and the table growing past what
// it was made for; handles a hostile file chooses, each placed within a
// bounded probe; and the sort of lists mostly in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_map>
#include <vector>

#include "dxf_loader.h"
#include "mostly_sorted.h"

namespace {

using standin::dxf::HandleIds;

TEST(DxfHandleTable, NamesWhatAMapNamesWhateverTheHandles)
{
    std::vector<OdDbStub> stubs(5000);
    std::mt19937_64 random(43);
    // Handles in a run as files give them, spread ones, and ones a power
    // of two apart, which share low bits.
    std::vector<uint64_t> handles(stubs.size());
    for (size_t i = 0; i < stubs.size(); ++i)
        handles[i] = i % 3 == 0 ? 0x20 + i : i % 3 == 1 ? (random() >> 4) | 1 : (uint64_t)(i + 1) << 24;
    std::vector<uint64_t> all = handles, run, partOfRun;
    std::sort(all.begin(), all.end());
    for (uint64_t h = 0x1E; h < 0x20 + stubs.size(); ++h) run.push_back(h);
    partOfRun.assign(run.begin() + 50, run.begin() + 150);
    // Room made for none, for the spread handles (the hashed table), for
    // the run (a direct list, the other handles hashed), and for part of
    // it (handles on both sides of it hashed).
    for (const std::vector<uint64_t>* reserved : std::initializer_list<const std::vector<uint64_t>*>{&run, &partOfRun, &all, nullptr}) {
        HandleIds table;
        if (reserved) table.reserve(*reserved);
        std::unordered_map<uint64_t, OdDbObjectId> wanted;
        EXPECT_TRUE(table.get(1).isNull());
        for (size_t i = 0; i < stubs.size(); ++i) {
            const uint64_t h = handles[i];
            const OdDbObjectId id(&stubs[i]);
            table.set(h, id);
            wanted[h] = id;
            // Set again: the later object is the one named.
            if (i % 7 == 0) {
                const OdDbObjectId again(&stubs[(i + 1) % stubs.size()]);
                table.set(h, again);
                wanted[h] = again;
            }
        }
        for (const auto& [h, id] : wanted) ASSERT_EQ(table.get(h), id) << std::hex << h;
        // Handles no object has, and the null handle, name nothing.
        for (uint64_t h : {uint64_t(0), uint64_t(0x1F), uint64_t(0x21), uint64_t(1) << 59, (uint64_t)(stubs.size() + 7) << 24})
            EXPECT_EQ(table.get(h), wanted.count(h) ? wanted[h] : OdDbObjectId()) << std::hex << h;
        table.set(0, OdDbObjectId(&stubs[0]));
        EXPECT_TRUE(table.get(0).isNull());
    }
}

// Handles a hostile file may choose: multiples of a power of two, which
// share their low bits (all of one slot of a fixed hash of their high
// bits), falling, random, and a run after one high handle. Each is named
// as a map names it, and none lies further from its own slot than the
// table's bound: placing a file's handles stays linear whatever they are.
// A high handle or a few far ones do not keep a run from being indexed
// directly.
TEST(DxfHandleTable, AnyHandlesArePlacedWithinABoundedProbe)
{
    const size_t n = 100000;
    std::mt19937_64 random(11);
    for (int pattern = 0; pattern < 9; ++pattern) {
        std::vector<uint64_t> handles(n);
        for (size_t i = 0; i < n; ++i) {
            const int shift = 4 + 6 * std::min(pattern, 6);
            handles[i] = pattern < 7    ? (uint64_t)(i + 1) << shift
                         : pattern == 7 ? 0x30 + n - i
                                        : (random() >> 5) | 1;
        }
        // One high handle before a run.
        if (pattern == 7) handles[0] = uint64_t(1) << 58;
        std::vector<uint64_t> sorted = handles;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::vector<OdDbStub> stubs(n);
        HandleIds table;
        table.reserve(sorted);
        for (size_t i = 0; i < n; ++i) table.set(handles[i], OdDbObjectId(&stubs[i]));
        SCOPED_TRACE(testing::Message() << "pattern " << pattern);
        EXPECT_FALSE(table.ordered());
        EXPECT_LE(table.longestProbe(), 128u);
        std::unordered_map<uint64_t, size_t> last;
        for (size_t i = 0; i < n; ++i) last[handles[i]] = i;
        for (const auto& [h, i] : last) ASSERT_EQ(table.get(h), OdDbObjectId(&stubs[i])) << std::hex << h;
        // A handle no object has, in the middle of the others, names none.
        for (uint64_t h : {handles[n / 2] + 1, handles[n / 3] - 1}) {
            if (!last.count(h)) {
                EXPECT_TRUE(table.get(h).isNull()) << std::hex << h;
            }
        }
        if (pattern == 7) {
            EXPECT_TRUE(table.direct(handles[1]) && table.direct(handles[n - 1]));
            EXPECT_FALSE(table.direct(handles[0]));
        }
    }
}

}  // namespace

// Sorting what is mostly in order: the result of std::sort, whether the
// list is sorted, has a few out of place at either end or in the middle,
// is reversed or is in no order at all, with repeats. A few out of place,
// below the ones before them or above the ones after them (a high handle
// first, three in a row), are merged back, not sorted with all the rest.
TEST(DxfHandleTable, MostlySortedListsSortAsAnySort)
{
    std::mt19937_64 random(7);
    for (size_t n : {size_t(0), size_t(1), size_t(2), size_t(50), size_t(3000)}) {
        for (int shape = 0; shape < 8; ++shape) {
            std::vector<uint64_t> v(n);
            for (size_t i = 0; i < n; ++i) v[i] = 16 + 2 * i;
            if (shape == 1 && n > 2) {
                // A few out of place: taken out and merged back.
                v[n / 2] = 3;
                v[n / 3] = 5 * n;
                v.push_back(v[n / 4]);  // a repeat
            }
            if (shape == 5 && n > 2) v.front() = 1u << 30;  // one large handle first
            if (shape == 6 && n > 2) {
                // A few below those before them, one a repeat.
                v[n / 3] = 9;
                v[n / 2] = 1;
                v[2 * n / 3] = v[n / 3 - 1];
            }
            if (shape == 7 && n > 3) v[0] = v[1] = v[2] = uint64_t(1) << 40;  // three large ones first
            if (shape == 2)
                for (size_t k = 0; k < n / 10; ++k) std::swap(v[random() % n], v[random() % n]);
            if (shape == 3) std::reverse(v.begin(), v.end());
            if (shape == 4)
                for (auto& x : v) x = random() % 64;
            std::vector<uint64_t> wanted = v;
            std::sort(wanted.begin(), wanted.end());
            const bool merged = standin::SortMostlySorted(v);
            EXPECT_EQ(v, wanted) << n << " elements, shape " << shape;
            if (n >= 50 && (shape == 0 || shape == 1 || shape >= 5)) {
                EXPECT_TRUE(merged) << n << " elements, shape " << shape;
            }
            if (n >= 50 && (shape == 3 || shape == 4)) {
                EXPECT_FALSE(merged) << n << " elements, shape " << shape;
            }
        }
    }
    // By a key of their own, as the records are sorted.
    std::vector<std::pair<uint64_t, int>> records = {{5, 1}, {5, 0}, {2, 0}, {9, 3}, {7, 0}, {9, 1}};
    standin::SortMostlySorted(records, [](const auto& a, const auto& b) { return a < b; });
    EXPECT_EQ(records, (std::vector<std::pair<uint64_t, int>>{{2, 0}, {5, 0}, {5, 1}, {7, 0}, {9, 1}, {9, 3}}));
}
