// The base map's tiles placed under the view, and a capture of the site,
// with each host call failing in turn.
#include <filesystem>

#include "basemap/basemap.h"
#include "basemap/capture.h"
#include "basemap/capturemapsetting.h"
#include "common/document/dwgdatabaseutil.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcedinput.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "shell/messagedlg.h"
#include "standin_control.h"
#include "state/settings.h"
#include "sweep_fixture.h"
#include "window_control.h"

namespace {

class BaseMapSweepTest : public SweepTest {
protected:
    void Tick(UINT_PTR id) { SendMessageW(g_pMessageDlg->GetSafeHwnd(), WM_TIMER, id, 0); }

    // Raster images in model space, and those of them on the tiles' layer.
    std::pair<size_t, size_t> Images() const
    {
        size_t all = 0, tiles = 0;
        for (const OdDbObjectId& id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, db)) {
            OdDbRasterImage* image = nullptr;
            if (oddbOpenObject(image, id, OdDb::kForRead) != eOk) continue;
            ++all;
            tiles += std::wstring(image->layer().c_str()) == L"MapLayer";
            image->close();
        }
        return {all, tiles};
    }
    // Every tile the state remembers is an image in the drawing, and every
    // image on the tiles' layer is remembered: a forgotten one would never
    // be cleared.
    void CheckTilesKnown() const
    {
        const BaseMapState& s = drawing->baseMap;
        EXPECT_EQ(s.placedTiles.size(), s.placedHandles.size());
        for (const auto& [id, tile] : s.placedTiles) {
            OdDbRasterImage* image = nullptr;
            EXPECT_EQ(oddbOpenObject(image, tile.imageId, OdDb::kForRead), eOk) << "a placed tile is no image";
            if (image) image->close();
        }
        EXPECT_EQ(Images().second, s.placedTiles.size()) << "tiles in the drawing that the state forgot";
    }

    // The cache folder as a first run of the scene leaves it: the sweep's
    // runs place cached tiles, which spares the peer drawing them anew.
    void StashTileCache()
    {
        sweep::FreshMachine();
        BuildBaseMapScene();
        RefreshBaseMap(&drawing->baseMap);
        Tick(1009);
        stash = std::filesystem::path(standin::MachineRoot()).parent_path() / "tile-stash";
        std::filesystem::remove_all(stash);
        std::filesystem::copy(standin::NativePath(L"C:\\Temp"), stash, std::filesystem::copy_options::recursive);
        peer.reset();
    }

    sweep::World TileWorld()
    {
        StashTileCache();
        sweep::World w;
        w.build = [this] {
            std::filesystem::copy(stash, standin::NativePath(L"C:\\Temp"),
                                  std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
            BuildBaseMapScene();
            user = AddUserEntities();
        };
        w.run = [this] {
            RefreshBaseMap(&drawing->baseMap);
            Tick(1009);
            // The next walk of the view: what the first could not place
            // comes again.
            LoadViewTiles(&drawing->baseMap, 0);
            Tick(1009);
            return false;
        };
        w.outcome = [this] {
            auto [all, tiles] = Images();
            return "placed " + std::to_string(drawing->baseMap.placedTiles.size()) + " images " +
                   std::to_string(all) + " on the layer " + std::to_string(tiles);
        };
        w.check = [this](bool) { CheckTilesKnown(); };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        return w;
    }

    std::filesystem::path stash;

    sweep::World CaptureWorld()
    {
        sweep::World w;
        w.build = [this] {
            BuildBaseMapScene();
            g_settings.onlineBaseMap = 0;
            std::filesystem::create_directories(standin::NativePath(L"C:\\dwg"));
            user = AddUserEntities();
        };
        w.run = [this] {
            // Level 16, the first entity's extents.
            standin::QueueDialogAnswer(CCaptureMapSetting::IDD, [](HWND dialog) {
                standin::DialogItem(dialog, 8144).selection = 12;
                standin::DialogItem(dialog, 8146).check = false;
                standin::DialogItem(dialog, 8147).check = true;
                return IDOK;
            });
            standin::QueuePick(IdOf(user.front()), OdGePoint3d(500020, 3000005, 0));
            CaptureMapCommand(&drawing->baseMap);
            standin::AdvanceClockMs(3000);
            standin::AdvanceClockMs(3000);
            return false;
        };
        w.outcome = [this] {
            return "captured " + std::to_string(drawing->baseMap.capturedImages.size()) + " images " +
                   std::to_string(Images().first);
        };
        w.check = [this](bool) {
            const BaseMapState& s = drawing->baseMap;
            EXPECT_EQ(s.currentCapture.busy, 0);
            EXPECT_FALSE(standin::HasTimer(g_pMessageDlg->GetSafeHwnd(), 1010));
            for (const auto& [id, path] : s.capturedImages) {
                OdDbRasterImage* image = nullptr;
                EXPECT_EQ(oddbOpenObject(image, id, OdDb::kForRead), eOk) << "a captured image that is none";
                if (image) image->close();
            }
            EXPECT_EQ(Images().first, s.capturedImages.size()) << "captured images the state forgot";
        };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        return w;
    }
};

TEST_F(BaseMapSweepTest, PlacingTilesWithEachOpenAppendOrAddFailing)
{
    sweep::World w = TileWorld();
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 20);
    EXPECT_GT(sweep::SweepHostCalls(w, "append", eInvalidInput), 3);
    EXPECT_GT(sweep::SweepHostCalls(w, "add", eInvalidInput), 0);
    EXPECT_GT(sweep::SweepHostCalls(w, "setAt", eInvalidInput), 0);
}

TEST_F(BaseMapSweepTest, ACaptureWithEachOpenAppendOrAddFailing)
{
    sweep::World w = CaptureWorld();
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 5);
    EXPECT_GT(sweep::SweepHostCalls(w, "append", eInvalidInput), 0);
    EXPECT_GT(sweep::SweepHostCalls(w, "setAt", eInvalidInput), 0);
}

}  // namespace
