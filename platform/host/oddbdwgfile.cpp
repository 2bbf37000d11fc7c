// Drawing files and copying blocks between databases.
#include <filesystem>

#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "standin_control.h"

namespace {

// The entity's layer name in its own database.
OdString LayerName(const OdDbEntity* ent) { return ent->layer(); }

void EnsureLayer(OdDbDatabase* db, const OdString& name)
{
    OdDbLayerTable* table = nullptr;
    if (name.isEmpty() || db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    if (!table->has(name)) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(name);
        if (table->add(rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
}

// Appends copies of the block's live entities to the target block.
OdResult CopyEntities(const OdDbBlockTableRecord* from, OdDbBlockTableRecord* to)
{
    OdDbDatabase* db = to->database();
    for (const auto& id : from->entityIds()) {
        if (id.isErased()) continue;
        auto* ent = OdRxCast<OdDbEntity>(id.stub()->object);
        OdDbEntity* copy = ent ? ent->clone() : nullptr;
        if (!copy) continue;
        OdString layer = LayerName(ent);
        EnsureLayer(db, layer);
        OdDbObjectId newId;
        OdResult res = to->appendOdDbEntity(newId, copy);
        if (res != eOk) {
            delete copy;
            return res;
        }
        if (!layer.isEmpty()) copy->setLayer(layer);
        copy->close();
    }
    return eOk;
}

}  // namespace

OdResult OdDbDatabase::readDwgFile(const wchar_t* fileName, int, bool, const wchar_t*)
{
    std::error_code ec;
    if (!fileName || !std::filesystem::is_regular_file(standin::NativePath(fileName), ec)) return eFileNotFound;
    return eNotImplemented;
}

OdResult OdDbDatabase::wblock(OdDbDatabase*& output, OdDbObjectId blockId)
{
    output = nullptr;
    OdDbBlockTableRecord* block = nullptr;
    OdResult res = oddbOpenObject(block, blockId, OdDb::kForRead);
    if (res != eOk) return res;
    auto* db = new OdDbDatabase(true);
    OdDbBlockTableRecord* ms = nullptr;
    res = oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite);
    if (res == eOk) {
        res = CopyEntities(block, ms);
        ms->close();
    }
    block->close();
    if (res != eOk) {
        delete db;
        return res;
    }
    output = db;
    return eOk;
}

OdResult OdDbDatabase::insert(OdDbObjectId& blockId, const wchar_t* name, OdDbDatabase* source, bool)
{
    blockId = OdDbObjectId();
    if (!source || !name || !*name || source == this) return eInvalidInput;
    OdDbBlockTableRecord* from = nullptr;
    OdResult res = oddbOpenObject(from, source->getModelSpaceId(), OdDb::kForRead);
    if (res != eOk) return res;
    OdDbBlockTable* table = nullptr;
    res = getBlockTable(table, OdDb::kForWrite);
    if (res == eOk) {
        OdDbObjectId old;
        if (table->getAt(name, old) == eOk) {
            OdDbObject* rec = nullptr;
            if (oddbOpenObject(rec, old, OdDb::kForWrite) == eOk) {
                rec->erase();
                rec->close();
            }
        }
        auto* block = new OdDbBlockTableRecord();
        block->setName(name);
        res = table->add(blockId, block);
        if (res == eOk) {
            res = CopyEntities(from, block);
            block->close();
        } else {
            delete block;
        }
        table->close();
    }
    from->close();
    return res;
}
