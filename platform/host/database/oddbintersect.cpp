// Intersections of lines, arcs and circles, for OdDbEntity::intersectWith.
#include <cmath>
#include <vector>

#include "oddbcurves.h"
#include "odgeplane.h"

const OdGePlane OdGePlane::kXYPlane;

namespace {

const double kTol = 1e-9;
const double kTwoPi = 6.283185307179586;

// A line segment or a circular arc (full circle when whole) in a plane
// parallel to XY.
struct Shape {
    bool isLine = true;
    OdGePoint3d s, e;
    OdGePoint3d c;
    double r = 0, a0 = 0, a1 = kTwoPi;
    bool whole = false;
};

bool ShapeOf(const OdDbEntity* ent, Shape& sh)
{
    if (auto* line = OdRxCast<OdDbLine>(const_cast<OdDbEntity*>(ent))) {
        sh.s = line->startPoint();
        sh.e = line->endPoint();
        return true;
    }
    sh.isLine = false;
    if (auto* arc = OdRxCast<OdDbArc>(const_cast<OdDbEntity*>(ent))) {
        if (arc->normal().z < 1 - kTol) return false;
        sh.c = arc->center();
        sh.r = arc->radius();
        sh.a0 = arc->startAngle();
        sh.a1 = arc->endAngle();
        return true;
    }
    if (auto* circle = OdRxCast<OdDbCircle>(const_cast<OdDbEntity*>(ent))) {
        if (circle->normal().z < 1 - kTol) return false;
        sh.c = circle->center();
        sh.r = circle->radius();
        sh.whole = true;
        return true;
    }
    return false;
}

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// Where a point found in XY lies on the shape: its z, and whether it is
// within the bounded shape.
bool OnShape(const Shape& sh, double x, double y, bool extended, double& z)
{
    if (sh.isLine) {
        double dx = sh.e.x - sh.s.x, dy = sh.e.y - sh.s.y;
        double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((x - sh.s.x) * dx + (y - sh.s.y) * dy) / len2 : 0;
        z = sh.s.z + t * (sh.e.z - sh.s.z);
        return extended || (t >= -kTol && t <= 1 + kTol);
    }
    z = sh.c.z;
    if (extended || sh.whole) return true;
    double a = std::atan2(y - sh.c.y, x - sh.c.x);
    double span = std::fmod(sh.a1 - sh.a0 + 2 * kTwoPi, kTwoPi);
    double at = std::fmod(a - sh.a0 + 2 * kTwoPi, kTwoPi);
    return at <= span + kTol || at >= kTwoPi - kTol;
}

// Candidate intersection points of the two shapes' carriers in XY.
std::vector<OdGePoint2d> Candidates(const Shape& a, const Shape& b)
{
    std::vector<OdGePoint2d> out;
    if (a.isLine && b.isLine) {
        double d1x = a.e.x - a.s.x, d1y = a.e.y - a.s.y, d2x = b.e.x - b.s.x, d2y = b.e.y - b.s.y;
        double denom = Cross(d1x, d1y, d2x, d2y);
        if (std::fabs(denom) < 1e-12) return out;
        double t = Cross(b.s.x - a.s.x, b.s.y - a.s.y, d2x, d2y) / denom;
        out.push_back(OdGePoint2d(a.s.x + t * d1x, a.s.y + t * d1y));
        return out;
    }
    if (!a.isLine && b.isLine) return Candidates(b, a);
    if (a.isLine) {
        double dx = a.e.x - a.s.x, dy = a.e.y - a.s.y, fx = a.s.x - b.c.x, fy = a.s.y - b.c.y;
        double qa = dx * dx + dy * dy, qb = 2 * (fx * dx + fy * dy), qc = fx * fx + fy * fy - b.r * b.r;
        double disc = qb * qb - 4 * qa * qc;
        if (qa == 0 || disc < -kTol) return out;
        double root = std::sqrt(std::max(0.0, disc));
        for (double t : {(-qb - root) / (2 * qa), (-qb + root) / (2 * qa)}) {
            out.push_back(OdGePoint2d(a.s.x + t * dx, a.s.y + t * dy));
            if (root == 0) break;
        }
        return out;
    }
    double dx = b.c.x - a.c.x, dy = b.c.y - a.c.y, d = std::hypot(dx, dy);
    if (d < kTol || d > a.r + b.r + kTol || d < std::fabs(a.r - b.r) - kTol) return out;
    double along = (a.r * a.r - b.r * b.r + d * d) / (2 * d);
    double h = std::sqrt(std::max(0.0, a.r * a.r - along * along));
    double mx = a.c.x + along * dx / d, my = a.c.y + along * dy / d;
    out.push_back(OdGePoint2d(mx - h * dy / d, my + h * dx / d));
    if (h > kTol) out.push_back(OdGePoint2d(mx + h * dy / d, my - h * dx / d));
    return out;
}

// With a plane, the projections onto it are intersected.
OdResult Intersect(const OdDbEntity* self, const OdDbEntity* other, OdDb::Intersect type, const OdGePlane* plane,
                   OdGePoint3dArray& points)
{
    Shape a, b;
    if (!other || !ShapeOf(self, a) || !ShapeOf(other, b)) return eNotImplemented;
    bool extendThis = type == OdDb::kExtendThis || type == OdDb::kExtendBoth;
    bool extendArg = type == OdDb::kExtendArg || type == OdDb::kExtendBoth;
    for (const OdGePoint2d& p : Candidates(a, b)) {
        double za, zb;
        if (!OnShape(a, p.x, p.y, extendThis, za) || !OnShape(b, p.x, p.y, extendArg, zb)) continue;
        if (!plane && std::fabs(za - zb) > kTol) continue;
        points.append(OdGePoint3d(p.x, p.y, plane ? plane->pointOnPlane().z : za));
    }
    return eOk;
}

}  // namespace

OdResult OdDbEntity::intersectWith(const OdDbEntity* other, OdDb::Intersect type, OdGePoint3dArray& points) const
{
    return Intersect(this, other, type, nullptr, points);
}

OdResult OdDbEntity::intersectWith(const OdDbEntity* other, OdDb::Intersect type, const OdGePlane& plane,
                                   OdGePoint3dArray& points) const
{
    if (std::fabs(std::fabs(plane.normal().z) - 1) > kTol) return eNotImplemented;
    return Intersect(this, other, type, &plane, points);
}
