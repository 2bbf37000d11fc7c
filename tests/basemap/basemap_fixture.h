// A saved drawing bound to a plane coordinate system, the stand-in peer
// serving tiles at levels of halving resolution, the receiver window where
// its answers arrive, and the base map switched on with its cache in
// "C:\Temp".
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "basemap/basemap.h"
#include "common/entity/lineutil.h"
#include "common/symboltable/viewutil.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbdatabase.h"
#include "oddbsortents.h"
#include "peer/peerapi.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/reactorflags.h"
#include "state/settings.h"
#include "state/shellservices.h"
#include "state/tilegrid.h"
#include "test_support.h"
#include "window_control.h"

class BaseMapTest : public testing::Test {
protected:
    // Units per pixel at level L: 4096 / 2^L, the same in x and y (level 16
    // is 1/16 unit a pixel).
    static double Resolution(int level) { return 4096.0 / (1 << level); }

    void SetUp() override
    {
        velktest::ResetPluginState();
        velkpeer::InstallPeer(900, [] { return true; });
        peer = std::make_unique<velkpeer::StandinPeer>();
        peer->Config().statusWord = 0x101;
        for (int level = 1; level <= 28; ++level)
            peer->Config().levelResolutions.emplace_back(Resolution(level), Resolution(level));
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        g_pEditorReactor = velktest::NewEditorReactor();
        OpenDrawing(L"C:\\dwg\\site.dwg");
        g_settings.onlineBaseMap = 1;
        g_settings.maxBaseMapLevel = 20;
        g_cacheRoot = L"C:\\Temp";
        // A 1920 x 1080 window at level 16 about the peer's origin.
        SetView(500000.0, 3000000.0, 1080 * Resolution(16), 1920, 1080);
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }

    // A new current drawing with its record, opened and ready.
    void OpenDrawing(const wchar_t* path)
    {
        doc = standin::CreateDocument(path);
        drawing = GetDrawingData(drawingRecords, path, doc);
        g_ptagDocIdManager = drawing;
        drawing->baseMap.ready = 1;
    }
    static void SetView(double cx, double cy, double height, int screenWidth, int screenHeight)
    {
        standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(cx, cy, 0));
        standin::SetSysVarReal(L"VIEWSIZE", height);
        standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(screenWidth, screenHeight, 0));
    }
    static ViewExtents View(double factor = 1.0)
    {
        ViewExtents v;
        CViewUtil::GetViewExtents(v, factor);
        return v;
    }
    size_t CountOf(uint32_t code) const
    {
        size_t n = 0;
        for (uint32_t c : peer->Codes()) n += c == code;
        return n;
    }
    // The tile requests the peer served, tiles only.
    std::vector<velkpeer::ServedImage> ServedTiles() const
    {
        std::vector<velkpeer::ServedImage> tiles;
        for (const auto& s : peer->Tiles().Served())
            if (!s.capture) tiles.push_back(s);
        return tiles;
    }
    void Tick(UINT_PTR id) { SendMessageW(ReceiverWindow(), WM_TIMER, id, 0); }
    // Refresh, then place what came in.
    void StartBaseMap()
    {
        RefreshBaseMap(&drawing->baseMap);
        Tick(1009);
    }
    // Model space's entities, the first drawn first.
    static std::vector<OdDbObjectId> DrawOrder()
    {
        OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
        OdDbBlockTable* table = nullptr;
        OdDbBlockTableRecord* block = nullptr;
        std::vector<OdDbObjectId> order;
        DocumentWriteLock lock;
        if (db->getBlockTable(table, OdDb::kForRead) != eOk) return order;
        if (table->getAt(L"*Model_Space", block, OdDb::kForWrite) == eOk) {
            if (OdDbSortentsTable* st = CViewUtil::GetSortentsTable(block)) {
                OdDbObjectIdArray ids;
                st->getFullDrawOrder(ids);
                for (const OdDbObjectId& id : ids) order.push_back(id);
                st->close();
            }
            block->close();
        }
        table->close();
        return order;
    }
    static OdDbObjectId AddLine(double x1, double y1, double x2, double y2)
    {
        return CLineUtil::Add(OdGePoint3d(x1, y1, 0), OdGePoint3d(x2, y2, 0), EntityProps(),
                              oddbHostApplicationServices()->workingDatabase());
    }
    // The layer name of an entity, empty when it does not open.
    static std::wstring LayerOf(const OdDbObjectId& id)
    {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) return std::wstring();
        std::wstring name = e->layer().c_str();
        e->close();
        return name;
    }
    // Placed tiles whose rectangles share more than an edge.
    size_t OverlappingPlacedPairs() const
    {
        size_t n = 0;
        const auto& tiles = drawing->baseMap.placedTiles;
        for (auto a = tiles.begin(); a != tiles.end(); ++a)
            for (auto b = std::next(a); b != tiles.end(); ++b) {
                const PlacedTile &p = a->second, &q = b->second;
                n += std::min(p.maxX, q.maxX) > std::max(p.minX, q.minX) + 0.1 &&
                     std::min(p.maxY, q.maxY) > std::max(p.minY, q.minY) + 0.1;
            }
        return n;
    }
    // The fixed fields of an image request record as the peer received it.
    static void ExpectImageFields(const std::vector<uint8_t>& r, int32_t level, int32_t mapType, int32_t width,
                                  int32_t height, int32_t mark)
    {
        using velktest::ReadAt;
        EXPECT_EQ(r[336], 2);
        EXPECT_EQ(ReadAt<int32_t>(r, 340), level);
        EXPECT_EQ(ReadAt<int32_t>(r, 344), mapType);
        EXPECT_EQ(ReadAt<int32_t>(r, 348), width);
        EXPECT_EQ(ReadAt<int32_t>(r, 352), height);
        EXPECT_EQ(ReadAt<int32_t>(r, 376), mark);
        EXPECT_EQ(r[384], 1);
    }
    std::wstring CommandLine() const { return standin::CommandLineText(); }
    static size_t Occurrences(const std::wstring& text, const std::wstring& part)
    {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    GcApDocument* doc = nullptr;
    CDrawingData* drawing = nullptr;
};
