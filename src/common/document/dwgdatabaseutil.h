// Posting entities to model space, listing and measuring model space.
#pragma once

#include "common/document/entityprops.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"

class CDwgDatabaseUtil {
public:
    CDwgDatabaseUtil() = default;
    virtual ~CDwgDatabaseUtil() = default;

    // Appends a new entity to model space of the database and applies the
    // properties; returns its id, or the null id. The entity is the
    // database's afterwards, or deleted when it could not be posted.
    static OdDbObjectId PostToModelSpace(OdDbEntity* ent, const EntityProps& props,
                                         OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase());
    // Model-space entities in order, all or those on the named layer.
    static OdDbObjectIdArray GetAllEntityIds(const wchar_t* layerName = nullptr,
                                             OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase());
    // The geometric extents of model space; invalid when it is empty.
    static OdDbExtents GetModelSpaceExtent(OdDbDatabase* db);
};
