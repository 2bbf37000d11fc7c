// Sending drawing entities to the peer: the selected entities (the toolbar's
// send button) and lists of entities to send again (edits the reactors
// collected). Each send puts its objects in one folder per layer below the
// drawing's folder, frames them into one buffer and moves the peer's map to
// the last one.
#include <cmath>

#include "afxmsgbox.h"
#include "basemap/basemap.h"
#include "common/entity/entityutil.h"
#include "common/interaction/namedidlist.h"
#include "common/interaction/selectutil.h"
#include "common/symboltable/layerutil.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/velkobjtree.h"
#include "gcedview.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/peerstatus.h"
#include "state/reactorflags.h"
#include "state/settings.h"

namespace {

const wchar_t kWorkspaceFolder[] = L"CAD工作空间";
const int kProgressThreshold = 1000;

void ShowSendProgress(size_t total)
{
    if (total <= (size_t)kProgressThreshold) return;
    g_bShowSendProgress = 1;
    gcedSetStatusBarProgressMeter(L"发送数据", 0, 100);
}

void EndSendProgress()
{
    if (g_bShowSendProgress) gcedRestoreStatusBar();
    g_bShowSendProgress = 0;
}

// The drawing's folder below the workspace (made when missing). False,
// after telling the user, when the workspace can be neither found nor made.
bool FindDrawingFolder(uint32_t& drawingFolder)
{
    uint32_t workspace = g_velkObjTree.Search(kWorkspaceFolder, 0, true);
    if (workspace == 0) {
        AfxMessageBox(L"无法在拓岚中创建[CAD工作空间]！");
        return false;
    }
    g_subFolderName = CViewUtil::GetCurrentDwgFileName();
    drawingFolder = g_velkObjTree.Search(g_subFolderName, workspace, true);
    return true;
}

size_t CountIds(const NamedIdList& groups)
{
    size_t n = 0;
    for (NamedIdNode* g = groups.first; g; g = g->next) n += (size_t)g->ids.length();
    return n;
}

// Converts every group into its layer's folder; the last id of the last
// group is where the map goes.
OdDbObjectId ConvertGroups(ObjExchangeBuffer* buffer, const NamedIdList& groups, std::vector<uint32_t>& oldPeerIds,
                           bool skipTiny)
{
    OdDbObjectId lastId;
    for (NamedIdNode* g = groups.first; g; g = g->next) {
        if (g->ids.isEmpty()) continue;
        uint32_t folder = ArxOperation::GetLayerFolderId(g->name);
        if (folder == 0) folder = g_velkObjTree.EnsurePath(g_subFolderName, g->name, true);
        ArxOperation::ConvertEntities(buffer, g->ids, folder, oldPeerIds, skipTiny);
        lastId = g->ids.last();
    }
    return lastId;
}

// Deletes the peer's copies of what this send replaces, in one request.
void DeleteOldCopies(const std::vector<uint32_t>& oldPeerIds)
{
    if (oldPeerIds.empty()) return;
    int status = PeerApiDeleteObjects(&g_peerApi, oldPeerIds.data(), (int)oldPeerIds.size(), true, true);
    ReportVelkMsgError(status, L"DelVelkObjErr:", false);
}

// Moves the peer's map to the centre of the last sent entity when the
// follow mode asks for it.
void MovePeerMap(OdDbObjectId lastId)
{
    OdGePoint3d centre;
    {
        DocumentWriteLock lock;
        OdDbEntity* entity = nullptr;
        if (!lastId.isNull() && oddbOpenObject(entity, lastId, OdDb::kForRead) == eOk) {
            centre = ArxOperation::GetEntCenter(entity);
            entity->close();
        }
    }
    if (g_settings.followMode != 1 && g_settings.followMode != 3) return;
    if (!(std::fabs(centre.x) > 2.0 || std::fabs(centre.y) > 2.0)) return;
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    int level = g_ptagDocIdManager ? LevelForView(&g_ptagDocIdManager->baseMap, view) : 0;
    // The peer's echo of this move must not move the CAD view back.
    if (g_pEditorReactor) g_pEditorReactor->m_bEcho = 0;
    int status = PeerApiSetLocation(&g_peerApi, 0, (uint32_t)level, centre.x, centre.y, 0, 2, 1);
    ReportVelkMsgError(status, L"SetVelkLocationErr:", false);
}

// Layer folders the peer does not have yet go in a buffer of their own; its
// answer links each layer to its folder.
void SendLayerFolders(const NamedIdList& groups, uint32_t drawingFolder)
{
    ObjExchangeBuffer folders;
    StartExchangeBuffer(&folders, drawingFolder);
    ClearEntityLinks(folderRecordLinks);
    g_bNewFoldersSent = 0;
    for (NamedIdNode* g = groups.first; g; g = g->next) {
        if (g->ids.isEmpty()) continue;
        auto* link = new MapObjInfo();
        {
            DocumentWriteLock lock;
            if (ArxOperation::GetLayerFolderId(g->name) != 0 ||
                g_velkObjTree.EnsurePath(g_subFolderName, g->name, false) != 0) {
                delete link;
                continue;
            }
            link->handle = (uint64_t)CLayerUtil::GetLayerId(g->name.GetString(), false).getHandle();
        }
        // A layer that does not open gets its folder with its entities.
        if (link->handle == 0) {
            delete link;
            continue;
        }
        link->parentId = drawingFolder;
        link->name = g->name;
        g_bNewFoldersSent = 1;
        FolderRecord* folder = NewFolderRecord(&g_peerApi);
        if (!folder) {
            delete link;
            continue;
        }
        SetRecordName(folder->name, g->name);
        folder->sentFlag = 1;
        // The answer finds the link by the record's index.
        size_t index = folders.records.size();
        ArxOperation::AppendMapObjRecord(folder, kMapObjFolder, &folders, link, SentTarget::kLayerFolder);
        if (folders.records.size() > index) SetEntityLink(folderRecordLinks, index, link, 0);
        else delete link;
    }
    if (g_bNewFoldersSent && ExchangeBufferHasRecords(&folders)) {
        CloseExchangeBuffer(&folders);
        int status = SendExchangeBuffer(&folders);
        ReportVelkMsgError(status, L"SetVelkObjTreeErr:", true);
    }
    g_bNewFoldersSent = 0;
    ReleaseExchangeBuffer(&folders);
    ClearEntityLinks(folderRecordLinks);
}

// Deletes the replaced copies, sends the buffer and moves the map. False
// when there was nothing to send or the send failed.
bool SendObjects(ObjExchangeBuffer* buffer, const std::vector<uint32_t>& oldPeerIds, OdDbObjectId lastId,
                 bool reportInBox)
{
    if (!ExchangeBufferHasRecords(buffer)) {
        ReleaseExchangeBuffer(buffer);
        EndSendProgress();
        return false;
    }
    DeleteOldCopies(oldPeerIds);
    CloseExchangeBuffer(buffer);
    if (g_bShowSendProgress) gcedSetStatusBarProgressMeterPos(10);
    int status = SendExchangeBuffer(buffer);
    ReportVelkMsgError(status, L"SetVelkObjTreeErr:", reportInBox);
    if (status < 0) {
        EndSendProgress();
        return false;
    }
    MovePeerMap(lastId);
    EndSendProgress();
    return true;
}

}  // namespace

void ArxOperation::SendSelectedObjects()
{
    uint32_t drawingFolder = 0;
    if (!g_velkObjTree.Load() || !FindDrawingFolder(drawingFolder)) return;
    NamedIdList groups;
    {
        DocumentWriteLock lock;
        CSelectUtil::GetImpliedSelection(L"", groups);
    }
    size_t total = CountIds(groups);
    if (total == 0) {
        AfxMessageBox(L"请选择(Ctrl+A全选)对象后再发送对象！");
        return;
    }
    g_bSuppressReactors = 1;
    SendLayerFolders(groups, drawingFolder);
    // The folders' answer let the reactors go again; the conversion changes
    // entities itself (a block's scale) and must not be taken for an edit.
    g_bSuppressReactors = 1;
    ObjExchangeBuffer buffer;
    StartExchangeBuffer(&buffer, drawingFolder);
    ShowSendProgress(total);
    PrepareSend();
    std::vector<uint32_t> oldPeerIds;
    OdDbObjectId lastId;
    {
        DocumentWriteLock lock;
        lastId = ConvertGroups(&buffer, groups, oldPeerIds, false);
    }
    SendObjects(&buffer, oldPeerIds, lastId, true);
    // The answer clears it when it arrives; a send without one must not
    // leave the reactors deaf.
    g_bSuppressReactors = 0;
}

bool ArxOperation::SendObjectsToPeer(const OdDbObjectIdArray& ids)
{
    uint32_t drawingFolder = 0;
    if (!g_velkObjTree.Load() || !FindDrawingFolder(drawingFolder)) return false;
    ShowSendProgress((size_t)ids.length());
    NamedIdList groups;
    ObjExchangeBuffer buffer;
    std::vector<uint32_t> oldPeerIds;
    OdDbObjectId lastId;
    {
        DocumentWriteLock lock;
        for (const OdDbObjectId& id : ids) {
            OdDbEntity* entity = nullptr;
            if (OdResult res = oddbOpenObject(entity, id, OdDb::kForRead)) {
                ReportOpenFailure(L"SendObjectsToPeer", res);
                continue;
            }
            groups.Set(id, CString(entity->layer().c_str()));
            entity->close();
        }
        StartExchangeBuffer(&buffer, drawingFolder);
        PrepareSend();
        lastId = ConvertGroups(&buffer, groups, oldPeerIds, true);
    }
    SendObjects(&buffer, oldPeerIds, lastId, false);
    return true;
}

bool ArxOperation::ConvertEntities(ObjExchangeBuffer* buffer, const OdDbObjectIdArray& ids, uint32_t folderId,
                                   std::vector<uint32_t>& oldPeerIds, bool skipTiny)
{
    PointQueue pointQueue;
    std::vector<uint64_t> pieceQueue;
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* entity = nullptr;
        // An entity on a locked layer refuses a write open; it is sent all the
        // same (only a block's scale retry needs the write).
        if (oddbOpenObject(entity, id, OdDb::kForWrite) != eOk) {
            if (OdResult res = oddbOpenObject(entity, id, OdDb::kForRead)) {
                ReportOpenFailure(L"ConvertEntities", res);
                continue;
            }
        }
        if (skipTiny && !entity->isKindOf(OdDbPoint::desc())) {
            OdGeExtents3d ext;
            entity->getGeomExtents(ext);
            const OdGePoint3d& mn = ext.minPoint();
            const OdGePoint3d& mx = ext.maxPoint();
            if (std::fabs(mx.x - mn.x) < 0.2 && std::fabs(mx.y - mn.y) < 0.2 && mx.x < 0.2 && mx.y < 0.2) {
                entity->close();
                continue;
            }
        }
        MapObjInfo* link = GetEntityLink(entity, true, false);
        if (!link) {
            entity->close();
            return false;
        }
        link->parentId = folderId;
        uint32_t count = 0;
        ConvertEntity(entity, buffer, link, pointQueue, pieceQueue, count, oldPeerIds, false);
        // Without a drawing record the link belongs to no cache.
        if (!g_ptagDocIdManager) delete link;
        entity->close();
    }
    // One queued point is enough: a point of a sent set brings its set
    // along, and a lone new point is left alone by the set's rules.
    if (!pointQueue.handles.empty()) {
        MapObjInfo info;
        info.parentId = folderId;
        info.opacity = 50;
        SendPointSets(pointQueue.handles, buffer, &info);
    }
    if (!pieceQueue.empty()) {
        MapObjInfo info;
        info.parentId = folderId;
        info.opacity = 50;
        SendJoinedTracks(pieceQueue, buffer, &info);
    }
    return true;
}

OdGePoint3d ArxOperation::GetEntCenter(const OdDbEntity* entity)
{
    if (!entity) return OdGePoint3d();
    if (auto* image = OdRxCast<OdDbRasterImage>(entity)) {
        OdGePoint3d origin;
        OdGeVector3d u, v;
        image->getOrientation(origin, u, v);
        return origin;
    }
    OdGeExtents3d ext;
    if (entity->getGeomExtents(ext) == eOk && ext.isValidExtents()) {
        const OdGePoint3d& mn = ext.minPoint();
        const OdGePoint3d& mx = ext.maxPoint();
        return OdGePoint3d((mn.x + mx.x) / 2, (mn.y + mx.y) / 2, 0);
    }
    // Extents that failed may still hold a corner: zeros are repaired from
    // the other corner.
    auto usable = [](double v) { return std::isfinite(v) && std::fabs(v) < 1e19 ? v : 0.0; };
    double x0 = usable(ext.minPoint().x), y0 = usable(ext.minPoint().y);
    double x1 = usable(ext.maxPoint().x), y1 = usable(ext.maxPoint().y);
    if (x1 == 0 && y1 == 0) {
        x1 = x0;
        y1 = y0;
    } else if (x1 == 0 && y0 == 0) {
        x1 = x0;
        y0 = y1;
    } else if (y1 == 0 && x0 == 0) {
        y1 = y0;
        x0 = x1;
    } else if (y0 == 0 && x0 == 0) {
        y0 = y1;
        x0 = x1;
    }
    return OdGePoint3d((x1 + x0) / 2, (y0 + y1) / 2, 0);
}
