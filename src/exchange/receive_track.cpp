// Received tracks and multi-part objects become polylines, points, circles,
// arcs, ellipses and splines.
#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/arcutil.h"
#include "common/entity/circleutil.h"
#include "common/entity/ellipseutil.h"
#include "common/entity/polylineutil.h"
#include "common/entity/splineutil.h"
#include "exchange/arxoperation.h"
#include "exchange/entitycolor.h"
#include "exchange/exchangetext.h"
#include "exchange/receiveconvert.h"
#include "oddbcurves.h"
#include "state/drawingdata.h"

namespace {

// The peer's angles are converted with single-precision pi.
const double kPi = 3.1415927410125732;
const double kHalfPi = 1.5707963705062866;

enum TrackShape : uint8_t {
    kTrackLine = 5,
    kTrackPointSet = 6,
    kTrackCircle = 7,
    kTrackEllipse = 9,
    kTrackSpline = 10,
};

double Radians(double degrees) { return degrees * kPi / 180.0; }

OdGePoint3d At(const TrackPoint& p, double z) { return OdGePoint3d(p.x, p.y, z); }
OdGePoint3d At(const TrackPoint& p) { return At(p, p.elevation); }

// The z of a vertex in a 3-D piece: a break mark stands in place of the
// first point's elevation, which then takes its neighbour's.
double PieceZ(const TrackPoint* points, uint32_t i, uint32_t end)
{
    if (points[i].elevation != kBreakElevation) return points[i].elevation;
    if (i + 1 < end && points[i + 1].elevation != kBreakElevation) return points[i + 1].elevation;
    return 0.0;
}

// A new link of one entity among several showing the same peer object.
MapObjInfo* NewGroupLink(const TrackRecord* track, uint32_t peerId, uint64_t handle)
{
    auto* info = new MapObjInfo();
    info->join = 1;
    info->saved = 0;
    info->peerId = peerId;
    info->handle = handle;
    info->name = Utf8FieldToCString(track->name, sizeof track->name);
    info->remark = Utf8FieldToCString(track->remark, track->remark ? strlen(track->remark) : 0);
    return info;
}

// The group of the peer object in `groups` starts again: its earlier
// entities are erased and it gets a fresh link.
void ResetGroup(GroupMap& groups, const TrackRecord* track, uint32_t peerId)
{
    RemoveLinkGroup(groups, peerId);
    SetGroupInfo(groups, peerId, NewGroupLink(track, peerId, 0));
}

// Links the entity as one member of the peer object's group.
void LinkGroupMember(CDrawingData* drawing, GroupMap& groups, const TrackRecord* track, uint32_t peerId,
                     OdDbObjectId id)
{
    if (!drawing || !peerId || id.isNull()) return;
    MapObjInfo* info = NewGroupLink(track, peerId, (uint64_t)id.getHandle());
    SetLinkGroup(groups, peerId, info, 0);
    SetEntityLink(drawing->links, info->handle, info, 0);
}

// A lightweight polyline through points [begin, end); with `withBulges`
// each vertex takes the bulge of its angle slot.
OdDbPolyline* NewPolyline(const TrackPoint* points, uint32_t begin, uint32_t end, bool withBulges)
{
    auto* pl = new OdDbPolyline(end - begin);
    for (uint32_t i = begin; i < end; ++i)
        pl->addVertexAt(i - begin, OdGePoint2d(points[i].x, points[i].y), withBulges ? points[i].angle : 0.0, 0, 0);
    return pl;
}

// The track's width value in whole drawing units (a negative one is none).
double WholeWidth(const TrackRecord* track)
{
    int32_t width = (int32_t)track->width / 100;
    return width > 0 ? width : 0;
}

double MeanElevation(const TrackPoint* points, uint32_t count)
{
    int64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) sum += points[i].elevation;
    return (double)sum / count;
}

OdDbObjectId Add3dPolyline(const TrackPoint* points, uint32_t begin, uint32_t end, const EntityProps& props)
{
    OdGePoint3dArray vertices;
    for (uint32_t i = begin; i < end; ++i) vertices.append(At(points[i], PieceZ(points, i, end)));
    return CPolylineUtil::Add3dPolyline(vertices, props);
}

// Circle or arc from a centre and a point on it (types 7 and 9 with 2
// points); the angles sit in the two angle slots.
OdDbObjectId AddCircleOrArc(const TrackPoint* p, const EntityProps& props)
{
    OdGePoint3d centre = At(p[0]);
    double radius = OdGePoint2d(p[0].x, p[0].y).distanceTo(OdGePoint2d(p[1].x, p[1].y));
    if (!(radius > 0)) return OdDbObjectId();
    double start = p[0].angle, end = p[1].angle;
    if (start == 0 && (end == 0 || IsFullTurn(end))) return CCircleUtil::Add(centre, radius, props);
    return CArcUtil::Add(centre, radius, Radians(WithinTurn(start)), Radians(WithinTurn(end)), props);
}

// The arc through three points, given clockwise points in reverse.
OdDbObjectId AddArcThrough(const TrackPoint* p, const EntityProps& props)
{
    OdGePoint3dArray corners;
    for (int i = 0; i < 3; ++i) corners.append(At(p[i]));
    if (ArxOperation::PolygonOrientation(corners, true) > 0)
        return CArcUtil::AddBy3Points(corners[2], corners[1], corners[0], props);
    return CArcUtil::AddBy3Points(corners[0], corners[1], corners[2], props);
}

// Ellipse from its centre, the end of one axis and the end of the other.
OdDbObjectId AddEllipse(const TrackPoint* p, const EntityProps& props)
{
    OdGeVector3d v(p[1].x - p[0].x, p[1].y - p[0].y, 0);
    double d1 = v.length();
    double d2 = OdGeVector3d(p[2].x - p[0].x, p[2].y - p[0].y, 0).length();
    if (!(d1 > 0) || !(d2 > 0)) return OdDbObjectId();
    OdGeVector3d major = v;
    double ratio = d2 / d1;
    bool swapped = ratio > 1;
    if (swapped) {
        // The longer axis is the second one: the perpendicular of v on the
        // side that keeps the sign of v's x.
        OdGeVector3d perp(-v.y, v.x, 0);
        bool keep = v.x <= 0 ? perp.x <= 0 : perp.x >= 0;
        major = (keep ? perp : -perp) * (d2 / d1);
        ratio = d1 / d2;
    }
    double start = p[0].angle, end = p[1].angle;
    if (start == 0 && IsFullTurn(end))
        return CEllipseUtil::Add(At(p[0]), OdGeVector3d(0, 0, 1), major, ratio, props, 0.0, 2 * M_PI);
    double a = Radians(WithinTurn(start)), b = Radians(WithinTurn(end));
    if (swapped) {
        double shift = v.x * v.y <= 0 ? -kHalfPi : kHalfPi;
        a += shift;
        b += shift;
    }
    return CEllipseUtil::Add(At(p[0]), OdGeVector3d(0, 0, 1), major, ratio, props, a, b);
}

}  // namespace

OdDbObjectId ArxOperation::TrackToPolyline(TrackRecord* track, const CString& layer, uint32_t peerId)
{
    if (!track) return OdDbObjectId();
    CDrawingData* drawing = g_ptagDocIdManager;
    const TrackPoint* p = track->points;
    const uint32_t n = p ? track->count : 0;
    if (!ArePointsFinite(p, n)) return OdDbObjectId();
    EntityProps props;
    props.linetype = LineStyleName(track->lineStyle);
    props.transparency = track->opacity;
    props.layer = layer;
    SetReceivedColour(props, track->colour);

    if (track->shapeType == kTrackPointSet) {
        if (drawing && peerId) ResetGroup(drawing->pointGroups, track, peerId);
        for (uint32_t i = 0; i < n; ++i) {
            OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(At(p[i])), props);
            if (drawing) LinkGroupMember(drawing, drawing->pointGroups, track, peerId, id);
        }
        return OdDbObjectId();
    }
    // Fewer than two points make no curve.
    if (n < 2) return OdDbObjectId();

    bool hasBulge = false, hasBreak = false, hasElevation = false;
    for (uint32_t i = 0; i < n; ++i) {
        hasBulge = hasBulge || p[i].angle != 0;
        hasBreak = hasBreak || p[i].elevation == kBreakElevation;
        hasElevation = hasElevation || (p[i].elevation != 0 && p[i].elevation != kBreakElevation);
    }
    const bool plane = !hasElevation || hasBulge;

    if (hasBreak) {
        if (drawing && peerId) ResetGroup(drawing->pieceGroups, track, peerId);
        for (auto [begin, end] : SplitAtBreaks(p, n)) {
            if (end - begin < 2) continue;
            OdDbObjectId id;
            if (plane) {
                OdDbPolyline* pl = NewPolyline(p, begin, end, true);
                pl->setConstantWidth(WholeWidth(track));
                id = CDwgDatabaseUtil::PostToModelSpace(pl, props);
            } else {
                id = Add3dPolyline(p, begin, end, props);
            }
            if (drawing) LinkGroupMember(drawing, drawing->pieceGroups, track, peerId, id);
        }
        return OdDbObjectId();
    }

    switch (track->shapeType) {
    case kTrackCircle:
        if (n == 2) return AddCircleOrArc(p, props);
        if (n == 3) return AddArcThrough(p, props);
        return OdDbObjectId();
    case kTrackEllipse:
        if (n == 2) return AddCircleOrArc(p, props);
        if (n == 3) return AddEllipse(p, props);
        break;
    case kTrackSpline: {
        OdGePoint3dArray controls;
        for (uint32_t i = 0; i < n; ++i) controls.append(At(p[i]));
        return CSplineUtil::Add(controls, props, 4);
    }
    default: break;
    }
    if (!plane) return Add3dPolyline(p, 0, n, props);
    // Lines keep their bulges; any other shape is drawn straight with the
    // track's width.
    bool line = track->shapeType == kTrackLine;
    OdDbPolyline* pl = NewPolyline(p, 0, n, line);
    pl->setElevation(MeanElevation(p, n));
    if (!line) pl->setConstantWidth(WholeWidth(track));
    return CDwgDatabaseUtil::PostToModelSpace(pl, props);
}

OdDbObjectId ArxOperation::MultiPartToPolyline(MultiPartRecord* record, const CString& layer)
{
    if (!record || !record->parts || record->partCount <= 0) return OdDbObjectId();
    EntityProps props;
    props.layer = layer;
    SetReceivedColour(props, record->colour);
    auto* pl = new OdDbPolyline();
    unsigned int k = 0;
    for (int32_t i = 0; i < record->partCount; ++i) {
        const MultiPartPart& part = record->parts[i];
        if (!part.items) continue;
        for (uint32_t j = 0; j < part.itemCount; ++j) {
            const MultiPartItem& item = part.items[j];
            if (!std::isfinite(item.x) || !std::isfinite(item.y)) {
                delete pl;
                return OdDbObjectId();
            }
            pl->addVertexAt(k++, OdGePoint2d(item.x, item.y), 0, 0, 0);
        }
    }
    if (k < 2) {
        delete pl;
        return OdDbObjectId();
    }
    return CDwgDatabaseUtil::PostToModelSpace(pl, props);
}
