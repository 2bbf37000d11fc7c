#include "common/geometry/gerectangleutil.h"

#include <algorithm>

bool CGeRectangleUtil::IsIntersect(const OdGePoint2d& a1, const OdGePoint2d& a2, const OdGePoint2d& b1,
                                   const OdGePoint2d& b2)
{
    const double tol = 1e-7;
    double aMinX = std::min(a1.x, a2.x), aMaxX = std::max(a1.x, a2.x);
    double aMinY = std::min(a1.y, a2.y), aMaxY = std::max(a1.y, a2.y);
    double bMinX = std::min(b1.x, b2.x), bMaxX = std::max(b1.x, b2.x);
    double bMinY = std::min(b1.y, b2.y), bMaxY = std::max(b1.y, b2.y);
    return !(aMinX > bMaxX + tol || bMinX > aMaxX + tol || aMinY > bMaxY + tol || bMinY > aMaxY + tol);
}
