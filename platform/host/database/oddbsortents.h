// Host SDK stand-in: the draw order of a block, kept in its extension
// dictionary under "ACAD_SORTENTS".
#pragma once

#include "oddbobject.h"

class OdDbSortentsTable : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbSortentsTable)
    OdDbObjectId blockId() const { return block_; }
    OdResult setBlockId(OdDbObjectId id);
    // The entities move, in their present order among themselves, below
    // (drawn before) or above all others. eInvalidInput when an id is not
    // a live entity of the block. Fault injection (hostdb_control.h):
    // "moveToBottom", "moveToTop".
    OdResult moveToBottom(const OdDbObjectIdArray& ids);
    OdResult moveToTop(const OdDbObjectIdArray& ids);
    // Every live entity of the block, the first drawn first; entities the
    // table has not placed follow in the order they were appended.
    OdResult getFullDrawOrder(OdDbObjectIdArray& ids) const;

private:
    friend struct standin::DxfAccess;
    OdResult move(const OdDbObjectIdArray& ids, bool toBottom);
    OdDbObjectId block_;
    OdDbObjectIdArray order_;
};
