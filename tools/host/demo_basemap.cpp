#include "demo_basemap.h"

#include <cstdio>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "drawing_render.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "shell_demo.h"
#include "standin_control.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace velkhost {

namespace {

const UINT kBaseMapButton = 32769;
const UINT kCaptureButton = 32770;
const UINT kCaptureDialog = 8145;
const wchar_t kPicture[] = L"C:\\Drawings\\demo-basemap.png";

// Units a pixel at level L: level 16 is 1/16 unit.
double Resolution(int level) { return 4096.0 / (1 << level); }

OdDbDatabase* Drawing()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    return doc ? doc->database() : nullptr;
}

// The user looks at (cx, cy) at the scale of `level` in a 1920 x 1080 window.
void ShowView(double cx, double cy, int level)
{
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(1920, 1080, 0));
    standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(cx, cy, 0));
    standin::SetSysVarReal(L"VIEWSIZE", 1080 * Resolution(level));
    standin::FireViewChanged();
}

struct DrawingImages {
    int tiles = 0;       // raster images on "MapLayer"
    int others = 0;      // raster images elsewhere
    bool tilesAtBottom = true;  // no other entity is drawn before a tile
};

DrawingImages CountImages(OdDbDatabase* db)
{
    DrawingImages n;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return n;
    OdDbObjectIdArray order;
    OdDbSortentsTable* table = nullptr;
    if (ms->getSortentsTable(table, OdDb::kForRead, false) == eOk) {
        table->getFullDrawOrder(order);
        table->close();
    } else {
        for (const OdDbObjectId& id : ms->entityIds()) order.append(id);
    }
    ms->close();
    bool otherSeen = false;
    for (const OdDbObjectId& id : order) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        const bool image = OdRxCast<OdDbRasterImage>(e) != nullptr;
        const bool tile = image && e->layer() == L"MapLayer";
        e->close();
        if (tile) {
            ++n.tiles;
            if (otherSeen) n.tilesAtBottom = false;
        } else {
            if (image) ++n.others;
            otherSeen = true;
        }
    }
    return n;
}

// What the peer served since `from`, and what the drawing holds.
void Report(velkpeer::StandinPeer* peer, size_t& from, std::ostream& out)
{
    int asked = 0, pending = 0, written = 0, failed = 0;
    std::string levels;
    const auto& served = peer->Tiles().Served();
    for (; from < served.size(); ++from) {
        const auto& s = served[from];
        if (s.capture) continue;
        ++asked;
        if (s.status == -102) ++pending;
        else if (s.written) ++written;
        else ++failed;
        const std::string level = std::to_string(s.level);
        if ((" " + levels + ",").find(" " + level + ",") == std::string::npos) levels += (levels.empty() ? "" : ", ") + level;
    }
    NewTraffic(peer, out);
    out << "  the peer: " << asked << " tile requests (" << written << " written as PNG, " << pending
        << " not ready yet, " << failed << " failed)" << (levels.empty() ? "" : ", level " + levels) << "\n";
    DrawingImages n = CountImages(Drawing());
    out << "  the drawing: " << n.tiles << " tiles on layer MapLayer"
        << (n.tiles ? (n.tilesAtBottom ? ", all below the entities" : ", NOT all below the entities") : "")
        << ", " << n.others << (n.others == 1 ? " other image\n" : " other images\n");
}

}  // namespace

void RunBaseMapDemo(velkpeer::StandinPeer* peer, std::ostream& out)
{
    std::vector<HWND> bars = standin::ToolBars();
    if (!peer || bars.empty() || !Drawing()) return;
    HWND bar = bars.front();
    const double cx = 500110, cy = 3000075;
    size_t served = peer->Tiles().Served().size();

    out << "\nthe peer serves map tiles (level 16 is 1/16 unit a pixel; tiles with column + row divisible by 3 "
           "are not ready the first time)\n";
    peer->Config().levelResolutions.clear();
    for (int level = 1; level <= 28; ++level)
        peer->Config().levelResolutions.emplace_back(Resolution(level), Resolution(level));
    peer->Tiles().Config().pendingEvery = 3;
    peer->Config().mapLevel = 16;
    ShowView(cx, cy, 16);

    out << "\nToolbar: 加载在线底图 (on), then clock +1 s: timers 1007 (retries) and 1009 (placing)\n";
    standin::ClickToolBarButton(bar, kBaseMapButton);
    standin::AdvanceClockMs(1000);
    Report(peer, served, out);

    out << "\nthe user pans 150 units east; clock +2 s: timer 1006 walks the new view, the peer follows it\n";
    ShowView(cx + 150, cy, 16);
    standin::AdvanceClockMs(2000);
    Report(peer, served, out);
    char where[160];
    snprintf(where, sizeof where, "  the peer's map: centre (%.1f, %.1f), level %d\n", peer->Tiles().viewX,
             peer->Tiles().viewY, peer->Config().mapLevel);
    out << where;

    out << "\nthe user zooms in to level 17; clock +2 s: finer tiles replace the coarser ones\n";
    ShowView(cx, cy, 17);
    standin::AdvanceClockMs(2000);
    Report(peer, served, out);

    out << "\nthe peer's user zooms the map out to level 15 at the site; the CAD view follows (20012)\n";
    peer->SendToClient(20012, peer->Tiles().MoveView(peer->Config(), cx, cy, 15));
    standin::AdvanceClockMs(2000);
    Report(peer, served, out);

    out << "\nToolbar: 下载底图到本地: level 16, the frame of the site plan, image name \"site\"\n";
    // A frame around the site plan, which the capture takes its range from.
    OdDbObjectId frame = AddOutline(Drawing(), 499990, 2999990, 500230, 3000160);
    standin::QueueDialogAnswer(kCaptureDialog, [](HWND dialog) {
        standin::DialogItem(dialog, 8144).selection = 12;  // "级别:16"
        standin::DialogItem(dialog, 8146).check = 0;
        standin::DialogItem(dialog, 8147).check = 1;
        standin::DialogItem(dialog, 8148).text = L"site";
        return IDOK;
    });
    standin::QueuePick(frame, OdGePoint3d(499990, 3000050, 0));
    standin::ClickToolBarButton(bar, kCaptureButton);
    out << "  the base map went off for the capture\n";
    standin::AdvanceClockMs(6000);
    for (const auto& s : peer->Tiles().Served()) {
        if (!s.capture) continue;
        out << "  capture request " << s.path << ", " << s.width << " x " << s.height << " pixels, answered "
            << (s.status == -102 ? "not ready (progress sent)" : s.written ? "with the JPEG" : "with a failure")
            << "\n";
    }
    Report(peer, served, out);

    out << "\nToolbar: 加载在线底图 (on again): cached tiles are placed at once, the peer is asked only for "
           "those never fetched\n";
    ShowView(cx, cy, 16);
    standin::ClickToolBarButton(bar, kBaseMapButton);
    standin::AdvanceClockMs(1000);
    Report(peer, served, out);

    // Saving switches the base map off (tiles are not saved): the picture
    // of the tiles under the site plan is taken now.
    RenderStats stats;
    std::string error;
    RenderWindow site;
    site.minX = 499960, site.minY = 2999950, site.maxX = 500320, site.maxY = 3000220;
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (RenderModelSpace(Drawing(), kPicture, 1600, stats, error, site, doc->fileName().c_str()))
        out << "  picture of the site with the base map: " << standin::NativePath(kPicture) << " ("
            << stats.width << " x " << stats.height << " pixels, " << stats.entities << " entities, "
            << stats.images << " images drawn from their files)\n";
    else
        out << "  no picture of model space: " << error << "\n";
}

}  // namespace velkhost
