#include "demo_section.h"

#include <cstdio>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "drawing_render.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "standin_control.h"
#include "gcutprint.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer_encode.h"
#include "peer_objects.h"
#include "shell_demo.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace velkhost {

namespace {

const UINT kContourButton = 32771;
const UINT kSectionButton = 32781;

void ClickToolBar(UINT id)
{
    for (HWND bar : standin::ToolBars()) standin::ClickToolBarButton(bar, id);
    standin::PumpMessages();
}

void ShowSectionButton(std::ostream& out)
{
    for (HWND bar : standin::ToolBars()) {
        standin::ToolBarState state;
        if (!standin::GetToolBarState(bar, state)) continue;
        for (const auto& button : state.buttons)
            if (button.id == kSectionButton) out << "  section button image: " << button.image << "\n";
    }
}

std::string Point(double x, double y)
{
    char text[64];
    snprintf(text, sizeof text, "(%.2f, %.2f)", x, y);
    return text;
}

// The user draws the rectangle that the command asked for.
void DrawRectangle(const OdGePoint3d& a, const OdGePoint3d& b, std::ostream& out)
{
    out << "  the user draws a rectangle from " << Point(a.x, a.y) << " to " << Point(b.x, b.y) << "\n";
    standin::QueuePoint(a);
    standin::QueuePoint(b);
    standin::InvokeCommand(L"_RECTANG");
    standin::PumpMessages();
}

// The extents of model space: the opened drawing and all the earlier
// steps drew, one site.
OdGeExtents3d DrawingExtents(OdDbDatabase* db)
{
    OdGeExtents3d box;
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return box;
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        OdGeExtents3d ext;
        if (e->getGeomExtents(ext) == eOk && ext.isValidExtents()) box.addExt(ext);
        e->close();
    }
    ms->close();
    return box;
}

// Entities of model space on the layer, by class name.
std::vector<std::pair<std::string, OdDbObjectId>> OnLayer(OdDbDatabase* db, const wchar_t* layer)
{
    std::vector<std::pair<std::string, OdDbObjectId>> found;
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return found;
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        if (!layer || e->layer() == layer) found.push_back({Utf8(e->isA()->name().str()), id});
        e->close();
    }
    ms->close();
    return found;
}

void Contours(velkpeer::StandinPeer* peer, OdDbDatabase* db, std::ostream& out)
{
    const OdGeExtents3d extents = DrawingExtents(db);
    const OdGePoint3d& mn = extents.minPoint();
    const OdGePoint3d& mx = extents.maxPoint();
    velkpeer::PeerContourCodes& surface = peer->ContourCodes();
    surface.hills = velkpeer::PeerContourCodes::HillsOver(mn.x, mn.y, mx.x, mx.y);
    surface.dataState = 2;
    surface.answers = 3;
    surface.progressTotal = 60;
    out << "\nToolbar: 下载高程(DEM), for the drawing's extents " << Point(mn.x, mn.y) << " to " << Point(mx.x, mx.y)
        << "\n  the peer's elevation: 1000 m with three hills; its data there is incomplete\n";
    standin::QueueDialogAnswer(8218, [&](HWND d) {
        standin::DialogItem(d, 8213).text = L"20";
        out << "  contour dialog: level " << Utf8(standin::DialogItem(d, 8143).text) << ", precision 20 m, "
            << Utf8(standin::DialogItem(d, 8214).text) << "\n";
        return IDOK;
    });
    ClickToolBar(kContourButton);
    // "No": download what the peer has, without going there first.
    standin::QueueMessageBoxAnswer(IDNO);
    DrawRectangle(mn, mx, out);
    NewMessageBoxes(out);
    NewTraffic(peer, out);
    size_t lines = 0, labels = 0;
    for (auto& [kind, id] : OnLayer(db, L"Velk_contour")) (kind == "AcDbText" ? labels : lines) += 1;
    out << "  on layer Velk_contour: " << lines << " contour lines and " << labels << " labels\n";
}

void Section(velkpeer::StandinPeer* peer, OdDbDatabase* db, std::ostream& out)
{
    const OdGeExtents3d extents = DrawingExtents(db);
    const OdGePoint3d& mn = extents.minPoint();
    const OdGePoint3d& mx = extents.maxPoint();
    // The frame: a band below the drawing, 120 by 40.
    const OdGePoint3d a(mn.x, mn.y - 80, 0), b(mn.x + 120, mn.y - 40, 0);
    // A road of the peer's map east of the drawing, the base line.
    const double bx = mx.x + 400, by = mn.y;
    velkpeer::PeerTrack road;
    road.name = "断面基线";
    road.points = {{bx, by, 0, 0}, {bx + 100, by + 60, 0, 0}, {bx + 240, by + 60, 0, 0}};
    const uint32_t roadId = peer->ObjectStore().Put(8, 0, velkpeer::EncodeTrack(road));

    out << "\nToolbar: 设置断面参数 (following stops, the frame is drawn, the base line is a road of the peer)\n";
    standin::QueueMessageBoxAnswer(IDYES);  // use the section mode
    standin::QueueDialogAnswer(8202, [&](HWND) {
        out << "  section dialog: right of the base line, upright; start with a rectangle\n";
        return IDOK;
    });
    ClickToolBar(kSectionButton);
    // A line in the frame, drawn before the base line comes: it is sent
    // along the road once the section stands.
    standin::QueuePoint(OdGePoint3d(a.x + 10, a.y + 30, 0));
    standin::QueuePoint(OdGePoint3d(a.x + 110, a.y + 10, 0));
    standin::QueueEnter();
    standin::InvokeCommand(L"LINE");
    uint64_t lineHandle = 0;
    for (auto& [kind, id] : OnLayer(db, nullptr))
        if (kind == "AcDbLine") lineHandle = (uint64_t)id.getHandle();
    standin::QueueMessageBoxAnswer(IDYES);  // go to the peer for the base line
    DrawRectangle(a, b, out);
    NewMessageBoxes(out);
    out << "  the peer's follow value: " << FollowValue(peer->FollowMode()) << "\n";

    out << "  the user chooses the road in the peer and presses \"发送所选对象到CAD\"\n";
    peer->ObjectStore().ChooseForCad({roadId});
    standin::QueueMessageBoxAnswer(IDYES);  // send the frame's objects
    peer->SendToClient(20402, {});
    standin::PumpMessages();
    NewMessageBoxes(out);
    NewTraffic(peer, out);
    ShowSectionButton(out);
    for (const auto& o : velkpeer::DecodeAll(peer->ObjectStore())) {
        if (o.kind != 8 || o.handle != lineHandle || o.points.size() < 2) continue;
        out << "  the line went to the peer along the road: " << o.points.size() << " points from "
            << Point(o.points.front().x, o.points.front().y) << " to "
            << Point(o.points.back().x, o.points.back().y) << " (crossings marked with elevation 1:";
        for (const auto& p : o.points) out << " " << p.elevation;
        out << ")\n";
    }
    out << "  the peer sends a sign and a track beside the road into the section\n";
    velkpeer::PeerSign well;
    well.name = "测站";
    well.x = bx + 170;
    well.y = by + 40;
    well.signType = 3;
    well.fontSize = 12;
    velkpeer::PeerTrack ditch;
    ditch.name = "水沟";
    ditch.colour = 0xC08000;
    ditch.points = {{bx + 20, by - 5, 0, 0}, {bx + 110, by + 40, 0, 0}, {bx + 230, by + 35, 0, 0}};
    const uint32_t wellId = peer->ObjectStore().Put(7, 0, velkpeer::EncodeSign(well));
    const uint32_t ditchId = peer->ObjectStore().Put(8, 0, velkpeer::EncodeTrack(ditch));
    peer->ObjectStore().ChooseForCad({wellId, ditchId});
    peer->SendToClient(20402, {});
    standin::PumpMessages();
    NewTraffic(peer, out);
    for (auto& [kind, id] : OnLayer(db, nullptr)) {
        OdDbText* text = nullptr;
        if (kind == "AcDbText" && oddbOpenObject(text, id, OdDb::kForRead) == eOk) {
            if (text->textString() == L"测站")
                out << "  the sign is drawn in the frame at " << Point(text->position().x, text->position().y) << "\n";
            text->close();
        }
        OdDbPolyline* line = nullptr;
        if (kind == "AcDbPolyline" && oddbOpenObject(line, id, OdDb::kForRead) == eOk) {
            OdGePoint3d first, last;
            if (line->numVerts() > 1 && line->getPointAt(0, first) == eOk &&
                line->getPointAt(line->numVerts() - 1, last) == eOk && first.y < b.y && first.y > a.y - 1)
                out << "  a track is drawn in the frame from " << Point(first.x, first.y) << " to "
                    << Point(last.x, last.y) << "\n";
            line->close();
        }
    }

    out << "\nToolbar: 设置断面参数 again: the section mode ends\n";
    ClickToolBar(kSectionButton);
    NewTraffic(peer, out);
    ShowSectionButton(out);
    // The rectangle went with the command; the user marks the section's
    // frame for the printout.
    AddOutline(db, a.x, a.y, b.x, b.y);
    out << "  the user outlines the section's frame " << Point(a.x, a.y) << " to " << Point(b.x, b.y) << "\n";
}

}  // namespace

void RunSectionDemo(velkpeer::StandinPeer* peer, std::ostream& out)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!peer || !doc) return;
    NewTraffic(peer, out);  // what the steps before left
    Contours(peer, doc->database(), out);
    Section(peer, doc->database(), out);

    // The site with its contours and the section, while the base map's
    // tiles still lie under it (the save takes them away).
    const std::wstring file = L"C:\\Drawings\\contours-and-section.png";
    CreateDirectoryW(L"C:\\Drawings", nullptr);
    RenderStats stats;
    std::string error;
    if (RenderModelSpace(doc->database(), file, 1200, stats, error, RenderWindow(), doc->fileName().c_str()))
        out << "\npicture of the site with its contours, the section and the base map: " << standin::NativePath(file) << " ("
            << stats.width << " x " << stats.height << " pixels)\n";
    else
        out << "\nno picture of the drawing: " << error << "\n";
}

}  // namespace velkhost
