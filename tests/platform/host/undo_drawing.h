// What the UNDO tests draw and ask of a drawing.
#pragma once

#include <algorithm>

#include "oddbcurves.h"
#include "oddbsymboltable.h"

namespace undotest {

// A line along x at height y, appended to the drawing's model space.
inline OdDbObjectId AddLine(OdDbDatabase* db, double y)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) != eOk) return id;
    auto* line = new OdDbLine(OdGePoint3d(0, y, 0), OdGePoint3d(1, y, 0));
    if (ms->appendOdDbEntity(id, line) == eOk) line->close();
    else delete line;
    ms->close();
    return id;
}

// Whether model space's list of entities holds the id.
inline bool InModelSpace(OdDbDatabase* db, OdDbObjectId id)
{
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return false;
    const auto& ids = ms->entityIds();
    const bool in = std::find(ids.begin(), ids.end(), id) != ids.end();
    ms->close();
    return in;
}

}  // namespace undotest
