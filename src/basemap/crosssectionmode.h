// The cross-section mode as the object exchange meets it.
#pragma once

#include <cstdint>

#include "basemap/crosssectionstate.h"

// Maps a record about to be sent from section coordinates to map
// coordinates (and its sizes by the section scale).
int SectionObjectToPeer(CrossSectionState* state, void* record, uint32_t kind);
