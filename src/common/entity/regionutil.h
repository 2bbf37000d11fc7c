// Regions from curve entities.
#pragma once

#include "common/document/entityprops.h"
#include "oddbhatch.h"

class CRegionUtil {
public:
    CRegionUtil() = default;
    virtual ~CRegionUtil() = default;

    // The ids of the new regions; empty when no region could be made.
    static OdDbObjectIdArray Add(const OdDbObjectIdArray& curveIds, EntityProps props);
};
