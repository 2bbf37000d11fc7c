#include "common/entity/arcutil.h"

#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/geometry/convertutil.h"
#include "common/geometry/gepointutil.h"
#include "common/geometry/mathutil.h"

namespace {

// A sweep in degrees as samples count it: angles far out, or no numbers,
// give one turn rather than a count no integer holds.
double OneTurnAtMost(double sweep) { return sweep >= 0 && sweep <= 360 ? sweep : 360; }

// Sample points of a plane curve from its start to its end angle.
void AppendPlaneArcPoints(const OdGeCurve2d& curve, double startAng, double endAng, OdGePoint3dArray& points,
                          bool includeEnd, int stepDegrees)
{
    if (stepDegrees <= 0) return;
    double s = startAng * 180 / CMathUtil::PI(), e = endAng * 180 / CMathUtil::PI();
    if (s > e) e += 360;
    int n = (int)OneTurnAtMost(e - s) / stepDegrees;
    if (n < 3) n = 3;
    OdGePoint2dArray samples;
    curve.getSamplePoints(n, samples);
    for (const auto& p : samples) points.append(CConvertUtil::ToPoint3d(p, 0.0));
    if (!includeEnd && !points.isEmpty()) points.removeLast();
}

}  // namespace

OdDbObjectId CArcUtil::AddWithNormal(const OdGePoint3d& center, const OdGeVector3d& normal, double radius,
                                     double startAngle, double endAngle, EntityProps props)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbArc(center, normal, radius, startAngle, endAngle), props);
}

OdDbObjectId CArcUtil::Add(const OdGePoint3d& center, double radius, double startAngle, double endAngle,
                           EntityProps props)
{
    return AddWithNormal(center, OdGeVector3d(0, 0, 1), radius, startAngle, endAngle, props);
}

OdDbObjectId CArcUtil::AddBy3Points(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3,
                                    EntityProps props)
{
    OdGeCircArc2d geArc(CConvertUtil::ToPoint2d(p1), CConvertUtil::ToPoint2d(p2), CConvertUtil::ToPoint2d(p3));
    OdGePoint2d c = geArc.center();
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(geArc.radius())) return OdDbObjectId();
    OdGePoint3d center(c.x, c.y, (p1.z + p2.z + p3.z) / 3);
    double startAngle = (CConvertUtil::ToPoint2d(p1) - c).angle();
    double endAngle = (CConvertUtil::ToPoint2d(p3) - c).angle();
    return Add(center, geArc.radius(), startAngle, endAngle, props);
}

OdDbObjectId CArcUtil::AddByStartCenterEnd(const OdGePoint2d& start, const OdGePoint2d& center,
                                           const OdGePoint2d& end, EntityProps props)
{
    double radius = center.distanceTo(start);
    return Add(CConvertUtil::ToPoint3d(center, 0.0), radius, (start - center).angle(), (end - center).angle(),
               props);
}

OdDbObjectId CArcUtil::AddByStartCenterAngle(const OdGePoint2d& start, const OdGePoint2d& center, double angle,
                                             EntityProps props)
{
    double radius = center.distanceTo(start);
    double startAngle = (start - center).angle();
    return Add(CConvertUtil::ToPoint3d(center, 0.0), radius, startAngle, startAngle + angle, props);
}

OdDbObjectId CArcUtil::AddByDiameter(const OdGePoint2d& p1, const OdGePoint2d& p2, double startDegrees,
                                     double endDegrees, EntityProps props)
{
    OdGePoint2d mid = CGePointUtil::GetMiddlePoint2d(p1, p2);
    double radius = std::fabs(mid.x - p1.x);
    double k = 2 * CMathUtil::PI() / 360;
    return Add(CConvertUtil::ToPoint3d(mid, 0.0), radius, startDegrees * k, endDegrees * k, props);
}

OdDbArc* CArcUtil::CreateArcFromBulge(const OdGePoint3d& start, const OdGePoint3d& end, double bulge)
{
    OdGePoint3d center;
    if (!CMathUtil::GetArcCenter(start, end, bulge, center)) return nullptr;
    double radius = center.distanceTo(start);
    double a1 = OdGeVector2d(start.x - center.x, start.y - center.y).angle();
    double a2 = OdGeVector2d(end.x - center.x, end.y - center.y).angle();
    if (a1 > a2) a2 += 2 * CMathUtil::PI();
    return new OdDbArc(OdGePoint3d(center.x, center.y, 0), radius, a1, a2);
}

void CArcUtil::AppendArcPoints(const OdDbArc* arc, OdGePoint3dArray& points, double bulge, bool includeEnd,
                               int stepDegrees)
{
    if (stepDegrees <= 0) return;
    double s = arc->startAngle() * 180 / CMathUtil::PI(), e = arc->endAngle() * 180 / CMathUtil::PI();
    if (s > e) std::swap(s, e);
    double sweep = OneTurnAtMost(e - s);
    int n = (int)(sweep / stepDegrees);
    if (n * stepDegrees != sweep) ++n;
    if (n < 3) n = 3;
    double length = GetArcLength(arc);
    for (int i = 0; i < n; ++i) {
        double dist = length / n * i;
        OdGePoint3d p;
        if (arc->getPointAtDist(bulge < 0 ? length - dist : dist, p) == eOk) points.append(p);
    }
    if (!includeEnd) return;
    OdGePoint3d p;
    if (bulge < 0) arc->getStartPoint(p);
    else arc->getEndPoint(p);
    points.append(p);
}

void CArcUtil::GetBulgePoints(const OdGePoint3d& start, const OdGePoint3d& end, double bulge,
                              OdGePoint3dArray& points, bool includeEnd, int stepDegrees)
{
    if (bulge >= 0) {
        OdDbArc* arc = CreateArcFromBulge(start, end, bulge);
        if (!arc) return;
        AppendArcPoints(arc, points, bulge, includeEnd, stepDegrees);
        delete arc;
        return;
    }
    // The arc runs counter-clockwise from end to start: sample it whole and
    // take the points backwards, from start towards end.
    OdDbArc* arc = CreateArcFromBulge(end, start, -bulge);
    if (!arc) return;
    OdGePoint3dArray temp;
    AppendArcPoints(arc, temp, -bulge, true, stepDegrees);
    for (int i = temp.length() - 1; i >= 1; --i) points.append(temp[i]);
    delete arc;
}

void CArcUtil::GetArcPoints(const OdGeCircArc2d& arc, OdGePoint3dArray& points, bool includeEnd, int stepDegrees)
{
    AppendPlaneArcPoints(arc, arc.startAng(), arc.endAng(), points, includeEnd, stepDegrees);
}

void CArcUtil::GetEllipArcPoints(const OdGeEllipArc2d& arc, OdGePoint3dArray& points, bool includeEnd,
                                 int stepDegrees)
{
    AppendPlaneArcPoints(arc, arc.startAng(), arc.endAng(), points, includeEnd, stepDegrees);
}

double CArcUtil::GetArcLength(const OdDbArc* arc)
{
    double sweep = arc->endAngle() - arc->startAngle();
    if (sweep < 0) sweep += 2 * CMathUtil::PI();
    return arc->radius() * sweep;
}
