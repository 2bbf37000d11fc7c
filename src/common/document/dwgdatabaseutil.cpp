#include "common/document/dwgdatabaseutil.h"

#include <algorithm>

#include "afxmsgbox.h"
#include "gcdbutil.h"
#include "gcutprint.h"

namespace {

// Model space open in the given mode; the block table is closed again.
OdResult OpenModelSpace(OdDbDatabase* db, OdDb::OpenMode mode, OdDbBlockTableRecord*& ms)
{
    ms = nullptr;
    OdDbBlockTable* bt = nullptr;
    OdResult res = db->getBlockTable(bt, OdDb::kForRead);
    if (res != eOk) return res;
    res = bt->getAt(L"*Model_Space", ms, mode);
    bt->close();
    return res;
}

// Creates the layer with default properties when the database lacks it.
void AddMissingLayer(OdDbDatabase* db, const wchar_t* name)
{
    OdDbLayerTable* table = nullptr;
    if (db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    if (!table->has(name)) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(name);
        if (table->add(rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
}

uint8_t AlphaOfPercent(int32_t percent)
{
    double t = std::min(100, std::max(0, (int)percent));
    return (uint8_t)(int)(254.0 * t / 100.0 + 0.5);
}

}  // namespace

OdDbObjectId CDwgDatabaseUtil::PostToModelSpace(OdDbEntity* ent, const EntityProps& props, OdDbDatabase* db)
{
    if (!db) {
        delete ent;
        return OdDbObjectId();
    }
    if (props.byLayer) ent->setColorIndex(256, true);
    else ent->setColor(props.color, true);

    OdDbBlockTableRecord* ms = nullptr;
    OdResult res = OpenModelSpace(db, OdDb::kForWrite, ms);
    if (res != eOk) {
        CString msg;
        msg.Format(L"GetModelSpace ErrorCode:%d", (int)res);
        AfxMessageBox(msg, MB_OK);
        delete ent;
        return OdDbObjectId();
    }
    OdDbObjectId id;
    if (OdResult appended = ms->appendOdDbEntity(id, ent)) {
        gcutPrintf(L"\nCDwgDatabaseUtil::PostToModelSpace中添加实体失败(错误代码:%d).", (int)appended);
        ms->close();
        delete ent;
        return OdDbObjectId();
    }

    if (!props.layer.IsEmpty() && ent->setLayer(props.layer, true, false) == eKeyNotFound) {
        AddMissingLayer(db, props.layer);
        ent->setLayer(props.layer, true, false);
    }
    if (ent->setLinetype(props.linetype, true) != eOk &&
        gcdbLoadLineTypeFile(props.linetype, L"ACADISO.LIN", db) == 0)
        ent->setLinetype(props.linetype, true);
    ent->setTransparency(OdCmTransparency::fromSerialized(0x02000000u | AlphaOfPercent(props.transparency)), true);

    ms->close();
    ent->close();
    return id;
}

OdDbObjectIdArray CDwgDatabaseUtil::GetAllEntityIds(const wchar_t* layerName, OdDbDatabase* db)
{
    OdDbObjectIdArray ids;
    if (!db) return ids;
    OdDbObjectId layerId;
    if (layerName) {
        OdDbLayerTable* table = nullptr;
        if (db->getLayerTable(table, OdDb::kForRead) != eOk) return ids;
        OdResult res = table->getAt(layerName, layerId);
        table->close();
        if (res != eOk) return ids;
    }
    OdDbBlockTableRecord* ms = nullptr;
    if (OpenModelSpace(db, OdDb::kForRead, ms) != eOk) return ids;
    OdDbBlockTableRecordIterator* it = nullptr;
    ms->newIterator(it, true, true);
    for (it->start(true, true); !it->done(); it->step(true, true)) {
        OdDbEntity* ent = nullptr;
        OdResult res = it->getEntity(ent, OdDb::kForRead, false);
        if (res != eOk) {
            gcutPrintf(L"\nCDwgDatabaseUtil::GetAllEntityIds中打开实体失败(错误代码:%d).", (int)res);
            continue;
        }
        if (!layerName || ent->layerId() == layerId) ids.append(ent->objectId());
        ent->close();
    }
    delete it;
    ms->close();
    return ids;
}

OdDbExtents CDwgDatabaseUtil::GetModelSpaceExtent(OdDbDatabase* db)
{
    OdDbExtents ext;
    if (!db) return ext;
    OdDbBlockTableRecord* ms = nullptr;
    OdResult res = OpenModelSpace(db, OdDb::kForRead, ms);
    if (res == eOk) {
        res = ext.addBlockExt(ms);
        ms->close();
    }
    if (res == eOk) return ext;
    OdDbObjectIdArray ids = GetAllEntityIds(nullptr, db);
    for (const auto& id : ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        OdGeExtents3d e;
        if (ent->getGeomExtents(e) == eOk) ext.addExt(e);
        ent->close();
    }
    return ext;
}
