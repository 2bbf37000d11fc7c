// Circles.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"

class CCircleUtil {
public:
    CCircleUtil() = default;
    virtual ~CCircleUtil() = default;

    static OdDbObjectId AddWithNormal(const OdGePoint3d& center, const OdGeVector3d& normal, double radius,
                                      EntityProps props,
                                      OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase());
    static OdDbObjectId Add(const OdGePoint3d& center, double radius, EntityProps props,
                            OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase());
    // The circle on the diameter between the two points.
    static OdDbObjectId AddBy2Points(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props);
    // The circle through three points (x and y); a message box and the null
    // id when they fix no circle or the radius is too small.
    static OdDbObjectId AddBy3Points(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3,
                                     EntityProps props);
};
