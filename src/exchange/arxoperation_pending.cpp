// Operations of ArxOperation that are not built yet: sending entities and
// converting them to map objects. Each does nothing and reports nothing
// made.
#include "exchange/arxoperation.h"

void ArxOperation::SendSelectedObjects() {}
bool ArxOperation::SendObjectsToPeer(const OdDbObjectIdArray&) { return false; }
bool ArxOperation::ConvertEntities(ObjExchangeBuffer*, const OdDbObjectIdArray&, uint32_t, std::vector<uint32_t>&,
                                   bool)
{
    return false;
}
OdGePoint3d ArxOperation::GetEntCenter(const OdDbEntity*) { return OdGePoint3d(); }

bool ArxOperation::ConvertEntity(OdDbEntity*, ObjExchangeBuffer*, MapObjInfo*, std::vector<uint64_t>&,
                                 std::vector<uint64_t>&, uint32_t&, std::vector<uint32_t>&, bool)
{
    return false;
}
void ArxOperation::TextHeightToLevel(int32_t& level, int32_t& fontSize, double) { level = 0, fontSize = 0; }
void ArxOperation::PrepareSend() {}
int ArxOperation::PolygonOrientation(OdGePoint3dArray, bool) { return 0; }

bool ArxOperation::PointToSign(OdDbPoint*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::TextToSign(OdDbText*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::MTextToSign(OdDbMText*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::AttDefToSign(OdDbAttributeDefinition*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::AttributeToSign(OdDbAttribute*, ObjExchangeBuffer*, MapObjInfo*) { return false; }

bool ArxOperation::LineToTrack(OdDbLine*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::CircleToTrack(OdDbCircle*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::ArcToTrack(OdDbArc*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::EllipseToTrack(OdDbEllipse*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::SplineToTrack(OdDbSpline*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::PolylineToTrack(OdDbPolyline*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::Polyline2dToTrack(OdDb2dPolyline*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::Polyline3dToTrack(OdDb3dPolyline*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::MlineToTrack(OdDbMline*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::BuildTrackFromPoints(OdGePoint3dArray, ObjExchangeBuffer*, MapObjInfo*, uint32_t, double, double)
{
    return false;
}
void ArxOperation::GetPolylineVertices(const OdDbPolyline*, OdGePoint3dArray&, OdGeDoubleArray&) {}
void ArxOperation::Get2dPolylineVertices(const OdDb2dPolyline*, OdGePoint3dArray&, OdGeDoubleArray&) {}
void ArxOperation::Get3dPolylineVertices(const OdDb3dPolyline*, OdGePoint3dArray&) {}
bool ArxOperation::SendPointSets(const std::vector<uint64_t>&, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::PointSetFromBlockPoints(const std::vector<uint64_t>&, ObjExchangeBuffer*, MapObjInfo*)
{
    return false;
}
bool ArxOperation::SendJoinedTracks(const std::vector<uint64_t>&, ObjExchangeBuffer*, MapObjInfo*) { return false; }

bool ArxOperation::HatchToShape(OdDbHatch*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::SolidToShape(OdDbSolid*, ObjExchangeBuffer*, MapObjInfo*) { return false; }
bool ArxOperation::CurveLoopToShape(OdDbEntity*, ObjExchangeBuffer*, MapObjInfo*, const HatchFillSpec&)
{
    return false;
}
bool ArxOperation::PointsToShape(const OdGePoint3dArray&, ObjExchangeBuffer*, MapObjInfo*, const HatchFillSpec&)
{
    return false;
}
bool ArxOperation::HatchLoopsToShape(OdDbHatch*, ObjExchangeBuffer*, MapObjInfo*, const HatchFillSpec&)
{
    return false;
}

bool ArxOperation::BlockRefToFolder(OdDbBlockReference*, ObjExchangeBuffer*, MapObjInfo*, uint32_t&) { return false; }
bool ArxOperation::RegionToFolder(OdDbRegion*, ObjExchangeBuffer*, MapObjInfo*, uint32_t&) { return false; }
bool ArxOperation::ProxyToFolder(OdDbEntity*, ObjExchangeBuffer*, MapObjInfo*, uint32_t&) { return false; }

