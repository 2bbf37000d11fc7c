// The fill of a hatch as the peer describes it (pattern, gradient or solid).
#pragma once

#include <cstdint>

struct HatchFillSpec {
    // Pattern colour or first gradient colour, 0x00BBGGRR.
    uint32_t colour = 0;
    // 3 pattern, 1 gradient, anything else solid.
    int32_t fillType = 0;
    // Gradient shape code (0 linear, 1 cylinder, 2 spherical) or pattern kind.
    int32_t fillKind = 0;
    uint32_t patternId = 0;
    uint32_t secondColour = 0;
    // Pattern or gradient name, ASCII.
    char name[100] = {};
    double angle = 0.0;
    double scale = 1.0;
    double originX = 0.0;
    double originY = 0.0;
};
