// The peer's answers to tile requests: which are placed, which replace
// others, which are retried, and the CAD view following the peer's.
#include "basemap_fixture.h"

#include "afxmsgbox.h"
#include "common/symboltable/layerutil.h"
#include "peer/peerrequests.h"
#include "state/modulestate.h"

namespace {

class TilePlacementTest : public BaseMapTest {
protected:
    // A placed and cleared base map: grid, layer and cache folder stand.
    void Started()
    {
        StartBaseMap();
        ClearBaseMapTiles(&drawing->baseMap);
        drawing->baseMap.imageQueue.clear();
    }
    // A finished answer for tile (dx, dy) of the current walk.
    TileRequest Answer(int32_t dx, int32_t dy, int32_t status = 1)
    {
        BaseMapState& s = drawing->baseMap;
        TileRequest r;
        memset(&r, 0, sizeof r);
        SetTileRequestPath(r, TileImagePath(&s, dx, dy));
        OdGePoint2d min, max;
        TileRectangle(&s, dx, dy, min, max);
        r.minX = min.x, r.minY = min.y, r.maxX = max.x, r.maxY = max.y;
        r.status = status;
        r.path[kTileReadyByte] = 1;
        r.level = s.grid.viewLevel;
        r.mapType = s.grid.mapType;
        r.pixelWidth = r.pixelHeight = s.tilePixelSize;
        r.coordMode = 2;
        r.byte384 = 1;
        return r;
    }
    LRESULT Deliver(const TileRequest& r)
    {
        COPYDATASTRUCT cds;
        cds.dwData = (7u << 16) | 20302;
        cds.cbData = sizeof r;
        cds.lpData = const_cast<TileRequest*>(&r);
        return SendMessageW(ReceiverWindow(), WM_COPYDATA, 1001, (LPARAM)&cds);
    }
    // A tile image file of its own at a path below the cache folder.
    MapImageRecord Image(const wchar_t* name, uint64_t id, double minX, double minY, double maxX, double maxY)
    {
        MapImageRecord image;
        image.imagePath = drawing->baseMap.grid.cacheFolder + L"\\" + name;
        velkpeer::WritePngFile(standin::NativePath(image.imagePath.GetString()), 4, 4,
                               std::vector<uint8_t>(48, 200));
        image.id = id;
        image.minX = minX, image.minY = minY, image.maxX = maxX, image.maxY = maxY;
        image.level = (uint64_t)drawing->baseMap.grid.viewLevel;
        return image;
    }
    std::vector<uint64_t> PlacedIds() const
    {
        std::vector<uint64_t> ids;
        for (const auto& entry : drawing->baseMap.placedTiles) ids.push_back(entry.first);
        return ids;
    }
    size_t RasterImages() const
    {
        size_t n = 0;
        for (const OdDbObjectId& id : DrawOrder()) {
            OdDbObject* o = nullptr;
            if (oddbOpenObject(o, id, OdDb::kForRead) != eOk) continue;
            n += OdRxCast<OdDbRasterImage>(o) != nullptr;
            o->close();
        }
        return n;
    }
};

TEST_F(TilePlacementTest, EachAnswerIsSortedIntoATileARetryOrTheCapturesBusiness)
{
    Started();
    BaseMapState& s = drawing->baseMap;
    // A finished tile of the view's level: cached and queued.
    s.failedTiles = 5;
    Deliver(Answer(0, 0));
    ASSERT_EQ(s.imageQueue.size(), 1u);
    EXPECT_EQ(s.imageQueue.back().fromReply, 1);
    EXPECT_EQ(s.imageQueue.back().id, StringToId64(TileImagePath(&s, 0, 0)));
    EXPECT_EQ(s.failedTiles, 0);
    // Another level: cached only, unless insertion waits for a command.
    TileRequest other = Answer(1, 0);
    other.level = 15;
    Deliver(other);
    EXPECT_EQ(s.imageQueue.size(), 1u);
    EXPECT_EQ(s.cacheIndex.count(StringToId64(TileImagePath(&s, 1, 0))), 1u);
    g_pEditorReactor->m_bSuspendInsert = 1;
    Deliver(other);
    EXPECT_EQ(s.imageQueue.size(), 2u);
    EXPECT_EQ(s.imageQueue.back().level, 16u);
    g_pEditorReactor->m_bSuspendInsert = 0;

    // Not usable: no ready mark; a file that is missing, empty or not the
    // module's own; arriving while all tiles are cleared.
    TileRequest unmarked = Answer(0, 1);
    unmarked.path[kTileReadyByte] = 0;
    s.failedTiles = 3;
    Deliver(unmarked);
    EXPECT_EQ(s.failedTiles, 0);  // the end of a capture that runs none
    TileRequest missing = Answer(0, 1);
    SetTileRequestPath(missing, s.grid.cacheFolder + L"\\1\\16\\99_99.png");
    missing.path[kTileReadyByte] = 1;
    s.failedTiles = 3;
    Deliver(missing);
    EXPECT_EQ(s.failedTiles, 3);  // dropped before the counter
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\empty.png"), "");
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\other.png"), "png");
    for (const wchar_t* foreign : {L"C:\\dwg\\other.png", L"C:\\dwg\\empty.png"}) {
        TileRequest elsewhere = Answer(0, 1);
        SetTileRequestPath(elsewhere, foreign);
        elsewhere.path[kTileReadyByte] = 1;
        Deliver(elsewhere);
    }
    CString climbing = s.grid.cacheFolder + L"\\..\\..\\..\\dwg\\other.png";
    TileRequest climb = Answer(0, 1);
    SetTileRequestPath(climb, climbing);
    climb.path[kTileReadyByte] = 1;
    Deliver(climb);
    s.clearing = 1;
    Deliver(Answer(0, 1));
    s.clearing = 0;
    EXPECT_EQ(s.imageQueue.size(), 2u);
    EXPECT_EQ(s.cacheIndex.count(StringToId64(L"C:\\dwg\\other.png")), 0u);

    // Not ready: a tile goes on the retry list; a record of the tile's
    // width but another height is no tile, and no capture runs.
    s.failedTiles = 0;
    Deliver(Answer(1, 1, -102));
    EXPECT_EQ(s.retryList.size(), 1u);
    EXPECT_EQ(s.failedTiles, 1);
    TileRequest odd = Answer(1, 1, -102);
    odd.pixelHeight = 300;
    Deliver(odd);
    EXPECT_EQ(s.retryList.size(), 1u);
    EXPECT_FALSE(standin::HasTimer(ReceiverWindow(), 1010));

    // A running capture is touched by no tile's failure and no foreign image.
    s.currentCapture.busy = 1;
    s.currentCapture.imagePath = L"C:\\dwg\\site_REFMAP\\a.jpg";
    s.currentCapture.id = StringToId64(s.currentCapture.imagePath);
    Deliver(Answer(2, 2, -7));
    TileRequest foreign = Answer(2, 2, 2);
    foreign.pixelWidth = foreign.pixelHeight = 900;
    Deliver(foreign);
    EXPECT_EQ(s.currentCapture.busy, 1);
    EXPECT_TRUE(s.capturedImages.empty());
    EXPECT_EQ(CommandLine().find(L"Begin Insert"), std::wstring::npos);
}

TEST_F(TilePlacementTest, ANewTileReplacesTheTilesItOverlapsButNotThoseItOnlyTouches)
{
    Started();
    BaseMapState& s = drawing->baseMap;
    const double x = 500000, y = 3000000;
    InsertTileImage(&s, Image(L"a.png", 100, x, y, x + 32, y + 32));
    InsertTileImage(&s, Image(L"b.png", 200, x + 32, y, x + 64, y + 32));
    // Touching along an edge, and overlapping by less than 0.1: both stay.
    InsertTileImage(&s, Image(L"d.png", 50, x - 31.95, y, x + 0.05, y + 32));
    EXPECT_EQ(PlacedIds(), (std::vector<uint64_t>{50, 100, 200}));
    // Overlapping a by 0.15 and b by most of it: both go.
    InsertTileImage(&s, Image(L"c.png", 300, x + 31.85, y, x + 63.85, y + 32));
    EXPECT_EQ(PlacedIds(), (std::vector<uint64_t>{50, 300}));
    EXPECT_EQ(RasterImages(), 2u);
    EXPECT_EQ(s.placedHandles.size(), 2u);

    // The same tile again is not placed twice, but a tile of smaller id
    // under it goes before the duplicate is seen.
    InsertTileImage(&s, Image(L"e.png", 60, x + 40, y + 40, x + 50, y + 50));
    const int appended = standin::HostCallCount("append");
    InsertTileImage(&s, Image(L"c.png", 300, x + 31.85, y + 20, x + 63.85, y + 52));
    EXPECT_EQ(PlacedIds(), (std::vector<uint64_t>{50, 300}));
    EXPECT_EQ(standin::HostCallCount("append"), appended);

    // A tile that left the doubled view goes with the next one placed; one
    // beyond it is not placed at all.
    InsertTileImage(&s, Image(L"far.png", 400, x + 500, y, x + 532, y + 32));
    EXPECT_EQ(s.placedTiles.count(400), 0u);
    s.doubledView.minX += 150;
    s.doubledView.maxX += 150;
    InsertTileImage(&s, Image(L"f.png", 500, x + 100, y - 60, x + 132, y - 28));
    EXPECT_EQ(PlacedIds(), (std::vector<uint64_t>{300, 500}));
    // The placed tiles wait to go to the bottom, then go together.
    EXPECT_EQ(s.toMoveDown.size(), 2u);
    OdDbObjectId line = AddLine(x, y, x + 10, y + 10);
    EXPECT_EQ(InsertQueuedTiles(&s, true), 0);
    EXPECT_TRUE(s.toMoveDown.empty());
    EXPECT_EQ(DrawOrder().back(), line);
}

TEST_F(TilePlacementTest, TilesClearedWhileAReplacedTilesBoxIsOpenAreNotWalkedAgain)
{
    g_settings.followMode = 2;
    Started();
    BaseMapState& s = drawing->baseMap;
    const double x = 500000, y = 3000000;
    InsertTileImage(&s, Image(L"a.png", 100, x, y, x + 32, y + 32));
    InsertTileImage(&s, Image(L"b.png", 200, x + 32, y, x + 64, y + 32));
    InsertTileImage(&s, Image(L"c.png", 300, x - 32, y, x, y + 32));
    ASSERT_EQ(s.placedTiles.size(), 3u);
    // Erasing the tile the new one covers fails with a box; while it is
    // open the peer's user picks another map type, and all tiles go.
    static velkpeer::StandinPeer* s_peer;
    s_peer = peer.get();
    SetTimer(ReceiverWindow(), 4242, 100, [](HWND h, UINT, UINT_PTR id, DWORD) {
        KillTimer(h, id);
        s_peer->Config().mapType = 5;
        s_peer->SendToClient(20012, s_peer->Tiles().MoveView(s_peer->Config(), 500000.0, 3000000.0, 16));
    });
    g_pEditorReactor->m_bEcho = 1;
    s.imageQueue.push_back(Image(L"d.png", 150, x + 0.5, y + 0.5, x + 31.5, y + 31.5));
    standin::FailHostCall("openWrite", eInvalidInput);
    standin::SetModalDwellMs(300);
    Tick(1009);
    standin::SetModalDwellMs(0);
    ASSERT_FALSE(standin::MessageBoxes().empty());
    EXPECT_EQ(s.grid.mapType, 5);
    EXPECT_EQ(s.placedTiles.count(200), 0u);
    EXPECT_EQ(s.placedTiles.count(300), 0u);
    EXPECT_EQ(s.placedHandles.size(), s.placedTiles.size());
    for (const auto& [id, tile] : s.placedTiles) EXPECT_FALSE(tile.imageId.isErased()) << id;
}

TEST_F(TilePlacementTest, TilesNotReadyAreAskedAgainWithTheirNumbersUntilTheyCome)
{
    peer->Tiles().Config().pendingEvery = 2;
    RefreshBaseMap(&drawing->baseMap);
    BaseMapState& s = drawing->baseMap;
    // Tiles with an even column + row came back not ready.
    std::vector<int64_t> pending;
    for (const auto& t : ServedTiles())
        if (t.status == -102) pending.push_back(t.sequence);
    ASSERT_EQ(pending.size(), 25u);
    ASSERT_EQ(s.retryList.size(), 25u);

    // Timer 1007: one request with all of them, numbers kept.
    standin::AdvanceClockMs(300);
    EXPECT_TRUE(s.retryList.empty());
    std::vector<velkpeer::ServedImage> tiles = ServedTiles();
    ASSERT_EQ(tiles.size(), 49u + 25u);
    const auto& resend = peer->Messages().back().bytes;
    EXPECT_EQ(resend.size(), 16 + 25 * 472u);
    for (size_t i = 0; i < 25; ++i) {
        EXPECT_EQ(tiles[49 + i].sequence, pending[i]);
        EXPECT_EQ(tiles[49 + i].width, 512);
        EXPECT_EQ(tiles[49 + i].status, 1);
    }
    EXPECT_EQ(s.failedTiles, 0);
    standin::AdvanceClockMs(700);  // timer 1009
    EXPECT_EQ(s.placedTiles.size(), 35u);
    EXPECT_EQ(OverlappingPlacedPairs(), 0u);

    // Retries of another map type are dropped; switching the base map off
    // frees those pending without sending them.
    TileRequest r;
    memset(&r, 0, sizeof r);
    r.status = -102;
    r.mapType = s.grid.mapType + 1;
    QueueTileRetry(&s, r);
    EXPECT_TRUE(s.retryList.empty());
    r.mapType = s.grid.mapType;
    QueueTileRetry(&s, r);
    g_settings.onlineBaseMap = 0;
    const size_t requests = CountOf(20302);
    PollTileRetries(&s);
    EXPECT_TRUE(s.retryList.empty());
    EXPECT_EQ(CountOf(20302), requests);
}

TEST_F(TilePlacementTest, MoreThanAHundredRetriesSayTheMapIsLateAndCountAgain)
{
    Started();
    BaseMapState& s = drawing->baseMap;
    s.failedTiles = 0;
    const std::wstring late = L"\n长时间未能获取底图，可能原因(图源缺失/网络异常/叠加了图层)";
    for (int i = 0; i < 100; ++i) QueueTileRetry(&s, Answer(0, 0, -102));
    EXPECT_EQ(Occurrences(CommandLine(), late), 0u);
    EXPECT_EQ(s.failedTiles, 100);
    QueueTileRetry(&s, Answer(0, 0, -102));
    EXPECT_EQ(Occurrences(CommandLine(), late), 1u);
    EXPECT_EQ(s.failedTiles, 0);
    // The copy kept for the resend carries the request's fields, not the
    // answer's status or mark.
    const TileRequest& kept = s.retryList.back();
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.path[kTileReadyByte], 0);
    EXPECT_EQ(TileReplyPath(kept), TileImagePath(&s, 0, 0));
    EXPECT_EQ(kept.byte384, 1);
}

TEST_F(TilePlacementTest, AnAnswerArrivingWhileTilesArePlacedWaitsForTheNextTick)
{
    peer->Tiles().Config().pendingEvery = 2;
    RefreshBaseMap(&drawing->baseMap);
    BaseMapState& s = drawing->baseMap;
    ASSERT_EQ(s.retryList.size(), 25u);
    ASSERT_EQ(s.imageQueue.size(), 24u);
    // The first insertion fails with a message box, which stays open long
    // enough for the retry timer to run inside it.
    OdDbObjectId dictionary;
    OdDbRasterImageDef::createImageDictionary(oddbHostApplicationServices()->workingDatabase(), dictionary);
    standin::FailHostCall("openWrite", eInvalidInput);
    standin::SetModalDwellMs(300);
    Tick(1009);
    standin::SetModalDwellMs(0);
    EXPECT_FALSE(standin::MessageBoxes().empty());
    // The 25 answers that came inside the box wait, none lost, none placed
    // (the walk after the placing queued cached tiles beside them).
    size_t answered = 0;
    for (const MapImageRecord& image : s.imageQueue) answered += image.fromReply;
    EXPECT_EQ(answered, 25u);
    const size_t placed = s.placedTiles.size();
    Tick(1009);
    EXPECT_GT(s.placedTiles.size(), placed);
    EXPECT_EQ(OverlappingPlacedPairs(), 0u);
    LoadViewTiles(&s, 0);
    Tick(1009);
    EXPECT_EQ(s.placedTiles.size(), 35u);
}

TEST_F(TilePlacementTest, ClearingErasesTheImagesButKeepsTheCacheAndTheDrawingsEndTakesTheLayerToo)
{
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    ASSERT_EQ(RasterImages(), 35u);
    ClearBaseMapTiles(&s);
    EXPECT_EQ(RasterImages(), 0u);
    EXPECT_TRUE(s.placedTiles.empty());
    EXPECT_TRUE(s.placedHandles.empty());
    EXPECT_EQ(s.cacheIndex.size(), 49u);
    for (const auto& [id, path] : s.cacheIndex)
        EXPECT_TRUE(velktest::NativeExists(standin::NativePath(path.GetString())));
    EXPECT_EQ(s.clearing, 0);

    // The drawing's record goes: its tiles first, then the layer they were on.
    LoadViewTiles(&s, 0);
    Tick(1009);
    ASSERT_EQ(RasterImages(), 35u);
    RemoveDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
    drawing = nullptr;
    EXPECT_EQ(RasterImages(), 0u);
    EXPECT_TRUE(CLayerUtil::GetLayerId(L"MapLayer", false).isNull());
}

TEST_F(TilePlacementTest, TheCadViewFollowsThePeersMovesButNotItsAnswersToTheModule)
{
    g_settings.followMode = 2;
    StartBaseMap();
    BaseMapState& s = drawing->baseMap;
    // The refresh's own question did not move the view, and armed the flag.
    EXPECT_EQ(g_pEditorReactor->m_bEcho, 1);
    ViewExtents v = View();
    EXPECT_DOUBLE_EQ((v.minX + v.maxX) / 2, 500000.0);

    // The user moves the peer's map: the CAD view goes there at its level.
    auto report = peer->Tiles().MoveView(peer->Config(), 500400.0, 3000200.0, 15);
    EXPECT_EQ(peer->SendToClient(20012, report), 1);
    v = View();
    EXPECT_DOUBLE_EQ((v.minX + v.maxX) / 2, 500400.0);
    EXPECT_DOUBLE_EQ((v.minY + v.maxY) / 2, 3000200.0);
    EXPECT_NEAR(v.maxX - v.minX, 1920 * Resolution(15), 1e-6);
    EXPECT_EQ(ServedTiles().back().level, 15);
    EXPECT_EQ(s.grid.peerLevel, 15);

    // Another map type: the tiles shown go, the tables are asked again.
    Tick(1009);
    ASSERT_FALSE(s.placedTiles.empty());
    const size_t tables = CountOf(20212);
    peer->Config().mapType = 5;
    peer->SendToClient(20012, peer->Tiles().MoveView(peer->Config(), 500400.0, 3000200.0, 15));
    EXPECT_EQ(s.grid.mapType, 5);
    EXPECT_EQ(CountOf(20212), tables + 1);
    for (const auto& [id, tile] : s.placedTiles) EXPECT_EQ(tile.mapType, 5);
    EXPECT_NE(ServedTiles().back().path.find("\\5\\15\\"), std::string::npos);

    // Centres beyond the map, levels the tables do not hold, a view the
    // coordinate window holds: the view stays.
    const int views = standin::SetCurrentViewCount();
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(2e10, 3000200.0, 15, 5));
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(500400.0, 2e9, 15, 5));
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(500000.0, 3000000.0, 99, 5));
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(NAN, 3000000.0, 15, 5));
    g_settings.followMode = 3;
    g_bFollow3Enabled = 0;
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(500000.0, 3000000.0, 14, 5));
    EXPECT_EQ(standin::SetCurrentViewCount(), views);

    // Following off: the report is stored, nothing moves.
    g_settings.followMode = 0;
    g_bFollow3Enabled = 1;
    peer->SendToClient(20012, velkpeer::PeerTileServer::MapStateReport(500000.0, 3000000.0, 14, 1));
    EXPECT_EQ(s.grid.mapType, 1);
    EXPECT_EQ(standin::SetCurrentViewCount(), views);
}

TEST_F(TilePlacementTest, ThePeerFollowsTheCadView)
{
    g_settings.followMode = 1;
    SetReceiverTimer(1006, 1000);
    StartBaseMap();
    ViewExtents v = View();
    SetView((v.minX + v.maxX) / 2 + 100, (v.minY + v.maxY) / 2 - 50, v.maxY - v.minY, 1920, 1080);
    g_pEditorReactor->m_viewExtents = View();
    standin::AdvanceClockMs(1000);
    EXPECT_DOUBLE_EQ(peer->Tiles().viewX, 500100.0);
    EXPECT_DOUBLE_EQ(peer->Tiles().viewY, 2999950.0);
    EXPECT_EQ(peer->Config().mapLevel, 16);
    // Its answer to the module's next question does not move the view back.
    EXPECT_EQ(g_pEditorReactor->m_bEcho, 0);
    PeerApiGetMapState(&g_peerApi, 2);
    EXPECT_EQ(g_pEditorReactor->m_bEcho, 1);
    v = View();
    EXPECT_DOUBLE_EQ((v.minX + v.maxX) / 2, 500100.0);
}

}  // namespace
