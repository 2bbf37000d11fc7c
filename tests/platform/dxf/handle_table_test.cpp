// The reader's table of the objects a file's handles name (HandleIds),
// held against a map doing the same: handles spread or close together, ones
// that fall on the same slot, set again, and the table growing past what
// it was made for.
#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "dxf_loader.h"

namespace {

using standin::dxf::HandleIds;

TEST(DxfHandleTable, NamesWhatAMapNamesWhateverTheHandles)
{
    std::vector<OdDbStub> stubs(5000);
    std::mt19937_64 random(43);
    for (size_t reserved : {size_t(0), size_t(100), size_t(5000)}) {
        HandleIds table;
        table.reserve(reserved);
        std::unordered_map<uint64_t, OdDbObjectId> wanted;
        EXPECT_TRUE(table.get(1).isNull());
        for (size_t i = 0; i < stubs.size(); ++i) {
            // Handles in a run as files give them, spread ones, and ones
            // a power of two apart, which share low bits.
            const uint64_t h = i % 3 == 0   ? 0x20 + i
                               : i % 3 == 1 ? (random() >> 4) | 1
                                            : (uint64_t)(i + 1) << 24;
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
        for (uint64_t h : {uint64_t(0), uint64_t(0x1F), uint64_t(1) << 59, (uint64_t)(stubs.size() + 7) << 24})
            EXPECT_EQ(table.get(h), wanted.count(h) ? wanted[h] : OdDbObjectId()) << std::hex << h;
        table.set(0, OdDbObjectId(&stubs[0]));
        EXPECT_TRUE(table.get(0).isNull());
    }
}

}  // namespace
