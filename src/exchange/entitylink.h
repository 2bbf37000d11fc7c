// The persistent form of a link: the Xrecord "VelkArx" in the extension
// dictionary of the entity (or of the layer that stands for a peer folder).
#pragma once

#include <cstdint>

#include "oddbobject.h"
#include "odgegeometry.h"

struct MapObjInfo;
class CDrawingData;
class OdDbDatabase;
class OdDbEntity;
class OdDbLayerTableRecord;
class OdResBuf;

// The Xrecord's chain: twelve items, four texts (id, name, remark, an empty
// text), four 32-bit integers (join, companion's low 32 bits, icon number,
// 0) and four reals (sign position x and y, 0, 0).
struct EntityLinkXrecord {
    static const int kItemCount = 12;
    static const int kGroupCodes[kItemCount];
};

// The key of the Xrecord and the registered application name.
extern const wchar_t* const kLinkXrecordKey;

// The link of an open entity (or layer): from the active drawing's cache when
// useCache is set and it holds one; null then when cacheOnly. Otherwise read
// from the Xrecord into a new record (defaults when there is none), which the
// active drawing's cache owns when useCache is set, else the caller. Given
// `readStatus`, an Xrecord that is there but does not open gives null and
// its status, and nothing is cached: defaults in the cache would later
// overwrite the stored link.
MapObjInfo* GetEntityLink(OdDbObject* entity, bool useCache, bool cacheOnly, OdResult* readStatus = nullptr);
// The link read from the Xrecord of the entity of that id, owned by the
// caller; null when the entity does not open or has no extension dictionary.
MapObjInfo* ReadEntityLink(OdDbObjectId id);
// Writes the link into the entity's Xrecord. A text's string is replaced by
// the link name only when the name was edited on purpose. 1 when the
// Xrecord was written.
int WriteEntityLink(OdDbEntity* entity, MapObjInfo record);
// The same for the entity of the record's handle in `db` (the working
// database when null): 1 when it was opened and written.
int WriteEntityLinkOf(MapObjInfo record, OdDbDatabase* db = nullptr);
// The link of a peer folder on its layer.
int WriteFolderLayerLink(OdDbLayerTableRecord* layer, MapObjInfo record);
// A linked text follows its icon at `point` (its alignment point moves
// beside it); every entity's link keeps `point` as its label position and is
// written back. Opens the entity of the handle for writing; false when it
// does not open.
bool UpdateLinkedTextEntity(int64_t handle, const OdGePoint3d& point);
// Asks the peer to delete the object linked to the entity of that handle,
// by the links of the drawing given (the active one by default).
void DeletePeerObjectOfEntity(uint64_t handle);
void DeletePeerObjectOfEntity(uint64_t handle, const CDrawingData* drawing);

// The twelve-item chain of a link, and the reading of one into a record
// (the reading depends on the class of the object holding it).
OdResBuf* BuildLinkChain(const MapObjInfo& record);
OdResBuf* BuildFolderLayerChain(const MapObjInfo& record);
void ReadLinkChain(const OdResBuf* chain, const OdDbObject* holder, MapObjInfo& record);
