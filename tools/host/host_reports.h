// What velkhost prints about the drawing, the module's toolbar and settings,
// and the peer: the reports of the script's "> show" lines and of the load
// and the end of a run.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "oddbobject.h"
#include "standin_peer.h"

class OdDbDatabase;
class OdDbEntity;

namespace velkhost {

// One line about an entity: handle, class, layer and what it holds.
std::string DescribeEntity(OdDbEntity* e);
// The entities of those handles, one a line.
void ShowEntities(OdDbDatabase* db, const std::set<uint64_t>& handles, std::ostream& out);
// Entities of model space on the layer, counted by kind.
void ShowLayer(OdDbDatabase* db, const std::wstring& layer, std::ostream& out);
// The toolbars, with their buttons (id, caption, image, enabled).
void ShowToolbars(std::ostream& out, bool buttons = false);
// The peer's folders and objects as a tree; folders with the number of
// objects they hold.
void ShowPeerTree(const velkpeer::StandinPeer& peer, std::ostream& out);
// Its button, follow value, map view and the relate points it took.
void ShowPeerState(velkpeer::StandinPeer& peer, std::ostream& out);
// Every peer object that names an entity of the drawing: entity -> object.
void ShowLinks(const velkpeer::StandinPeer& peer, OdDbDatabase* db, std::ostream& out);
// The links saved in the entities (their link records).
void ShowStoredLinks(OdDbDatabase* db, std::ostream& out);
// The module's settings file, or one section of it.
void ShowSettings(const std::string& section, std::ostream& out);
// A file of the machine, its lines indented.
bool ShowFile(const std::wstring& windowsPath, std::ostream& out);

// The peer's objects at a moment, to tell what changed since.
// The peer's objects added, changed or removed since its store was last
// marked.
void ShowPeerChanges(velkpeer::StandinPeer& peer, std::ostream& out);

// The tile and capture requests the peer served since the last report,
// and the tiles the drawing holds.
class TileReport {
public:
    void Show(const velkpeer::StandinPeer& peer, OdDbDatabase* db, std::ostream& out);

private:
    size_t seen_ = 0;
};

}  // namespace velkhost
