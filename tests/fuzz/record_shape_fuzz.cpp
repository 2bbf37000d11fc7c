// A shape record as the peer sends it, read back into the record the module
// works with.
#include "fuzz_support.h"
#include "record_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return velkfuzz::ParseRecord(data, size, kMapObjShape, [](PeerApiState* state, const uint8_t* bytes, uint32_t n) {
        return (void*)ParseShapeRecord(state, bytes, n);
    });
}
