// The peer's line-type table (the data answer to 20601).
#include <cstring>

#include "fuzz_support.h"
#include "peer/peerrequests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PeerApiState state{};
    LinetypeTable* table = ParseLinetypeTable(&state, size ? data : nullptr, (uint32_t)size);
    if (!table) return 0;
    FUZZ_CHECK(table->count == 0 || table->items != nullptr);
    // Every item's sub-items are whole and readable.
    volatile unsigned sum = 0;
    for (uint32_t i = 0; i < table->count; ++i) {
        const LinetypeItem& item = table->items[i];
        FUZZ_CHECK(item.subCount == 0 || item.subItems != nullptr);
        if (item.subCount) sum += item.subItems[0] + item.subItems[248 * (size_t)item.subCount - 1];
        sum += (unsigned)strnlen(item.name, sizeof item.name);
    }
    (void)sum;
    FreeLinetypeTable(table, true);
    return 0;
}
