// The object conversions between drawing entities and the peer's map
// objects: sending entities, framing records, receiving objects, and the
// locked entry points to the links. No data members; every operation is
// static and one instance lives from load to unload.
#pragma once

#include <cstdint>
#include <vector>

#include "afxstr.h"
#include "common/entity/hatchfillspec.h"
#include "exchange/objexchangebuffer.h"
#include "oddbobject.h"
#include "odgegeometry.h"
#include "peer/maprecords.h"

struct MapObjInfo;
class OdDbArc;
class OdDbAttribute;
class OdDbAttributeDefinition;
class OdDbBlockReference;
class OdDbCircle;
class OdDbDatabase;
class OdDbEllipse;
class OdDbEntity;
class OdDbHatch;
class OdDbLine;
class OdDbMline;
class OdDbMText;
class OdDbPoint;
class OdDbPolyline;
class OdDb2dPolyline;
class OdDb3dPolyline;
class OdDbRegion;
class OdDbSolid;
class OdDbSpline;
class OdDbText;

// Points the conversion holds back to send as one point set: handles of
// points in the drawing, and positions of points met inside an exploded
// block reference, region or proxy (those parts are in no database, so
// they travel by position).
struct PointQueue {
    std::vector<uint64_t> handles;
    OdGePoint3dArray positions;
};

// One item of a polyline's vertex list: the position (z 0 for lightweight
// polylines) and the bulge of the segment that starts there.
struct PolyVertex {
    double x = 0, y = 0, z = 0;
    double bulge = 0;
};

class ArxOperation {
public:
    ArxOperation() = default;
    virtual ~ArxOperation() = default;

    // Folder tree.
    static void RegisterPeerFolder(const CString& name, uint32_t id, bool makeLayer);
    static uint32_t GetLayerFolderId(const CString& layerName);

    // Exchange buffer.
    static bool AppendToBuffer(ObjExchangeBuffer* buffer, const void* bytes, int n);
    // Frames one record behind its header and frees it. `target` says what
    // the record stands for when the peer's answer comes.
    static void AppendMapObjRecord(void* record, uint32_t kind, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                   SentTarget target = SentTarget::kEntity);

    // Saving and loading links; each takes the current document's write lock.
    static void SaveAllLinks();
    static int SaveEntityLink(MapObjInfo record);
    static MapObjInfo* LockedGetEntityLink(OdDbEntity* entity);
    static MapObjInfo* LockedReadEntityLink(OdDbObjectId id);
    // The links of the model space of `database`, cached in the active
    // drawing's record; points and joined pieces also go into its groups.
    static void GetEntProperty(std::vector<MapObjInfo*>& out, bool textAsName, const wchar_t* layerName,
                               OdDbDatabase* database);

    // Sending.
    static void SendSelectedObjects();
    static bool SendObjectsToPeer(const OdDbObjectIdArray& ids);
    static bool ConvertEntities(ObjExchangeBuffer* buffer, const OdDbObjectIdArray& ids, uint32_t folderId,
                                std::vector<uint32_t>& oldPeerIds, bool skipTiny);
    static OdGePoint3d GetEntCenter(const OdDbEntity* entity);
    static int CheckPointReply(const void* points, int count, const OdGePoint3d& corner1, const OdGePoint3d& corner2);

    // Entity to map-object conversion.
    // Converts one open entity and appends its records; points and joined
    // pieces are queued instead. `count` grows by the records written while
    // inBlock (the parts of an exploded parent). Copies of exploded parents
    // sent before go to replacedFolderIds.
    static bool ConvertEntity(OdDbEntity* entity, ObjExchangeBuffer* buffer, MapObjInfo* info,
                              PointQueue& pointQueue, std::vector<uint64_t>& pieceQueue, uint32_t& count,
                              std::vector<uint32_t>& replacedFolderIds, bool inBlock);
    static void TextHeightToLevel(int32_t& level, int32_t& fontSize, double height);
    static void PrepareSend();
    static int PolygonOrientation(OdGePoint3dArray points, bool yUp);

    // Signs.
    static bool PointToSign(OdDbPoint* point, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool TextToSign(OdDbText* text, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool MTextToSign(OdDbMText* text, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool AttDefToSign(OdDbAttributeDefinition* attdef, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool AttributeToSign(OdDbAttribute* attribute, ObjExchangeBuffer* buffer, MapObjInfo* info);

    // Tracks.
    static bool LineToTrack(OdDbLine* line, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool CircleToTrack(OdDbCircle* circle, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool ArcToTrack(OdDbArc* arc, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool EllipseToTrack(OdDbEllipse* ellipse, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool SplineToTrack(OdDbSpline* spline, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool PolylineToTrack(OdDbPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool Polyline2dToTrack(OdDb2dPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool Polyline3dToTrack(OdDb3dPolyline* polyline, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool MlineToTrack(OdDbMline* mline, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool BuildTrackFromPoints(OdGePoint3dArray points, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                     uint32_t shapeType, double startAngle, double endAngle,
                                     SentTarget target = SentTarget::kEntity);
    // Vertex lists; a closed polyline repeats its first item at the end.
    static std::vector<PolyVertex> GetPolylineVertices(const OdDbPolyline* polyline);
    static std::vector<PolyVertex> Get2dPolylineVertices(const OdDb2dPolyline* polyline);
    static std::vector<PolyVertex> Get3dPolylineVertices(const OdDb3dPolyline* polyline);
    static bool SendPointSets(const std::vector<uint64_t>& pointHandles, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool PointSetFromBlockPoints(const OdGePoint3dArray& positions, ObjExchangeBuffer* buffer,
                                        MapObjInfo* info);
    static bool SendJoinedTracks(const std::vector<uint64_t>& joinHandles, ObjExchangeBuffer* buffer,
                                 MapObjInfo* info);

    // Shapes.
    static bool HatchToShape(OdDbHatch* hatch, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool SolidToShape(OdDbSolid* solid, ObjExchangeBuffer* buffer, MapObjInfo* info);
    static bool CurveLoopToShape(OdDbEntity* boundary, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                 const HatchFillSpec& fill);
    static bool PointsToShape(const OdGePoint3dArray& points, ObjExchangeBuffer* buffer, MapObjInfo* info,
                              const HatchFillSpec& fill);
    static bool HatchLoopsToShape(OdDbHatch* hatch, ObjExchangeBuffer* buffer, MapObjInfo* info,
                                  const HatchFillSpec& fill);

    // Folders of exploded entities: the folder branch of ConvertEntity, and
    // the explode-and-convert of each parent kind.
    static bool EntityToFolder(OdDbEntity* entity, ObjExchangeBuffer* buffer, MapObjInfo* info, uint32_t& count,
                               std::vector<uint32_t>& replacedFolderIds, bool inBlock);
    static bool BlockRefToFolder(OdDbBlockReference* reference, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                                 uint32_t& counter);
    static bool RegionToFolder(OdDbRegion* region, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                               uint32_t& counter);
    static bool ProxyToFolder(OdDbEntity* proxy, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                              uint32_t& counter);

    // Receiving: `bytes` is a received exchange buffer of `size` bytes.
    static bool ReceiveMapObjects(const uint8_t* bytes, uint32_t size);
    static void ZoomToReceivedEntity(OdDbObjectId id);
    static void DatabaseHook(OdDbDatabase* database);
    static void SignToTextEx(SignRecord* sign, const CString& layer, OdDbObjectId& iconId, OdDbObjectId& textId,
                             bool lock);
    static OdDbObjectId SignToText(SignRecord* sign, const CString& layer, bool lock);
    static OdDbObjectId TrackToPolyline(TrackRecord* track, const CString& layer, uint32_t peerId);
    static OdDbObjectId MultiPartToPolyline(MultiPartRecord* record, const CString& layer);
    static OdDbObjectId ShapeToPolygon(ShapeRecord* shape, const CString& layer);
};

// The module's instance.
extern ArxOperation g_arxOperation;
