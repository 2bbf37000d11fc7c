// The database, document and editor reactors.
#include "shell/reactors.h"

#include <cstring>
#include <string>
#include <vector>

#include "basemap/capture.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/documentrecord.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "gcedinput.h"
#include "gcutprint.h"
#include "oddbcurves.h"
#include "oddbtext.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "section/contour.h"
#include "section/crosssection.h"
#include "shell/actoolbarwnd.h"
#include "shell/autosync.h"
#include "shell/messagedlg.h"
#include "shell/velkarxapp.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"

uint8_t g_bFirstCommand = 1;
uint8_t g_bCommandSeen = 0;
uint8_t g_bBhatchRunning = 0;
uint8_t g_bNewDocument = 0;

namespace {

bool Is(const OdString& name, const wchar_t* text) { return wcscmp(name.c_str(), text) == 0; }

bool IsAnyOf(const OdString& name, std::initializer_list<const wchar_t*> texts)
{
    for (const wchar_t* t : texts)
        if (Is(name, t)) return true;
    return false;
}

void AddOnce(OdDbObjectIdArray& list, const OdDbObjectId& id)
{
    if (!list.contains(id)) list.append(id);
}

// The base map's tile layer: the one the base map made, or by its name in
// a drawing where it has not run yet.
bool OnBaseMapLayer(const CDrawingData* drawing, const OdDbEntity* entity)
{
    if (!drawing->baseMap.mapLayer.isNull() && entity->layerId() == drawing->baseMap.mapLayer) return true;
    return entity->layer().iCompare(L"MapLayer") == 0;
}

// A text moved by MOVE whose link (in the drawing's cache) has a companion.
void NoteMovedText(const CDrawingData* drawing, OdDbObjectIdArray& list, const OdDbObject* text)
{
    const OdDbObjectId id = text->objectId();
    if (list.contains(id)) return;
    const MapObjInfo* link = FindEntityLink(drawing->links, text->handle());
    if (link && link->companion != 0) list.append(id);
}

OdDbObjectId IdOfHandle(uint64_t handle)
{
    OdDbObjectId id;
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    if (db) db->getOdDbObjectId(id, false, OdDbHandle(handle));
    return id;
}

uint64_t HandleOfName(const ads_name name)
{
    OdDbObjectId id;
    return oddbGetObjectId(id, name) == eOk ? (uint64_t)id.getHandle() : 0;
}

// Switches the online base map (off, where the callers use it).
void ToggleOnlineBaseMap()
{
    if (CAcToolBarWnd* bar = GetToolBarWnd()) bar->OnLoadOnlineMap();
}

CString CurrentFileName(bool& haveDocument)
{
    GcApDocManager* manager = gcDocManagerPtr();
    GcApDocument* doc = manager ? manager->curDocument() : nullptr;
    haveDocument = doc != nullptr;
    return doc ? CString(doc->fileName().c_str()) : CString();
}

void ResetCopy(EditTrackState& t)
{
    t.m_bCopyActive = 0;
    t.m_copyHandles.clear();
}

void ResetMove(EditTrackState& t)
{
    t.m_bMoveActive = 0;
    t.m_movedTexts.clear();
    t.m_movedMTexts.clear();
}

// Every record of the document, whatever name it was made under.
void RemoveDocumentRecords(const GcApDocument* doc)
{
    for (auto it = drawingRecords.begin(); it != drawingRecords.end();) {
        if (it->first.document != doc) {
            ++it;
            continue;
        }
        if (g_ptagDocIdManager == it->second) g_ptagDocIdManager = nullptr;
        delete it->second;
        it = drawingRecords.erase(it);
    }
}

// Re-sends still queued for a closing drawing name objects that go with it:
// they are taken out of the receiver's queue, the others' kept in order.
void DropQueuedResendsOf(const OdDbDatabase* db)
{
    HWND receiver = g_pMessageDlg ? g_pMessageDlg->GetSafeHwnd() : nullptr;
    if (!receiver) return;
    std::vector<OdDbObjectIdArray*> queued;
    MSG m;
    while (PeekMessageW(&m, receiver, WM_RESEND_OBJECTS, WM_RESEND_OBJECTS, PM_REMOVE))
        queued.push_back((OdDbObjectIdArray*)m.lParam);
    for (OdDbObjectIdArray* ids : queued) {
        if (!ids) continue;
        OdDbObjectIdArray kept;
        for (const OdDbObjectId& id : *ids)
            if (id.database() != db) kept.append(id);
        if (kept.isEmpty()) {
            delete ids;
            continue;
        }
        *ids = kept;
        PostResend(ids);
    }
}

// The record of a named document. A drawing that SAVEAS renamed brings the
// record of its old name along (its links are there); one that had none (it
// was opened unnamed after the load) gets the links its entities carry.
CDrawingData* RecordOfNamedDocument(const CString& name, GcApDocument* doc)
{
    const DrawingRecordKey key{DrawingKeyFromName(name), doc};
    auto found = drawingRecords.find(key);
    if (found != drawingRecords.end() && found->second) return found->second;
    for (auto it = drawingRecords.begin(); it != drawingRecords.end(); ++it) {
        if (it->first.document != doc || !it->second) continue;
        CDrawingData* record = it->second;
        drawingRecords.erase(it);
        drawingRecords[key] = record;
        return record;
    }
    LoadDocumentRecord(name, doc);
    return g_ptagDocIdManager;
}

}  // namespace

CDrawingData* DrawingDataOfDatabase(const OdDbDatabase* db)
{
    GcApDocManager* manager = gcDocManagerPtr();
    const GcApDocument* doc = manager && db ? manager->document(db) : nullptr;
    if (!doc) return nullptr;
    for (auto& e : drawingRecords)
        if (e.first.document == doc) return e.second;
    return nullptr;
}

// ---- database reactor ----

void CDbReactor::objectModified(const OdDbDatabase* db, const OdDbObject* obj)
{
    // The drawing that changed, which need not be the active one.
    CDrawingData* drawing = DrawingDataOfDatabase(db);
    if (!drawing || !obj) return;
    EditTrackState& t = drawing->editTrack;
    const auto* entity = OdRxCast<OdDbEntity>(obj);
    if (t.m_bCopyActive && entity) t.m_copyHandles.emplace((uint64_t)obj->handle(), (uint64_t)obj->handle());
    if (!g_bLinkActive) return;
    if (t.m_bMoveActive) {
        if (OdRxCast<OdDbText>(obj)) NoteMovedText(drawing, t.m_movedTexts, obj);
        if (OdRxCast<OdDbMText>(obj)) NoteMovedText(drawing, t.m_movedMTexts, obj);
    }
    if (g_bSuppressReactors || g_coordBinding.geographic) return;
    const OdDbObjectId id = obj->objectId();
    if (g_settings.pointsAsIcons && OdRxCast<OdDbPoint>(obj)) t.m_pointId = id;
    if (!g_settings.autoSync || !entity || OnBaseMapLayer(drawing, entity)) return;
    t.m_lastModifiedId = id;
    AddOnce(t.m_modifiedEntities, id);
    if (OdRxCast<OdDbLine>(obj)) AddOnce(t.m_modifiedLines, id);
    if (OdRxCast<OdDbText>(obj) || OdRxCast<OdDbMText>(obj)) AddOnce(t.m_modifiedTexts, id);
}

void CDbReactor::objectErased(const OdDbDatabase* db, const OdDbObject* obj, bool erased)
{
    if (g_bSuppressReactors) return;
    if (!obj || !OdRxCast<OdDbEntity>(obj) || g_coordBinding.geographic || g_bBhatchRunning || !g_settings.autoSync ||
        !g_bLinkActive)
        return;
    CDrawingData* drawing = DrawingDataOfDatabase(db);
    if (!erased) {
        // An undone erase: the entity goes to the peer again. A send works
        // on the active drawing's links: another drawing's entity would be
        // taken for the active drawing's entity of the same handle.
        if (!drawing || drawing != g_ptagDocIdManager) return;
        g_bSuppressReactors = 1;
        auto* ids = new OdDbObjectIdArray();
        ids->append(obj->objectId());
        PostResend(ids);
        return;
    }
    if (!drawing) return;
    const uint64_t handle = obj->handle();
    DeletePeerObjectOfEntity(handle, drawing);
    if (MapObjInfo* link = FindEntityLink(drawing->links, handle)) {
        const uint32_t peerId = link->peerId;
        ErasePeerEntity(drawing->pairedPeerEntities, peerId);
        ErasePeerEntity(drawing->peerEntities, peerId);
        RemoveEntityLink(drawing, handle);
    }
}

// ---- document reactor ----

void CDocReactor::documentCreated(GcApDocument* doc)
{
    if (!doc) return;
    if (g_pDbReactor) doc->database()->addReactor(g_pDbReactor);
    if (g_pSelectionFilter) addSSgetFilterInputContextReactor(doc, g_pSelectionFilter);
    if (g_pHighlightFilter) addSSgetFilterInputContextReactor(doc, g_pHighlightFilter);
    if (g_pMessageDlg) g_pMessageDlg->SetTimer(1008, 2000, nullptr);
    const CString name = doc->fileName().c_str();
    if (!name.IsEmpty()) {
        g_ptagDocIdManager = nullptr;
        LoadDocumentRecord(name, doc);
    }
    if (!g_coordBinding.checkPending) CheckDrawingBinding(name, 5);
    g_bNewDocument = 1;
}

void CDocReactor::documentToBeDestroyed(GcApDocument* doc)
{
    if (!doc) return;
    if (g_pDbReactor) doc->database()->removeReactor(g_pDbReactor);
    if (g_pSelectionFilter) removeSSgetFilterInputContextReactor(doc, g_pSelectionFilter);
    if (g_pHighlightFilter) removeSSgetFilterInputContextReactor(doc, g_pHighlightFilter);
    DropQueuedResendsOf(doc->database());
    // A drawing renamed by SAVEAS has its record under its old name: every
    // record of the document goes, so none outlives it.
    RemoveDocumentRecords(doc);
    g_ptagDocIdManager = nullptr;
    // The answer stores the closing drawing's binding.
    g_coordBinding.savePending = true;
    g_coordBinding.bindingName = doc->fileName().c_str();
    PeerApiGetCoordSystem(&g_peerApi);
    ArxOperation::DatabaseHook(doc->database());
}

void CDocReactor::documentActivated(GcApDocument* doc)
{
    if (!doc) {
        g_ptagDocIdManager = nullptr;
        return;
    }
    const CString name = doc->fileName().c_str();
    if (name.IsEmpty()) {
        // An unnamed drawing works on its own record only (one made at the
        // load), never on the drawing active before it; the section button
        // shows that record's mode, not the one of the drawing before.
        g_ptagDocIdManager = DrawingDataOfDatabase(doc->database());
        if (CAcToolBarWnd* bar = GetToolBarWnd())
            bar->SetSectionButtonState(g_ptagDocIdManager ? g_ptagDocIdManager->crossSection.sectionActive : 0);
        return;
    }
    g_ptagDocIdManager = RecordOfNamedDocument(name, doc);
    if (CAcToolBarWnd* bar = GetToolBarWnd()) bar->SetSectionButtonState(g_ptagDocIdManager->crossSection.sectionActive);
}

// ---- editor reactor ----

void CEditorReactor::commandWillStart(const OdString& name)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing) return;
    EditTrackState& t = drawing->editTrack;
    if (Is(name, L"COPY")) {
        t.m_bCopyActive = 1;
        t.m_copyHandles.clear();
    }
    if (Is(name, L"OPEN") && g_settings.onlineBaseMap) ToggleOnlineBaseMap();
    if (Is(name, L"RECTANG")) {
        ads_name last;
        rectangStartLast_ = gcdbEntLast(last) == RTNORM ? HandleOfName(last) : 0;
        rectangStarted_ = 1;
    }
    if (!g_bLinkActive) return;
    m_bSuspendInsert = 1;
    if (Is(name, L"MOVE")) {
        t.m_bMoveActive = 1;
        t.m_movedTexts.clear();
        t.m_movedMTexts.clear();
    }
    g_bSuppressReactors = 0;
    if (Is(name, L"QUIT")) SetHostViewVars(false, false, false);
    if (g_bFirstCommand && !IsAnyOf(name, {L"RIBBON", L"_RIBBON", L"QUIT", L"COMMANDLINE"})) {
        g_bFirstCommand = 0;
        bool haveDocument = false;
        CString file = CurrentFileName(haveDocument);
        if (haveDocument) CheckDrawingBinding(file, 5);
    }
    g_bCommandSeen = 1;
    g_bBhatchRunning = Is(name, L"BHATCH") ? 1 : 0;
    if (IsAnyOf(name, {L"QSAVE", L"CLOSE", L"SAVEAS", L"EXPORTDWF", L"-LAYER", L"QUIT"})) {
        ArxOperation::SaveAllLinks();
        // Tiles are not saved with the drawing.
        if (g_settings.onlineBaseMap == 1) ToggleOnlineBaseMap();
    }
}

void CEditorReactor::FinishCopy(CDrawingData* drawing)
{
    EditTrackState& t = drawing->editTrack;
    t.m_bCopyActive = 0;
    // Copies carry their source's link in their Xrecords: they become new
    // objects for the peer. Signs shown as text and icon are looked up among
    // the paired links; a copied pair keeps its own two halves together.
    std::map<uint32_t, std::vector<uint64_t>> pairs;  // old peer id -> copies of a sign's halves
    std::vector<MapObjInfo*> reset;
    for (const auto& entry : t.m_copyHandles) {
        MapObjInfo* link = ArxOperation::LockedReadEntityLink(IdOfHandle(entry.first));
        uint64_t source = 0;
        bool copied = link && link->peerId != 0 &&
                      ((FindPeerEntity(drawing->peerEntities, link->peerId, source) && source != link->handle) ||
                       (FindPeerEntity(drawing->pairedPeerEntities, link->peerId, source) && source != link->handle));
        if (!copied) {
            delete link;
            continue;
        }
        if (link->companion != 0) pairs[link->peerId].push_back(link->handle);
        reset.push_back(link);
    }
    for (MapObjInfo* link : reset) {
        if (link->companion != 0) {
            // The other half copied along with it, else none.
            const std::vector<uint64_t>& halves = pairs[link->peerId];
            link->companion = 0;
            if (halves.size() == 2) link->companion = halves[0] == link->handle ? halves[1] : halves[0];
        }
        link->peerId = 0;
        ArxOperation::SaveEntityLink(*link);
        delete link;
    }
    t.m_copyHandles.clear();
}

void CEditorReactor::FinishMove(CDrawingData* drawing)
{
    EditTrackState& t = drawing->editTrack;
    t.m_bMoveActive = 0;
    {
        DocumentWriteLock lock;
        for (const OdDbObjectId& id : t.m_movedTexts) {
            OdDbText* text = nullptr;
            if (oddbOpenObject(text, id, OdDb::kForWrite) != eOk) continue;
            OdGePoint3d anchor = text->alignmentPoint();
            if (anchor.x == 0 && anchor.y == 0 && !text->position().isEqualTo(OdGePoint3d::kOrigin))
                anchor = text->position();
            const MapObjInfo* link = GetEntityLink(text, true, false);
            const uint64_t companion = link ? link->companion : 0;
            const uint64_t handle = text->handle();
            text->close();
            if (companion == 0) continue;
            // The icon follows its label, and the label is set beside it.
            UpdateLinkedImageEntity((int64_t)companion, anchor);
            UpdateLinkedTextEntity((int64_t)handle, anchor);
        }
        for (const OdDbObjectId& id : t.m_movedMTexts) {
            OdDbMText* text = nullptr;
            if (oddbOpenObject(text, id, OdDb::kForWrite) != eOk) continue;
            if (MapObjInfo* link = GetEntityLink(text, true, false)) {
                link->labelPos = text->location();
                WriteEntityLink(text, *link);
                link->saved = 1;
            }
            text->close();
        }
    }
    t.m_movedTexts.clear();
    t.m_movedMTexts.clear();
}

bool CEditorReactor::FinishRectangle(CDrawingData* drawing, const OdString& name)
{
    if (!Is(name, L"RECTANG") || (m_nPendingRect == 0 && !m_bPendingSection)) return false;
    // Only the entity RECTANG drew is the rectangle: when it drew nothing,
    // the user's own last entity is left alone.
    ads_name rectangle;
    bool drawn = rectangStarted_ && gcdbEntLast(rectangle) == RTNORM && HandleOfName(rectangle) != rectangStartLast_;
    rectangStarted_ = 0;
    if (m_nPendingRect != 0) {
        const uint8_t kind = m_nPendingRect;
        m_nPendingRect = 0;
        if (drawn && kind == 1) CaptureFromExtents(&drawing->baseMap, rectangle, true);
        if (drawn && kind == 2) ContourFromExtents(&drawing->contour, rectangle);
        return true;
    }
    m_bPendingSection = 0;
    if (drawn) CrossSectionFromRectangle(&drawing->crossSection, rectangle, true);
    return true;
}

void CEditorReactor::commandEnded(const OdString& name)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing) return;
    if (Is(name, L"COPY")) FinishCopy(drawing);
    if (!g_bLinkActive) return;
    if (Is(name, L"MOVE")) FinishMove(drawing);
    m_bSuspendInsert = 0;
    gcutPrintf(L"%s Ended", name.c_str());
    if (FinishRectangle(drawing, name)) return;
    PostAutoSyncForCommand(name);
    if (Is(name, L"APPLOAD")) {
        g_bFirstCommand = 0;
        bool haveDocument = false;
        CString file = CurrentFileName(haveDocument);
        // No command was seen starting: this APPLOAD loaded the plug-in.
        if (!g_bCommandSeen && haveDocument) CheckDrawingBinding(file, 3000);
        g_bCommandSeen = 0;
    }
    if (Is(name, L"HATCH") && g_pMessageDlg) g_pMessageDlg->SetTimer(1002, 300, nullptr);
}

void CEditorReactor::commandCancelled(const OdString& name)
{
    m_nPendingRect = 0;
    m_bPendingSection = 0;
    rectangStarted_ = 0;
    if (CDrawingData* drawing = g_ptagDocIdManager) {
        if (Is(name, L"COPY")) ResetCopy(drawing->editTrack);
        if (Is(name, L"MOVE")) ResetMove(drawing->editTrack);
    }
    g_bBhatchRunning = 0;
    PostAutoSyncForCommand(name);
}

void CEditorReactor::commandFailed(const OdString& name)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing) return;
    if (Is(name, L"COPY")) ResetCopy(drawing->editTrack);
    if (Is(name, L"MOVE")) ResetMove(drawing->editTrack);
}

void CEditorReactor::viewChanged()
{
    if (m_bViewGuard) CViewUtil::GetViewExtents(m_viewExtents, 1.0);
    m_bViewGuard = 1;
}
