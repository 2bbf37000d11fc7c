// The cross-section mode as the object exchange meets it.
#pragma once

#include <cstdint>

#include "state/crosssectionstate.h"
#include "peer/maprecords.h"

// Maps a record about to be sent from section coordinates to map
// coordinates (and its sizes by the section scale).
int SectionObjectToPeer(CrossSectionState* state, void* record, uint32_t kind);
// Maps a received track's or shape's points from map coordinates into the
// section (the list and its count are replaced); false when it fails.
bool MapPointsToSection(CrossSectionState* state, TrackPoint*& points, uint32_t& count);
// Maps a received sign's position into the section; false (the sign
// unchanged) when it lies in no strip.
bool MapSignToSection(CrossSectionState* state, SignRecord* sign);
