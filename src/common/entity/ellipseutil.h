// Ellipses and elliptical arcs.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"

class CEllipseUtil {
public:
    CEllipseUtil() = default;
    virtual ~CEllipseUtil() = default;

    // Null when the ellipse refuses the values (a ratio outside (0, 1]).
    static OdDbObjectId Add(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                            double radiusRatio, EntityProps props, double startAngle = 0.0,
                            double endAngle = 6.283185307179586);
    // The ellipse inscribed in the axis-parallel rectangle of the corners;
    // null for a rectangle with a zero side.
    static OdDbObjectId AddInRectangle(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props);
    // Its arc; angles measured from the x axis.
    static OdDbObjectId AddArcInRectangle(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props,
                                          double startAngle, double endAngle);
    // Start point, centre and end point of an ellipse; empty for anything else.
    static OdGePoint2dArray GetKeyPoints(OdDbObjectId id);
};
