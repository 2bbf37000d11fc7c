#include "exchange/velkobjtree.h"

#include <cstring>

#include "common/symboltable/layerutil.h"
#include "exchange/arxoperation.h"
#include "exchange/documentlock.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/exchangetext.h"
#include "oddbsymboltable.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "peer/peerstatus.h"

CVelkObjTree g_velkObjTree;
ObjPacketSender g_objPacketSender;

CString g_subFolderName;
CString g_searchName;
uint32_t g_searchAnswer = 0;
std::vector<PeerFolderItem> peerFolderList;

namespace {

const uint32_t kFolderItemSize = 108;

uint32_t ReadU32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

void DeleteNodes(VelkObjNode* node)
{
    while (node) {
        VelkObjNode* next = node->next;
        DeleteNodes(node->firstChild);
        delete node;
        node = next;
    }
}

}  // namespace

CVelkObjTree::~CVelkObjTree() { Clear(); }

void CVelkObjTree::Clear()
{
    DeleteNodes(first);
    first = nullptr;
}

VelkObjNode* CVelkObjTree::FindTop(const CString& name) const
{
    for (VelkObjNode* n = first; n; n = n->next)
        if (n->name == name) return n;
    return nullptr;
}

void CVelkObjTree::AppendTop(VelkObjNode* node)
{
    VelkObjNode** slot = &first;
    while (*slot) slot = &(*slot)->next;
    *slot = node;
}

void CVelkObjTree::AddNode(const CString& parentName, VelkObjNode* node)
{
    if (!node) return;
    node->next = nullptr;
    if (parentName.IsEmpty() || !first) {
        DeleteNodes(node);
        return;
    }
    VelkObjNode* parent = FindTop(parentName);
    if (!parent) {
        AppendTop(node);
        RegisterName(node->name, node->id, false);
        return;
    }
    VelkObjNode** slot = &parent->firstChild;
    for (; *slot; slot = &(*slot)->next) {
        if (node->id != 0 && (*slot)->name == node->name) {
            DeleteNodes(node);
            return;
        }
    }
    *slot = node;
    RegisterName(node->name, node->id, false);
}

void CVelkObjTree::RegisterName(const CString& name, uint32_t id, bool makeLayer)
{
    names.emplace(id, name);
    if (makeLayer) EnsureFolderLayer(name, id);
}

void ApplyFolderListAnswer(const uint8_t* bytes, uint32_t size)
{
    peerFolderList.clear();
    if (!bytes || size < 16) return;
    for (uint32_t at = 16; size - at >= kFolderItemSize; at += kFolderItemSize) {
        const uint8_t* item = bytes + at;
        if (ReadU32(item + 4) != kMapObjFolder) continue;
        PeerFolderItem f;
        f.id = ReadU32(item);
        f.name = Utf8FieldToCString((const char*)item + 8, kFolderItemSize - 8);
        peerFolderList.push_back(f);
    }
}

void ApplyFolderLookupAnswer(const uint8_t* bytes, uint32_t size)
{
    g_searchAnswer = 0;
    if (bytes && size >= 12 && bytes[2] == kMapObjFolder) g_searchAnswer = ReadU32(bytes + 8);
}

void ApplyFolderSearchAnswer(const uint8_t* bytes, uint32_t size)
{
    if (bytes && size >= sizeof(FolderSearchRequest) + 4) g_searchAnswer = ReadU32(bytes + sizeof(FolderSearchRequest));
}

void EnsureFolderLayer(const CString& name, uint32_t folderId)
{
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    OdDbLayerTable* table = nullptr;
    if (!db || db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    OdDbLayerTableRecord* layer = nullptr;
    if (table->has(name.GetString())) {
        if (table->getAt(name.GetString(), layer, OdDb::kForWrite) != eOk) layer = nullptr;
    } else {
        layer = new OdDbLayerTableRecord();
        if (layer->setName(name.GetString()) != eOk || table->add(layer) != eOk) {
            delete layer;
            layer = nullptr;
        }
    }
    if (layer) {
        MapObjInfo link;
        link.handle = layer->handle();
        link.peerId = folderId;
        link.name = name;
        WriteFolderLayerLink(layer, link);
        layer->close();
    }
    table->close();
}

void ArxOperation::RegisterPeerFolder(const CString& name, uint32_t id, bool makeLayer)
{
    if (!makeLayer) {
        g_velkObjTree.RegisterName(name, id, false);
        return;
    }
    DocumentWriteLock lock;
    g_velkObjTree.RegisterName(name, id, true);
}

uint32_t ArxOperation::GetLayerFolderId(const CString& layerName)
{
    OdDbObjectId layerId = CLayerUtil::GetLayerId(layerName.GetString(), false);
    if (layerId.isNull()) return 0;
    OdDbLayerTableRecord* layer = nullptr;
    if (oddbOpenObject(layer, layerId, OdDb::kForRead) != eOk) return 0;
    uint32_t result = 0;
    MapObjInfo* link = GetEntityLink(layer, true, false);
    if (link && link->peerId != 0) {
        g_searchAnswer = 0;
        int status = PeerApiGetObject(&g_peerApi, link->peerId, 0);
        ReportVelkMsgError(status, L"GetVelkObjErr:", false);
        result = g_searchAnswer;
    }
    // Without an active drawing the link belongs to no cache.
    if (!g_ptagDocIdManager) delete link;
    layer->close();
    return result;
}
