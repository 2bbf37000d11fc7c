#include "common/symboltable/layerutil.h"

#include <cassert>

#include "gcedinput.h"

namespace {
OdDbDatabase* WorkingDb() { return oddbHostApplicationServices()->workingDatabase(); }

OdCmColor IndexColor(int colorIndex)
{
    OdCmColor color;
    color.setColorIndex((int16_t)colorIndex);
    return color;
}
}  // namespace

void CLayerUtil::Add(const wchar_t* layerName, int colorIndex)
{
    assert(layerName != NULL);
    assert(colorIndex >= 1 && colorIndex <= 255);
    OdDbDatabase* db = WorkingDb();
    if (!layerName || colorIndex < 1 || colorIndex > 255 || !db) return;
    OdDbLayerTable* table = nullptr;
    if (db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    if (!table->has(layerName)) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(layerName);
        rec->setColor(IndexColor(colorIndex));
        if (table->add(rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
}

OdDbObjectId CLayerUtil::GetLayerId(const wchar_t* layerName, bool create)
{
    OdDbObjectId id;
    OdDbDatabase* db = WorkingDb();
    if (!db) return id;
    if (!layerName) return db->clayer();
    OdDbLayerTable* table = nullptr;
    if (db->getLayerTable(table, create ? OdDb::kForWrite : OdDb::kForRead) != eOk) return id;
    if (table->getAt(layerName, id) != eOk && create) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(layerName);
        if (table->add(id, rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
    return id;
}

int CLayerUtil::SetColor(const wchar_t* layerName, int colorIndex)
{
    if (colorIndex < 1 || colorIndex > 255) return 0;
    OdDbLayerTableRecord* rec = nullptr;
    if (oddbOpenObject(rec, GetLayerId(layerName, false), OdDb::kForWrite) != eOk) return 0;
    rec->setColor(IndexColor(colorIndex));
    rec->close();
    return 1;
}

void CLayerUtil::GetLayerList(OdDbObjectIdArray& ids)
{
    OdDbDatabase* db = WorkingDb();
    OdDbLayerTable* table = nullptr;
    if (!db || db->getLayerTable(table, OdDb::kForRead) != eOk) return;
    OdDbLayerTableIterator* it = nullptr;
    table->newIterator(it, true, true);
    for (it->start(true, true); !it->done(); it->step(true, true)) {
        OdDbLayerTableRecord* rec = nullptr;
        if (it->getRecord(rec, OdDb::kForRead) != eOk) continue;
        ids.append(rec->objectId());
        rec->close();
    }
    delete it;
    table->close();
}

int CLayerUtil::SetCurrent(const wchar_t* layerName, OdDbDatabase* db)
{
    if (!db) db = WorkingDb();
    OdDbSymbolTableRecordPointer<OdDbLayerTableRecord> rec(layerName, db, OdDb::kForRead);
    if (rec.openStatus() != eOk) return rec.openStatus();
    return db->setClayer(rec->objectId());
}

int CLayerUtil::GetEntitiesOnLayer(const wchar_t* layerName, OdDbObjectIdArray& ids)
{
    resbuf* filter = gcutBuildList(8, layerName, 0);
    ads_name ss;
    int32_t n = 0;
    // A failed selection made no set: there is nothing to free then.
    if (gcedSSGet(L" X ", nullptr, nullptr, filter, ss) == RTNORM) {
        gcedSSLength(ss, &n);
        for (int32_t i = 0; i < n; ++i) {
            ads_name ent;
            OdDbObjectId id;
            if (gcedSSName(ss, i, ent) == RTNORM && oddbGetObjectId(id, ent) == eOk) ids.append(id);
        }
        gcedSSFree(ss);
    }
    gcutRelRb(filter);
    return n > 0 ? 0 : 5;
}

void CLayerUtil::Erase(OdDbObjectId id)
{
    OdDbObject* obj = nullptr;
    if (oddbOpenObject(obj, id, OdDb::kForWrite) != eOk) return;
    obj->erase(true);
    obj->close();
}
