// The cross-section mode as the object exchange meets it.
#pragma once

#include <cstdint>

#include "odgegeometry.h"
#include "peer/maprecords.h"
#include "state/crosssectionstate.h"

// The index of the first strip that takes the point, which it converts
// (section to map, map to section); -1 with the point unchanged.
int32_t FindSegmentOfSectionPoint(CrossSectionState* state, OdGePoint3d& point);
int32_t FindSegmentOfMapPoint(CrossSectionState* state, OdGePoint3d& point);
// Section to map for the points of a track or shape being sent: points
// outside the frame's corridor are dropped, and where consecutive points lie
// in different strips the crossings of the strip boundaries are inserted
// with elevation 1. The list and its count are replaced; false when memory
// fails (the list is unchanged).
bool SectionPointsToPeer(CrossSectionState* state, TrackPoint*& points, uint32_t& count);
// Maps a record about to be sent from section coordinates to map
// coordinates (and its sizes by the section scale).
int SectionObjectToPeer(CrossSectionState* state, void* record, uint32_t kind);
// Maps a received track's or shape's points from map coordinates into the
// section (the list and its count are replaced); false when it fails.
bool MapPointsToSection(CrossSectionState* state, TrackPoint*& points, uint32_t& count);
// Maps a received sign's position into the section; false (the sign
// unchanged) when it lies in no strip.
bool MapSignToSection(CrossSectionState* state, SignRecord* sign);
