// The contour download: what the shell calls of it. Not built yet: every
// operation here does nothing until the contour download is built.
#pragma once

#include <cstdint>

#include "basemap/contourstate.h"
#include "gcedinput.h"

// The contour command with its dialog and picks.
void ContourCommand(ContourState* state);
// Sends the first contour request for the entity's extents; true when sent.
bool ContourFromExtents(ContourState* state, const ads_name entity);
// A 20303 answer: contour lines, or the peer's error.
void OnContourReply(ContourState* state, const uint8_t* payload, uint32_t size);
// The peer's progress while it extracts the contours.
void OnContourProgress(ContourState* state, int32_t done, int32_t total);
