// The graphics a dimension-like entity keeps in a block of its own, in world
// coordinates: they go along when the entity is transformed.
#pragma once

#include <set>

#include "oddbentity.h"
#include "oddbsymboltable.h"

namespace standin {

// The block of graphics a transformation of the entity moves along: a
// dimension's, an ARC_DIMENSION's unless its record places the block at a
// point of its own; null for any other entity (oddbproxy.cpp).
OdDbObjectId MovedGraphicsBlock(const OdDbEntity* e);

// Moves the positions a modelled entity's record keeps beyond its object's
// values (a position given twice) with it; false when one would not be
// finite (oddbproxy.cpp).
bool MoveKeptPositions(const OdDbEntity* e, DxfKept* kept, const OdGeMatrix3d& m);

// While one lives, a block of graphics that several transformed entities
// name (two dimensions drawn by one block) moves once: a command moving a
// selection moves each thing it reaches once, as its check tried it.
class MoveEachBlockOnce {
public:
    MoveEachBlockOnce() : outer_(active()) { active() = &moved_; }
    ~MoveEachBlockOnce() { active() = outer_; }
    MoveEachBlockOnce(const MoveEachBlockOnce&) = delete;
    MoveEachBlockOnce& operator=(const MoveEachBlockOnce&) = delete;
    // False when the block has moved already.
    static bool first(const OdDbObjectId& block) { return !active() || active()->insert(block).second; }

private:
    static std::set<OdDbObjectId>*& active()
    {
        static thread_local std::set<OdDbObjectId>* moved = nullptr;
        return moved;
    }
    std::set<OdDbObjectId> moved_;
    std::set<OdDbObjectId>* outer_;
};

inline void TransformBlockGraphics(const OdDbObjectId& blockId, const OdGeMatrix3d& m)
{
    OdDbBlockTableRecord* block = nullptr;
    if (blockId.isNull() || !MoveEachBlockOnce::first(blockId) ||
        oddbOpenObject(block, blockId, OdDb::kForRead) != eOk)
        return;
    for (const auto& id : block->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenOdDbEntity(e, id, OdDb::kForWrite) != eOk) continue;
        e->transformBy(m);
        e->close();
    }
    block->close();
}

}  // namespace standin
