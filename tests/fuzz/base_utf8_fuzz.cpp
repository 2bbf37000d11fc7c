// UTF-8 as the module meets it in files and answers: the validity rule and
// its helpers, the decoders of the base library and of the peer link, and
// the conversions through the ANSI code page.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "base/numtext.h"
#include "fuzz_support.h"
#include "peer/peerapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t n = in.Byte();
    const std::string text = in.Text();
    const size_t length = text.size();

    // Cut or blanked, a text is valid by the library's own rule.
    std::string cut = text;
    FUZZ_CHECK((size_t)Utf8CutInvalid(cut.data()) <= length);
    FUZZ_CHECK(Utf8IsValid(cut.c_str()));
    std::string blanked = text;
    Utf8BlankInvalid(blanked.data());
    FUZZ_CHECK(Utf8IsValid(blanked.c_str()) && strlen(blanked.c_str()) == length);
    volatile size_t sum = (size_t)Utf8CountWidth(text.c_str());
    const char* skipped = Utf8SkipChars(text.c_str(), n);
    if (skipped) FUZZ_CHECK(skipped >= text.c_str() && skipped <= text.c_str() + length);
    const char* back = Utf8BackChars(text.c_str(), n);
    if (back) FUZZ_CHECK(back >= text.c_str() && back <= text.c_str() + length);

    // Decoded, encoded and decoded again: the same units (up to the first
    // NUL, which an overlong form may give).
    int32_t units = 0;
    wchar_t* wide = Utf8DecodeToWide(text.c_str(), nullptr, &units);
    FUZZ_CHECK(wide && (size_t)units <= length);
    units = (int32_t)wcslen(wide);
    std::vector<char> encoded(3 * (size_t)units + 1);
    WideEncodeToUtf8(wide, encoded.data(), (int32_t)encoded.size());
    int32_t again = 0;
    wchar_t* wideAgain = Utf8DecodeToWide(encoded.data(), nullptr, &again);
    FUZZ_CHECK(again == units && memcmp(wide, wideAgain, sizeof(wchar_t) * (size_t)units) == 0);
    free(wideAgain);
    char* utf8 = WideToUtf8Alloc(wide, n & 1);
    free(utf8);
    std::vector<char> ansi(2 * (size_t)units + 2);
    WideToAnsi(wide, ansi.data(), (int32_t)ansi.size());
    sum += (size_t)WideCountWidth(wide) + (size_t)WideCountUnits(wide);
    free(wide);

    // The peer link's lenient decoder and its encoder.
    uint32_t count = 0;
    wchar_t* peerWide = Utf8ToWide(text.c_str(), nullptr, &count);
    FUZZ_CHECK(peerWide && count <= length);
    std::vector<char> peerUtf8(6 * (size_t)count + 1);
    FUZZ_CHECK((size_t)WideToUtf8(peerWide, peerUtf8.data(), (int)peerUtf8.size()) < peerUtf8.size());
    free(peerWide);

    // ANSI text (code page 936) from outside, to UTF-8 and back.
    std::vector<char> toUtf8(3 * length + 1);
    AnsiToUtf8(toUtf8.data(), text.c_str());
    wchar_t* fromAnsi = AnsiToWideNew(text.c_str());
    delete[] fromAnsi;
    std::vector<char> toAnsi((size_t)n + 1);
    Utf8ToAnsi(text.c_str(), toAnsi.data(), (int32_t)toAnsi.size());
    (void)sum;
    return 0;
}
