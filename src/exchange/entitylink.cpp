#include "exchange/entitylink.h"

#include <cwchar>

#include "common/entity/entityutil.h"
#include "oddbdatabase.h"
#include "oddbdictionary.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "state/drawingdata.h"
#include "state/peerstatus.h"
#include "state/settings.h"

const wchar_t* const kLinkXrecordKey = L"VelkArx";
const int EntityLinkXrecord::kGroupCodes[EntityLinkXrecord::kItemCount] = {1, 1, 1, 1, 90, 90, 90, 90, 40, 40, 40, 40};

namespace {

const int kRemarkLimit = 6000;

OdResBuf* BuildChain(uint32_t peerId, const CString& name, const CString& remark, int32_t join, int32_t companion,
                     int32_t icon, double x, double y)
{
    wchar_t id[16];
    swprintf(id, 16, L"%u", peerId);
    CString cut = remark.GetLength() > kRemarkLimit ? remark.Left(kRemarkLimit) : remark;
    const OdString texts[4] = {OdString(id), OdString(name.GetString()), OdString(cut.GetString()), OdString()};
    const int32_t numbers[4] = {join, companion, icon, 0};
    const double reals[4] = {x, y, 0.0, 0.0};
    OdResBuf* head = nullptr;
    OdResBuf* tail = nullptr;
    for (int i = 0; i < EntityLinkXrecord::kItemCount; ++i) {
        int code = EntityLinkXrecord::kGroupCodes[i];
        OdResBuf* rb = i < 4 ? OdResBuf::newRb(code, texts[i])
                       : i < 8 ? OdResBuf::newRb(code, numbers[i - 4])
                               : OdResBuf::newRb(code, reals[i - 8]);
        if (!head) head = rb;
        else tail->setNext(rb);
        tail = rb;
    }
    return head;
}

OdDbDatabase* DatabaseOf(const OdDbObject* o)
{
    OdDbDatabase* db = o ? o->database() : nullptr;
    return db ? db : oddbHostApplicationServices()->workingDatabase();
}

// Reads the Xrecord of an open object into the record; nothing when it has
// none.
// eOk also when there is no link to read; the status of the open that
// failed otherwise.
OdResult ReadXrecordInto(const OdDbObject* holder, MapObjInfo& record)
{
    OdDbObjectId dictId = holder->extensionDictionary();
    if (dictId.isNull()) return eOk;
    OdDbDictionary* dict = nullptr;
    if (OdResult res = oddbOpenObject(dict, dictId, OdDb::kForRead)) return res;
    OdDbXrecord* xrec = nullptr;
    OdResBuf* chain = nullptr;
    OdResult res = dict->getAt(kLinkXrecordKey, xrec, OdDb::kForRead);
    if (res == eOk) {
        chain = xrec->rbChain();
        xrec->close();
    }
    dict->close();
    if (chain) ReadLinkChain(chain, holder, record);
    OdResBuf::releaseChain(chain);
    return res == eKeyNotFound ? eOk : res;
}

// Stores the chain under "VelkArx" in the object's extension dictionary;
// false when it could not.
bool WriteChain(OdDbObject* holder, const OdResBuf* chain)
{
    holder->createExtensionDictionary();
    OdDbDictionary* dict = nullptr;
    if (oddbOpenObject(dict, holder->extensionDictionary(), OdDb::kForWrite) != eOk) return false;
    OdDbXrecord* xrec = nullptr;
    if (dict->getAt(kLinkXrecordKey, xrec, OdDb::kForWrite) != eOk) {
        xrec = new OdDbXrecord();
        OdDbObjectId id;
        if (dict->setAt(kLinkXrecordKey, xrec, id) != eOk) {
            delete xrec;
            xrec = nullptr;
        }
    }
    dict->close();
    if (!xrec) return false;
    xrec->setFromRbChain(chain);
    xrec->close();
    return true;
}

// Where a text anchored by its alignment sits beside the icon at `p`.
OdGePoint3d TextAnchorBesideIcon(const OdDbText* text, const OdGePoint3d& p, int level)
{
    const double half = level / 2;
    const int h = text->horizontalMode(), v = text->verticalMode();
    if ((h == OdDb::kTextRight) && (v == OdDb::kTextTop || v == OdDb::kTextBottom))
        return OdGePoint3d(p.x - half, p.y + half, p.z);
    if (h == OdDb::kTextCenter && v == OdDb::kTextBottom) return OdGePoint3d(p.x, p.y + level, p.z);
    if (h == OdDb::kTextCenter && v == OdDb::kTextTop) return p;
    return OdGePoint3d(p.x + half, p.y + half, p.z);
}

}  // namespace

OdResBuf* BuildLinkChain(const MapObjInfo& r)
{
    int32_t join = r.join ? 1 : 0;
    if (r.iconNumber >= 1)
        return BuildChain(r.peerId, r.name, r.remark, join, (int32_t)(uint32_t)r.companion, r.iconNumber,
                          r.labelPos.x, r.labelPos.y);
    if (r.companion != 0)
        return BuildChain(r.peerId, r.name, r.remark, join, (int32_t)(uint32_t)r.companion, r.iconNumber, 0.0, 0.0);
    return BuildChain(r.peerId, r.name, r.remark, join, 0, 0, 0.0, 0.0);
}

OdResBuf* BuildFolderLayerChain(const MapObjInfo& r)
{
    return BuildChain(r.peerId, r.name, CString(), 0, 0, 0, 0.0, 0.0);
}

void ReadLinkChain(const OdResBuf* chain, const OdDbObject* holder, MapObjInfo& record)
{
    const OdResBuf* rb = chain;
    if (!rb) return;
    // Item 1: the id as signed decimal text; its low 32 bits.
    OdString idText = rb->getString();
    record.peerId = (uint32_t)(uint64_t)wcstoll(idText.c_str(), nullptr, 10);
    if (!(rb = rb->next())) return;
    record.name = CString(rb->getString().c_str());
    if (!(rb = rb->next())) return;
    record.remark = CString(rb->getString().c_str());
    if (!(rb = rb->next())) return;  // item 4 is not read
    if (!(rb = rb->next())) return;
    if (rb->getInt32() % 10 == 1) record.join = 1;
    const OdString cls = holder ? holder->isA()->name() : OdString();
    bool text = cls == L"AcDbText" || cls == L"AcDbMText";
    if (!text && !(cls == L"AcDbRasterImage")) return;
    if (!(rb = rb->next())) return;
    // The companion's low 32 bits are stored; read back without a sign.
    record.companion = (uint64_t)(uint32_t)rb->getInt32();
    if (!(rb = rb->next())) return;
    record.iconNumber = rb->getInt32();
    if (!text) return;
    if (!(rb = rb->next())) return;  // item 8 is not read
    if (!(rb = rb->next())) return;
    double x = rb->getDouble();
    if (!(rb = rb->next())) return;
    record.labelPos = OdGePoint3d(x, rb->getDouble(), 0.0);
}

MapObjInfo* GetEntityLink(OdDbObject* entity, bool useCache, bool cacheOnly, OdResult* readStatus)
{
    if (!entity) return nullptr;
    uint64_t handle = entity->handle();
    if (g_ptagDocIdManager && useCache) {
        if (MapObjInfo* hit = FindEntityLink(g_ptagDocIdManager->links, handle)) return hit;
    }
    if (cacheOnly) return nullptr;
    auto* record = new MapObjInfo();
    record->handle = handle;
    OdResult read = ReadXrecordInto(entity, *record);
    if (readStatus) *readStatus = read;
    if (read != eOk && readStatus) {
        delete record;
        return nullptr;
    }
    if (useCache && g_ptagDocIdManager) SetEntityLink(g_ptagDocIdManager->links, handle, record, 1);
    return record;
}

MapObjInfo* ReadEntityLink(OdDbObjectId id)
{
    // A read open does: a write open would be refused on a locked layer.
    OdDbEntity* ent = nullptr;
    if (oddbOpenObject(ent, id, OdDb::kForRead) != eOk) return nullptr;
    MapObjInfo* record = nullptr;
    OdDbObjectId dictId = ent->extensionDictionary();
    OdDbDictionary* dict = nullptr;
    if (!dictId.isNull() && oddbOpenObject(dict, dictId, OdDb::kForRead) == eOk) {
        dict->close();
        record = new MapObjInfo();
        record->handle = ent->handle();
        ReadXrecordInto(ent, *record);
    }
    ent->close();
    return record;
}

int WriteEntityLink(OdDbEntity* entity, MapObjInfo record)
{
    if (!entity) return 0;
    DatabaseOf(entity)->newRegApp(kLinkXrecordKey);
    if (!record.name.IsEmpty() && record.nameEdited) {
        if (auto* text = OdRxCast<OdDbText>(entity))
            text->setTextString(record.name.GetString());
        else if (auto* mtext = OdRxCast<OdDbMText>(entity))
            mtext->setContents(record.name.GetString());
    }
    OdResBuf* chain = BuildLinkChain(record);
    bool written = WriteChain(entity, chain);
    OdResBuf::releaseChain(chain);
    return written ? 1 : 0;
}

int WriteEntityLinkOf(MapObjInfo record, OdDbDatabase* db)
{
    OdDbObjectId id;
    if (!db) id = CEntityUtil::HandleToObjectId(OdDbHandle(record.handle));
    else if (db->getOdDbObjectId(id, false, OdDbHandle(record.handle)) != eOk) id.setNull();
    if (id.isNull()) return 0;
    // A layer's folder link is kept among the entities' links and goes into
    // the layer as its folder link.
    OdDbObject* object = nullptr;
    if (oddbOpenObject(object, id, OdDb::kForWrite) != eOk) return 0;
    int written = 0;
    if (auto* ent = OdRxCast<OdDbEntity>(object)) written = WriteEntityLink(ent, record);
    else if (auto* layer = OdRxCast<OdDbLayerTableRecord>(object)) written = WriteFolderLayerLink(layer, record);
    object->close();
    return written;
}

int WriteFolderLayerLink(OdDbLayerTableRecord* layer, MapObjInfo record)
{
    if (!layer) return 0;
    DatabaseOf(layer)->newRegApp(kLinkXrecordKey);
    OdResBuf* chain = BuildFolderLayerChain(record);
    bool written = WriteChain(layer, chain);
    OdResBuf::releaseChain(chain);
    return written ? 1 : 0;
}

bool UpdateLinkedTextEntity(int64_t handle, const OdGePoint3d& point)
{
    OdDbObjectId id = CEntityUtil::HandleToObjectId(OdDbHandle((uint64_t)handle));
    OdDbEntity* entity = nullptr;
    if (id.isNull() || oddbOpenObject(entity, id, OdDb::kForWrite) != eOk) return false;
    if (auto* text = OdRxCast<OdDbText>(entity))
        text->setAlignmentPoint(TextAnchorBesideIcon(text, point, g_settings.textLevelMetres));
    MapObjInfo* link = GetEntityLink(entity, true, false);
    if (link) {
        // The active drawing's cache keeps the link; without one it is ours.
        bool cached = g_ptagDocIdManager && FindEntityLink(g_ptagDocIdManager->links, link->handle) == link;
        link->labelPos = point;
        WriteEntityLink(entity, *link);
        link->saved = 1;
        if (!cached) delete link;
    }
    entity->close();
    return true;
}

void DeletePeerObjectOfEntity(uint64_t handle) { DeletePeerObjectOfEntity(handle, g_ptagDocIdManager); }

void DeletePeerObjectOfEntity(uint64_t handle, const CDrawingData* drawing)
{
    if (!drawing) return;
    MapObjInfo* r = FindEntityLink(drawing->links, handle);
    if (!r || r->peerId == 0) return;
    uint32_t id = r->peerId;
    int status = PeerApiDeleteObjects(&g_peerApi, &id, 1, false, false);
    ReportVelkMsgError(status, L"DelVelkObjErr:", false);
}
