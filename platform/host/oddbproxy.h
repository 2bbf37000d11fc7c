// Host SDK stand-in: objects and entities of classes whose application the
// host has not loaded. An entity keeps the graphics it was saved with, shows
// them and explodes into them.
#pragma once

#include <vector>

#include "oddbentity.h"

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

private:
    std::vector<OdDbEntity*> graphics_;
};

class OdDbProxyObject : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbProxyObject)
};
