// The cross-section mode: the user chooses a frame in the drawing (a drawn
// rectangle or the whole drawing) and a track in the peer as the base line;
// while the mode is on, objects sent to the peer go from section to map
// coordinates and objects received go from map coordinates into the frame
// (exchange/crosssectionmode.h). The geometry is in state/sectiongeometry.h.
#pragma once

#include <cstdint>

#include "exchange/crosssectionmode.h"
#include "gcedinput.h"
#include "odgegeometry.h"
#include "peer/maprecords.h"
#include "state/crosssectionstate.h"

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
