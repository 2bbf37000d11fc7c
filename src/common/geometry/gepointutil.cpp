#include "common/geometry/gepointutil.h"

#include <algorithm>
#include <cmath>

#include "common/geometry/mathutil.h"

OdGePoint3d CGePointUtil::GetMiddlePoint(const OdGePoint3d& p1, const OdGePoint3d& p2)
{
    return {(p1.x + p2.x) * 0.5, (p1.y + p2.y) * 0.5, (p1.z + p2.z) * 0.5};
}

OdGePoint2d CGePointUtil::GetMiddlePoint2d(const OdGePoint2d& p1, const OdGePoint2d& p2)
{
    return {(p1.x + p2.x) * 0.5, (p1.y + p2.y) * 0.5};
}

OdGePoint3d CGePointUtil::GetPolarPoint(const OdGePoint3d& base, double angle, double distance)
{
    return {base.x + distance * std::cos(angle), base.y + distance * std::sin(angle), base.z};
}

OdGePoint2d CGePointUtil::GetPolarPoint2d(const OdGePoint2d& base, double angle, double distance)
{
    return {base.x + distance * std::cos(angle), base.y + distance * std::sin(angle)};
}

OdGePoint3d CGePointUtil::RelativePoint(const OdGePoint3d& p, double dx, double dy) { return {p.x + dx, p.y + dy, p.z}; }

bool CGePointUtil::IsEqual3d(const OdGePoint3d& p1, const OdGePoint3d& p2, double tol)
{
    return CMathUtil::IsEqual(p1, p2, tol);
}

bool CGePointUtil::IsEqual2d(const OdGePoint2d& p1, const OdGePoint2d& p2, double tol)
{
    return CMathUtil::IsEqual(p1.x, p2.x, tol) && CMathUtil::IsEqual(p1.y, p2.y, tol);
}

int CGePointUtil::FindPoint(const OdGePoint3dArray& points, const OdGePoint3d& point, double tol)
{
    for (int i = 0; i < points.length(); ++i)
        if (IsEqual3d(points[i], point, tol)) return i;
    return -1;
}

int CGePointUtil::FindPoint2d(const OdGePoint2dArray& points, const OdGePoint2d& point, double tol)
{
    for (int i = 0; i < points.length(); ++i)
        if (IsEqual2d(points[i], point, tol)) return i;
    return -1;
}

void CGePointUtil::RemoveDuplicates(OdGePoint3dArray& points, double tol)
{
    for (int i = points.length() - 1; i > 0; --i) {
        for (int j = 0; j < i; ++j) {
            if (CMathUtil::IsEqual(points[i].x, points[j].x, tol) && CMathUtil::IsEqual(points[i].y, points[j].y, tol)) {
                points.removeAt(i);
                break;
            }
        }
    }
}

void CGePointUtil::RemoveNearPoints(OdGePoint3dArray& points, const OdGePoint2d& point, double tol)
{
    OdGePoint3dArray kept;
    for (const auto& p : points)
        if (OdGePoint2d(p.x, p.y).distanceTo(point) > tol) kept.append(p);
    points = kept;
}
