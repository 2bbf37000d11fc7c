#include "exchange/velkobjtree.h"

#include <cstring>

#include "common/symboltable/layerutil.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/exchangetext.h"
#include "oddbsymboltable.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "state/documentlock.h"
#include "state/peerstatus.h"

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
    // Without its parent cached the node's level is unknown: filed at the
    // top, a layer folder would pass for a drawing folder and a later walk
    // would make a folder of its name there. EnsurePath finds it instead.
    VelkObjNode* parent = FindTop(parentName);
    if (!parent) {
        DeleteNodes(node);
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

namespace {

const wchar_t kWorkspaceName[] = L"CAD工作空间";

}  // namespace

int ObjPacketSender::SendFolder(uint32_t objectId, const FolderRecord* record, uint32_t parentId, uint32_t& newId,
                                bool topLevel)
{
    int64_t answer = 0;
    int status = PeerApiUploadFolder(&g_peerApi, objectId, record, &answer, parentId, topLevel ? 1 : 0);
    ReportVelkMsgError(status, L"", true);
    newId = status >= 0 ? (uint32_t)answer : 0;
    return status;
}

uint32_t CVelkObjTree::Search(const CString& name, uint32_t parentId, bool create)
{
    g_searchName = name;
    g_searchAnswer = 0;
    FolderSearchRequest request{};
    request.five = 5;
    request.kind = kMapObjFolder;
    request.parentId = parentId;
    request.one = 1;
    CStringToUtf8Field(name, request.name, sizeof request.name);
    int status = PeerApiSearchObject(&g_peerApi, (const uint8_t*)&request);
    if (status < 0) {
        ReportVelkMsgError(status, L"SrhVelkObjErr:", true);
        return 0;
    }
    if (g_searchAnswer != 0) return g_searchAnswer;
    // The workspace folder itself is gone: nothing cached below it holds.
    if (parentId == 0) Clear();
    if (!create) return 0;
    FolderRecord* record = NewFolderRecord(&g_peerApi);
    if (!record) return 0;
    CStringToUtf8Field(name, record->name, sizeof record->name);
    uint32_t newId = 0;
    status = g_objPacketSender.SendFolder(0, record, parentId, newId, parentId == 0);
    FreeMapObjRecord(&g_peerApi, record, kMapObjFolder);
    // The caller files the folder where it belongs.
    return status < 0 ? 0 : newId;
}

VelkObjNode* CVelkObjTree::CreateFolder(uint32_t parentId, const CString& name)
{
    FolderRecord* record = NewFolderRecord(&g_peerApi);
    if (!record) return nullptr;
    CStringToUtf8Field(name, record->name, sizeof record->name);
    uint32_t newId = 0;
    int status = g_objPacketSender.SendFolder(0, record, parentId, newId, false);
    FreeMapObjRecord(&g_peerApi, record, kMapObjFolder);
    if (status < 0 || newId == 0) return nullptr;
    auto* node = new VelkObjNode();
    node->name = name;
    node->id = newId;
    return node;
}

VelkObjNode* CVelkObjTree::Obtain(uint32_t parentId, const CString& name)
{
    // A folder made by an earlier search is in the peer but not cached:
    // look before making a second one.
    uint32_t id = Search(name, parentId, false);
    if (id == 0) return CreateFolder(parentId, name);
    auto* node = new VelkObjNode();
    node->name = name;
    node->id = id;
    return node;
}

bool CVelkObjTree::ListFolder(uint32_t folderId, const wchar_t* tag)
{
    // A missing or empty answer must not leave the previous folder's list.
    peerFolderList.clear();
    int status = PeerApiGetObjList(&g_peerApi, folderId);
    if (status < 0) {
        ReportVelkMsgError(status, tag, true);
        return false;
    }
    return true;
}

bool CVelkObjTree::Load()
{
    if (first) return true;
    workspaceId = Search(kWorkspaceName, 0, true);
    if (workspaceId == 0) return false;
    RegisterName(kWorkspaceName, workspaceId, false);
    if (!ListFolder(workspaceId, L"GetVelkObjListErr:")) return false;
    const std::vector<PeerFolderItem> tops = peerFolderList;
    for (const PeerFolderItem& item : tops) {
        RegisterName(item.name, item.id, false);
        auto* node = new VelkObjNode();
        node->name = item.name;
        node->id = item.id;
        AppendTop(node);
    }
    for (VelkObjNode* top = first; top; top = top->next) {
        if (!ListFolder(top->id, L"GetVelkObjListErr::")) return false;
        VelkObjNode** slot = &top->firstChild;
        while (*slot) slot = &(*slot)->next;
        for (const PeerFolderItem& item : peerFolderList) {
            RegisterName(item.name, item.id, false);
            auto* child = new VelkObjNode();
            child->name = item.name;
            child->id = item.id;
            *slot = child;
            slot = &child->next;
        }
    }
    return true;
}

uint32_t CVelkObjTree::EnsurePath(const CString& folder, const CString& sub, bool create)
{
    workspaceId = Search(kWorkspaceName, 0, true);
    if (workspaceId == 0) return 0;
    if (folder.IsEmpty() || sub.IsEmpty()) return workspaceId;
    if (!first && !Load()) return 0;
    if (!first) {
        // An empty cache gets both folders, whatever `create` says.
        first = Obtain(workspaceId, folder);
        if (!first) return 0;
        first->firstChild = Obtain(first->id, sub);
        RegisterName(first->name, first->id, false);
        if (!first->firstChild) return 0;
        RegisterName(sub, first->firstChild->id, false);
        return first->firstChild->id;
    }
    VelkObjNode* last = nullptr;
    for (VelkObjNode* node = first; node; node = node->next) {
        last = node;
        // Every visit refreshes the cached id from the peer. A folder on
        // another path that the peer no longer has neither ends the walk
        // nor is made again: only the path asked for is.
        const bool onPath = node->name == folder;
        node->id = Search(node->name, workspaceId, onPath && create);
        if (!onPath) continue;
        if (node->id == 0) return 0;
        VelkObjNode* lastChild = nullptr;
        for (VelkObjNode* child = node->firstChild; child; child = child->next) {
            lastChild = child;
            const bool isSub = child->name == sub;
            child->id = Search(child->name, node->id, isSub && create);
            if (isSub) return child->id;
        }
        if (!create) return 0;
        VelkObjNode* made = Obtain(node->id, sub);
        if (!made) return 0;
        (lastChild ? lastChild->next : node->firstChild) = made;
        RegisterName(sub, made->id, false);
        return made->id;
    }
    if (!create) return 0;
    VelkObjNode* top = Obtain(workspaceId, folder);
    if (!top) return 0;
    last->next = top;
    RegisterName(folder, top->id, false);
    top->firstChild = Obtain(top->id, sub);
    if (!top->firstChild) return 0;
    RegisterName(sub, top->firstChild->id, false);
    return top->firstChild->id;
}
