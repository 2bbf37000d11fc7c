// The scanf-like matcher on outside text, with the formats the module uses
// and a few more of each conversion.
#include <cstring>

#include "base/scantext.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t which = in.Byte();
    const std::string text = in.Text();
    const char* t = text.c_str();
    char s[6][1001];
    int d[4] = {0, 0, 0, 0};
    unsigned u = 0;
    float f = 0;
    uint32_t a = 0, b = 0;
    switch (which % 10) {
    case 0: ScanText(t, "%d.%d.%d.%d", &d[0], &d[1], &d[2], &d[3]); break;
    case 1: ScanText(t, "%s.%s.%s.%s", s[0], s[1], s[2], s[3]); break;
    case 2: ScanText(t, "%s:%s:%s:%s:%s:%s", s[0], s[1], s[2], s[3], s[4], s[5]); break;
    case 3: ScanText(t, "%I/%d", &a, &d[0]); break;
    case 4: ScanText(t, "%I/%I", &a, &b); break;
    case 5: ScanText(t, "name = %s age: %d", s[0], &d[0]); break;
    case 6: ScanText(t, "x=%u y=%f", &u, &f); break;
    case 7: ScanText(t, "%s", s[0]); break;
    case 8: ScanText(t, "%f %u %I %s", &f, &u, &a, s[0]); break;
    default: ScanText(t, "a %s\r\nb %d end", nullptr, &d[0]); break;
    }
    for (auto& one : s) one[1000] = 0;
    return 0;
}
