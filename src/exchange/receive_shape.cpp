// Received shapes become boundary entities with an associative hatch over
// them.
#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/arcutil.h"
#include "common/entity/circleutil.h"
#include "common/entity/ellipseutil.h"
#include "common/entity/entityutil.h"
#include "common/entity/polylineutil.h"
#include "exchange/arxoperation.h"
#include "exchange/hatchfill.h"
#include "exchange/receiveconvert.h"
#include "gcutprint.h"
#include "oddbcurves.h"

namespace {

const double kPi = 3.1415927410125732;

OdGePoint2d Plane(const TrackPoint& p) { return OdGePoint2d(p.x, p.y); }

// A ring of points [begin, end) as a polyline, closed by repeating its
// first point when the last is not the first.
OdDbObjectId AddRing(const TrackPoint* p, uint32_t begin, uint32_t end, const EntityProps& props)
{
    OdGePoint2dArray points;
    for (uint32_t i = begin; i < end; ++i) points.append(Plane(p[i]));
    if (points.last() != points.first()) points.append(points.first());
    return CPolylineUtil::Add(points, props, 0.0);
}

// Start point, centre and end point of an arc or elliptical arc.
OdGePoint2dArray KeyPoints(OdDbObjectId id)
{
    OdGePoint2dArray points;
    OdDbArc* arc = nullptr;
    if (oddbOpenObject(arc, id, OdDb::kForRead) != eOk) return CEllipseUtil::GetKeyPoints(id);
    OdGePoint3d s, e;
    if (arc->getStartPoint(s) == eOk && arc->getEndPoint(e) == eOk) {
        points.append(OdGePoint2d(s.x, s.y));
        points.append(OdGePoint2d(arc->center().x, arc->center().y));
        points.append(OdGePoint2d(e.x, e.y));
    }
    arc->close();
    return points;
}

// The boundary of a shape given by two corners and two angles in degrees:
// a rectangle, a circle or ellipse, or a sector (its curve after the
// polyline that closes it through the centre).
void AddTwoPointBoundary(const ShapeRecord* shape, const EntityProps& props, OdDbObjectIdArray& boundary)
{
    const TrackPoint* p = shape->points;
    OdGePoint2d p0 = Plane(p[0]), p1 = Plane(p[1]);
    // Corners on one line enclose nothing.
    if (p0.x == p1.x || p0.y == p1.y) return;
    double start = shape->startAngle, end = shape->endAngle;
    bool round = p[0].x - p[1].x == p[1].y - p[0].y;
    if (start == 0 && end == 0) {
        boundary.append(CPolylineUtil::AddRectangle(p0, p1, 0.0, props));
        return;
    }
    if (start == 0 && IsFullTurn(end)) {
        double midX = (p0.x + p1.x) / 2;
        boundary.append(round ? CCircleUtil::AddBy2Points(OdGePoint2d(midX, p0.y), OdGePoint2d(midX, p1.y), props)
                              : CEllipseUtil::AddInRectangle(p0, p1, props));
        return;
    }
    start = WithinTurn(start);
    end = WithinTurn(end);
    OdDbObjectId curve = round ? CArcUtil::AddByDiameter(p0, p1, start, end, props)
                               : CEllipseUtil::AddArcInRectangle(p0, p1, props, start * kPi / 180, end * kPi / 180);
    if (curve.isNull()) return;
    OdGePoint2dArray key = KeyPoints(curve);
    if (key.length() == 3) boundary.append(CPolylineUtil::Add(key, props, 0.0));
    boundary.append(curve);
}

void EraseAll(const OdDbObjectIdArray& ids)
{
    for (const auto& id : ids) {
        OdDbEntity* entity = nullptr;
        if (id.isNull() || id.isErased()) continue;
        if (OdResult res = oddbOpenObject(entity, id, OdDb::kForWrite)) {
            gcutPrintf(L"\n转化失败信息：面的边界无法删除(错误代码:%d)！", (int)res);
            continue;
        }
        entity->erase(true);
        entity->close();
    }
}

}  // namespace

OdDbObjectId ArxOperation::ShapeToPolygon(ShapeRecord* shape, const CString& layer)
{
    if (!shape) return OdDbObjectId();
    const TrackPoint* p = shape->points;
    const uint32_t n = p ? shape->count : 0;
    if (!ArePointsFinite(p, n) || !std::isfinite(shape->startAngle) || !std::isfinite(shape->endAngle) ||
        !std::isfinite(shape->fillAngle) || !std::isfinite(shape->fillScale) || !std::isfinite(shape->originX) ||
        !std::isfinite(shape->originY))
        return OdDbObjectId();
    HatchFillSpec fill;
    ShapeToFillSpec(shape, &fill);
    // Both bytes are read as opacity percents, as the sender writes them.
    EntityProps outline, filling;
    outline.layer = filling.layer = layer;
    outline.transparency = shape->outline;
    filling.transparency = shape->opacity;
    SetReceivedColour(outline, shape->colour);
    SetReceivedColour(filling, shape->fillColour);

    bool rings = false;
    for (uint32_t i = 0; i < n && !rings; ++i) rings = p[i].elevation == kBreakElevation;

    OdDbObjectId hatch;
    OdDbObjectIdArray made;
    if (!rings) {
        if (n == 2) AddTwoPointBoundary(shape, outline, made);
        else if (n > 2) made.append(AddRing(p, 0, n, outline));
        if (!made.isEmpty()) hatch = AddHatchFromLoop(made, filling, fill, true);
    } else {
        // The first rings, as many as the record counts, are outer rings.
        std::vector<OdDbObjectIdArray> outer, holes;
        auto pieces = SplitAtBreaks(p, n);
        for (size_t ring = 0; ring < pieces.size(); ++ring) {
            auto [begin, end] = pieces[ring];
            if (end - begin < 2) continue;
            OdDbObjectId id = AddRing(p, begin, end, outline);
            made.append(id);
            (ring < shape->outerRingCount ? outer : holes).push_back(OdDbObjectIdArray{id});
        }
        if (!made.isEmpty()) hatch = AddHatchWithHoles(outer, holes, filling, fill, true);
    }
    // Boundaries without their hatch would be left over as stray outlines.
    if (hatch.isNull() && !made.isEmpty()) {
        ReportNotDrawn(L"面", shape->name);
        EraseAll(made);
    }
    return hatch;
}
