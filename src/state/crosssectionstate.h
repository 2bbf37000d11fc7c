// The cross-section mode's state of one drawing (a member of its
// CDrawingData). The process-wide g_sectionFrame is the frame accepted last;
// each drawing converts with the frame its own strips were built for.
#pragma once

#include <cstdint>
#include <list>

#include "odgegeometry.h"
#include "state/sectiontypes.h"

struct CrossSectionState {
    OdGeExtents3d range;             // the frame chosen, drawing units; empty until chosen
    BaseLine baseLine;               // of the last accepted base line
    std::list<SectionStrip> strips;  // one per segment of non-zero length
    uint8_t sectionActive = 0;       // the mode is on
    uint8_t waitingForBaseLine = 0;  // the user is choosing the base line in the peer
    // The orientation and end swap chosen in the settings dialog; they reach
    // the process-wide frame with the base line they were chosen for, so that
    // a section running in another drawing keeps its frame until then.
    int32_t chosenMode = kSectionRightUpright;
    int32_t chosenSwapEnds = 0;
    // The frame of this drawing's accepted base line: a base line accepted
    // later in another drawing changes g_sectionFrame, not this.
    SectionFrame frame;
};
