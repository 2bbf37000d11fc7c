// Host SDK stand-in: objects and entities of classes whose application the
// host has not loaded. An entity keeps the graphics it was saved with, shows
// them and explodes into them.
#pragma once

#include <functional>

#include <string>
#include <utility>
#include <vector>

#include "oddbentity.h"

// Stand-in: what a drawing file held of an object of a class the host does
// not know, kept so that saving writes it back as it came.
struct OdDbProxyFileRecord {
    std::wstring dxfName;  // the record's type, such as "ACDBPLACEHOLDER"
    bool fromFile = false;  // read from a file (its type may be empty)
    // Its own values in file order (not its handle, owner or the groups of
    // its dictionary and reactors, which the object itself keeps).
    std::vector<std::pair<int, std::wstring>> groups;
    // Its class entry in the file's class section, when there was one.
    std::vector<std::pair<int, std::wstring>> classGroups;
};

// The host names the run-time class of such an entity "AcDbZombieEntity".
class OdDbProxyEntity : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbProxyEntity)

    OdDbProxyEntity() = default;
    OdDbProxyEntity(const OdDbProxyEntity& o);
    OdDbProxyEntity& operator=(const OdDbProxyEntity&) = delete;
    ~OdDbProxyEntity() override;

    // Stand-in: adds a copy of the entity to the saved graphics.
    OdResult addGraphics(const OdDbEntity& ent);
    // New copies of the saved graphics; eNotApplicable when there are none.
    OdResult explode(OdDbVoidPtrArray& entitySet) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    // The type the drawing file gave the entity; empty for one made in
    // memory.
    OdString originalDxfName() const { return OdString(file_.dxfName); }
    // Stand-in: whether the entity can be transformed. A record a file
    // gave is, when it is of a kind whose values are known (a 3DFACE, a
    // LEADER, an XLINE ...): its points, directions and lengths are
    // transformed where they are kept. An unknown kind, or one whose
    // geometry is held in data the host does not read (a 3DSOLID's), is
    // not; nor is one made in memory.
    bool isTransformable() const;
    // Stand-in: the block holding the graphics of a record that has one
    // (an ARC_DIMENSION's), or null; and giving the record another (a
    // copy's own), which needs a write open.
    OdDbObjectId geometryBlockId() const;
    OdResult setGeometryBlockId(OdDbObjectId id);
    // Stand-in: that block when a transformation moves it along, null
    // when there is none or the record places it at a point of its own.
    OdDbObjectId movedGraphicsBlockId() const;
    // Stand-in: for a copy made together with other entities, the record's
    // references to entities name their copies (a LEADER's annotation);
    // a reference to an entity that was not copied is dropped, as the copy
    // is not tied to the original's. `copyOf` gives a copy, or null.
    // Needs a write open.
    OdResult takeCopiedReferences(const std::function<OdDbObjectId(OdDbObjectId)>& copyOf);
    // Stand-in: the numbers a file gave the record in one of its
    // subclasses (by its marker, "AcDbLeader"), in file order with their
    // codes, integers as numbers too; for drawing a kind whose graphics the
    // file did not give. Empty for a record made in memory.
    std::vector<std::pair<int, double>> fileNumbers(const char* subclass) const;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;
    void subCopyTiesTo(OdDbObject& copy) const override { static_cast<OdDbProxyEntity&>(copy).block_ = block_; }

private:
    friend struct standin::DxfAccess;
    std::vector<OdDbEntity*> graphics_;
    OdDbProxyFileRecord file_;
    // The graphics block given to this record (a copy's), found by the
    // record's name for it otherwise; a copy does not take it, as a copy
    // of a dimension does not.
    OdDbObjectId block_;
};

class OdDbProxyObject : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbProxyObject)
    OdString originalDxfName() const { return OdString(file_.dxfName); }

private:
    friend struct standin::DxfAccess;
    OdDbProxyFileRecord file_;
};

namespace standin {
// For `copyId`, a copy of the entity `sourceId` just added to the drawing:
// the records the source's file record owns (360: an image's reactor) are
// copied, owned by the copy and naming it where they named the source; the
// copy's record owns them where the source's owned the originals, and what
// named an original as a reactor names its copy too, as a deep clone makes
// them. `made` gets the new records, `reacted` each (object, new reactor).
void CopyOwnedRecords(OdDbObjectId sourceId, OdDbObjectId copyId, std::vector<OdDbObjectId>& made,
                      std::vector<std::pair<OdDbObjectId, OdDbObjectId>>& reacted);
// The handles (1005) of the extended data of `copy`, open for write, name
// the copies of the entities they name (`copyOf`, null for an entity not
// copied with it), and none of the entities not copied: a copy of a text
// in columns does not claim the original's columns.
void FollowCopiedData(OdDbObject* copy, const std::function<OdDbObjectId(OdDbObjectId)>& copyOf);
}  // namespace standin
