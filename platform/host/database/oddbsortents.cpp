#include "oddbsortents.h"

#include <algorithm>
#include <set>

#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "hostdb_control.h"

ODRX_DEFINE_MEMBERS(OdDbSortentsTable, OdDbObject, L"AcDbSortentsTable")

OdResult OdDbSortentsTable::setBlockId(OdDbObjectId id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    block_ = id;
    return eOk;
}

OdResult OdDbSortentsTable::getFullDrawOrder(OdDbObjectIdArray& ids) const
{
    ids.clear();
    auto* btr = block_.isValid() ? OdRxCast<OdDbBlockTableRecord>(block_.stub()->object) : nullptr;
    if (!btr) return eInvalidInput;
    // Sets, not searches: a drawing's model space may hold many entities.
    std::set<OdDbObjectId> inBlock(btr->entityIds().begin(), btr->entityIds().end());
    std::set<OdDbObjectId> placed;
    for (const auto& id : order_)
        if (!id.isErased() && inBlock.count(id) && placed.insert(id).second) ids.append(id);
    for (const auto& id : btr->entityIds())
        if (!id.isErased() && !placed.count(id)) ids.append(id);
    return eOk;
}

OdResult OdDbSortentsTable::move(const OdDbObjectIdArray& ids, bool toBottom)
{
    if (!isWriteEnabled()) return eNotOpenForWrite;
    if (int s = standin::TakeHostFault(toBottom ? "moveToBottom" : "moveToTop")) return (OdResult)s;
    OdDbObjectIdArray all;
    OdResult res = getFullDrawOrder(all);
    if (res != eOk) return res;
    for (const auto& id : ids)
        if (!all.contains(id)) return eInvalidInput;
    OdDbObjectIdArray moved, rest;
    for (const auto& id : all) (ids.contains(id) ? moved : rest).append(id);
    assertWriteEnabled();
    order_ = toBottom ? moved.append(rest) : rest.append(moved);
    return eOk;
}

OdResult OdDbSortentsTable::moveToBottom(const OdDbObjectIdArray& ids) { return move(ids, true); }
OdResult OdDbSortentsTable::moveToTop(const OdDbObjectIdArray& ids) { return move(ids, false); }

OdResult OdDbBlockTableRecord::getSortentsTable(OdDbSortentsTable*& table, OdDb::OpenMode mode,
                                                bool createIfNotFound)
{
    table = nullptr;
    if (isNewObject()) return eNotInDatabase;
    OdDbObjectId xdict = extensionDictionary();
    if (xdict.isNull()) {
        if (!createIfNotFound) return eKeyNotFound;
        if (OdResult res = createExtensionDictionary()) return res;
        xdict = extensionDictionary();
    }
    OdDbDictionary* dict = nullptr;
    OdResult res = oddbOpenObject(dict, xdict, createIfNotFound ? OdDb::kForWrite : OdDb::kForRead);
    if (res != eOk) return res;
    OdDbObjectId id;
    if (dict->getAt(L"ACAD_SORTENTS", id) != eOk) {
        if (!createIfNotFound) {
            dict->close();
            return eKeyNotFound;
        }
        auto* st = new OdDbSortentsTable();
        res = dict->setAt(L"ACAD_SORTENTS", st, id);
        if (res != eOk) {
            delete st;
            dict->close();
            return res;
        }
        st->setBlockId(objectId());
        st->close();
    }
    dict->close();
    return oddbOpenObject(table, id, mode);
}
