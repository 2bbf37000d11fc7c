// Lightweight and 3-D polylines, and where a point lies against a closed
// polyline.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"

class CPolylineUtil {
public:
    CPolylineUtil() = default;
    virtual ~CPolylineUtil() = default;

    // An open polyline through the points, constant width.
    static OdDbObjectId Add(const OdGePoint2dArray& points, EntityProps props, double width);
    static OdDbObjectId AddSegment(const OdGePoint2d& start, const OdGePoint2d& end, EntityProps props,
                                   double width);
    static OdDbObjectId Add3dPolyline(const OdGePoint3dArray& points, EntityProps props);
    // A closed regular polygon turned by rotation about its centre; null
    // for fewer than 3 sides.
    static OdDbObjectId AddPolygon(const OdGePoint2d& center, int sides, double radius, double rotation,
                                   double width, EntityProps props);
    // Closed, axis-parallel, from (minX, minY) counter-clockwise.
    static OdDbObjectId AddRectangle(const OdGePoint2d& corner1, const OdGePoint2d& corner2, double width,
                                     EntityProps props);
    static OdDbObjectId AddPolyCircle(const OdGePoint2d& center, double radius, double width, EntityProps props);
    static OdDbObjectId AddPolyArc(const OdGePoint2d& center, double radius, double startAngle, double endAngle,
                                   double width, EntityProps props);
    // 1 inside, 0 on the polyline (within tol), -1 outside.
    static int PtRelationToPoly(const OdDbPolyline* polyline, const OdGePoint2d& point, double tol);
    // The points where the ray meets the segments, each once (within tol).
    static void IntersectWithRay(const OdDbPolyline* polyline, const OdGeRay2d& ray, OdGePoint3dArray& points,
                                 double tol);
    static bool IsVertex(const OdDbPolyline* polyline, const OdGePoint2d& point, double tol);
};
