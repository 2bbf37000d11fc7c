// Arcs: creation and sampling into points.
#pragma once

#include "common/document/entityprops.h"
#include "oddbcurves.h"

class CArcUtil {
public:
    CArcUtil() = default;
    virtual ~CArcUtil() = default;

    static OdDbObjectId AddWithNormal(const OdGePoint3d& center, const OdGeVector3d& normal, double radius,
                                      double startAngle, double endAngle, EntityProps props);
    static OdDbObjectId Add(const OdGePoint3d& center, double radius, double startAngle, double endAngle,
                            EntityProps props);
    // The counter-clockwise arc from p1 to p3 on the circle through the three
    // points (p2 only fixes the circle); null for collinear points.
    static OdDbObjectId AddBy3Points(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3,
                                     EntityProps props);
    static OdDbObjectId AddByStartCenterEnd(const OdGePoint2d& start, const OdGePoint2d& center,
                                            const OdGePoint2d& end, EntityProps props);
    static OdDbObjectId AddByStartCenterAngle(const OdGePoint2d& start, const OdGePoint2d& center, double angle,
                                              EntityProps props);
    // Corners of the square around the circle; angles in degrees.
    static OdDbObjectId AddByDiameter(const OdGePoint2d& p1, const OdGePoint2d& p2, double startDegrees,
                                      double endDegrees, EntityProps props);
    // A new arc in no database (the caller deletes it); null for a zero bulge.
    static OdDbArc* CreateArcFromBulge(const OdGePoint3d& start, const OdGePoint3d& end, double bulge);
    // Points at equal arc lengths, at least 3; walking back from the end
    // for a negative bulge. Nothing for a step of 0 or less.
    static void AppendArcPoints(const OdDbArc* arc, OdGePoint3dArray& points, double bulge, bool includeEnd,
                                int stepDegrees);
    // The points of one bulge segment from start on (the end when asked).
    static void GetBulgePoints(const OdGePoint3d& start, const OdGePoint3d& end, double bulge,
                               OdGePoint3dArray& points, bool includeEnd, int stepDegrees);
    static void GetArcPoints(const OdGeCircArc2d& arc, OdGePoint3dArray& points, bool includeEnd, int stepDegrees);
    static void GetEllipArcPoints(const OdGeEllipArc2d& arc, OdGePoint3dArray& points, bool includeEnd,
                                  int stepDegrees);
    static double GetArcLength(const OdDbArc* arc);
};
