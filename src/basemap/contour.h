// The contour download: what the shell calls of it. Not built yet: every
// operation here does nothing until the contour download is built.
#pragma once

#include <cstdint>

#include "basemap/contourstate.h"

// The contour command with its dialog and picks.
void ContourCommand(ContourState* state);
// A 20303 answer: contour lines, or the peer's error.
void OnContourReply(ContourState* state, const uint8_t* payload, uint32_t size);
// The peer's progress while it extracts the contours.
void OnContourProgress(ContourState* state, int32_t done, int32_t total);
