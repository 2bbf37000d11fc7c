// Receiving map objects from the peer: the walk over a received exchange
// buffer that turns its records into linked entities, contour labels, and
// the view following the last object.
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "basemap/basemap.h"
#include "common/entity/entityutil.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/crosssectionmode.h"
#include "exchange/exchangeglobals.h"
#include "exchange/exchangetext.h"
#include "exchange/velkobjtree.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "oddbhatch.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/sectiontypes.h"
#include "state/settings.h"
#include "state/shellservices.h"
#include "ui/hintdialogs.h"

namespace {

const wchar_t* const kContourLayer = L"Velk_contour";
const wchar_t* const kSectionFailed = L"\n转化失败信息：拓岚对象转化为断面时出错！";
const uint32_t kHeaderSize = sizeof(ObjRecordHeader);

uint32_t ReadU32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// A track's width value in the section, truncated toward zero and kept to
// what the field holds.
int32_t SectionWidth(int32_t width, double scale)
{
    double w = std::trunc(width / scale);
    if (!(w > INT32_MIN && w < INT32_MAX)) return 0;
    return (int32_t)w;
}

CString Remark(const char* remark) { return remark ? Utf8FieldToCString(remark, strlen(remark)) : CString(); }

uint64_t HandleOf(OdDbObjectId id) { return id.isNull() ? 0 : (uint64_t)id.getHandle(); }

void ReportNotErased(uint32_t peerId, OdResult status)
{
    gcutPrintf(L"\n转化失败信息：拓岚对象(%u)的旧图元无法删除(错误代码:%d)！", peerId, (int)status);
}

// True for a boundary that serves only this hatch and shows no peer object
// of its own, as the outlines made for a received shape do. A drawn outline
// that was sent itself, or that another hatch follows too, must stay.
bool IsOwnOutline(const CDrawingData* drawing, OdDbObjectId boundary, OdDbObjectId hatch, uint32_t peerId)
{
    if (FindEntityLink(drawing->links, HandleOf(boundary))) return false;
    if (boundary.isNull() || boundary.isErased()) return false;
    OdDbObject* object = nullptr;
    if (OdResult res = oddbOpenObject(object, boundary, OdDb::kForRead)) {
        ReportNotErased(peerId, res);
        return false;
    }
    bool own = true;
    for (const auto& reactor : object->getPersistentReactors()) own = own && reactor == hatch;
    object->close();
    return own;
}

// Erases an entity made by an earlier receipt. One that stays (it did not
// open) would show the object twice, unlinked: the user is told.
void EraseOrReport(OdDbObjectId id, uint32_t peerId)
{
    if (id.isNull() || id.isErased()) return;
    OdDbEntity* entity = nullptr;
    if (OdResult res = oddbOpenObject(entity, id, OdDb::kForWrite)) {
        ReportNotErased(peerId, res);
        return;
    }
    entity->erase(true);
    entity->close();
}

// A hatch takes the boundary entities made for it along.
void EraseReceived(const CDrawingData* drawing, uint64_t handle, uint32_t peerId)
{
    OdDbObjectId id = CEntityUtil::HandleToObjectId(OdDbHandle(handle));
    OdDbHatch* hatch = nullptr;
    OdResult res = id.isNull() || id.isErased() ? eNotThatKindOfClass : oddbOpenObject(hatch, id, OdDb::kForRead);
    if (res == eOk) {
        OdDbObjectIdArray boundaries;
        hatch->getAssocObjIds(boundaries);
        hatch->close();
        for (const auto& b : boundaries)
            if (IsOwnOutline(drawing, b, id, peerId)) EraseOrReport(b, peerId);
    } else if (res != eNotThatKindOfClass) {
        ReportNotErased(peerId, res);
    }
    EraseOrReport(id, peerId);
}

// The walk over the records of one received buffer. It never reads past
// the buffer: the total is kept to the bytes received, and it stops at a
// header or body that would run past it.
class ReceiveWalk {
public:
    ReceiveWalk(CDrawingData* drawing, const uint8_t* bytes, uint32_t size) : drawing_(drawing)
    {
        if (size < (uint32_t)kExchangeHeadBytes) return;
        records_ = bytes + kExchangeHeadBytes;
        total_ = std::min<uint64_t>(ReadU32(bytes + 16), size - (uint32_t)kExchangeHeadBytes);
    }

    void Run()
    {
        while (consumed_ < total_) {
            ShowProgress();
            ObjRecordHeader header;
            const uint8_t* body = nullptr;
            if (!Next(header, body)) break;
            if (header.size == 0) continue;
            OdDbObjectId main = Receive(header, body);
            int follow = g_settings.followMode;
            if (consumed_ == total_ && !main.isNull() && (follow == 2 || follow == 3))
                ArxOperation::ZoomToReceivedEntity(main);
        }
    }

    // The list of folders of blocks and regions that were left out, unless
    // the user asked not to see it again.
    void ShowIgnored()
    {
        if (!ignored_ || g_settings.receiveHintOff) return;
        CDlgMsg dialog;
        dialog.m_strText = ignoreList_;
        dialog.DoModal();
        if (dialog.m_bNoMore) {
            g_settings.receiveHintOff = 1;
            SaveSettings();
        }
    }

private:
    // The next record's header and body, the bytes consumed counted past
    // them; false (the walk ends) when they would run past the total.
    bool Next(ObjRecordHeader& header, const uint8_t*& body)
    {
        if (total_ - consumed_ < kHeaderSize) return Stop();
        memcpy(&header, records_ + consumed_, kHeaderSize);
        if ((int32_t)header.size < 0 || header.size > total_ - consumed_ - kHeaderSize) return Stop();
        body = records_ + consumed_ + kHeaderSize;
        consumed_ += kHeaderSize + header.size;
        return true;
    }

    bool Stop()
    {
        consumed_ = total_;
        return false;
    }

    void ShowProgress()
    {
        int percent = (int)(60 + 40 * consumed_ / total_);
        if (percent == lastPercent_) return;
        lastPercent_ = percent;
        gcedSetStatusBarProgressMeterPos(percent);
    }

    // One record; the id of the entity linked to it (null for none).
    OdDbObjectId Receive(const ObjRecordHeader& h, const uint8_t* body)
    {
        std::unique_ptr<MapObjInfo> info;
        if (h.peerId) {
            info = std::make_unique<MapObjInfo>();
            info->peerId = h.peerId;
            uint64_t found = 0;
            if (FindPeerEntity(drawing_->peerEntities, h.peerId, found) && h.kind == kMapObjFolder) {
                IgnoreFolder(h, body);
                return OdDbObjectId();
            }
            if (!found && h.parentId && FindPeerEntity(drawing_->peerEntities, h.parentId, found))
                return OdDbObjectId();  // inside a block this drawing sent earlier
            if (h.kind != kMapObjFolder) RemoveEarlier(h.peerId);
        }
        CString layer;
        if (h.kind != kMapObjFolder) {
            auto it = g_velkObjTree.names.find(h.parentId);
            if (it != g_velkObjTree.names.end()) layer = it->second;
        }

        OdDbObjectId main;
        switch (h.kind) {
        case kMapObjFolder: ReceiveFolder(h, body); break;
        case kMapObjSign: main = ReceiveSign(h, body, layer, info.get()); break;
        case kMapObjTrack: main = ReceiveTrack(h, body, layer, info.get()); break;
        case kMapObjShape: main = ReceiveShape(h, body, layer, info.get()); break;
        case kMapObjMultiPart: main = ReceiveMultiPart(h, body, layer, info.get()); break;
        default: break;
        }
        if (info && !main.isNull()) {
            uint64_t handle = HandleOf(main);
            info->handle = handle;
            SetPeerEntity(drawing_->peerEntities, info->peerId, handle);
            SetEntityLink(drawing_->links, handle, info.release(), 0);
        }
        return main;
    }

    // A folder this drawing sent for a block, region or proxy: it and its
    // children stay out, and the user is told.
    void IgnoreFolder(const ObjRecordHeader& h, const uint8_t* body)
    {
        FolderRecord* folder = ParseFolderRecord(&g_peerApi, body, h.size);
        if (!folder) return;
        CString name = Utf8FieldToCString(folder->name, sizeof folder->name);
        g_velkObjTree.RegisterName(name, h.peerId, false);
        ignoreList_ += L"\r\n" + name;
        ignored_ = true;
        ObjRecordHeader child;
        const uint8_t* skipped = nullptr;
        for (uint32_t i = 0; i < folder->childCount && consumed_ < total_; ++i)
            if (!Next(child, skipped)) break;
        FreeMapObjRecord(&g_peerApi, folder, kMapObjFolder);
    }

    // The peer object comes again: whatever showed it before goes.
    void RemoveEarlier(uint32_t peerId)
    {
        for (PeerEntityMap* map : {&drawing_->peerEntities, &drawing_->pairedPeerEntities}) {
            uint64_t handle = 0;
            if (!FindPeerEntity(*map, peerId, handle)) continue;
            EraseReceived(drawing_, handle, peerId);
            RemoveEntityLink(drawing_, handle);
            ErasePeerEntity(*map, peerId);
        }
        // A track drawn in pieces, or a point set, before.
        for (GroupMap* groups : {&drawing_->pointGroups, &drawing_->pieceGroups})
            if (groups->count(peerId)) RemoveLinkGroup(*groups, peerId);
    }

    void ReceiveFolder(const ObjRecordHeader& h, const uint8_t* body)
    {
        if (!h.peerId || g_velkObjTree.names.count(h.peerId)) return;
        FolderRecord* folder = ParseFolderRecord(&g_peerApi, body, h.size);
        if (!folder) return;
        g_velkObjTree.RegisterName(Utf8FieldToCString(folder->name, sizeof folder->name), h.peerId, true);
        FreeMapObjRecord(&g_peerApi, folder, kMapObjFolder);
    }

    OdDbObjectId ReceiveSign(const ObjRecordHeader& h, const uint8_t* body, const CString& layer, MapObjInfo* info)
    {
        SignRecord* sign = ParseSignRecord(&g_peerApi, body, h.size);
        if (!sign) return OdDbObjectId();
        if (drawing_->crossSection.sectionActive && !MapSignToSection(&drawing_->crossSection, sign))
            gcutPrintf(kSectionFailed);
        OdDbObjectId iconId, textId;
        ArxOperation::SignToTextEx(sign, layer, iconId, textId, false);
        if (!iconId.isNull()) {
            auto* icon = new MapObjInfo();
            icon->peerId = h.peerId;
            icon->handle = HandleOf(iconId);
            icon->iconNumber = (int32_t)sign->iconNumber;
            icon->companion = HandleOf(textId);
            if (h.peerId) SetPeerEntity(drawing_->pairedPeerEntities, h.peerId, icon->handle);
            SetEntityLink(drawing_->links, icon->handle, icon, 0);
        }
        if (info) {
            if (sign->textOnly == 0) info->signFlag = 0;
            info->companion = HandleOf(iconId);
            info->name = Utf8FieldToCString(sign->name, sizeof sign->name);
            info->remark = Remark(sign->remark);
            info->labelPos = OdGePoint3d(sign->x, sign->y, sign->elevation);
            info->iconNumber = (int32_t)sign->iconNumber;
        }
        FreeMapObjRecord(&g_peerApi, sign, kMapObjSign);
        return textId;
    }

    OdDbObjectId ReceiveTrack(const ObjRecordHeader& h, const uint8_t* body, CString layer, MapObjInfo* info)
    {
        TrackRecord* track = ParseTrackRecord(&g_peerApi, body, h.size);
        if (!track) return OdDbObjectId();
        if (drawing_->crossSection.sectionActive) {
            if (MapPointsToSection(&drawing_->crossSection, track->points, track->count)) {
                const double scale = drawing_->crossSection.frame.scale;
                if (scale > 0) track->width = (uint32_t)SectionWidth((int32_t)track->width, scale);
            } else {
                gcutPrintf(kSectionFailed);
            }
        }
        if (drawing_->contour.busy) {
            layer = kContourLayer;
            AddContourLabel(track);
        }
        OdDbObjectId id = ArxOperation::TrackToPolyline(track, layer, h.peerId);
        NameLink(info, track->name, track->remark);
        FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);
        return id;
    }

    OdDbObjectId ReceiveShape(const ObjRecordHeader& h, const uint8_t* body, const CString& layer, MapObjInfo* info)
    {
        ShapeRecord* shape = ParseShapeRecord(&g_peerApi, body, h.size);
        if (!shape) return OdDbObjectId();
        // In the section a shape is drawn from its mapped points, as tracks are.
        if (drawing_->crossSection.sectionActive) {
            if (MapPointsToSection(&drawing_->crossSection, shape->points, shape->count)) {
                const double scale = drawing_->crossSection.frame.scale;
                if (scale > 0) shape->fillScale = (float)(shape->fillScale / scale);
            } else {
                gcutPrintf(kSectionFailed);
            }
        }
        OdDbObjectId id = ArxOperation::ShapeToPolygon(shape, layer);
        NameLink(info, shape->name, shape->remark);
        FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
        return id;
    }

    OdDbObjectId ReceiveMultiPart(const ObjRecordHeader& h, const uint8_t* body, const CString& layer,
                                  MapObjInfo* info)
    {
        MultiPartRecord* record = ParseMultiPartRecord(&g_peerApi, body, h.size);
        if (!record) return OdDbObjectId();
        OdDbObjectId id;
        if (!drawing_->crossSection.sectionActive) id = ArxOperation::MultiPartToPolyline(record, layer);
        NameLink(info, record->name, record->remark);
        FreeMapObjRecord(&g_peerApi, record, kMapObjMultiPart);
        return id;
    }

    static void NameLink(MapObjInfo* info, const char (&name)[100], const char* remark)
    {
        if (!info) return;
        info->name = Utf8FieldToCString(name, sizeof name);
        info->remark = Remark(remark);
    }

    // The elevation of a contour line as a text at its middle point; larger
    // for every 100 and every 50.
    static void AddContourLabel(const TrackRecord* track)
    {
        if (!track->points || track->count == 0) return;
        const TrackPoint& middle = track->points[track->count / 2];
        SignRecord* label = NewSignRecord(&g_peerApi);
        if (!label) return;
        label->textColour = track->colour;
        label->fontSize = 14;
        label->coordMode = 2;
        label->y = middle.y;
        label->x = middle.x;
        label->elevation = middle.elevation;
        label->signType = kTextSign;
        FormatName100(label->name, "%d", middle.elevation);
        int rest = middle.elevation % 100;
        if (rest == 0) label->fontSize = 18;
        else if (rest == 50) label->fontSize = 16;
        OdDbObjectId icon, text;
        ArxOperation::SignToTextEx(label, kContourLayer, icon, text, false);
        FreeMapObjRecord(&g_peerApi, label, kMapObjSign);
    }

    CDrawingData* drawing_;
    const uint8_t* records_ = nullptr;
    uint64_t total_ = 0;
    uint64_t consumed_ = 0;
    CString ignoreList_ = L"以下[块/面域]对象被系统忽略：\r\n";
    bool ignored_ = false;
    int lastPercent_ = -1;
};

// Timer 1005 lets the database reactor listen again 100 ms after the
// walk; without the receiver window nothing would.
void ReleaseReactorsSoon()
{
    if (ReceiverWindow()) SetReceiverTimer(1005, 100);
    else g_bSuppressReactors = 0;
}

}  // namespace

bool ArxOperation::ReceiveMapObjects(const uint8_t* bytes, uint32_t size)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing || !bytes) return false;
    PrepareSend();
    std::optional<DocumentWriteLock> lock(std::in_place);
    gcedSSSetFirst(nullptr, nullptr);
    g_bSuppressReactors = 1;
    OdDbTransactionManager* transactions = odTransactionManagerPtr();
    if (transactions) transactions->startTransaction();

    ReceiveWalk walk(drawing, bytes, size);
    walk.Run();
    ReleaseReactorsSoon();
    walk.ShowIgnored();

    if (transactions) transactions->endTransaction();
    lock.reset();
    gcedRestoreStatusBar();
    return true;
}

void ArxOperation::ZoomToReceivedEntity(OdDbObjectId id)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    OdDbEntity* entity = nullptr;
    if (!drawing || oddbOpenOdDbEntity(entity, id, OdDb::kForRead) != eOk) return;
    OdGePoint3d point;
    bool placed = false;
    if (auto* image = OdRxCast<OdDbRasterImage>(entity)) {
        OdGeVector3d u, v;
        image->getOrientation(point, u, v);
        placed = true;
    } else {
        OdGeExtents3d extents;
        placed = entity->getGeomExtents(extents) == eOk;
        if (placed) point = extents.minPoint() + (extents.maxPoint() - extents.minPoint()) / 2;
    }
    entity->close();
    // Objects at the origin carry no place worth showing.
    if (!placed || (std::fabs(point.x) <= 2.0 && std::fabs(point.y) <= 2.0)) return;

    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    int level = LevelForView(&drawing->baseMap, view);
    if (level < 1 || level > 28) return;
    OdGeVector3d half(drawing->baseMap.xResolution[level] * view.screenWidth / 2,
                      drawing->baseMap.yResolution[level] * view.screenHeight / 2, 0);
    CViewUtil::ZoomWindow(point - half, point + half, 1.0);
}

void ArxOperation::DatabaseHook(OdDbDatabase*) {}

// The peer's answer to a view match carries points that nothing uses.
int ArxOperation::CheckPointReply(const void*, int, const OdGePoint3d&, const OdGePoint3d&) { return 0; }
