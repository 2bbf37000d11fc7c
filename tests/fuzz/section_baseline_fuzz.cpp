// The objects the peer sends while the cross-section mode waits for its
// base line (20110): the first track found becomes the base line when it
// can carry the frame; then points go into the section and back. The first
// byte chooses the section's kind and whether the ends are swapped.
#include <cmath>
#include <cstdlib>

#include "drawing_fuzz.h"
#include "exchange/crosssectionmode.h"
#include "fuzz_support.h"
#include "section/crosssection.h"
#include "state/sectiongeometry.h"

VELK_FUZZ_WITH_MACHINE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t options = in.Byte();
    const velkfuzz::Input::Bytes payload = in.Rest();
    CrossSectionState& state = velkfuzz::UseDrawing()->crossSection;
    state = CrossSectionState();
    g_sectionFrame = SectionFrame();
    state.range = OdGeExtents3d(OdGePoint3d(0, 0, 0), OdGePoint3d(100, 20, 0));
    state.chosenMode = options & 3;
    state.chosenSwapEnds = (options >> 2) & 1;
    state.waitingForBaseLine = 1;
    OnCrossSectionBaseLine(&state, payload.data, (uint32_t)payload.size);
    if (!state.sectionActive) {
        FUZZ_CHECK(state.strips.empty());
        return 0;
    }
    // The base line carries the frame: points near it go in and come back.
    auto* points = (TrackPoint*)calloc(3, sizeof(TrackPoint));
    const OdGePoint3d& start = state.strips.front().start;
    for (int i = 0; i < 3; ++i) {
        points[i].x = start.x + i;
        points[i].y = start.y - i;
        points[i].elevation = 7;
    }
    uint32_t count = 3;
    FUZZ_CHECK(MapPointsToSection(&state, points, count));
    FUZZ_CHECK(count <= 3);
    FUZZ_CHECK(SectionPointsToPeer(&state, points, count));
    for (uint32_t i = 0; i < count; ++i) FUZZ_CHECK(std::isfinite(points[i].x) && std::isfinite(points[i].y));
    free(points);
    return 0;
}
