// The picture's text parsers on what a drawing file holds: a multiline
// text's format codes and a single-line text's special codes, laid out in
// the picture's font and wrapped. No character comes out that the contents
// did not pay for.
#include <cmath>

#include "drawing_render.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    // Options: bit 0 multiline, bit 1 the contents as UTF-16 (else one
    // character a byte), bits 2-4 the height, bits 5-7 the wrap width.
    const uint8_t options = in.Byte();
    static const double kHeights[8] = {2.5, 1, 100, 1e-300, 1e300, 0, -3, NAN};
    static const double kWidths[8] = {0, 40, 5, 1e-9, 1e9, -1, INFINITY, NAN};
    const double height = kHeights[options >> 2 & 7], width = kWidths[options >> 5 & 7];
    const velkfuzz::Input::Bytes rest = in.Rest();
    std::wstring contents;
    if (options & 2) {
        for (size_t i = 0; i + 1 < rest.size; i += 2) contents += (wchar_t)(rest.data[i] | rest.data[i + 1] << 8);
    } else {
        for (uint8_t b : rest) contents += (wchar_t)b;
    }
    const std::u32string out = velkhost::LaidOutText(contents, options & 1, height, width);
    size_t chars = 0;
    for (char32_t c : out) chars += c != U'\n';
    FUZZ_CHECK(chars <= contents.size());
    return 0;
}
