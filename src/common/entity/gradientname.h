// Host gradient names and the peer's gradient shape codes.
#pragma once

#include "common/entity/hatchfillspec.h"

extern const char* const GradientNames[9];

// Writes the shape code of the gradient name (0 linear, 1 cylinder, 2
// spherical) into the fill's shape field and returns it signed: negative
// for an inverted gradient, whose two colours are to be exchanged.
int GetGradientShape(HatchFillSpec* fill, const char* name);
// The host gradient name of a shape code; "LINEAR" for any other code.
const char* GetGradientName(const HatchFillSpec& fill, int shape);
