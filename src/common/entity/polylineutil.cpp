#include "common/entity/polylineutil.h"

#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/entityutil.h"
#include "common/geometry/gepointutil.h"
#include "common/geometry/mathutil.h"

namespace {

// Posts a polyline of the vertices and bulges with a constant width.
OdDbObjectId AddShape(const OdGePoint2dArray& points, const OdGeDoubleArray& bulges, bool closed,
                      unsigned int reserved, double width, const EntityProps& props)
{
    auto* pl = new OdDbPolyline(reserved);
    for (int i = 0; i < points.length(); ++i)
        pl->addVertexAt((unsigned int)i, points[i], i < bulges.length() ? bulges[i] : 0.0, width, width);
    pl->setClosed(closed);
    return CDwgDatabaseUtil::PostToModelSpace(pl, props);
}

// One full turn of the ray in retry steps.
const double kRetryTurn = 0.035;
const int kMaxRetries = (int)std::ceil(2 * M_PI / kRetryTurn);

}  // namespace

OdDbObjectId CPolylineUtil::Add(const OdGePoint2dArray& points, EntityProps props, double width)
{
    return AddShape(points, OdGeDoubleArray(), false, (unsigned int)points.length(), width, props);
}

OdDbObjectId CPolylineUtil::AddSegment(const OdGePoint2d& start, const OdGePoint2d& end, EntityProps props,
                                       double width)
{
    OdGePoint2dArray points;
    points.append(start).append(end);
    return Add(points, props, width);
}

OdDbObjectId CPolylineUtil::Add3dPolyline(const OdGePoint3dArray& points, EntityProps props)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDb3dPolyline(OdDb::k3dSimplePoly, points, false), props);
}

OdDbObjectId CPolylineUtil::AddPolygon(const OdGePoint2d& center, int sides, double radius, double rotation,
                                       double width, EntityProps props)
{
    if (sides < 3) return OdDbObjectId();
    double step = 2 * CMathUtil::PI() / sides;
    OdGePoint2dArray points;
    for (int i = 0; i < sides; ++i)
        points.append(OdGePoint2d(center.x + radius * std::cos(i * step), center.y + radius * std::sin(i * step)));
    OdDbObjectId id = Add(points, props, width);
    if (id.isNull()) return id;
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) == eOk) {
        if (auto* pl = OdRxCast<OdDbPolyline>(ent)) pl->setClosed(true);
        ent->close();
    }
    CEntityUtil::Rotate(id, center, rotation);
    return id;
}

OdDbObjectId CPolylineUtil::AddRectangle(const OdGePoint2d& c1, const OdGePoint2d& c2, double width,
                                         EntityProps props)
{
    double minX = std::min(c1.x, c2.x), maxX = std::max(c1.x, c2.x);
    double minY = std::min(c1.y, c2.y), maxY = std::max(c1.y, c2.y);
    OdGePoint2dArray points;
    points.append({minX, minY}).append({maxX, minY}).append({maxX, maxY}).append({minX, maxY});
    return AddShape(points, OdGeDoubleArray(), true, 4, width, props);
}

OdDbObjectId CPolylineUtil::AddPolyCircle(const OdGePoint2d& center, double radius, double width, EntityProps props)
{
    OdGePoint2dArray points;
    points.append({center.x + radius, center.y}).append({center.x - radius, center.y}).append(
        {center.x + radius, center.y});
    OdGeDoubleArray bulges;
    bulges.append(1.0).append(1.0).append(1.0);
    return AddShape(points, bulges, true, 3, width, props);
}

OdDbObjectId CPolylineUtil::AddPolyArc(const OdGePoint2d& center, double radius, double startAngle, double endAngle,
                                       double width, EntityProps props)
{
    OdGePoint2dArray points;
    points.append(CGePointUtil::GetPolarPoint2d(center, startAngle, radius))
        .append(CGePointUtil::GetPolarPoint2d(center, endAngle, radius));
    OdGeDoubleArray bulges;
    bulges.append(std::tan((endAngle - startAngle) / 4)).append(0.0);
    return AddShape(points, bulges, false, 3, width, props);
}

int CPolylineUtil::PtRelationToPoly(const OdDbPolyline* polyline, const OdGePoint2d& point, double tol)
{
    OdGePoint3d closest;
    polyline->getClosestPointTo(OdGePoint3d(point.x, point.y, polyline->elevation()), closest, false);
    if (std::fabs(closest.x - point.x) < tol && std::fabs(closest.y - point.y) < tol) return 0;

    OdGeVector2d dir(point.x - closest.x, point.y - closest.y);
    OdGeRay2d ray(point, point + dir);
    OdGePoint3dArray hits;
    IntersectWithRay(polyline, ray, hits, 1e-4);
    CGePointUtil::RemoveDuplicates(hits, 1e-4);
    // A ray through a vertex counts its crossing wrongly: turn it a little
    // and try again, for at most one full turn.
    for (int retry = 0; retry <= kMaxRetries; ++retry) {
        if (hits.isEmpty()) return -1;
        OdGePoint3dArray kept;
        for (const auto& p : hits)
            if (OdGePoint2d(p.x, p.y).distanceTo(OdGePoint2d(closest.x, closest.y)) > 1e-7) kept.append(p);
        for (int i = kept.length() - 1; i >= 0; --i) {
            const OdGePoint3d& p = kept[i];
            if ((p.x - point.x) * (closest.x - point.x) >= 0 && (p.y - point.y) * (closest.y - point.y) >= 0)
                kept.removeAt(i);
        }
        bool vertexHit = false;
        for (const auto& p : kept)
            if (IsVertex(polyline, OdGePoint2d(p.x, p.y), 1e-4)) vertexHit = true;
        if (!vertexHit) return kept.length() % 2 == 1 ? 1 : -1;
        if (IsVertex(polyline, point, 1e-4)) return 0;
        dir.rotateBy(kRetryTurn);
        ray.set(point, point + dir);
        IntersectWithRay(polyline, ray, hits, 1e-4);
    }
    // Every direction met a vertex: only a degenerate polyline does that.
    return -1;
}

void CPolylineUtil::IntersectWithRay(const OdDbPolyline* polyline, const OdGeRay2d& ray, OdGePoint3dArray& points,
                                     double tol)
{
    points.clear();
    OdGePoint2dArray found;
    auto add = [&](const OdGePoint2d& p) {
        if (CGePointUtil::FindPoint2d(found, p, tol) < 0) found.append(p);
    };
    OdGeTol geTol(1e-10);
    geTol.setEqualPoint(tol);
    unsigned int n = polyline->numVerts();
    for (unsigned int i = 0; i < n; ++i) {
        if (i == n - 1 && !polyline->isClosed()) break;
        double bulge = 0;
        polyline->getBulgeAt(i, bulge);
        if (std::fabs(bulge) < 1e-7) {
            OdGeLineSeg2d seg;
            OdGePoint2d p;
            if (polyline->getLineSegAt(i, seg) == eOk && seg.intersectWith(ray, p, geTol)) add(p);
        } else {
            OdGeCircArc2d arc;
            OdGePoint2d p1, p2;
            int num = 0;
            if (polyline->getArcSegAt(i, arc) == eOk && arc.intersectWith(ray, num, p1, p2, geTol)) {
                add(p1);
                if (num == 2) add(p2);
            }
        }
    }
    for (const auto& p : found) points.append(OdGePoint3d(p.x, p.y, polyline->elevation()));
}

bool CPolylineUtil::IsVertex(const OdDbPolyline* polyline, const OdGePoint2d& point, double tol)
{
    for (unsigned int i = 0; i < polyline->numVerts(); ++i) {
        OdGePoint2d v;
        polyline->getPointAt(i, v);
        if (std::fabs(v.x - point.x) < tol && std::fabs(v.y - point.y) < tol) return true;
    }
    return false;
}
