// The map-object record targets: a record read from the wire must write out
// again, and what it writes must read back to the same bytes.
#pragma once

#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "peer/maprecords.h"

namespace velkfuzz {

template <class Parse>
int ParseRecord(const uint8_t* data, size_t size, uint32_t kind, Parse parse)
{
    PeerApiState state{};
    void* record = parse(&state, size ? data : nullptr, (uint32_t)size);
    if (!record) return 0;
    uint32_t written = 0;
    uint8_t* wire = SerializeMapObjRecord(&state, record, kind, &written);
    FreeMapObjRecord(&state, record, kind);
    if (!wire) return 0;
    void* again = parse(&state, wire, written);
    FUZZ_CHECK(again != nullptr);
    uint32_t rewritten = 0;
    uint8_t* wireAgain = SerializeMapObjRecord(&state, again, kind, &rewritten);
    FreeMapObjRecord(&state, again, kind);
    FUZZ_CHECK(wireAgain != nullptr && rewritten == written && memcmp(wire, wireAgain, written) == 0);
    free(wire);
    free(wireAgain);
    return 0;
}

}  // namespace velkfuzz
