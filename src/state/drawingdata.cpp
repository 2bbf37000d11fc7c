#include "state/drawingdata.h"

#include <vector>

#include "base/md5.h"
#include "common/entity/entityutil.h"
#include "windows.h"

DrawingRecordMap drawingRecords;
CDrawingData* g_ptagDocIdManager = nullptr;

MapObjInfo::MapObjInfo(const MapObjInfo* source)
{
    if (!source) return;
    handle = source->handle;
    peerId = source->peerId;
    parentId = source->parentId;
    saved = source->saved;
    join = source->join;
    name = source->name;
    remark = source->remark;
    companion = source->companion;
    labelPos = source->labelPos;
    iconNumber = source->iconNumber;
    signFlag = source->signFlag;
    lineStyle = 0;
    opacity = 50;
}

uint64_t DrawingKeyFromName(const CString& name)
{
    std::vector<char> bytes;
    if (!name.IsEmpty()) {
        int n = WideCharToMultiByte(CP_THREAD_ACP, 0, name.GetString(), name.GetLength(), nullptr, 0, nullptr,
                                    nullptr);
        if (n > 0) {
            bytes.resize((size_t)n);
            n = WideCharToMultiByte(CP_THREAD_ACP, 0, name.GetString(), name.GetLength(), bytes.data(), n,
                                    nullptr, nullptr);
            bytes.resize(n > 0 ? (size_t)n : 0);
        }
    }
    Md5Digest digest;
    Md5Buffer(&digest, bytes.data(), (uint32_t)bytes.size());
    return Md5Key63(digest);
}

CDrawingData* GetDrawingData(DrawingRecordMap& records, const CString& name, const GcApDocument* document)
{
    CDrawingData*& slot = records[DrawingRecordKey{DrawingKeyFromName(name), document}];
    if (!slot) slot = new CDrawingData();
    return slot;
}

void RemoveDrawingData(DrawingRecordMap& records, const CString& name, const GcApDocument* document)
{
    auto it = records.find(DrawingRecordKey{DrawingKeyFromName(name), document});
    if (it == records.end()) return;
    if (g_ptagDocIdManager && g_ptagDocIdManager == it->second) g_ptagDocIdManager = nullptr;
    delete it->second;
    records.erase(it);
}

void ClearDrawingRecords(DrawingRecordMap& records)
{
    for (auto& e : records) {
        if (g_ptagDocIdManager && g_ptagDocIdManager == e.second) g_ptagDocIdManager = nullptr;
        delete e.second;
    }
    records.clear();
}

void SetEntityLink(LinkMap& map, uint64_t key, MapObjInfo* record, uint8_t savedFlag)
{
    if (record) record->saved = savedFlag;
    MapObjInfo*& slot = map[key];
    if (slot != record) delete slot;
    slot = record;
}

void UpdateEntityLink(CDrawingData* drawing, uint64_t handle, uint32_t peerId, bool join)
{
    if (!drawing) return;
    MapObjInfo*& slot = drawing->links[handle];
    if (!slot) {
        slot = new MapObjInfo();
        slot->handle = handle;
    }
    slot->peerId = peerId;
    slot->join = join ? 1 : 0;
    slot->saved = 0;
}

void RemoveEntityLink(CDrawingData* drawing, uint64_t handle)
{
    if (!drawing) return;
    auto it = drawing->links.find(handle);
    if (it == drawing->links.end()) return;
    delete it->second;
    drawing->links.erase(it);
}

MapObjInfo* FindEntityLink(const LinkMap& map, uint64_t key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}

void ClearEntityLinks(LinkMap& map)
{
    for (auto& e : map) delete e.second;
    map.clear();
}

int CountUnsavedLinks(const LinkMap& map)
{
    int n = 0;
    for (const auto& e : map)
        if (e.second && !e.second->saved) ++n;
    return n;
}

void SetPeerEntity(PeerEntityMap& map, uint32_t peerId, uint64_t handle) { map[peerId] = handle; }

void ErasePeerEntity(PeerEntityMap& map, uint32_t peerId) { map.erase(peerId); }

bool FindPeerEntity(const PeerEntityMap& map, uint32_t peerId, uint64_t& handle)
{
    handle = 0;
    auto it = map.find(peerId);
    if (it == map.end()) return false;
    handle = it->second;
    return true;
}

static MapObjGroup* FindGroup(GroupMap& map, uint32_t key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}

void SetLinkGroup(GroupMap& map, uint32_t key, const MapObjInfo* record, uint8_t markedFlag)
{
    if (!record) return;
    MapObjGroup*& slot = map[key];
    if (!slot) {
        slot = new MapObjGroup();
        slot->info = new MapObjInfo(record);
        slot->handles.push_back(record->handle);
        slot->marked = markedFlag;
        slot->saved = 0;
        return;
    }
    slot->handles.push_back(record->handle);
    slot->marked = markedFlag;
    slot->saved = 0;
    if (!slot->info) slot->info = new MapObjInfo(record);
}

void SetGroupInfo(GroupMap& map, uint32_t key, MapObjInfo* record)
{
    if (!record) return;
    MapObjGroup*& slot = map[key];
    if (!slot) slot = new MapObjGroup();
    if (slot->info != record) delete slot->info;
    slot->info = record;
}

MapObjInfo* SetGroupPeerId(GroupMap& map, uint32_t key, uint32_t newPeerId)
{
    MapObjGroup* g = FindGroup(map, key);
    if (!g || !g->info) return nullptr;
    g->info->peerId = newPeerId;
    return g->info;
}

void SetGroupHandles(GroupMap& map, uint32_t key, const std::vector<uint64_t>& handles)
{
    MapObjGroup* g = FindGroup(map, key);
    if (!g) return;
    g->handles = handles;
    delete g->info;
    g->info = nullptr;
    g->saved = 0;
}

bool MarkLinkGroup(GroupMap& map, uint32_t key, uint8_t flag)
{
    MapObjGroup* g = FindGroup(map, key);
    if (!g) return false;
    g->marked = flag;
    g->saved = 0;
    return true;
}

std::vector<GroupSendItem> CollectMarkedGroups(GroupMap& map)
{
    std::vector<GroupSendItem> items;
    for (auto& e : map) {
        MapObjGroup* g = e.second;
        if (!g || !g->marked || g->handles.empty()) continue;
        items.push_back(GroupSendItem{g->handles, e.first});
        g->marked = 0;
    }
    return items;
}

bool RekeyLinkGroup(GroupMap& map, uint32_t newId, uint32_t oldKey)
{
    auto it = map.find(oldKey);
    if (it == map.end() || !it->second) return false;
    MapObjGroup* old = it->second;
    for (uint64_t h : old->handles) UpdateEntityLink(g_ptagDocIdManager, h, newId, true);
    if (old->info) {
        old->info->join = 1;
        old->info->peerId = newId;
    }
    old->saved = 0;
    old->marked = 0;
    if (newId == oldKey) return true;
    // The group moves whole; a stale group left under the new id by an
    // earlier object of that id is dropped rather than leaked.
    map.erase(it);
    MapObjGroup*& slot = map[newId];
    delete slot;
    slot = old;
    return true;
}

void RemoveLinkGroup(GroupMap& map, uint32_t key)
{
    MapObjGroup* g = FindGroup(map, key);
    if (!g) return;
    const std::vector<uint64_t> handles = g->handles;
    for (uint64_t h : handles) {
        CEntityUtil::EraseByHandle(OdDbHandle(h));
        RemoveEntityLink(g_ptagDocIdManager, h);
    }
    g->handles.clear();
    delete g->info;
    g->info = nullptr;
}
