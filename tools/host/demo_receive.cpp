#include "demo_receive.h"

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer_encode.h"
#include "peer_objects.h"
#include "shell_demo.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace velkhost {

namespace {

const double x0 = 500000, y0 = 3000000;

// The peer's own objects below a folder of its own.
std::vector<uint32_t> MakePeerObjects(velkpeer::PeerObjectStore& store)
{
    uint32_t folder = store.Put(30, 0, velkpeer::EncodeFolder("巡检"));
    velkpeer::PeerSign hydrant;
    hydrant.name = "消防栓";
    hydrant.x = x0 + 200, hydrant.y = y0 + 120;
    hydrant.iconNumber = 12;
    hydrant.colour = 0x0000FF;
    velkpeer::PeerSign notice;
    notice.name = "施工说明";
    notice.remark = "夜间施工\r\n注意安全";
    notice.signType = 3;
    notice.multiLine = 1;
    notice.x = x0 + 210, notice.y = y0 + 140;
    notice.textColour = 0x00A5FF;
    notice.level = 19;
    notice.fontSize = 20;
    velkpeer::PeerTrack route;
    route.name = "巡查路线";
    route.remark = "每日一次";
    route.points = {{x0 + 180, y0 + 100}, {x0 + 220, y0 + 100, 0, 0.5}, {x0 + 260, y0 + 130}, {x0 + 300, y0 + 130}};
    route.colour = 0x00FF00;
    route.lineStyle = 3;
    velkpeer::PeerShape site;
    site.name = "施工区";
    site.points = {{x0 + 200, y0 + 160}, {x0 + 260, y0 + 160}, {x0 + 260, y0 + 200}, {x0 + 200, y0 + 200},
                   {x0 + 220, y0 + 170, velkpeer::kBreakMark}, {x0 + 240, y0 + 170}, {x0 + 240, y0 + 185},
                   {x0 + 220, y0 + 185}};
    site.outerRingCount = 1;
    site.fillType = 3;
    site.patternId = 2;  // "ISO02W100" in the peer's table
    site.fillColour = 0x0080FF;
    site.opacity = 80;
    site.outline = 80;
    store.Put(7, folder, velkpeer::EncodeSign(hydrant));
    store.Put(7, folder, velkpeer::EncodeSign(notice));
    store.Put(8, folder, velkpeer::EncodeTrack(route));
    store.Put(13, folder, velkpeer::EncodeShape(site));
    return {folder};
}

std::string Layer(const OdDbEntity* e) { return Utf8(e->layer().c_str()); }

// One line about a received entity; `boundaries` gathers the outline
// entities of hatches.
std::string Describe(OdDbEntity* e, OdDbObjectIdArray& boundaries)
{
    std::ostringstream line;
    line << Utf8(OdDbHandle((uint64_t)e->objectId().getHandle()).ascii().str()) << " "
         << Utf8(e->isA()->name().str()) << " on layer " << Layer(e);
    if (auto* t = OdRxCast<OdDbText>(e)) line << ": \"" << Utf8(t->textString().c_str()) << "\", height " << t->height();
    else if (auto* m = OdRxCast<OdDbMText>(e)) line << ": \"" << Utf8(m->contents().c_str()) << "\", height " << m->textHeight();
    else if (auto* p = OdRxCast<OdDbPolyline>(e)) line << ": " << p->numVerts() << " vertices" << (p->hasBulges() ? " with bulges" : "")
                                                      << ", linetype " << Utf8(e->linetype().c_str());
    else if (auto* h = OdRxCast<OdDbHatch>(e)) {
        OdDbObjectIdArray assoc;
        h->getAssocObjIds(assoc);
        for (const auto& id : assoc) boundaries.append(id);
        line << ": pattern " << Utf8(h->patternName().c_str()) << ", " << h->numLoops() << " loops over "
             << assoc.length() << " outline entities";
    }
    return line.str();
}

}  // namespace

void RunReceiveDemo(velkpeer::StandinPeer* peer, std::ostream& out)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!peer || !doc) return;
    OdDbDatabase* db = doc->database();
    out << "\nthe peer's user sends objects of the peer's own to the drawing\n"
           "  in the peer's folder 巡检: a sign with an icon, a text sign with a remark, a track with bulges, a "
           "polygon with a hole and a pattern fill; the user chooses the folder and presses \"发送所选对象到CAD\"\n";
    std::vector<uint32_t> chosen = MakePeerObjects(peer->ObjectStore());
    peer->ObjectStore().ChooseForCad(chosen);
    std::set<uint64_t> before = ModelSpaceHandles(db);
    peer->SendToClient(20402, {});
    standin::PumpMessages();
    NewTraffic(peer, out);

    out << "  the entities the drawing received:\n";
    OdDbObjectIdArray received, boundaries;
    for (uint64_t handle : ModelSpaceHandles(db)) {
        if (before.count(handle)) continue;
        OdDbObjectId id;
        OdDbEntity* e = nullptr;
        if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk || oddbOpenObject(e, id, OdDb::kForRead) != eOk)
            continue;
        out << "    " << Describe(e, boundaries) << "\n";
        e->close();
        received.append(id);
    }
    out << "  (points shown as icons is off in the settings: the sign's icon number stays in its link)\n";

    // The user selects what came and sends it again: the links make the peer
    // update its own objects instead of making copies.
    OdDbObjectIdArray selected;
    for (const auto& id : received)
        if (!boundaries.contains(id)) selected.append(id);
    size_t objects = 0;
    for (auto& [id, o] : peer->Objects()) objects += o.kind != 30;
    out << "\nthe user selects the " << selected.length() << " received objects (not the hatch's outlines) and "
        << "presses the toolbar's send button again\n";
    standin::SetPickFirst(selected);
    for (HWND bar : standin::ToolBars()) standin::ClickToolBarButton(bar, 32768);
    standin::PumpMessages();
    NewTraffic(peer, out);
    size_t after = 0;
    for (auto& [id, o] : peer->Objects()) after += o.kind != 30;
    out << "  peer objects other than folders: " << objects << " before, " << after << " after\n";
    out << "  links: entity handle -> the peer object it updated\n";
    for (const auto& o : velkpeer::DecodeAll(peer->ObjectStore())) {
        if (o.kind == 30) continue;
        OdDbObjectId id;
        if (db->getOdDbObjectId(id, false, OdDbHandle(o.handle)) != eOk || !selected.contains(id)) continue;
        out << "    " << Utf8(OdDbHandle(o.handle).ascii().str()) << " -> " << velkpeer::DescribeObject(o) << "\n";
    }
}

}  // namespace velkhost
