// Starting the base map of a drawing and walking the tiles of the view.
#include "basemap/dlgsetting.h"
#include "basemap_fixture.h"
#include "machine_control.h"

namespace {

using velktest::ReadAt;

// The drawing's cache folder, named as the module names it.
CString ExpectedCacheFolder(const wchar_t* text)
{
    CString id;
    id.Format(L"%I64d", (int64_t)StringToId64(text));
    return CString(L"C:\\Temp\\MapTemp\\") + id;
}

TEST_F(BaseMapTest, RefreshAsksThePeerInOrderZoomsToItsLevelAndAsksEveryTileOfTheView)
{
    // The view shows level 10 somewhere else: the first zoom goes to the
    // origin at the peer's level.
    SetView(512345.0, 3004321.0, 1080 * Resolution(10), 1920, 1080);
    RefreshBaseMap(&drawing->baseMap);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20501, 20202, 20012, 20211, 20212, 20302}));
    ViewExtents v = View();
    EXPECT_DOUBLE_EQ((v.minX + v.maxX) / 2, 500000.0);
    EXPECT_DOUBLE_EQ((v.minY + v.maxY) / 2, 3000000.0);
    EXPECT_NEAR(v.maxX - v.minX, 1920 * Resolution(16), 1e-6);
    EXPECT_EQ(g_pEditorReactor->m_bViewGuard, 0);
    EXPECT_NE(CommandLine().find(L"\nLevel:16\n"), std::wstring::npos);
    EXPECT_EQ(drawing->baseMap.loaded, 1);
    EXPECT_EQ(drawing->baseMap.grid.cacheFolder, ExpectedCacheFolder(L"site.dwg_0_50_300"));

    // 120 x 67.5 units in tiles of 32: 3 tiles beyond the centre each way.
    const auto& request = peer->Messages().back().bytes;
    ASSERT_EQ(request.size(), 16 + 49 * 472u);
    EXPECT_EQ(ReadAt<uint16_t>(request, 0), 101);
    std::vector<velkpeer::ServedImage> tiles = ServedTiles();
    ASSERT_EQ(tiles.size(), 49u);
    for (size_t i = 0; i < tiles.size(); ++i) {
        // The peer's own grid agrees with the module's file names, and the
        // walk's order holds.
        char name[64];
        snprintf(name, sizeof name, "\\1\\16\\%d_%d.png", tiles[i].column, tiles[i].row);
        EXPECT_NE(tiles[i].path.find(name), std::string::npos) << tiles[i].path;
        EXPECT_EQ(tiles[i].sequence, (int64_t)i + 1);
        EXPECT_EQ(tiles[i].status, 1);
    }
    EXPECT_EQ(tiles.front().column, 3);
    EXPECT_EQ(tiles.front().row, 3);
    EXPECT_EQ(tiles.back().column, 0);
    EXPECT_EQ(tiles.back().row, 0);

    // The centre tile's record byte by byte.
    std::vector<uint8_t> r(request.end() - 472, request.end());
    CString path = ExpectedCacheFolder(L"site.dwg_0_50_300") + L"\\1\\16\\0_0.png";
    EXPECT_EQ(ReadAt<uint64_t>(r, 0), StringToId64(path));
    EXPECT_EQ(ReadAt<int64_t>(r, 8), 49);
    EXPECT_EQ(ReadAt<int32_t>(r, 16), 1);
    EXPECT_EQ(ReadAt<int32_t>(r, 20), 0);
    EXPECT_EQ(std::string((const char*)r.data() + 24), tiles.back().path);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 304), 500000.0 - 16);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 312), 3000000.0 - 16);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 320), 500000.0 + 16);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 328), 3000000.0 + 16);
    ExpectImageFields(r, 16, 1, 512, 512, 0);
    const size_t pathEnd = 24 + tiles.back().path.size();
    for (size_t i = pathEnd; i < 304; ++i) EXPECT_EQ(r[i], 0) << i;
    for (size_t i : {337u, 338u, 339u, 356u, 368u, 372u, 380u, 385u, 471u}) EXPECT_EQ(r[i], 0) << i;

    // A later refresh zooms about the view, not to the origin again.
    SetView(500100.0, 3000050.0, 1080 * Resolution(3), 1920, 1080);
    RefreshBaseMap(&drawing->baseMap);
    v = View();
    EXPECT_DOUBLE_EQ((v.minX + v.maxX) / 2, 500100.0);
}

TEST_F(BaseMapTest, PlacedTilesLieOnTheirLayerAtTheBottomWithinTheDoubledView)
{
    g_settings.maxBaseMapLevel = 20;
    OdDbObjectId line = AddLine(499990, 2999990, 500010, 3000010);
    standin::RequireDocumentLock(true);
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    // Rows 3 and -3 lie beyond the doubled view (67.5 units each way).
    EXPECT_EQ(s.placedTiles.size(), 35u);
    EXPECT_EQ(s.placedHandles.size(), 35u);
    EXPECT_TRUE(s.toMoveDown.empty());
    EXPECT_EQ(OverlappingPlacedPairs(), 0u);
    std::vector<OdDbObjectId> order = DrawOrder();
    ASSERT_EQ(order.size(), 36u);
    EXPECT_EQ(order.back(), line);
    for (const auto& [id, tile] : s.placedTiles) {
        EXPECT_EQ(LayerOf(tile.imageId), L"MapLayer");
        EXPECT_EQ(s.placedHandles.count((uint64_t)tile.imageId.getHandle()), 1u);
        EXPECT_LT(std::fabs(tile.minY + tile.maxY - 2 * 3000000.0) / 2, 67.5 + 16);
        EXPECT_EQ(tile.level, 16);
        EXPECT_EQ((uint64_t)tile.id, id);
    }
    // The layer was made once, red.
    EXPECT_FALSE(s.mapLayer.isNull());
    EXPECT_TRUE(standin::HostViolations().empty());
    // Another tick with nothing new changes nothing, and does not even
    // redraw: the tiles beyond the doubled view wait in no queue.
    const int inserted = standin::HostCallCount("append");
    const int updates = standin::UpdateDisplayCount();
    Tick(1009);
    Tick(1009);
    EXPECT_EQ(standin::HostCallCount("append"), inserted);
    EXPECT_EQ(standin::UpdateDisplayCount(), updates);
    EXPECT_TRUE(s.imageQueue.empty());
    EXPECT_EQ(s.placedTiles.size(), 35u);
}

TEST_F(BaseMapTest, PanningAsksOnlyTheNewColumnAndZoomingReplacesTheCoarserTiles)
{
    SetReceiverTimer(1006, 1000);
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    const size_t asked = ServedTiles().size();
    // One tile to the east: the view poll notices, column 4 is new.
    ViewExtents v = View();
    SetView((v.minX + v.maxX) / 2 + 32, (v.minY + v.maxY) / 2, v.maxY - v.minY, 1920, 1080);
    g_pEditorReactor->m_viewExtents = View();
    standin::AdvanceClockMs(1000);
    std::vector<velkpeer::ServedImage> tiles = ServedTiles();
    ASSERT_EQ(tiles.size(), asked + 7);
    for (size_t i = asked; i < tiles.size(); ++i) EXPECT_EQ(tiles[i].column, 4);
    Tick(1009);
    for (const auto& [id, tile] : s.placedTiles) EXPECT_GT(tile.maxX, View(2.0).minX);

    // Zoomed in to level 17: its tiles replace the level-16 tiles below them.
    v = View();
    SetView((v.minX + v.maxX) / 2, (v.minY + v.maxY) / 2, 1080 * Resolution(17), 1920, 1080);
    g_pEditorReactor->m_viewExtents = View();
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(ServedTiles().back().level, 17);
    Tick(1009);
    EXPECT_EQ(OverlappingPlacedPairs(), 0u);
    size_t coarse = 0;
    for (const auto& [id, tile] : s.placedTiles) coarse += tile.level == 16;
    EXPECT_EQ(coarse, 0u);
    EXPECT_NE(CommandLine().find(L"\nLevel:17\n"), std::wstring::npos);
}

TEST_F(BaseMapTest, TilesCachedInOneRunAreFoundInTheNextWithoutARequest)
{
    // The cache root is a drive of the first machine that the second sees
    // as well.
    namespace fs = std::filesystem;
    const std::string first = velktest::MachineRoot();
    fs::create_directories(first + "/S/cache");
    g_cacheRoot = L"S:\\cache";
    StartBaseMap();
    const size_t placed = drawing->baseMap.placedTiles.size();
    ASSERT_EQ(placed, 35u);
    const size_t asked = ServedTiles().size();
    ASSERT_EQ(asked, 49u);

    // A second machine: the plug-in loads anew, the same drawing opens.
    const std::string second = first + "-second";
    fs::create_directories(second);
    velktest::ResetPluginState();
    peer.reset();
    standin::ResetMachine(second);
    standin::MapDrive(L'S', first + "/S");
    SetUp();
    g_cacheRoot = L"S:\\cache";
    StartBaseMap();
    EXPECT_TRUE(ServedTiles().empty());
    EXPECT_EQ(CountOf(20302), 0u);
    EXPECT_EQ(drawing->baseMap.cacheIndex.size(), 49u);
    EXPECT_EQ(drawing->baseMap.placedTiles.size(), placed);
    velktest::ResetPluginState();
    peer.reset();
    standin::ResetMachine(first);
    fs::remove_all(second);
}

// The settings dialog's new cache folder restarts the base map: the view's
// tiles are asked again into the new folder and placed from there.
TEST_F(BaseMapTest, ANewCacheRootRestartsTheBaseMapFromTheNewFolder)
{
    StartBaseMap();
    ASSERT_EQ(drawing->baseMap.placedTiles.size(), 35u);
    const size_t asked = ServedTiles().size();
    ASSERT_TRUE(CreateDirectoryW(L"D:\\", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryW(L"D:\\cache", nullptr));
    ChangeCacheRoot(L"D:\\cache");
    Tick(1009);
    const std::vector<velkpeer::ServedImage> served = ServedTiles();
    ASSERT_GT(served.size(), asked);
    for (size_t i = asked; i < served.size(); ++i)
        EXPECT_EQ(served[i].path.rfind("D:\\cache\\MapTemp\\", 0), 0u) << served[i].path;
    EXPECT_EQ(drawing->baseMap.placedTiles.size(), 35u);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Temp\\MapTemp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BaseMapTest, ACachedTileWhoseFileWentIsAskedAgain)
{
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    ASSERT_EQ(s.placedTiles.size(), 35u);
    ClearBaseMapTiles(&s);
    // The centre's file is deleted behind the module's back, another emptied.
    const CString centre = TileImagePath(&s, 0, 0);
    std::filesystem::remove(standin::NativePath(centre.GetString()));
    velktest::WriteNativeFile(standin::NativePath(TileImagePath(&s, 1, 0).GetString()), "");
    const size_t asked = ServedTiles().size();
    LoadViewTiles(&s, 0);
    Tick(1009);
    Tick(1009);
    std::vector<velkpeer::ServedImage> tiles = ServedTiles();
    ASSERT_EQ(tiles.size(), asked + 2);
    EXPECT_EQ(s.placedTiles.size(), 35u);
    EXPECT_EQ(s.placedTiles.count(StringToId64(centre)), 1u);
}

TEST_F(BaseMapTest, NothingLoadsWithoutAReadyDrawingAUsablePeerOrAPlaneSystem)
{
    drawing->baseMap.ready = 0;
    RefreshBaseMap(&drawing->baseMap);
    EXPECT_TRUE(peer->Codes().empty());
    drawing->baseMap.ready = 1;
    g_settings.onlineBaseMap = 0;
    RefreshBaseMap(&drawing->baseMap);
    EXPECT_TRUE(peer->Codes().empty());
    g_settings.onlineBaseMap = 1;

    // A busy peer: nothing, and no word of it.
    peer->Config().statusWord = 1;
    RefreshBaseMap(&drawing->baseMap);
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_EQ(CommandLine(), L"");

    // Longitude and latitude: said once per refresh, nothing asked beyond.
    peer->Config().statusWord = 0x101;
    peer->Config().coordKind = 2;
    RefreshBaseMap(&drawing->baseMap);
    EXPECT_EQ(peer->Codes().back(), 20202u);
    EXPECT_EQ(CommandLine(), L"\n当前拓岚坐标系为经纬度，请设置！");
    EXPECT_EQ(drawing->baseMap.loaded, 0);
    // The walk itself refuses too.
    drawing->baseMap.grid.cacheFolder = L"C:\\Temp\\MapTemp\\1";
    LoadViewTiles(&drawing->baseMap, 0);
    EXPECT_EQ(CountOf(20302), 0u);
}

TEST_F(BaseMapTest, ADrawingOriginComesFromModelSpaceAndTilesBeyondTheEastingRangeAreSkipped)
{
    peer->Config().coordKind = 4;
    peer->Config().coordIdentifier = "plane-grid-4";
    // A drawing around (340000, 3100000).
    AddLine(339000, 3099000, 341000, 3101000);
    SetView(340000, 3100000, 1080 * Resolution(16), 1920, 1080);
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    EXPECT_EQ(CountOf(20211), 0u);
    EXPECT_TRUE(s.grid.origin.isEqualTo(OdGePoint3d(340000, 3100000, 0)));
    const uint64_t key = DigestToId64((const uint8_t*)"plane-grid-4\0\0\0\0");
    EXPECT_EQ(s.coordKey, key);
    CString name;
    name.Format(L"site.dwg_%I64d_34_310", (int64_t)key);
    EXPECT_EQ(s.grid.cacheFolder, ExpectedCacheFolder(name));
    EXPECT_EQ(ServedTiles().size(), 49u);

    // At the range's edge (easting 160000) the tiles west of it are
    // skipped, and said so once.
    OpenDrawing(L"C:\\dwg\\edge.dwg");
    const size_t before = ServedTiles().size();
    AddLine(159000, 3099000, 161000, 3101000);
    SetView(160000, 3100000, 1080 * Resolution(16), 1920, 1080);
    StartBaseMap();
    std::vector<velkpeer::ServedImage> tiles = ServedTiles();
    tiles.erase(tiles.begin(), tiles.begin() + (long)before);
    // Columns 1 to 3 of 7 rows: the centre column reaches west of 160000.
    ASSERT_EQ(tiles.size(), 21u);
    for (const auto& t : tiles) EXPECT_GE(t.minX, 160000.0);
    EXPECT_EQ(Occurrences(CommandLine(), L"\n超出坐标系范围不显示底图!\n"), 1u);
    LoadViewTiles(&drawing->baseMap, 0);
    EXPECT_EQ(Occurrences(CommandLine(), L"\n超出坐标系范围不显示底图!\n"), 1u);
}

TEST_F(BaseMapTest, LevelsOutsideTheLoadedBandAskNothingAndSaySoOncePerChange)
{
    StartBaseMap();
    const size_t asked = ServedTiles().size();
    // Level 17 is above a maximum of 16.
    g_settings.maxBaseMapLevel = 16;
    ViewExtents v = View();
    SetView((v.minX + v.maxX) / 2, (v.minY + v.maxY) / 2, 1080 * Resolution(17), 1920, 1080);
    LoadViewTiles(&drawing->baseMap, 0);
    LoadViewTiles(&drawing->baseMap, 0);
    EXPECT_EQ(ServedTiles().size(), asked);
    EXPECT_EQ(Occurrences(CommandLine(), L"\n级别太高，不加载底图！\n"), 1u);
    // Back at 16: asked again (the new tiles of the column), message armed.
    SetView((v.minX + v.maxX) / 2 + 32, (v.minY + v.maxY) / 2, 1080 * Resolution(16), 1920, 1080);
    LoadViewTiles(&drawing->baseMap, 0);
    EXPECT_GT(ServedTiles().size(), asked);
    // Level 4 is below the band.
    SetView((v.minX + v.maxX) / 2, (v.minY + v.maxY) / 2, 1080 * Resolution(4), 1920, 1080);
    LoadViewTiles(&drawing->baseMap, 0);
    EXPECT_EQ(Occurrences(CommandLine(), L"\n级别太低，不加载底图！\n"), 1u);
}

TEST_F(BaseMapTest, TheLevelSnapsTheViewOnlyOutsideItsToleranceAndSurvivesAMinimisedWindow)
{
    BaseMapState& s = drawing->baseMap;
    // Within 5 %: level 16, the view stays.
    SetView(500000, 3000000, 1080 * Resolution(16) * 1.04, 1920, 1080);
    const int views = standin::SetCurrentViewCount();
    EXPECT_EQ(LevelForView(&s, View()), 16);
    EXPECT_EQ(standin::SetCurrentViewCount(), views);
    // 15 % off: level 16, the view snaps to it about its centre.
    SetView(500010, 3000020, 1080 * Resolution(16) * 1.15, 1920, 1080);
    EXPECT_EQ(LevelForView(&s, View()), 16);
    ViewExtents v = View();
    EXPECT_NEAR(v.maxX - v.minX, 1920 * Resolution(16), 1e-6);
    EXPECT_NEAR((v.minX + v.maxX) / 2, 500010, 1e-6);
    // The tables came from the peer on the first call.
    EXPECT_EQ(CountOf(20212), 1u);

    // Minimised: no pixels, no division; the walk does nothing.
    s.grid.viewLevel = 12;
    SetView(500000, 3000000, 1080 * Resolution(16), 0, 0);
    EXPECT_EQ(LevelForView(&s, View()), 12);
    s.grid.cacheFolder = L"C:\\Temp\\MapTemp\\1";
    LoadViewTiles(&s, 0);
    EXPECT_EQ(CountOf(20302), 0u);
    // Nor does a refresh that would zoom, or the peer's move to follow.
    s.grid.viewLevel = 3;
    g_settings.followMode = 2;
    const int minimised = standin::SetCurrentViewCount();
    RefreshBaseMap(&s);
    EXPECT_EQ(s.loaded, 1);
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(500400.0, 3000200.0, 15, 1));
    EXPECT_EQ(standin::SetCurrentViewCount(), minimised);
    EXPECT_EQ(CountOf(20302), 0u);

    // No resolutions at all: level 5, and no zero-size zoom.
    peer->Config().levelResolutions.clear();
    for (int i = 0; i < 29; ++i) s.xResolution[i] = s.yResolution[i] = 0;
    SetView(500000, 3000000, 50, 1920, 1080);
    const int before = standin::SetCurrentViewCount();
    EXPECT_EQ(LevelForView(&s, View()), 5);
    EXPECT_EQ(standin::SetCurrentViewCount(), before);
    EXPECT_NEAR(View().maxY - View().minY, 50, 1e-9);
}

TEST_F(BaseMapTest, TheTileSizeFollowsTheScreenWidth)
{
    standin::SetScreenSize(3840, 2160);
    OpenDrawing(L"C:\\dwg\\wide.dwg");
    EXPECT_EQ(drawing->baseMap.tilePixelSize, 1024);
    SetView(500000, 3000000, 2160 * Resolution(16), 3840, 2160);
    StartBaseMap();
    ASSERT_FALSE(ServedTiles().empty());
    for (const auto& t : ServedTiles()) {
        EXPECT_EQ(t.width, 1024);
        EXPECT_DOUBLE_EQ(t.maxX - t.minX, 64.0);
    }
}

}  // namespace
