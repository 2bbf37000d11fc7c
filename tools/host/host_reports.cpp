#include "host_reports.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "gcapdocmanager.h"
#include "machine_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer_objects.h"
#include "standin_control.h"
#include "toolbar_control.h"
#include "transcript.h"
#include "windows.h"

namespace velkhost {

namespace {

const wchar_t kSettingsFile[] = L"C:\\Users\\user\\AppData\\Local\\VelkArx_setting.ini";

std::string Number(double v)
{
    char text[48];
    snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string ClassName(const OdDbObject* o) { return Utf8(o->isA()->name().str()); }

// The peer id in the entity's link record; empty without one.
std::string StoredPeerId(const OdDbObjectId& id)
{
    OdDbEntity* e = nullptr;
    std::string value;
    if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) return value;
    OdDbDictionary* dict = nullptr;
    if (!e->extensionDictionary().isNull() && oddbOpenObject(dict, e->extensionDictionary(), OdDb::kForRead) == eOk) {
        OdDbXrecord* xrec = nullptr;
        if (dict->getAt(L"VelkArx", xrec, OdDb::kForRead) == eOk) {
            OdResBuf* chain = xrec->rbChain();
            if (chain) value = Utf8(chain->getString().str());
            OdResBuf::releaseChain(chain);
            xrec->close();
        }
        dict->close();
    }
    e->close();
    return value;
}

std::string FileText(const std::wstring& windowsPath)
{
    std::ifstream in(standin::NativePath(windowsPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void PrintTree(const std::vector<velkpeer::DecodedObject>& objects, uint32_t parent, int depth, std::ostream& out)
{
    if (depth > 8) return;
    for (const auto& o : objects) {
        if (o.parent != parent || o.id == parent) continue;
        out << std::string(4 + 2 * (size_t)depth, ' ')
            << (o.kind == 30 ? velkpeer::DescribeFolder(o, objects) : velkpeer::DescribeObject(o)) << "\n";
        if (o.kind == 30) PrintTree(objects, o.id, depth + 1, out);
    }
}

// An object with what it names and, for a short track, its points.
std::string ObjectLine(const velkpeer::DecodedObject& o, const std::vector<velkpeer::DecodedObject>& all)
{
    std::string line = o.kind == 30 ? velkpeer::DescribeFolder(o, all) : velkpeer::DescribeObject(o);
    if (o.handle && o.kind != 30) line += ", from " + HandleText(o.handle);
    if ((o.kind == 8 || o.kind == 13) && !o.points.empty() && o.points.size() <= 8) {
        line += "; points";
        for (const auto& p : o.points) line += " " + PointText(p.x, p.y);
        line += ", elevations";
        for (const auto& p : o.points) line += " " + std::to_string(p.elevation);
    }
    return line;
}

}  // namespace

std::string DescribeEntity(OdDbEntity* e)
{
    std::ostringstream line;
    line << HandleText((uint64_t)e->objectId().getHandle()) << " " << ClassName(e) << " on layer "
         << Utf8(e->layer().c_str());
    if (auto* t = OdRxCast<OdDbText>(e)) {
        line << ": \"" << Utf8(t->textString().c_str()) << "\", height " << Number(t->height()) << ", at "
             << PointText(t->position().x, t->position().y);
    } else if (auto* m = OdRxCast<OdDbMText>(e)) {
        line << ": \"" << Utf8(m->contents().c_str()) << "\", height " << Number(m->textHeight()) << ", at "
             << PointText(m->location().x, m->location().y);
    } else if (auto* p = OdRxCast<OdDbPolyline>(e)) {
        line << ": " << p->numVerts() << " vertices" << (p->hasBulges() ? " with bulges" : "")
             << (p->isClosed() ? ", closed" : "") << ", linetype " << Utf8(e->linetype().c_str());
        OdGePoint3d first, last;
        if (p->numVerts() > 1 && p->getPointAt(0, first) == eOk && p->getPointAt(p->numVerts() - 1, last) == eOk)
            line << ", from " << PointText(first.x, first.y) << " to " << PointText(last.x, last.y);
    } else if (auto* l = OdRxCast<OdDbLine>(e)) {
        line << ": from " << PointText(l->startPoint().x, l->startPoint().y) << " to "
             << PointText(l->endPoint().x, l->endPoint().y);
    } else if (auto* h = OdRxCast<OdDbHatch>(e)) {
        OdDbObjectIdArray assoc;
        h->getAssocObjIds(assoc);
        line << ": pattern " << Utf8(h->patternName().c_str()) << ", " << h->numLoops()
             << (h->numLoops() == 1 ? " loop" : " loops");
        if (assoc.length()) line << " over " << assoc.length() << " outline entities";
    }
    return line.str();
}

void ShowEntities(OdDbDatabase* db, const std::set<uint64_t>& handles, std::ostream& out)
{
    if (handles.empty()) out << "  none\n";
    for (uint64_t handle : handles) {
        OdDbObjectId id;
        OdDbEntity* e = nullptr;
        if (!db || db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk ||
            oddbOpenObject(e, id, OdDb::kForRead) != eOk)
            continue;
        out << "  " << DescribeEntity(e) << "\n";
        e->close();
    }
}

void ShowLayer(OdDbDatabase* db, const std::wstring& layer, std::ostream& out)
{
    std::map<std::string, int> kinds;
    OdDbBlockTableRecord* ms = nullptr;
    if (db && oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) == eOk) {
        for (const OdDbObjectId& id : ms->entityIds()) {
            OdDbEntity* e = nullptr;
            if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
            if (wcscasecmp(e->layer().c_str(), layer.c_str()) == 0) ++kinds[ClassName(e)];
            e->close();
        }
        ms->close();
    }
    out << "  on layer " << Utf8(layer) << ":";
    if (kinds.empty()) out << " nothing";
    bool first = true;
    for (const auto& [kind, n] : kinds) {
        out << (first ? " " : ", ") << n << " " << kind;
        first = false;
    }
    out << "\n";
}

void ShowToolbars(std::ostream& out, bool buttons)
{
    const std::vector<HWND> bars = standin::ToolBars();
    if (bars.empty()) out << "  no toolbar\n";
    for (HWND bar : bars) {
        standin::ToolBarState s;
        if (!standin::GetToolBarState(bar, s)) continue;
        out << "  toolbar \"" << Utf8(s.caption) << "\", " << s.buttons.size() << " buttons, " << s.imageCount
            << " icons, " << (s.floating ? "floating" : "docked") << " at (" << s.floatPoint.x << ", "
            << s.floatPoint.y << "), " << (IsWindowVisible(bar) ? "visible" : "hidden") << "\n";
        if (!buttons) continue;
        for (const auto& b : s.buttons) {
            if (b.id == 0) continue;  // a separator
            out << "    button " << b.id << " \"" << Utf8(standin::ToolBarTooltip(bar, b.id)) << "\", image "
                << b.image << (b.enabled ? "" : ", disabled") << "\n";
        }
    }
}

void ShowPeerTree(const velkpeer::StandinPeer& peer, std::ostream& out)
{
    auto& store = const_cast<velkpeer::StandinPeer&>(peer).ObjectStore();
    const std::vector<velkpeer::DecodedObject> objects = velkpeer::DecodeAll(store);
    if (objects.empty()) out << "    nothing\n";
    PrintTree(objects, 0, 0, out);
}

void ShowPeerState(velkpeer::StandinPeer& peer, std::ostream& out)
{
    const int32_t follow = peer.FollowMode();
    out << "  peer button: " << (peer.ButtonPresent() ? "\"" + peer.ButtonCaption() + "\"" : std::string("none"))
        << "\n  the peer's follow value: " << follow
        << (follow == 1000 ? " (its map follows the CAD view)" : " (its map does not follow)") << "\n";
    char where[160];
    snprintf(where, sizeof where, "  the peer's map: centre (%.1f, %.1f), level %d\n", peer.Tiles().viewX,
             peer.Tiles().viewY, peer.Config().mapLevel);
    out << where;
    for (const auto& r : peer.ShellCodes().RelateRequests())
        out << "  relate points taken in mode " << r.mode << " (" << r.points.size()
            << (r.points.size() == 1 ? " point)\n" : " points)\n");
}

void ShowLinks(const velkpeer::StandinPeer& peer, OdDbDatabase* db, std::ostream& out)
{
    auto& store = const_cast<velkpeer::StandinPeer&>(peer).ObjectStore();
    out << "  links: entity -> peer object\n";
    int shown = 0;
    for (const auto& o : velkpeer::DecodeAll(store)) {
        if (o.handle == 0) continue;
        OdDbObjectId id;
        OdDbObject* object = nullptr;
        if (!db || db->getOdDbObjectId(id, false, OdDbHandle(o.handle)) != eOk ||
            oddbOpenObject(object, id, OdDb::kForRead) != eOk) {
            if (o.kind != 30) {
                out << "    " << o.points.size() << " points joined into one track (its key " << o.handle << ") -> "
                    << o.id << "\n";
                ++shown;
            }
            continue;
        }
        out << "    " << HandleText(o.handle) << " " << ClassName(object) << " -> " << o.id << " \""
            << velkpeer::OneLine(o.name) << "\"\n";
        object->close();
        ++shown;
    }
    if (!shown) out << "    none\n";
}

void ShowStoredLinks(OdDbDatabase* db, std::ostream& out)
{
    out << "  links stored in the entities: entity -> peer object\n";
    OdDbBlockTableRecord* ms = nullptr;
    int shown = 0;
    if (db && oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) == eOk) {
        for (const OdDbObjectId& id : ms->entityIds()) {
            const std::string peerId = StoredPeerId(id);
            if (peerId.empty()) continue;
            out << "    " << HandleText((uint64_t)id.getHandle()) << " -> " << peerId << "\n";
            ++shown;
        }
        ms->close();
    }
    if (!shown) out << "    none\n";
}

void ShowSettings(const std::string& section, std::ostream& out)
{
    const std::string text = FileText(kSettingsFile);
    if (text.empty()) {
        out << "  the settings file " << Utf8(kSettingsFile) << " is missing\n";
        return;
    }
    std::istringstream lines(text);
    std::string line;
    bool inside = section.empty();
    int shown = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') inside = section.empty() || line == "[" + section + "]";
        if (inside && !line.empty()) {
            out << "    " << line << "\n";
            ++shown;
        }
    }
    if (!shown) out << "  the settings file has no section [" << section << "]\n";
}

bool ShowFile(const std::wstring& windowsPath, std::ostream& out)
{
    std::ifstream in(standin::NativePath(windowsPath), std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out << "  | " << line << "\n";
    }
    return true;
}

void ShowPeerChanges(velkpeer::StandinPeer& peer, std::ostream& out)
{
    auto& store = peer.ObjectStore();
    const velkpeer::PeerObjectStore::Earlier& earlier = store.ChangedSinceMark();
    const std::vector<velkpeer::DecodedObject> all = velkpeer::DecodeAll(store);
    size_t objects = 0, folders = 0, changes = 0;
    for (const auto& o : all) {
        (o.kind == 30 ? folders : objects) += 1;
        auto was = earlier.find(o.id);
        if (was == earlier.end()) continue;
        if (!was->second) out << "  added: " << ObjectLine(o, all) << "\n";
        else if (was->second->second != peer.Objects().at(o.id).body) out << "  changed: " << ObjectLine(o, all) << "\n";
        else continue;
        ++changes;
    }
    // The counts before: now's, with what changed put back as it was.
    size_t objectsBefore = objects, foldersBefore = folders;
    for (const auto& [id, was] : earlier) {
        auto now = peer.Objects().find(id);
        if (now != peer.Objects().end()) (now->second.kind == 30 ? foldersBefore : objectsBefore) -= 1;
        if (was) (was->first == 30 ? foldersBefore : objectsBefore) += 1;
        if (!was || now != peer.Objects().end()) continue;
        out << "  removed: " << (was->first == 30 ? "folder " : "object ") << id << "\n";
        ++changes;
    }
    if (!changes) out << "  the peer's objects did not change\n";
    out << "  the peer holds " << objects << (objects == 1 ? " object" : " objects") << " in " << folders
        << (folders == 1 ? " folder" : " folders") << " (before: " << objectsBefore << " and " << foldersBefore
        << ")\n";
}

void TileReport::Show(const velkpeer::StandinPeer& peer, OdDbDatabase* db, std::ostream& out)
{
    int asked = 0, pending = 0, written = 0, failed = 0;
    std::string levels;
    auto& tiles = const_cast<velkpeer::StandinPeer&>(peer).Tiles();
    const auto& served = tiles.Served();
    for (; seen_ < served.size(); ++seen_) {
        const auto& s = served[seen_];
        if (s.capture) {
            out << "  capture request " << s.path << ", " << s.width << " x " << s.height << " pixels, answered "
                << (s.status == -102 ? "not ready (progress sent)" : s.written ? "with the JPEG" : "with a failure")
                << "\n";
            continue;
        }
        ++asked;
        if (s.status == -102) ++pending;
        else if (s.written) ++written;
        else ++failed;
        const std::string level = std::to_string(s.level);
        if ((" " + levels + ",").find(" " + level + ",") == std::string::npos)
            levels += (levels.empty() ? "" : ", ") + level;
    }
    out << "  the peer: " << asked << " tile requests (" << written << " written as PNG, " << pending
        << " not ready yet, " << failed << " failed)" << (levels.empty() ? "" : ", level " + levels) << "\n";

    // Tiles are the images on MapLayer; they lie below every other entity.
    int tileCount = 0, others = 0;
    bool atBottom = true, otherSeen = false;
    OdDbBlockTableRecord* ms = nullptr;
    if (db && oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) == eOk) {
        OdDbObjectIdArray order;
        OdDbSortentsTable* table = nullptr;
        if (ms->getSortentsTable(table, OdDb::kForRead, false) == eOk) {
            table->getFullDrawOrder(order);
            table->close();
        } else {
            for (const OdDbObjectId& id : ms->entityIds()) order.append(id);
        }
        ms->close();
        for (const OdDbObjectId& id : order) {
            OdDbEntity* e = nullptr;
            if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
            const bool image = OdRxCast<OdDbRasterImage>(e) != nullptr;
            const bool tile = image && e->layer() == L"MapLayer";
            e->close();
            if (tile) {
                ++tileCount;
                if (otherSeen) atBottom = false;
            } else {
                if (image) ++others;
                otherSeen = true;
            }
        }
    }
    out << "  the drawing: " << tileCount << " tiles on layer MapLayer"
        << (tileCount ? (atBottom ? ", all below the entities" : ", NOT all below the entities") : "") << ", " << others
        << (others == 1 ? " other image\n" : " other images\n");
}

}  // namespace velkhost
