// Answers of the 20700 range: 184-byte items with extra bytes counted in
// bytes or in 4-byte words, into a caller's table of a given capacity.
#include <cstring>

#include "fuzz_support.h"
#include "peer/peerrequests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t mode = in.Byte();
    const int capacity = mode >> 1;
    const velkfuzz::Input::Bytes bytes = in.Rest();
    std::vector<uint8_t> items((size_t)capacity * 184 + 1);
    const int n = (mode & 1) ? ParseItemList184Words(bytes.data, (uint32_t)bytes.size,
                                                     items.data(), capacity)
                             : ParseItemList184(bytes.data, (uint32_t)bytes.size,
                                                items.data(), capacity);
    FUZZ_CHECK(n <= capacity);
    // Each item's slot at 176 points at its extra bytes inside the answer.
    for (int i = 0; i < n; ++i) {
        const uint8_t* item = items.data() + 184 * (size_t)i;
        const uint8_t* extra;
        int32_t length;
        memcpy(&extra, item + 176, sizeof extra);
        memcpy(&length, item + 172, sizeof length);
        if (length <= 0 || !extra) continue;
        const uint64_t bytesLong = (uint64_t)length * ((mode & 1) ? 4 : 1);
        FUZZ_CHECK(extra >= bytes.data && extra + bytesLong <= bytes.data + bytes.size);
    }
    return 0;
}
