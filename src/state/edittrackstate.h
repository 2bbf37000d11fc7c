// What the database reactor records of one drawing's edits while a command
// runs (a member of its CDrawingData).
#pragma once

#include <cstdint>
#include <map>

#include "oddbobject.h"

struct EditTrackState {
    OdDbObjectId m_lastModifiedId;
    OdDbObjectIdArray m_modifiedLines;     // each id once
    OdDbObjectIdArray m_modifiedTexts;
    OdDbObjectIdArray m_modifiedEntities;
    OdDbObjectIdArray m_movedTexts;        // texts with a companion moved by MOVE
    uint8_t m_bMoveActive = 0;
    uint8_t m_bCopyActive = 0;
    OdDbObjectIdArray m_movedMTexts;
    OdDbObjectId m_pointId;
    std::map<uint64_t, uint64_t> m_copyHandles;  // used as a set
};
