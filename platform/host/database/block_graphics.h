// The graphics a dimension-like entity keeps in a block of its own, in world
// coordinates: they go along when the entity is transformed.
#pragma once

#include "oddbentity.h"
#include "oddbsymboltable.h"

namespace standin {

inline void TransformBlockGraphics(const OdDbObjectId& blockId, const OdGeMatrix3d& m)
{
    OdDbBlockTableRecord* block = nullptr;
    if (blockId.isNull() || oddbOpenObject(block, blockId, OdDb::kForRead) != eOk) return;
    for (const auto& id : block->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenOdDbEntity(e, id, OdDb::kForWrite) != eOk) continue;
        e->transformBy(m);
        e->close();
    }
    block->close();
}

}  // namespace standin
