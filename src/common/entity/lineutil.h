// Lines, collinearity and the side of a line.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"

class CLineUtil {
public:
    CLineUtil() = default;
    virtual ~CLineUtil() = default;

    static OdDbObjectId Add(const OdGePoint3d& start, const OdGePoint3d& end, EntityProps props, OdDbDatabase* db);
    static bool IsCollinear(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3);
    // 1 when c lies left of a -> b, -1 right, 0 on the line (within tol).
    static int GetPointSide(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& c, double tol);
};
