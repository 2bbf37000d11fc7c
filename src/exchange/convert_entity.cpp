// The dispatch of one entity to its converter, the text level of a height,
// the preparation of a send and the polygon orientation test.
#include <cmath>

#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/entitycolor.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbtext.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "state/drawingdata.h"
#include "state/settings.h"

namespace {

// Block references, regions and proxies become folders of their parts.
bool IsFolderClass(const OdDbEntity* entity)
{
    if (entity->isKindOf(OdDbBlockReference::desc()) || entity->isKindOf(OdDbRegion::desc())) return true;
    OdString name = entity->isA()->name();
    return name == L"AcDbZombieEntity" || name == L"AcDbProxyObject";
}

// An image of icon size stands for a sign: the whole lengths of both edges
// are multiples of 15, or the bottom edge is exactly 8 or 4 long.
bool IsIconSized(const OdGeVector3d& u, const OdGeVector3d& v)
{
    double lu = u.length(), lv = v.length();
    if (lu == 8.0 || lu == 4.0) return true;
    if (!(lu < 4e9) || !(lv < 4e9)) return false;
    return (int64_t)lu % 15 == 0 && (int64_t)lv % 15 == 0;
}

bool ConvertByClass(OdDbEntity* entity, ObjExchangeBuffer* buffer, MapObjInfo* info, PointQueue& pointQueue,
                    std::vector<uint64_t>& pieceQueue, bool inBlock)
{
    if (auto* point = OdRxCast<OdDbPoint>(entity)) {
        if (!inBlock && g_settings.pointsAsIcons) return ArxOperation::PointToSign(point, buffer, info);
        // Parts of an exploded parent are in no database: they wait by
        // position, the drawing's points by handle.
        if (inBlock) pointQueue.positions.append(point->position());
        else pointQueue.handles.push_back((uint64_t)point->handle());
        return true;
    }
    // Attributes and attribute definitions are texts too: they come first.
    if (auto* a = OdRxCast<OdDbAttribute>(entity)) return ArxOperation::AttributeToSign(a, buffer, info);
    if (auto* d = OdRxCast<OdDbAttributeDefinition>(entity)) return ArxOperation::AttDefToSign(d, buffer, info);
    if (auto* t = OdRxCast<OdDbText>(entity)) return ArxOperation::TextToSign(t, buffer, info);
    if (auto* m = OdRxCast<OdDbMText>(entity)) return ArxOperation::MTextToSign(m, buffer, info);
    if (auto* image = OdRxCast<OdDbRasterImage>(entity)) {
        // The icon of a received sign travels with its text.
        if (info->companion != 0) return true;
        OdGePoint3d origin;
        OdGeVector3d u, v;
        image->getOrientation(origin, u, v);
        if (!IsIconSized(u, v)) return false;
        OdDbPoint at(OdGePoint3d(origin.x + u.x / 2, origin.y, origin.z));
        return ArxOperation::PointToSign(&at, buffer, info);
    }
    if (auto* e = OdRxCast<OdDbEllipse>(entity)) return ArxOperation::EllipseToTrack(e, buffer, info);
    if (auto* l = OdRxCast<OdDbLine>(entity)) return ArxOperation::LineToTrack(l, buffer, info);
    if (auto* c = OdRxCast<OdDbCircle>(entity)) return ArxOperation::CircleToTrack(c, buffer, info);
    if (auto* a = OdRxCast<OdDbArc>(entity)) return ArxOperation::ArcToTrack(a, buffer, info);
    if (auto* s = OdRxCast<OdDbSpline>(entity)) return ArxOperation::SplineToTrack(s, buffer, info);
    bool joinable = entity->isKindOf(OdDbPolyline::desc()) || entity->isKindOf(OdDb3dPolyline::desc()) ||
                    entity->isKindOf(OdDb2dPolyline::desc());
    if (joinable && !inBlock && info->join) {
        pieceQueue.push_back((uint64_t)entity->handle());
        return true;
    }
    if (auto* p = OdRxCast<OdDbPolyline>(entity)) return ArxOperation::PolylineToTrack(p, buffer, info);
    if (auto* p = OdRxCast<OdDb3dPolyline>(entity)) return ArxOperation::Polyline3dToTrack(p, buffer, info);
    if (auto* p = OdRxCast<OdDb2dPolyline>(entity)) return ArxOperation::Polyline2dToTrack(p, buffer, info);
    if (auto* m = OdRxCast<OdDbMline>(entity)) return ArxOperation::MlineToTrack(m, buffer, info);
    if (auto* h = OdRxCast<OdDbHatch>(entity)) return ArxOperation::HatchToShape(h, buffer, info);
    if (auto* s = OdRxCast<OdDbSolid>(entity)) return ArxOperation::SolidToShape(s, buffer, info);
    return false;
}

}  // namespace

bool ArxOperation::ConvertEntity(OdDbEntity* entity, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                 PointQueue& pointQueue, std::vector<uint64_t>& pieceQueue, uint32_t& count,
                                 std::vector<uint32_t>& replacedFolderIds, bool inBlock)
{
    if (!entity || !buffer || !info || entity->visibility() == OdDb::kInvisible) return false;
    g_sendColour = GetEntityRgbColor(entity);
    info->opacity = GetEntityOpacity(entity);
    info->lineStyle = GetEntityLineStyle(entity);
    if (IsFolderClass(entity)) return EntityToFolder(entity, buffer, info, count, replacedFolderIds, inBlock);
    size_t before = buffer->records.size();
    bool result = ConvertByClass(entity, buffer, info, pointQueue, pieceQueue, inBlock);
    // A folder's count must match the records that follow it: only what was
    // written counts (a queued point or a skipped icon image is not).
    if (inBlock) count += (uint32_t)(buffer->records.size() - before);
    return result;
}

void ArxOperation::TextHeightToLevel(int32_t& level, int32_t& fontSize, double height)
{
    level = 19;
    fontSize = 16;
    double ground = g_level19PixelSize;
    if (!(ground > 0) || !(height > 0)) return;
    double r = height / ground;
    // The resolution comes from the peer: a ratio that is no finite number
    // keeps the defaults instead of halving for ever.
    if (!std::isfinite(r) || r < 0) return;
    if (r > 40) {
        while (r / 20 > 2 && level > 1) {
            --level;
            r /= 2;
        }
    } else {
        while (r / 20 < 0.5 && level < 28) {
            ++level;
            r *= 2;
        }
    }
    double size = r * 1.414 + 0.5;
    fontSize = size >= 2147483647.0 ? INT32_MAX : (int32_t)size;
}

void ArxOperation::PrepareSend()
{
    PeerApiGetOrigin(&g_peerApi);
    OdGePoint3d origin = g_ptagDocIdManager ? g_ptagDocIdManager->baseMap.grid.origin : OdGePoint3d();
    PeerApiGetLevelResolutions(&g_peerApi, origin.x, origin.y);
    g_level19PixelSize = g_ptagDocIdManager ? g_ptagDocIdManager->baseMap.yResolution[19] : 0.0;
}

int ArxOperation::PolygonOrientation(OdGePoint3dArray points, bool yUp)
{
    const int n = points.length();
    const double s = yUp ? 1.0 : -1.0;
    int tally = 0;
    for (int i = 0; i < n; ++i) {
        const OdGePoint3d& a = points[i];
        const OdGePoint3d& b = points[(i + 1) % n];
        const OdGePoint3d& c = points[(i + 2) % n];
        double turn = (b.x - a.x) * (s * c.y - s * b.y) - (s * b.y - s * a.y) * (c.x - b.x);
        if (turn < 0) --tally;
        else if (turn > 0) ++tally;
    }
    return tally < 0 ? 1 : tally == 0 ? 0 : -1;
}
