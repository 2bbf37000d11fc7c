#include "common/entity/regionutil.h"

#include "common/document/dwgdatabaseutil.h"

OdDbObjectIdArray CRegionUtil::Add(const OdDbObjectIdArray& curveIds, EntityProps props)
{
    OdDbObjectIdArray ids;
    OdDbVoidPtrArray curves;
    for (const auto& id : curveIds) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        if (ent->isKindOf(OdDbCurve::desc())) curves.append(ent);
        else ent->close();
    }
    OdDbVoidPtrArray regions;
    if (OdDbRegion::createFromCurves(curves, regions) == eOk) {
        for (void* p : regions) {
            auto* region = static_cast<OdDbRegion*>(p);
            region->setDatabaseDefaults();
            OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(region, props);
            if (!id.isNull()) ids.append(id);
        }
    } else {
        for (void* p : regions) delete static_cast<OdDbRegion*>(p);
    }
    for (void* p : curves) static_cast<OdDbEntity*>(p)->close();
    return ids;
}
