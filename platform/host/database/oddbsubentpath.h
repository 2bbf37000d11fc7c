// Host SDK stand-in: the path to a sub-entity: the ids from the outermost
// block reference down to the entity, and the sub-entity within it.
#pragma once

#include "oddbobject.h"

namespace OdDb {
enum SubentType { kNullSubentType = 0, kFaceSubentType = 1, kEdgeSubentType = 2, kVertexSubentType = 3 };
}

class OdDbSubentId {
public:
    OdDbSubentId() = default;
    OdDbSubentId(OdDb::SubentType type, int64_t index) : type_(type), index_(index) {}
    OdDb::SubentType type() const { return type_; }
    int64_t index() const { return index_; }
    bool operator==(const OdDbSubentId& o) const { return type_ == o.type_ && index_ == o.index_; }

private:
    OdDb::SubentType type_ = OdDb::kNullSubentType;
    int64_t index_ = 0;
};

class OdDbFullSubentPath {
public:
    OdDbFullSubentPath() = default;
    OdDbFullSubentPath(const OdDbObjectIdArray& ids, const OdDbSubentId& subent) : ids_(ids), subent_(subent) {}
    OdDbObjectIdArray& objectIds() { return ids_; }
    const OdDbObjectIdArray& objectIds() const { return ids_; }
    OdDbSubentId& subentId() { return subent_; }
    const OdDbSubentId& subentId() const { return subent_; }

private:
    OdDbObjectIdArray ids_;
    OdDbSubentId subent_;
};
