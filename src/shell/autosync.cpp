// After a command: the entities it changed go to the peer again, a point
// drawn while points are shown as icons becomes a sign; and a double click
// opens the property dialog on the entity under it.
#include "shell/autosync.h"

#include <cstdlib>
#include <cstring>

#include "exchange/entpropertydlg.h"
#include "exchange/exchangeglobals.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbcurves.h"
#include "oddbentity.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerstatus.h"
#include "state/settings.h"

namespace {

// The commands whose changes go to the peer when they end, in the order
// they are tested.
const wchar_t* const kSyncCommands[] = {L"LINE",    L"MLINE",    L"BLOCK",  L"PLINE",        L"3DPOLY",
                                        L"HELIX",   L"ARC",      L"CIRCLE", L"RECTANG",      L"SPLINE",
                                        L"GRADIENT", L"GRIP_STRETCH", L"ELLIPSE", L"HATCH", L"BHATCH",
                                        L"POLYGON", L"MOVE",     L"TEXT",   L"DTEXT",        L"MTEXT",
                                        L"UNDO",    L"MUNDO",    L"MREDO",  L"REDO",         L"POINT"};

bool Is(const OdString& name, const wchar_t* text) { return wcscmp(name.c_str(), text) == 0; }

bool IsSyncCommand(const OdString& name)
{
    for (const wchar_t* c : kSyncCommands)
        if (Is(name, c)) return true;
    return false;
}

bool IsUndoOrRedo(const OdString& name)
{
    return Is(name, L"UNDO") || Is(name, L"MREDO") || Is(name, L"MUNDO") || Is(name, L"REDO");
}

void EmptyModifiedLists(EditTrackState& t)
{
    t.m_modifiedTexts.clear();
    t.m_modifiedLines.clear();
    t.m_modifiedEntities.clear();
}

HWND ReceiverWindow() { return g_pMessageDlg ? g_pMessageDlg->GetSafeHwnd() : nullptr; }

// The point just drawn gives way to a sign at its place.
void ReplacePointBySign(EditTrackState& t)
{
    g_bSuppressReactors = 1;
    DocumentWriteLock lock;
    OdDbPoint* point = nullptr;
    if (oddbOpenObject(point, t.m_pointId, OdDb::kForWrite) != eOk) return;
    auto* xy = (double*)calloc(2, sizeof(double));
    if (xy) {
        xy[0] = point->position().x;
        xy[1] = point->position().y;
    }
    point->erase();
    point->close();
    if (xy) PostSignPoint(xy);
}

// The candidates that still open for writing.
OdDbObjectIdArray* WritableOf(const OdDbObjectIdArray& candidates)
{
    auto* ids = new OdDbObjectIdArray();
    DocumentWriteLock lock;
    for (const OdDbObjectId& id : candidates) {
        OdDbObject* obj = nullptr;
        OdResult res = oddbOpenObjectImpl(obj, id, OdDb::kForWrite, false);
        if (res == eOk && obj->isWriteEnabled()) ids->append(id);
        if (res != eOk && obj) WriteDebugLogText(CString(obj->isA()->name().c_str()));
        if (obj) obj->close();
    }
    return ids;
}

void SetDoubleClickEdit(short value)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = value;
    gcedSetVar(L"DBLCLKEDIT", &rb);
}

// Frees a selection set on every way out.
struct SelectionSet {
    ads_name name = {0, 0};
    bool live = false;
    ~SelectionSet()
    {
        if (live) gcedSSFree(name);
    }
};

}  // namespace

bool PostResend(OdDbObjectIdArray* ids)
{
    HWND receiver = ReceiverWindow();
    if (receiver && PostMessageW(receiver, WM_RESEND_OBJECTS, 0, (LPARAM)ids)) return true;
    delete ids;
    return false;
}

bool PostSignPoint(double* xy)
{
    HWND receiver = ReceiverWindow();
    if (receiver && PostMessageW(receiver, WM_SIGN_AT_POINT, 0, (LPARAM)xy)) return true;
    free(xy);
    return false;
}

void PostAutoSyncForCommand(const OdString& name)
{
    CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing || g_coordBinding.geographic || !g_bLinkActive) return;
    EditTrackState& t = drawing->editTrack;
    if (g_settings.pointsAsIcons && Is(name, L"POINT") && !t.m_pointId.isNull()) {
        ReplacePointBySign(t);
        EmptyModifiedLists(t);
        return;
    }
    if (!g_settings.autoSync || !g_pDbReactor || t.m_lastModifiedId.isNull() || !IsSyncCommand(name)) return;
    OdDbObjectIdArray candidates;
    if (Is(name, L"LINE")) {
        candidates = t.m_modifiedLines;
    } else if (Is(name, L"DTEXT") || Is(name, L"TEXT") || Is(name, L"MTEXT")) {
        candidates = t.m_modifiedTexts;
    } else if (IsUndoOrRedo(name)) {
        // Only what the peer knows goes back to it: the cache also holds
        // records of entities never sent (peer id 0).
        for (const OdDbObjectId& id : t.m_modifiedEntities) {
            const MapObjInfo* link = FindEntityLink(drawing->links, id.getHandle());
            if (link && link->peerId != 0) candidates.append(id);
        }
    } else {
        candidates.append(t.m_lastModifiedId);
    }
    EmptyModifiedLists(t);
    OdDbObjectIdArray* ids = WritableOf(candidates);
    if (ids->isEmpty()) {
        delete ids;
        return;
    }
    g_bSuppressReactors = 1;
    PostResend(ids);
}

void CEditorReactor::beginDoubleClick(const OdGePoint3d& point)
{
    if (!g_settings.doubleClickProperties || !g_bLinkActive) return;
    DocumentWriteLock lock;
    // The host's own editor runs unless the plug-in opens its dialog.
    SetDoubleClickEdit(1);
    SelectionSet picked;
    const ads_point at = {point.x, point.y, point.z};
    if (gcedSSGet(nullptr, at, nullptr, nullptr, picked.name) != RTNORM) return;
    picked.live = true;
    int32_t count = 0;
    if (gcedSSLength(picked.name, &count) != RTNORM || count >= 2) return;
    ads_name first;
    if (gcedSSName(picked.name, 0, first) != RTNORM) return;
    OdDbObjectId id;
    if (oddbGetObjectId(id, first) != eOk) {
        gcutPrintf(L"打开实体ID失败");
        return;
    }
    OdDbObject* obj = nullptr;
    if (oddbOpenObject(obj, id, OdDb::kForWrite) != eOk) {
        gcutPrintf(L"打开实体失败");
        return;
    }
    const bool entity = OdRxCast<OdDbEntity>(obj) != nullptr;
    // The dialog opens the entity itself.
    obj->close();
    if (!entity) return;
    SetDoubleClickEdit(0);
    if (ShowEntityPropertyDialog(id) == IDOK) {
        g_bSuppressReactors = 1;
        auto* ids = new OdDbObjectIdArray();
        ids->append(id);
        PostResend(ids);
    }
}
