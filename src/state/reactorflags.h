// What the editor reactor keeps between the host's events and the features
// read and set: the view as last taken, the echo of the peer's next map
// report, and the rectangle or section a command waits for. The shell's
// CEditorReactor (shell/reactors.h) adds the reactions to the host's events.
#pragma once

#include <cstdint>

#include "common/symboltable/viewextents.h"
#include "gcedreactor.h"

class EditorReactorFlags : public OdEditorReactor {
public:
    ViewExtents m_viewExtents;     // the view as last taken (view changes and timer 1006)
    ViewExtents m_viewExtentsNow;  // the view timer 1006 recorded at its last run
    uint8_t m_bViewGuard = 1;      // the next view change rewrites m_viewExtents
    uint8_t m_bEcho = 0;           // apply the peer's next 20012 report
    uint8_t m_nPendingRect = 0;    // 1 capture, 2 contour rectangle awaited
    uint8_t m_bPendingSection = 0;
    uint8_t m_bSuspendInsert = 0;  // a command runs: tile insertion waits
};

// The editor reactor the start-up attaches (a CEditorReactor); null before
// and after.
extern EditorReactorFlags* g_pEditorReactor;
