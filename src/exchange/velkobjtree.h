// The cache of the peer's folder tree below "CAD工作空间": one folder per
// drawing and, inside it, one folder per layer, with their peer ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "afxstr.h"
#include "peer/maprecords.h"

// One cached folder. Top-level nodes are drawing folders, their children
// layer folders; there is no third level.
struct VelkObjNode {
    CString name;
    uint32_t id = 0;
    VelkObjNode* next = nullptr;        // next sibling
    VelkObjNode* firstChild = nullptr;
};

// The payload of request 20107, a search for a folder by name below a parent.
struct FolderSearchRequest {
    uint32_t zero0;        // 0
    uint32_t five;         // 4: 5
    uint32_t kind;         // 8: 30
    uint32_t parentId;     // 12: 0 for the top of the peer's tree
    uint32_t zero16;       // 16
    uint8_t one;           // 20: 1
    uint8_t zero21[7];
    char name[100];        // 28: UTF-8, at most 99 bytes
    uint8_t zero128[404];
};
static_assert(sizeof(FolderSearchRequest) == 532 && offsetof(FolderSearchRequest, parentId) == 12 &&
                  offsetof(FolderSearchRequest, one) == 20 && offsetof(FolderSearchRequest, name) == 28 &&
                  offsetof(FolderSearchRequest, zero128) == 128,
              "folder search layout");

// The folder packet of request 20102.
struct FolderPacket {
    uint16_t magic;        // 0: 101
    uint8_t kind;          // 2: 30
    uint8_t zero3;
    uint32_t parentId;     // 4: 1 when both this and the object id are 0
    uint32_t objectId;     // 8: 0 creates a new folder
    uint32_t topLevel;     // 12: 1 at the top of the peer's tree
    FolderRecord record;   // 16
};
static_assert(sizeof(FolderPacket) == 192 && offsetof(FolderPacket, record) == 16, "folder packet layout");

class CVelkObjTree {
public:
    CVelkObjTree() = default;
    CVelkObjTree(const CVelkObjTree&) = delete;
    CVelkObjTree& operator=(const CVelkObjTree&) = delete;
    ~CVelkObjTree();

    // The id of the folder of that name below the parent (asking the peer),
    // created when missing and asked to; 0 for none.
    uint32_t Search(const CString& name, uint32_t parentId, bool create);
    // A new folder in the peer as a node not yet in the cache; null on failure.
    VelkObjNode* CreateFolder(uint32_t parentId, const CString& name);
    // The id of "CAD工作空间"/folder/sub, 0 for none.
    uint32_t EnsurePath(const CString& folder, const CString& sub, bool create);
    // Fills the cache from the peer when it is empty.
    bool Load();
    // Files the node below the top-level node of that name; nothing is
    // filed when that node is not cached. The tree owns the node; one it
    // does not add is freed.
    void AddNode(const CString& parentName, VelkObjNode* node);
    // Remembers the name of a folder id (the first one stays); with
    // makeLayer the CAD layer of the folder is made and linked.
    void RegisterName(const CString& name, uint32_t id, bool makeLayer);
    // Deletes every node.
    void Clear();
    const std::map<uint32_t, CString>& GetNames() const { return names; }

    VelkObjNode* first = nullptr;
    std::map<uint32_t, CString> names;
    uint32_t workspaceId = 0;

private:
    VelkObjNode* FindTop(const CString& name) const;
    void AppendTop(VelkObjNode* node);
    // The folder of that name below the parent as a new node: the one the
    // peer has, or a new one; null when neither.
    VelkObjNode* Obtain(uint32_t parentId, const CString& name);
    // Fills `list` from a 20100 answer for the folder; false on failure.
    bool ListFolder(uint32_t folderId, const wchar_t* tag);
};

// The module's folder-tree cache.
extern CVelkObjTree g_velkObjTree;

// Sends folder packets through the module's peer client.
class ObjPacketSender {
public:
    // Request 20102 for a folder; the peer's new id goes to `newId`.
    int SendFolder(uint32_t objectId, const FolderRecord* record, uint32_t parentId, uint32_t& newId,
                   bool topLevel);
};
extern ObjPacketSender g_objPacketSender;

// Makes the CAD layer of a peer folder and stores the folder's link on it.
void EnsureFolderLayer(const CString& name, uint32_t folderId);
