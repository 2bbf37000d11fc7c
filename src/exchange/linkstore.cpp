// Saving the pending links of the drawings into their entities, and loading
// the links of a drawing's model space into its record.
#include "exchange/linkstore.h"

#include "afxmsgbox.h"
#include "common/entity/entityutil.h"
#include "common/entity/textutil.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbcurves.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "state/documentlock.h"

namespace {

// Counters of one saving run: the meter moves every total / 50 + 1 links.
struct SaveRun {
    int total = 0;
    int done = 0;
    int failed = 0;
};
SaveRun g_saveRun;

// The entity of the handle is still in the drawing (a write to it failed
// for another reason than its being gone).
bool EntityStillThere(uint64_t handle, OdDbDatabase* db)
{
    OdDbObjectId id;
    if (!db) id = CEntityUtil::HandleToObjectId(OdDbHandle(handle));
    else if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk) return false;
    return !id.isNull() && !id.isErased();
}

void SaveLinksInto(LinkMap& links, OdDbDatabase* db, SaveRun& run)
{
    int step = run.total / 50 + 1;
    for (auto& e : links) {
        MapObjInfo* r = e.second;
        if (!r || r->saved) continue;
        if (run.done % step == 0) gcedSetStatusBarProgressMeterPos((int)(100.0 * run.done / run.total));
        ++run.done;
        // A link that did not reach its entity stays pending, so that the
        // next save writes it: marked saved it would be lost with the file.
        if (!WriteEntityLinkOf(*r, db) && EntityStillThere(r->handle, db)) {
            ++run.failed;
            continue;
        }
        // A rename reaches the text once: later saves must not undo the
        // user's edits of the text itself.
        r->saved = 1;
        r->nameEdited = 0;
    }
}

void ReportFailedWrites(int failed)
{
    if (failed > 0) gcutPrintf(L"\n%d个对象的xData数据保存失败，下次保存时重试.", failed);
}

// The database of a record's document; null when the document is gone.
OdDbDatabase* DatabaseOfDocument(const GcApDocument* doc)
{
    GcApDocManager* manager = gcDocManagerPtr();
    if (!doc) return oddbHostApplicationServices()->workingDatabase();
    if (!manager) return nullptr;
    for (int i = 0; i < manager->documentCount(); ++i)
        if (manager->documentAt(i) == doc) return manager->documentAt(i)->database();
    return nullptr;
}

void ShowStatus(const wchar_t* label, int status)
{
    CString text;
    text.Format(L"%s ErrorCode:%d", label, status);
    AfxMessageBox(text);
}

}  // namespace

void SaveEntityLinks(LinkMap& links, OdDbDatabase* db)
{
    if (g_saveRun.total > 0) {
        SaveLinksInto(links, db, g_saveRun);
        return;
    }
    SaveRun run;
    run.total = CountUnsavedLinks(links);
    if (run.total > 0) SaveLinksInto(links, db, run);
    ReportFailedWrites(run.failed);
}

void SaveAllXData(DrawingRecordMap& records)
{
    int total = 0;
    for (auto& e : records)
        if (e.second) total += CountUnsavedLinks(e.second->links);
    if (total == 0) return;
    gcedSetStatusBarProgressMeter(L"正在保存xData数据", 0, 100);
    OdDbTransactionManager* tm = odTransactionManagerPtr();
    if (tm) tm->startTransaction();
    g_saveRun = SaveRun{total, 0, 0};
    for (auto& e : records) {
        if (!e.second) continue;
        // Each drawing's links go into its own drawing: handles repeat
        // across drawings.
        OdDbDatabase* db = DatabaseOfDocument(e.first.document);
        if (db) {
            // A drawing other than the current one takes writes only while
            // its own document is locked.
            GcApDocManager* manager = gcDocManagerPtr();
            GcApDocument* doc = const_cast<GcApDocument*>(e.first.document);
            bool locked = doc && manager && manager->lockDocument(doc, GcAp::kWrite, nullptr, nullptr, true) == eOk;
            SaveEntityLinks(e.second->links, db);
            if (locked) manager->unlockDocument(doc);
        } else {
            for (auto& l : e.second->links)
                if (l.second) l.second->saved = 1;
        }
    }
    ReportFailedWrites(g_saveRun.failed);
    g_saveRun = SaveRun{};
    if (tm) tm->endTransaction();
    gcedRestoreStatusBar();
}

void ArxOperation::SaveAllLinks()
{
    DocumentWriteLock lock;
    g_bSuppressReactors = 1;
    SaveAllXData(drawingRecords);
    g_bSuppressReactors = 0;
}

int ArxOperation::SaveEntityLink(MapObjInfo record)
{
    DocumentWriteLock lock;
    return WriteEntityLinkOf(record);
}

MapObjInfo* ArxOperation::LockedGetEntityLink(OdDbEntity* entity)
{
    DocumentWriteLock lock;
    return GetEntityLink(entity, true, false);
}

MapObjInfo* ArxOperation::LockedReadEntityLink(OdDbObjectId id)
{
    DocumentWriteLock lock;
    return ReadEntityLink(id);
}

void ArxOperation::GetEntProperty(std::vector<MapObjInfo*>& out, bool textAsName, const wchar_t* layerName,
                                  OdDbDatabase* database)
{
    // The links found are owned by the active drawing's cache.
    if (!database || !g_ptagDocIdManager) return;
    CDrawingData* drawing = g_ptagDocIdManager;
    DocumentWriteLock lock;
    OdDbObjectId layerId;
    if (layerName) {
        OdDbLayerTable* layers = nullptr;
        if (OdResult res = database->getLayerTable(layers, OdDb::kForRead)) {
            ShowStatus(L"GetEntProperty1", res);
            return;
        }
        OdResult found = layers->getAt(layerName, layerId);
        layers->close();
        if (found != eOk) return;
    }
    OdDbBlockTable* blocks = nullptr;
    if (OdResult res = database->getBlockTable(blocks, OdDb::kForRead)) {
        ShowStatus(L"GetEntProperty2", res);
        return;
    }
    OdDbBlockTableRecord* model = nullptr;
    OdResult res = blocks->getAt(L"*Model_Space", model, OdDb::kForRead);
    blocks->close();
    if (res != eOk) {
        ShowStatus(L"GetEntProperty3", res);
        return;
    }
    OdDbBlockTableRecordIterator* it = nullptr;
    if (model->newIterator(it, true, true) == eOk) {
        for (; !it->done(); it->step(true, true)) {
            OdDbEntity* ent = nullptr;
            if (OdResult status = it->getEntity(ent, OdDb::kForRead)) {
                ShowStatus(L"GetEntProperty", status);
                gcutPrintf(L"\nArxOperation::GetAllEntityIds中打开实体失败(错误代码:%d).", (int)status);
                continue;
            }
            if (!layerId.isNull() && ent->layerId() != layerId) {
                ent->close();
                continue;
            }
            OdResult readStatus = eOk;
            MapObjInfo* record = GetEntityLink(ent, true, false, &readStatus);
            if (!record) {
                ShowStatus(L"GetEntProperty", readStatus);
                ent->close();
                continue;
            }
            if (textAsName) {
                if (auto* text = OdRxCast<OdDbText>(ent))
                    record->name = CString(text->textString().c_str());
                else if (auto* mtext = OdRxCast<OdDbMText>(ent))
                    record->name = CTextUtil::GetMTextWrapText(mtext, false);
            }
            if (record->peerId != 0) {
                out.push_back(record);
                if (OdRxCast<OdDbPoint>(ent))
                    SetLinkGroup(drawing->pointGroups, record->peerId, record, 0);
                else if (record->join && (OdRxCast<OdDbPolyline>(ent) || OdRxCast<OdDb3dPolyline>(ent)))
                    SetLinkGroup(drawing->pieceGroups, record->peerId, record, 0);
            }
            ent->close();
        }
        delete it;
    }
    model->close();
}
