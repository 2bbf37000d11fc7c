// The cross-section mode: what the shell calls of it. Not built yet: every
// operation here does nothing until the mode is built.
#pragma once

#include <cstdint>

#include "basemap/crosssectionstate.h"
#include "gcedinput.h"

// Keeps the follow mode, stops following in the peer, switches the base map off.
void BeginCrossSectionMode(CrossSectionState* state);
// The cross-section command with its settings dialog.
void CrossSectionCommand(CrossSectionState* state);
// The rectangle the user drew for the mode (erased afterwards when asked).
bool CrossSectionFromRectangle(CrossSectionState* state, const ads_name rectangle, bool erase);
// The base line the peer sent (a 20110 answer).
void OnCrossSectionBaseLine(CrossSectionState* state, const uint8_t* payload, uint32_t size, double scale);
