// Shapes from hatches (by their single round boundary, or loop by loop with
// outer rings and holes) and from solids.
#include <algorithm>
#include <vector>

#include "common/entity/hatchutil.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/hatchfill.h"
#include "oddbhatch.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"

namespace {

const int32_t kRingMark = 65536;

ShapeRecord* NewFilledShape(const HatchFillSpec& fill, const MapObjInfo* info)
{
    ShapeRecord* shape = NewShapeRecord(&g_peerApi);
    if (!shape) return nullptr;
    FillSpecToShape(shape, fill);
    // A solid fill is drawn in the entity's colour, outline and inside.
    if (fill.fillType == 0) shape->colour = shape->fillColour = g_sendColour;
    shape->outline = shape->opacity = (uint8_t)std::min<uint32_t>(info->opacity, 255);
    shape->coordMode = 2;
    return shape;
}

bool SetShapePoints(ShapeRecord* shape, uint32_t count)
{
    shape->points = NewTrackPoints(count);
    if (count && !shape->points) return false;
    shape->count = count;
    return true;
}

std::vector<OdGePoint3d> AsVector(const OdGePoint3dArray& a) { return std::vector<OdGePoint3d>(a.begin(), a.end()); }

}  // namespace

bool ArxOperation::HatchToShape(OdDbHatch* hatch, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!hatch || !info) return false;
    HatchFillSpec fill;
    HatchToFillSpec(hatch, &fill);
    OdDbObjectIdArray boundaries;
    hatch->getAssocObjIds(boundaries);
    if (boundaries.length() == 1) {
        OdDbEntity* boundary = nullptr;
        if (oddbOpenObject(boundary, boundaries[0], OdDb::kForRead) == eOk) {
            bool sent = CurveLoopToShape(boundary, buffer, info, fill);
            boundary->close();
            if (sent) return true;
        }
    }
    return HatchLoopsToShape(hatch, buffer, info, fill);
}

bool ArxOperation::CurveLoopToShape(OdDbEntity* boundary, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                    const HatchFillSpec& fill)
{
    OdDbCurve* curve = OdRxCast<OdDbEllipse>(boundary);
    if (!curve) curve = OdRxCast<OdDbCircle>(boundary);
    if (!curve) return false;
    OdGePoint3dArray points;
    for (int i = 0; i < 100; ++i) {
        OdGePoint3d p;
        if (curve->getPointAtParam(i * 2 * kSinglePi / 100, p) == eOk) points.append(p);
    }
    return PointsToShape(points, buffer, info, fill);
}

bool ArxOperation::PointsToShape(const OdGePoint3dArray& points, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                 const HatchFillSpec& fill)
{
    if (!info || points.length() < 3) return false;
    ShapeRecord* shape = NewFilledShape(fill, info);
    if (!shape) return false;
    uint32_t count = std::min<uint32_t>((uint32_t)points.length(), kMaxTrackPoints);
    if (!SetShapePoints(shape, count)) {
        FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        shape->points[i].y = points[(int)i].y;
        shape->points[i].x = points[(int)i].x;
    }
    NameFromLink(shape->name, &shape->remark, info, kMapObjShape);
    AppendMapObjRecord(shape, kMapObjShape, buffer, info);
    return true;
}

bool ArxOperation::SolidToShape(OdDbSolid* solid, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!solid || !info) return false;
    ShapeRecord* shape = NewShapeRecord(&g_peerApi);
    if (!shape) return false;
    shape->colour = shape->fillColour = g_sendColour;
    shape->outline = shape->opacity = (uint8_t)std::min<uint32_t>(info->opacity, 255);
    shape->coordMode = 2;
    if (!SetShapePoints(shape, 4)) {
        FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
        return false;
    }
    // The solid's third and fourth corners are stored crosswise.
    static const int order[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
        OdGePoint3d p;
        solid->getPointAt(order[i], p);
        shape->points[i].y = p.y;
        shape->points[i].x = p.x;
    }
    NameFromLink(shape->name, &shape->remark, info, kMapObjShape);
    AppendMapObjRecord(shape, kMapObjShape, buffer, info);
    return true;
}

bool ArxOperation::HatchLoopsToShape(OdDbHatch* hatch, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                     const HatchFillSpec& fill)
{
    if (!hatch || !info) return false;
    std::vector<OdGePoint3dArray> outer, holes;
    const int external = OdDbHatch::kExternal, polyline = OdDbHatch::kPolyline, derived = OdDbHatch::kDerived,
              outermost = OdDbHatch::kOutermost;
    for (int i = 0; i < hatch->numLoops(); ++i) {
        int t = hatch->loopTypeAt(i);
        if (t & polyline) {
            int type = 0;
            OdGePoint2dArray vertices;
            OdGeDoubleArray bulges;
            // A ring needs two vertices at least: a loop of one is left out.
            if (hatch->getLoopAt(i, type, vertices, bulges) != eOk || vertices.length() < 2) continue;
            OdGePoint3dArray ring;
            CHatchUtil::GetPolylineLoopPoints(ring, vertices, bulges);
            if (ring.isEmpty()) continue;
            if ((t & derived) && (t & outermost)) holes.push_back(ring);
            else if (outer.empty() || (t & external)) outer.push_back(ring);
            else if (GetEntityExtents(AsVector(outer.front()), AsVector(ring))) holes.push_back(ring);
            else outer.push_back(ring);
            continue;
        }
        int type = 0;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (hatch->getLoopAt(i, type, edges, edgeTypes) != eOk || edges.isEmpty()) continue;
        if (!(t & outermost) && !(t & external) && t != 0) continue;
        OdGePoint3dArray ring;
        CHatchUtil::GetLoopPoints(ring, edges, edgeTypes);
        if (ring.isEmpty()) continue;
        if (t & outermost) holes.push_back(ring);
        else outer.push_back(ring);
    }
    size_t total = 0;
    for (const auto& r : outer) total += (size_t)r.length();
    for (const auto& r : holes) total += (size_t)r.length();
    if (total < 3) return false;
    ShapeRecord* shape = NewFilledShape(fill, info);
    if (!shape) return false;
    uint32_t count = (uint32_t)std::min<size_t>(total, kMaxTrackPoints);
    if (!SetShapePoints(shape, count)) {
        FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
        return false;
    }
    uint32_t at = 0;
    bool first = true;
    for (const std::vector<OdGePoint3dArray>* rings : {&outer, &holes}) {
        for (const OdGePoint3dArray& ring : *rings) {
            for (int i = 0; i < ring.length() && at < count; ++i, ++at) {
                shape->points[at].y = ring[i].y;
                shape->points[at].x = ring[i].x;
                if (i == 0 && !first) shape->points[at].elevation = kRingMark;
            }
            first = false;
        }
    }
    shape->outerRingCount = (uint16_t)std::min<size_t>(outer.size(), 65535);
    NameFromLink(shape->name, &shape->remark, info, kMapObjShape);
    AppendMapObjRecord(shape, kMapObjShape, buffer, info);
    return true;
}
