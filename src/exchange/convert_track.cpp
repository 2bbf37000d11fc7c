// Tracks from curves, from sets of points and from the pieces of a track
// that was split when it was received.
#include <algorithm>

#include "common/entity/arcutil.h"
#include "common/entity/entityutil.h"
#include "common/entity/hatchutil.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/entitylink.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"
#include "state/randomid.h"

namespace {

const uint32_t kShapeLine = 5, kShapePointSet = 6, kShapeCircle = 7, kShapeEllipse = 9, kShapeSpline = 10;
const int32_t kPieceMark = 65536;

OdGePoint3d PointOf(const PolyVertex& v) { return OdGePoint3d(v.x, v.y, v.z); }

// A new track record of `count` points (at most the limit) with the fields
// every track takes from its link; null when memory fails.
TrackRecord* NewTrack(size_t count, uint32_t shapeType, uint32_t colour, const MapObjInfo* info)
{
    TrackRecord* track = NewTrackRecord(&g_peerApi);
    if (!track) return nullptr;
    track->count = (uint32_t)std::min<size_t>(count, kMaxTrackPoints);
    track->points = NewTrackPoints(track->count);
    if (track->count && !track->points) {
        FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);
        return nullptr;
    }
    track->coordMode = 2;
    track->shapeType = (uint8_t)shapeType;
    track->colour = colour;
    track->opacity = (uint8_t)std::min<uint32_t>(info->opacity, 255);
    track->lineStyle = (uint8_t)info->lineStyle;
    return track;
}

// The pieces one after another, the first point of every piece after the
// first marked as a new piece.
void PutPieces(TrackRecord* track, const std::vector<std::vector<PolyVertex>>& pieces, bool bulges)
{
    uint32_t at = 0;
    for (size_t p = 0; p < pieces.size() && at < track->count; ++p) {
        for (size_t i = 0; i < pieces[p].size() && at < track->count; ++i, ++at) {
            SetTrackPoint(track->points[at], PointOf(pieces[p][i]));
            if (bulges) track->points[at].angle = pieces[p][i].bulge;
            if (i == 0 && p > 0) track->points[at].elevation = kPieceMark;
        }
    }
}

// A polyline track from one vertex list.
bool AppendVertexTrack(const std::vector<PolyVertex>& vertices, uint32_t width, bool bulges,
                       ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    TrackRecord* track = NewTrack(vertices.size(), kShapeLine, g_sendColour, info);
    if (!track) return false;
    track->width = width;
    PutPieces(track, {vertices}, bulges);
    NameFromLink(track->name, &track->remark, info, kMapObjTrack);
    ArxOperation::AppendMapObjRecord(track, kMapObjTrack, buffer, info);
    return true;
}

// A fresh link for what the send makes of queued entities.
MapObjInfo GroupTargetInfo(const MapObjInfo* info, uint32_t key)
{
    MapObjInfo copy = *info;
    copy.peerId = key;
    copy.handle = key;
    return copy;
}

MapObjGroup* FindGroup(GroupMap& map, uint32_t key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}

// The group's link (or `fallback` when it has none) set up to send the
// group under its own key.
MapObjInfo* GroupSendInfo(GroupMap& map, uint32_t key, const MapObjInfo* info, MapObjInfo& fallback)
{
    fallback = GroupTargetInfo(info, key);
    MapObjInfo* record = SetGroupPeerId(map, key, key);
    if (!record) return &fallback;
    record->parentId = info->parentId;
    record->handle = key;
    return record;
}

// Replaces the group's handles and keeps its link (name and remark).
void KeepGroupHandles(GroupMap& map, uint32_t key, const std::vector<uint64_t>& handles)
{
    if (MapObjGroup* g = FindGroup(map, key)) {
        g->handles = handles;
        g->saved = 0;
    }
}

// The entity of a handle of the working drawing, open for read. An entity
// that is gone is no news; one that is there but does not open is reported.
template <class T>
T* OpenByHandle(uint64_t handle, const wchar_t* where)
{
    OdDbObjectId id = CEntityUtil::HandleToObjectId(OdDbHandle(handle));
    T* object = nullptr;
    if (id.isNull()) return nullptr;
    OdResult res = oddbOpenObject(object, id, OdDb::kForRead);
    if (res != eOk && res != eWasErased && res != eNotThatKindOfClass) ReportOpenFailure(where, res);
    return res == eOk ? object : nullptr;
}

// The pieces of a split track as one track in its group's name.
bool AppendPieceTrack(const std::vector<std::vector<PolyVertex>>& pieces, bool bulges, ObjExchangeBuffer* buffer,
                      MapObjInfo* group, const MapObjInfo* info)
{
    size_t total = 0;
    for (const auto& p : pieces) total += p.size();
    TrackRecord* track = NewTrack(total, kShapeLine, 0, info);
    if (!track) return false;
    PutPieces(track, pieces, bulges);
    SetRecordName(track->name, group->name);
    track->remark = NewRecordText(group->remark);
    ArxOperation::AppendMapObjRecord(track, kMapObjTrack, buffer, group, SentTarget::kPieceGroup);
    return true;
}

}  // namespace

bool ArxOperation::BuildTrackFromPoints(OdGePoint3dArray points, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                        uint32_t shapeType, double startAngle, double endAngle, SentTarget target)
{
    if (!info) return false;
    const OdGePoint3d origin;
    bool any = false;
    for (int i = 0; i < points.length() && !any; ++i) any = CHatchUtil::IsPointDiffer(points[i], origin);
    if (!any) return false;
    TrackRecord* track = NewTrack((size_t)points.length(), shapeType, g_sendColour, info);
    if (!track) return false;
    const uint32_t count = track->count;
    for (uint32_t i = 0; i < count; ++i) SetTrackPoint(track->points[i], points[(int)i]);
    if (shapeType == kShapeEllipse && (startAngle != 0 || endAngle != 0) && count >= 2) {
        double start = startAngle * 180.0 / kSinglePi;
        double end = endAngle * 180.0 / kSinglePi;
        if (start > end) end += 360.0;
        track->points[0].angle = start;
        track->points[1].angle = end;
    }
    if (info->peerId == 0) {
        SetRecordName(track->name, MakeDefaultObjectName(kMapObjTrack));
    } else {
        if (info->name.IsEmpty()) info->name = MakeDefaultObjectName(kMapObjTrack);
        SetRecordName(track->name, info->name);
        track->remark = NewRecordText(info->remark);
    }
    AppendMapObjRecord(track, kMapObjTrack, buffer, info, target);
    return true;
}

bool ArxOperation::LineToTrack(OdDbLine* line, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!line) return false;
    OdGePoint3dArray points;
    points.append(line->startPoint());
    points.append(line->endPoint());
    return BuildTrackFromPoints(points, buffer, info, kShapeLine, 0, 0);
}

bool ArxOperation::CircleToTrack(OdDbCircle* circle, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!circle) return false;
    OdGePoint3d start;
    circle->getPointAtParam(0.0, start);
    OdGePoint3dArray points;
    points.append(circle->center());
    points.append(start);
    return BuildTrackFromPoints(points, buffer, info, kShapeCircle, 0, 0);
}

bool ArxOperation::ArcToTrack(OdDbArc* arc, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!arc) return false;
    OdGePoint3d start, middle, end;
    arc->getStartPoint(start);
    arc->getEndPoint(end);
    if (arc->getPointAtDist(CArcUtil::GetArcLength(arc) / 2, middle) != eOk) middle = start;
    OdGePoint3dArray points;
    points.append(start);
    points.append(middle);
    points.append(end);
    return BuildTrackFromPoints(points, buffer, info, kShapeCircle, 0, 0);
}

bool ArxOperation::EllipseToTrack(OdDbEllipse* ellipse, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!ellipse) return false;
    OdGePoint3d centre = ellipse->center();
    double start = 0, end = 0;
    ellipse->getStartParam(start);
    ellipse->getEndParam(end);
    // Seen from below the angles run the other way.
    if (ellipse->normal().isEqualTo(OdGeVector3d(0, 0, -1))) {
        const double turn = 6.2831854820251465;
        double s = turn - end;
        end = turn - start;
        start = s;
    }
    OdGePoint3dArray points;
    points.append(centre);
    points.append(centre + ellipse->majorAxis());
    points.append(centre + ellipse->minorAxis());
    return BuildTrackFromPoints(points, buffer, info, kShapeEllipse, start, end);
}

bool ArxOperation::SplineToTrack(OdDbSpline* spline, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!spline) return false;
    OdGePoint3dArray points;
    for (int i = 0; i < spline->numControlPoints(); ++i) {
        OdGePoint3d p;
        if (spline->getControlPointAt(i, p) == eOk) points.append(p);
    }
    return BuildTrackFromPoints(points, buffer, info, kShapeSpline, 0, 0);
}

std::vector<PolyVertex> ArxOperation::GetPolylineVertices(const OdDbPolyline* polyline)
{
    std::vector<PolyVertex> list;
    if (!polyline) return list;
    const unsigned int n = polyline->numVerts();
    auto add = [&](unsigned int i, double bulge) {
        OdGePoint2d p;
        polyline->getPointAt(i, p);
        list.push_back(PolyVertex{p.x, p.y, 0.0, bulge});
    };
    for (unsigned int i = 0; i + 1 < n; ++i) {
        bool last = i + 2 == n;
        switch (polyline->segType(i)) {
        case OdDb::kLine: add(i, 0.0); break;
        case OdDb::kArc: add(i, polyline->getBulgeAt(i)); break;
        default: break;  // a segment without length adds no start
        }
        // The end of the last segment stays, whatever its kind; on a closed
        // polyline it carries the bulge of the closing segment.
        if (last) {
            bool closingArc = polyline->isClosed() && polyline->segType(i + 1) == OdDb::kArc;
            add(i + 1, closingArc ? polyline->getBulgeAt(i + 1) : 0.0);
        }
    }
    if (polyline->isClosed() && !list.empty()) list.push_back(list.front());
    return list;
}

namespace {

// The vertices `read` gives in order, the control vertices of a spline
// frame (off the curve) left out; a closed polyline repeats its first at the
// end.
template <class Polyline, class Read>
std::vector<PolyVertex> VertexList(const Polyline* polyline, int controlType, Read read)
{
    std::vector<PolyVertex> list;
    if (!polyline) return list;
    for (int i = 0; i < polyline->numVerts(); ++i) {
        PolyVertex v;
        if ((int)polyline->vertexTypeAt(i) != controlType && read(i, v)) list.push_back(v);
    }
    if (polyline->isClosed() && !list.empty()) list.push_back(list.front());
    return list;
}

}  // namespace

std::vector<PolyVertex> ArxOperation::Get2dPolylineVertices(const OdDb2dPolyline* polyline)
{
    return VertexList(polyline, OdDb::k2dSplineCtlVertex, [polyline](int i, PolyVertex& v) {
        OdGePoint3d p;
        double sw = 0, ew = 0;
        if (polyline->getVertexAt(i, p, v.bulge, sw, ew) != eOk) return false;
        v.x = p.x, v.y = p.y, v.z = p.z;
        return true;
    });
}

std::vector<PolyVertex> ArxOperation::Get3dPolylineVertices(const OdDb3dPolyline* polyline)
{
    return VertexList(polyline, OdDb::k3dControlVertex, [polyline](int i, PolyVertex& v) {
        OdGePoint3d p;
        if (polyline->getVertexAt(i, p) != eOk) return false;
        v.x = p.x, v.y = p.y, v.z = p.z;
        return true;
    });
}

bool ArxOperation::PolylineToTrack(OdDbPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!polyline || !info) return false;
    std::vector<PolyVertex> vertices = GetPolylineVertices(polyline);
    if (vertices.size() < 2) return false;
    uint32_t width = 3;
    double w = 0, endWidth = 0;
    if (polyline->getConstantWidth(w) == eOk && w > 0) width = HundredthsOf(w);
    else if (polyline->getWidthsAt(0, w, endWidth) == eOk && w > 0) width = HundredthsOf(w);
    return AppendVertexTrack(vertices, width, true, buffer, info);
}

bool ArxOperation::Polyline2dToTrack(OdDb2dPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!polyline || !info) return false;
    std::vector<PolyVertex> vertices = Get2dPolylineVertices(polyline);
    if (vertices.size() < 3) return false;
    return AppendVertexTrack(vertices, 3, true, buffer, info);
}

bool ArxOperation::Polyline3dToTrack(OdDb3dPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!polyline || !info) return false;
    std::vector<PolyVertex> vertices = Get3dPolylineVertices(polyline);
    if (vertices.size() < 3) return false;
    return AppendVertexTrack(vertices, 3, false, buffer, info);
}

bool ArxOperation::MlineToTrack(OdDbMline* mline, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!mline || !info) return false;
    std::vector<PolyVertex> vertices;
    for (int i = 0; i < mline->numVertices(); ++i) {
        OdGePoint3d p = mline->vertexAt(i);
        vertices.push_back(PolyVertex{p.x, p.y, p.z, 0.0});
    }
    if (mline->closedMline() && !vertices.empty()) vertices.push_back(vertices.front());
    return AppendVertexTrack(vertices, 3, false, buffer, info);
}

bool ArxOperation::SendPointSets(const std::vector<uint64_t>& pointHandles, ObjExchangeBuffer* buffer,
                                 MapObjInfo* info)
{
    if (!g_ptagDocIdManager || !info) return false;
    GroupMap& groups = g_ptagDocIdManager->pointGroups;
    g_sendColour = 0;
    const uint32_t g = (uint32_t)(RandomIdGenerator().NextId64() & 0x7FFFFFFF);
    OdGePoint3dArray positions;
    std::vector<uint64_t> newPoints;
    std::vector<MapObjInfo*> newLinks;
    for (uint64_t handle : pointHandles) {
        OdDbPoint* point = OpenByHandle<OdDbPoint>(handle, L"SendPointSets");
        if (!point) continue;
        MapObjInfo* link = GetEntityLink(point, true, false);
        if (link && link->peerId != 0) {
            if (!MarkLinkGroup(groups, link->peerId, 1)) SetLinkGroup(groups, link->peerId, link, 0);
        } else if (link) {
            positions.append(point->position());
            newPoints.push_back(handle);
            newLinks.push_back(link);
            SetLinkGroup(groups, g, link, 0);
        }
        point->close();
    }
    bool sent = false;
    if (positions.length() >= 2) {
        MapObjInfo setInfo = *info;
        setInfo.handle = g;
        sent = BuildTrackFromPoints(positions, buffer, &setInfo, kShapePointSet, 0, 0, SentTarget::kPointGroup);
        // The set's name goes to its group and to the points' links (saved
        // with the drawing): a resend must not give it a new one.
        if (sent) {
            if (MapObjGroup* group = FindGroup(groups, g)) {
                if (group->info) group->info->name = setInfo.name;
            }
            for (MapObjInfo* link : newLinks) link->name = setInfo.name;
        }
    } else if (positions.length() == 1) {
        // A lone new point is not a set: it stays in the drawing, unsent.
        RemoveEntityLink(g_ptagDocIdManager, newPoints.front());
        auto it = groups.find(g);
        if (it != groups.end()) {
            delete it->second;
            groups.erase(it);
        }
    }
    for (const GroupSendItem& item : CollectMarkedGroups(groups)) {
        g_sendColour = 0;
        OdGePoint3dArray kept;
        std::vector<uint64_t> handles;
        for (uint64_t handle : item.handles) {
            if (OdDbPoint* point = OpenByHandle<OdDbPoint>(handle, L"SendPointSets")) {
                kept.append(point->position());
                handles.push_back(handle);
                point->close();
            }
        }
        KeepGroupHandles(groups, item.key, handles);
        if (kept.length() < 2) continue;
        MapObjInfo fallback;
        MapObjInfo* send = GroupSendInfo(groups, item.key, info, fallback);
        sent |= BuildTrackFromPoints(kept, buffer, send, kShapePointSet, 0, 0, SentTarget::kPointGroup);
    }
    return sent;
}

bool ArxOperation::PointSetFromBlockPoints(const OdGePoint3dArray& positions, ObjExchangeBuffer* buffer,
                                           MapObjInfo* info)
{
    if (positions.length() < 2) return false;
    return BuildTrackFromPoints(positions, buffer, info, kShapePointSet, 0, 0);
}

bool ArxOperation::SendJoinedTracks(const std::vector<uint64_t>& joinHandles, ObjExchangeBuffer* buffer,
                                    MapObjInfo* info)
{
    if (!g_ptagDocIdManager || !info) return false;
    GroupMap& groups = g_ptagDocIdManager->pieceGroups;
    for (uint64_t handle : joinHandles) {
        OdDbCurve* curve = OpenByHandle<OdDbCurve>(handle, L"SendJoinedTracks");
        if (!curve) continue;
        if (curve->isKindOf(OdDbPolyline::desc()) || curve->isKindOf(OdDb3dPolyline::desc()) ||
            curve->isKindOf(OdDb2dPolyline::desc())) {
            MapObjInfo* link = GetEntityLink(curve, true, false);
            if (link && link->peerId != 0) MarkLinkGroup(groups, link->peerId, 1);
        }
        curve->close();
    }
    bool sent = false;
    for (const GroupSendItem& item : CollectMarkedGroups(groups)) {
        g_sendColour = 0;
        MapObjInfo fallback;
        MapObjInfo* group = GroupSendInfo(groups, item.key, info, fallback);
        std::vector<std::vector<PolyVertex>> flat, spatial;
        size_t flatCount = 0, spatialCount = 0;
        std::vector<uint64_t> handles;
        for (uint64_t handle : item.handles) {
            OdDbCurve* curve = OpenByHandle<OdDbCurve>(handle, L"SendJoinedTracks");
            if (!curve) continue;
            handles.push_back(handle);
            // Lightweight and 2-D polylines are flat pieces with bulges.
            auto* pl = OdRxCast<OdDbPolyline>(curve);
            auto* p2 = OdRxCast<OdDb2dPolyline>(curve);
            if (pl || p2) {
                if (flatCount < kMaxTrackPoints) {
                    std::vector<PolyVertex> piece = pl ? GetPolylineVertices(pl) : Get2dPolylineVertices(p2);
                    if (piece.size() >= 2) {
                        flatCount += piece.size();
                        flat.push_back(std::move(piece));
                    }
                }
            } else if (auto* p3 = OdRxCast<OdDb3dPolyline>(curve)) {
                if (spatialCount < kMaxTrackPoints) {
                    std::vector<PolyVertex> piece = Get3dPolylineVertices(p3);
                    if (piece.size() >= 2) {
                        spatialCount += piece.size();
                        spatial.push_back(std::move(piece));
                    }
                }
            }
            curve->close();
        }
        KeepGroupHandles(groups, item.key, handles);
        if (flatCount >= 2) sent |= AppendPieceTrack(flat, true, buffer, group, info);
        if (spatialCount >= 3) sent |= AppendPieceTrack(spatial, false, buffer, group, info);
    }
    return sent;
}
