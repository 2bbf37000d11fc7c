#include "common/entity/splineutil.h"

#include <algorithm>

#include "common/document/dwgdatabaseutil.h"

namespace {
OdDbObjectId PostSpline(OdDbSpline* spline, const EntityProps& props)
{
    if (spline->isNull()) {
        delete spline;
        return OdDbObjectId();
    }
    return CDwgDatabaseUtil::PostToModelSpace(spline, props);
}
}  // namespace

OdDbObjectId CSplineUtil::Add(const OdGePoint3dArray& controlPoints, EntityProps props, int order)
{
    int n = controlPoints.length();
    if (n < 2) return OdDbObjectId();
    OdGeDoubleArray weights, knots;
    for (int i = 0; i < n; ++i) weights.append(1.0);
    if (n <= 4) {
        for (int j = 0; j < n; ++j) knots.append(0.0);
        for (int j = 0; j < n; ++j) knots.append(1.0);
    } else {
        for (int j = 0; j < n + order; ++j) knots.append(j < 4 ? 0.0 : j <= n - 1 ? double(j - 3) : double(n - 3));
    }
    // Two or three points of a higher order fit only a lower degree.
    int degree = std::min(order, n) - 1;
    return PostSpline(new OdDbSpline(degree, false, false, false, controlPoints, knots, weights, 0.0, 0.0), props);
}

OdDbObjectId CSplineUtil::AddByFitPoints(const OdGePoint3dArray& fitPoints, const OdGeVector3d& startTangent,
                                         const OdGeVector3d& endTangent, EntityProps props, int order,
                                         double fitTolerance)
{
    return PostSpline(new OdDbSpline(fitPoints, startTangent, endTangent, order, fitTolerance), props);
}

void CSplineUtil::GetSplinePoints(const OdGeSplineEnt2d& spline, OdGePoint3dArray& points, bool keepLast)
{
    OdGePoint2dArray samples;
    spline.getSamplePoints(spline.numControlPoints() * 30, samples);
    for (const auto& p : samples) points.append(OdGePoint3d(p.x, p.y, 0.0));
    if (!keepLast && !points.isEmpty()) points.removeLast();
}
