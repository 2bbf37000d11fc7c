// The cross-section mode's state of one drawing (a member of its
// CDrawingData). The frame itself is process-wide.
#pragma once

#include <cstdint>
#include <list>

#include "basemap/sectiontypes.h"
#include "odgegeometry.h"

struct CrossSectionState {
    OdGeExtents3d range;             // the frame chosen, drawing units
    BaseLine baseLine;
    std::list<SectionStrip> strips;  // one per segment of non-zero length
    uint8_t sectionActive = 0;       // the mode is on
    uint8_t waitingForBaseLine = 0;  // the user is choosing the base line in the peer
};
