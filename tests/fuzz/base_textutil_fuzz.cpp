// The text toolkit on outside text: searches, comparisons, wildcards,
// format checks and the bounded edits.
#include <cstring>

#include "base/basefile.h"
#include "base/textutil.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t n = in.Byte();
    const std::string a = in.Text();
    const std::string b = in.Text();
    const std::string text = in.Text();
    const char* t = text.c_str();
    volatile intptr_t sum = 0;
    sum += WildcardMatchNoCase(t, a.c_str()) + SameFormatSpecs(a.c_str(), b.c_str());
    sum += CompareNoCase(a.c_str(), b.c_str()) + CompareNoCaseN(a.c_str(), b.c_str(), n);
    sum += StartsWithNoCase(t, a.c_str()) + EndsWithText(t, a.c_str()) + EndsWithNoCase(t, a.c_str());
    sum += (intptr_t)FindTextNoCase(t, a.c_str()) + (intptr_t)FindTextNoCaseB(t, a.c_str()) +
           (intptr_t)FindLastText(t, a.c_str());
    sum += HasAnyCharOf(t, a.c_str()) + CountCharsOf(t, a.c_str(), (int8_t)n) + OnlyCharsOf(t, a.c_str()) +
           CountLines(t) + (intptr_t)SkipCharsOf(t, a.c_str()) + (intptr_t)FindAnyCharOf(t, a.c_str());

    std::vector<char> out((size_t)n + 1);
    const char* next = ReadCrLfLine(t, out.data(), n);
    if (next) FUZZ_CHECK(next > t && next <= t + text.size());
    std::vector<char> left(text.size() + 1), right(text.size() + 1);
    SplitAtText(t, left.data(), right.data(), a.c_str());

    // Edits in a buffer of a given capacity.
    const size_t capacity = text.size() + 1 + n;
    std::vector<char> edit(capacity + 1, 0);
    memcpy(edit.data(), t, text.size());
    ReplaceAllText(edit.data(), a.c_str(), b.c_str(), n & 7, (int32_t)capacity);
    FUZZ_CHECK(strlen(edit.data()) < capacity);
    RemoveSpans(edit.data(), a.c_str(), b.c_str());
    TrimText(edit.data());
    ReplaceCharsOf(edit.data(), b.c_str(), '_');
    RemoveCharsOf(edit.data(), a.c_str());
    AsciiToLower(edit.data());
    AsciiToUpper(edit.data());
    std::vector<char> copy((size_t)n + 1);
    SafeTextCopy(copy.data(), t, (int32_t)copy.size());
    SafeTextAppend(copy.data(), a.c_str(), (int32_t)copy.size());
    FUZZ_CHECK(memchr(copy.data(), 0, copy.size()) != nullptr);
    char* padded = DupTextPadded(t, n);
    MemFree(padded);
    (void)sum;
    return 0;
}
