// Base64 text from outside, the encoders' round trip, and UTF-16 fields.
#include <cstring>

#include "base/encodings.h"
#include "base/utf16text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const std::string text = in.Text();
    std::vector<uint8_t> decoded(3 * ((text.size() + 3) / 4) + 1);
    FUZZ_CHECK((size_t)Base64Decode(text.c_str(), decoded.data()) < decoded.size());

    // Any bytes, encoded either way, decode to themselves.
    const velkfuzz::Input::Bytes bytes = in.Rest();
    std::vector<char> encoded(4 * ((bytes.size + 2) / 3) + 1);
    std::vector<uint8_t> back(bytes.size + 4);
    for (int url = 0; url < 2; ++url) {
        const int32_t n = url ? Base64UrlEncode(bytes.data, (uint32_t)bytes.size, encoded.data())
                              : Base64Encode(bytes.data, (uint32_t)bytes.size, encoded.data());
        FUZZ_CHECK((size_t)n < encoded.size());
        FUZZ_CHECK(Base64Decode(encoded.data(), back.data()) == (int32_t)bytes.size);
        FUZZ_CHECK(bytes.empty() || memcmp(back.data(), bytes.data, bytes.size) == 0);
    }

    // The same bytes as a little-endian UTF-16 field and as units.
    const size_t units = bytes.size / 2;
    const std::wstring field = GetUtf16Field(bytes.data, units);
    FUZZ_CHECK(field.size() <= units);
    std::vector<char16_t> u16(units);
    if (units) memcpy(u16.data(), bytes.data, 2 * units);
    const std::wstring wide = WideFromUtf16(u16.data(), units);
    const std::u16string again = Utf16FromWide(wide);
    FUZZ_CHECK(again.size() <= units);
    std::vector<unsigned char> put(2 * units + 2);
    FUZZ_CHECK(PutUtf16Field(put.data(), units, wide.c_str()) <= units);
    return 0;
}
