// Number text: the parsers of decimal and hexadecimal text, and the
// conversions of doubles read from outside.
#include <cstring>

#include "base/numtext.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t radix = in.Byte();
    double number;
    const uint32_t low = in.U32(), high = in.U32();
    const uint64_t bits = (uint64_t)high << 32 | low;
    memcpy(&number, &bits, sizeof number);
    volatile int32_t snapped = SnapDoubleToInt(number) ^ DoubleToInt(number);
    (void)snapped;

    const std::string text = in.Text();
    const uint64_t u64 = ParseUInt64(text.c_str());
    const uint32_t u32 = ParseUInt32(text.c_str());
    const int64_t i64 = ParseInt64(text.c_str());
    char buffer[80];
    if (Int64ToText(i64, buffer, radix % 40)) FUZZ_CHECK(strlen(buffer) <= 65);
    // Decimal text of a value reads back as that value.
    FUZZ_CHECK(Int64ToText((int64_t)(u64 >> 1), buffer, 10) != nullptr);
    FUZZ_CHECK(ParseUInt64(buffer) == u64 >> 1);
    FUZZ_CHECK(Int32ToText((int32_t)(u32 >> 1), buffer, 10) != nullptr);
    FUZZ_CHECK(ParseUInt32(buffer) == u32 >> 1);
    volatile int64_t absolute = Abs64(i64);
    (void)absolute;
    return 0;
}
