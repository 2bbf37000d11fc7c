// A contour answer as the peer sends it (20303): its record and the
// exchange buffer of contour lines behind it, handled as the receiver
// window hands it over, on a drawing of its own.
#include "drawing_fuzz.h"
#include "fuzz_support.h"
#include "section/contour.h"

VELK_FUZZ_WITH_MACHINE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ContourState& state = velkfuzz::UseDrawing()->contour;
    state = ContourState();
    state.level = 12;
    state.precision = 10;
    OnContourReply(&state, data, (uint32_t)size);
    FUZZ_CHECK(state.busy == 0);
    return 0;
}
