// Splines: creation from control points or fit points, and sampling.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"

class CSplineUtil {
public:
    CSplineUtil() = default;
    virtual ~CSplineUtil() = default;

    // A non-rational clamped spline of the order (2..26); with fewer control
    // points than the order the degree is lowered to fit. Null for fewer
    // than 2 points or knots the host refuses.
    static OdDbObjectId Add(const OdGePoint3dArray& controlPoints, EntityProps props, int order);
    static OdDbObjectId AddByFitPoints(const OdGePoint3dArray& fitPoints, const OdGeVector3d& startTangent,
                                       const OdGeVector3d& endTangent, EntityProps props, int order,
                                       double fitTolerance);
    // Appends 30 sample points per control point (z 0), without the last
    // one unless keepLast.
    static void GetSplinePoints(const OdGeSplineEnt2d& spline, OdGePoint3dArray& points, bool keepLast);
};
