// The host reactors and selection filters the plug-in attaches at start-up
// and removes at unload. Their behaviour is not built yet: the classes
// exist, carry the state other parts read, and react to nothing.
#pragma once

#include <cstdint>

#include "common/symboltable/viewextents.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "oddbdatabase.h"

// Keeps protected base-map objects out of selections.
class AcEdContextReactor : public GcEdSSGetFilter {};
// Keeps them from being highlighted.
class CEntHilightReactor : public GcEdSSGetFilter2 {};

class CEditorReactor : public OdEditorReactor {
public:
    ViewExtents m_viewExtents;     // the view as last taken (view changes and timer 1006)
    ViewExtents m_viewExtentsNow;  // the view timer 1006 recorded at its last run
    uint8_t m_bViewGuard = 1;      // the next view change rewrites m_viewExtents
    uint8_t m_bEcho = 0;           // apply the peer's next 20012 report
    uint8_t m_nPendingRect = 0;    // 1 capture, 2 contour rectangle awaited
    uint8_t m_bPendingSection = 0;
    uint8_t m_bSuspendInsert = 0;  // a command runs: tile insertion waits
};

class CDocReactor : public GcApDocManagerReactor {};

class CDbReactor : public OdDbDatabaseReactor {};

// BHATCH is the command running (cleared by timer 1002).
extern uint8_t g_bBhatchRunning;
// A document was created since the toolbar's last check.
extern uint8_t g_bNewDocument;
