// The cross-section mode: the user chooses a frame in the drawing (a drawn
// rectangle or the whole drawing) and a track in the peer as the base line;
// while the mode is on, objects sent to the peer go from section to map
// coordinates and objects received go from map coordinates into the frame
// (crosssectionmode.h). The geometry is in sectiongeometry.h.
#pragma once

#include <cstdint>

#include "state/crosssectionstate.h"
#include "gcedinput.h"
#include "odgegeometry.h"
#include "peer/maprecords.h"

// Stops the peer following and switches the online base map off.
void BeginCrossSectionMode(CrossSectionState* state);
// The settings dialog, then the frame: a rectangle to draw, or the drawing's
// extents.
void CrossSectionCommand(CrossSectionState* state);
// Adds the extents of every model-space entity to the range.
void CollectDrawingExtents(CrossSectionState* state);
// The drawn rectangle becomes the range (erased when asked); false when it
// does not open or is smaller than 10 x 10 drawing units.
bool CrossSectionFromRectangle(CrossSectionState* state, const ads_name rectangle, bool erase);
// Asks the user to send the base line from the peer.
void PromptForBaseLine(CrossSectionState* state);
// The objects the peer sent while the mode waits for its base line (a
// 20110 answer of `size` bytes): its first track becomes the base line.
void OnCrossSectionBaseLine(CrossSectionState* state, const uint8_t* payload, uint32_t size);
// Ties the frame to the base line's longitude for a peer that works in
// longitude and latitude.
void SendSectionRelatePoints(CrossSectionState* state, const TrackPoint* points, uint32_t count);
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
