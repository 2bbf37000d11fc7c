#include "oddbproxy.h"

ODRX_DEFINE_MEMBERS(OdDbProxyEntity, OdDbEntity, L"AcDbZombieEntity")
ODRX_DEFINE_MEMBERS(OdDbProxyObject, OdDbObject, L"AcDbProxyObject")

OdDbProxyEntity::OdDbProxyEntity(const OdDbProxyEntity& o) : OdDbEntity(o), file_(o.file_)
{
    for (const auto* g : o.graphics_) graphics_.push_back(g->clone());
}

OdDbProxyEntity::~OdDbProxyEntity()
{
    for (auto* g : graphics_) delete g;
}

OdResult OdDbProxyEntity::addGraphics(const OdDbEntity& ent)
{
    OdDbEntity* copy = ent.clone();
    if (!copy) return eInvalidInput;
    if (!assertWriteEnabled()) {
        delete copy;
        return eNotOpenForWrite;
    }
    graphics_.push_back(copy);
    return eOk;
}

OdResult OdDbProxyEntity::explode(OdDbVoidPtrArray& entitySet) const
{
    if (int s = standin::TakeHostFault("explode")) return (OdResult)s;
    if (graphics_.empty()) return eNotApplicable;
    for (const auto* g : graphics_) entitySet.append(g->clone());
    return eOk;
}

OdResult OdDbProxyEntity::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto* g : graphics_) {
        OdGeExtents3d e;
        if (g->getGeomExtents(e) == eOk) ext.addExt(e);
    }
    return ext.isValidExtents() ? eOk : eInvalidExtents;
}
