// Address texts: IPv4 addresses and networks, hardware addresses, ranged
// integers.
#include "base/addresstext.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const int32_t low = (int32_t)in.U32(), high = (int32_t)in.U32();
    const std::string text = in.Text();
    const char* t = text.c_str();
    volatile int32_t sum = IsIPv4Text(t) + IsIPv4NetText(t) + IsMacText(t) + IsIntTextInRange(t, low, high);
    uint32_t address = 0;
    int32_t prefix = -1;
    if (ParseIPv4Net(t, &address, &prefix)) FUZZ_CHECK(prefix >= 0 && prefix <= 32);
    const uint32_t parsed = TextToIPv4(t);
    char out[32];
    IPv4ToText(parsed, out);
    // A well-formed address reads back from its own text.
    if (IsIPv4Text(t)) FUZZ_CHECK(TextToIPv4(out) == parsed);
    sum += MaskToPrefix(PrefixToMask(prefix));
    (void)sum;
    return 0;
}
