// The per-drawing record and its link tables: entity handle to link record,
// peer object id to entity handle, and peer object id to the group of
// entities that together show one peer object (a point set, or a track drawn
// in pieces).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "afxstr.h"
#include "odgegeometry.h"
#include "state/basemapstate.h"
#include "state/contourstate.h"
#include "state/crosssectionstate.h"
#include "state/edittrackstate.h"

class GcApDocument;

// A map that owns the records its values point at: it deletes them when it
// is destroyed. The link operations below delete a record they replace.
template <class K, class V>
class OwningMap : public std::map<K, V*> {
public:
    OwningMap() = default;
    OwningMap(const OwningMap&) = delete;
    OwningMap& operator=(const OwningMap&) = delete;
    ~OwningMap()
    {
        for (auto& e : *this) delete e.second;
    }
};

// The link of one entity to one peer object.
struct MapObjInfo {
    uint64_t handle = 0;     // the entity's handle; for a group record, the group's key
    uint32_t peerId = 0;     // 0: not in the peer yet
    uint32_t parentId = 0;   // peer folder that holds the object
    CString name;
    CString remark;
    uint8_t saved = 0;       // 1 once written to the entity's Xrecord
    uint8_t join = 0;        // 1 for one piece of an object drawn as several entities
    CString extraText;       // kept in memory only
    uint32_t lineStyle = 0;  // index into the peer's line styles
    uint32_t opacity = 0;    // percent
    uint64_t companion = 0;  // the other entity showing the same sign (text <-> icon); 0 none
    OdGePoint3d labelPos;    // stored sign position
    int32_t iconNumber = 0;  // 0: no icon
    uint8_t signFlag = 1;
    // Set only where a user renamed the object on purpose (the property
    // dialog): only then may writing the link rewrite a text's string.
    // Saving the links clears it.
    uint8_t nameEdited = 0;

    MapObjInfo() = default;
    MapObjInfo(const MapObjInfo&) = default;
    MapObjInfo& operator=(const MapObjInfo&) = default;
    // The group copy: identity, texts, sign fields; line style 0, opacity
    // 50, no extra text.
    explicit MapObjInfo(const MapObjInfo* source);
};

// One peer object drawn as several entities.
struct MapObjGroup {
    uint8_t saved = 1;
    uint8_t marked = 0;      // chosen for resending
    MapObjInfo* info = nullptr;  // owned
    std::vector<uint64_t> handles;  // in the order the entities were added

    MapObjGroup() = default;
    MapObjGroup(const MapObjGroup&) = delete;
    MapObjGroup& operator=(const MapObjGroup&) = delete;
    ~MapObjGroup() { delete info; }
};

// One result item of CollectMarkedGroups.
struct GroupSendItem {
    std::vector<uint64_t> handles;
    uint32_t key = 0;
};

using LinkMap = OwningMap<uint64_t, MapObjInfo>;
using PeerEntityMap = std::map<uint32_t, uint64_t>;
using GroupMap = OwningMap<uint32_t, MapObjGroup>;

// Everything the plug-in keeps for one open drawing. Members are built in
// this order and destroyed in reverse: the per-drawing states go before the
// link tables.
class CDrawingData {
public:
    CDrawingData() = default;
    CDrawingData(const CDrawingData&) = delete;
    CDrawingData& operator=(const CDrawingData&) = delete;

    LinkMap links;                    // entity handle -> link
    PeerEntityMap peerEntities;       // peer id -> entity handle
    PeerEntityMap pairedPeerEntities; // the same, for links with a companion
    GroupMap pointGroups;             // peer id or temporary key -> point set
    GroupMap pieceGroups;             // peer id or temporary key -> track pieces
    BaseMapState baseMap;
    CrossSectionState crossSection;
    ContourState contour;
    EditTrackState editTrack;
};

// Records belong to a document: two open drawings of the same name each have
// their own, so closing one leaves the other's unsaved links alone.
struct DrawingRecordKey {
    uint64_t key;                  // DrawingKeyFromName
    const GcApDocument* document;  // the document the record belongs to
    bool operator<(const DrawingRecordKey& o) const
    {
        return key != o.key ? key < o.key : std::less<const GcApDocument*>()(document, o.document);
    }
};
using DrawingRecordMap = OwningMap<DrawingRecordKey, CDrawingData>;

// Every drawing's record, and the active drawing's (null while none is).
extern DrawingRecordMap drawingRecords;
extern CDrawingData* g_ptagDocIdManager;

// MD5 of the name in the thread's ANSI code page, first 8 bytes
// little-endian, bit 63 cleared.
uint64_t DrawingKeyFromName(const CString& name);
// The record of the drawing, built when missing (or stored empty). Never null.
CDrawingData* GetDrawingData(DrawingRecordMap& records, const CString& name, const GcApDocument* document);
// Deletes the drawing's record; the active pointer is cleared when it named it.
void RemoveDrawingData(DrawingRecordMap& records, const CString& name, const GcApDocument* document);
// Deletes every record (unload); the active pointer is cleared.
void ClearDrawingRecords(DrawingRecordMap& records);

// Link maps. SetEntityLink sets the record's saved flag and stores it; a
// different record stored there before is deleted.
void SetEntityLink(LinkMap& map, uint64_t key, MapObjInfo* record, uint8_t savedFlag);
// Sets peer id and join of the entity's link (clearing saved), or inserts a
// new link. Nothing without a drawing.
void UpdateEntityLink(CDrawingData* drawing, uint64_t handle, uint32_t peerId, bool join);
void RemoveEntityLink(CDrawingData* drawing, uint64_t handle);
MapObjInfo* FindEntityLink(const LinkMap& map, uint64_t key);
void ClearEntityLinks(LinkMap& map);
int CountUnsavedLinks(const LinkMap& map);

// Peer-id maps.
void SetPeerEntity(PeerEntityMap& map, uint32_t peerId, uint64_t handle);
void ErasePeerEntity(PeerEntityMap& map, uint32_t peerId);
// `handle` is 0 unless found.
bool FindPeerEntity(const PeerEntityMap& map, uint32_t peerId, uint64_t& handle);

// Group maps.
// Adds the record's handle to the group of `key` (built with a group copy
// of the record when missing).
void SetLinkGroup(GroupMap& map, uint32_t key, const MapObjInfo* record, uint8_t markedFlag);
// The group takes ownership of `record`, dropping its previous one.
void SetGroupInfo(GroupMap& map, uint32_t key, MapObjInfo* record);
// The group's record after setting its peer id; null when there is none.
MapObjInfo* SetGroupPeerId(GroupMap& map, uint32_t key, uint32_t newPeerId);
// Replaces the group's handles; the group forgets (and frees) its record.
void SetGroupHandles(GroupMap& map, uint32_t key, const std::vector<uint64_t>& handles);
bool MarkLinkGroup(GroupMap& map, uint32_t key, uint8_t flag);
// Marked groups with handles, in ascending key order; their marks are cleared.
std::vector<GroupSendItem> CollectMarkedGroups(GroupMap& map);
// Moves the group of `oldKey` to `newId` after the peer gave the object its
// id: every entity of the group is linked to the new id with join set (in
// the active drawing's links). False when there is no such group.
bool RekeyLinkGroup(GroupMap& map, uint32_t newId, uint32_t oldKey);
// Erases the group's entities from the drawing and drops their links; the
// empty group stays.
void RemoveLinkGroup(GroupMap& map, uint32_t key);
