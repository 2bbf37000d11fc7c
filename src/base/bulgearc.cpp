#include "base/bulgearc.h"

#include <cmath>
#include <utility>

#include "base/planegeometry.h"

RVector3d RArc::PointAt(double angle) const
{
    return RVector3d(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle), 0);
}

double RArc::Sweep() const
{
    return startAngle >= endAngle ? endAngle + kTwoPi - startAngle : endAngle - startAngle;
}

double RArc::Bulge() const
{
    return std::tan(std::fabs(Sweep()) / 4);
}

RArc ArcFromBulge(const RVector3d* p1, const RVector3d* p2, double bulge)
{
    const double theta = 4 * std::atan(bulge);
    const RVector3d m = (*p1 + *p2) / 2;
    const double h = p1->DistanceTo(*p2) / 2;
    const double radius = std::fabs(h / std::sin(theta / 2));
    double d = std::sqrt(std::fabs(radius * radius - h * h));
    const double phi = p1->AngleXYTo(*p2) + (bulge > 0 ? kHalfPi : -kHalfPi);
    // Beyond a half circle the centre lies on the other side of the chord.
    if (std::fabs(theta) > kPi) d = -d;
    const RVector3d centre = m + RVector3d(d * std::cos(phi), d * std::sin(phi), 0);
    return RArc(centre, radius, centre.AngleXYTo(*p1), centre.AngleXYTo(*p2), bulge < 0 ? 1 : 0);
}

RArc ArcFromThreePoints(const RVector3d* p1, const RVector3d* p2, const RVector3d* p3)
{
    // The centre is where the perpendicular bisectors of p1p2 and p2p3 cross.
    const RVector3d m1 = (*p1 + *p2) / 2, m2 = (*p3 + *p2) / 2;
    const RVector3d b1 = RVector3d(*p1).RotateAround(kHalfPi, m1);
    const RVector3d b2 = RVector3d(*p3).RotateAround(kHalfPi, m2);
    if (RVector3d::Cross(b1 - m1, b2 - m2).z == 0) return RArc();
    RVector3d c;
    SegmentIntersection(m1, b1, m2, b2, &c);
    const double radius = c.DistanceTo(*p1);
    double a1 = c.AngleXYTo(*p1);
    const double a2 = c.AngleXYTo(*p2);
    double a3 = c.AngleXYTo(*p3);
    // Order the ends so that the counter-clockwise sweep passes p2.
    const bool exchange = a3 > a1 ? (a1 > a2 || a2 > a3) : (a1 > a2 && a2 > a3);
    if (exchange) std::swap(a1, a3);
    return RArc(c, radius, a1, a3, 0);
}

double BulgeFromArcPoints(double cx, double cy, double sx, double sy, double ex, double ey,
                          unsigned char clockwise)
{
    // Directions from the points towards the centre.
    double as = std::atan2(-(sy - cy), -(sx - cx));
    double ae = std::atan2(-(ey - cy), -(ex - cx));
    const double radius = std::sqrt((sx - cx) * (sx - cx) + (sy - cy) * (sy - cy));
    double sign = -1;
    if (!clockwise) {
        std::swap(as, ae);
        sign = 1;
    }
    return sign * RArc(RVector3d(cx, cy, 0), radius, as, ae, 0).Bulge();
}
