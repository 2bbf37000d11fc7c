#include "sweep_fixture.h"

#include <cmath>

#include "common/entity/blockutil.h"
#include "common/symboltable/layerutil.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer/peerapi.h"
#include "plugin_state.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "state/drawingdata.h"
#include "state/settings.h"
#include "test_support.h"

using velktest::AppendEntity;

void SweepTest::BuildScene()
{
    velkpeer::PeerConfig config = velktest::LevelledPeerConfig();
    peer = std::make_unique<velkpeer::StandinPeer>(config);
    SetDefaultSettings(g_settings);
    g_cacheRoot = L"C:\\Temp";
    ASSERT_TRUE(velktest::OpenReceiverWindow());
    PeerApiSetClientName(&g_peerApi, L"VelkArxWin");
    doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
    db = doc->database();
    drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
    g_ptagDocIdManager = drawing;
}

void SweepTest::BuildBaseMapScene()
{
    velkpeer::InstallPeer(900, [] { return true; });
    peer = std::make_unique<velkpeer::StandinPeer>();
    peer->Config().statusWord = 0x101;
    for (int level = 1; level <= 28; ++level)
        peer->Config().levelResolutions.emplace_back(4096.0 / (1 << level), 4096.0 / (1 << level));
    ASSERT_TRUE(velktest::OpenReceiverWindow());
    g_pEditorReactor = new CEditorReactor();
    doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
    db = doc->database();
    drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
    g_ptagDocIdManager = drawing;
    drawing->baseMap.ready = 1;
    g_settings.onlineBaseMap = 1;
    g_settings.maxBaseMapLevel = 20;
    g_cacheRoot = L"C:\\Temp";
    const int width = 480, height = 270;
    standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(500000, 3000000, 0));
    standin::SetSysVarReal(L"VIEWSIZE", height * 4096.0 / (1 << 16));
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(width, height, 0));
}

std::vector<uint64_t> SweepTest::AddUserEntities()
{
    CLayerUtil::Add(L"roads", 1);
    std::vector<OdDbObjectId> ids;
    const double x = 500000, y = 3000000;
    ids.push_back(AppendEntity(db, new OdDbLine(OdGePoint3d(x, y, 0), OdGePoint3d(x + 40, y + 10, 0))));
    auto* road = new OdDbLine(OdGePoint3d(x, y + 20, 0), OdGePoint3d(x + 60, y + 20, 0));
    road->setDatabaseDefaults(db);
    road->setLayer(L"roads");
    ids.push_back(AppendEntity(db, road));
    auto* pline = new OdDbPolyline();
    pline->addVertexAt(0, OdGePoint2d(x + 100, y));
    pline->addVertexAt(1, OdGePoint2d(x + 130, y), 0.5);
    pline->addVertexAt(2, OdGePoint2d(x + 130, y + 30));
    pline->setClosed(true);
    ids.push_back(AppendEntity(db, pline));
    ids.push_back(AppendEntity(db, new OdDbCircle(OdGePoint3d(x + 200, y, 0), OdGeVector3d(0, 0, 1), 15)));
    ids.push_back(AppendEntity(db, new OdDbArc(OdGePoint3d(x + 250, y, 0), 10, 0.3, 2.5)));
    ids.push_back(AppendEntity(db, new OdDbEllipse(OdGePoint3d(x + 300, y, 0), OdGeVector3d(0, 0, 1),
                                             OdGeVector3d(20, 0, 0), 0.5)));
    ids.push_back(AppendEntity(db, new OdDbText(OdGePoint3d(x + 10, y + 50, 0), L"水井")));
    auto* mtext = new OdDbMText();
    mtext->setLocation(OdGePoint3d(x + 60, y + 50, 0));
    mtext->setContents(L"泵站\\P二号");
    ids.push_back(AppendEntity(db, mtext));
    ids.push_back(AppendEntity(db, new OdDbPoint(OdGePoint3d(x + 5, y + 80, 0))));
    ids.push_back(AppendEntity(db, new OdDbPoint(OdGePoint3d(x + 15, y + 85, 0))));
    auto* hatch = new OdDbHatch();
    hatch->setPattern(OdDbHatch::kPreDefined, L"ANSI31");
    OdGePoint2dArray square;
    for (auto [dx, dy] : {std::pair{0, 0}, {40, 0}, {40, 40}, {0, 40}}) square.append(OdGePoint2d(x + 400 + dx, y + dy));
    hatch->appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, square, OdGeDoubleArray());
    ids.push_back(AppendEntity(db, hatch));
    // A block of a line and a point, inserted once.
    OdDbBlockTable* table = nullptr;
    EXPECT_EQ(db->getBlockTable(table, OdDb::kForWrite), eOk);
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"well");
    OdDbObjectId blockId;
    EXPECT_EQ(table->add(blockId, block), eOk);
    table->close();
    block->close();
    AppendEntity(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(0, 3, 0)), blockId);
    AppendEntity(db, new OdDbPoint(OdGePoint3d(1, 1, 0)), blockId);
    EntityProps props;
    props.byLayer = true;
    ids.push_back(CBlockUtil::InsertBlockRef(blockId, OdGePoint3d(x + 500, y, 0), props, 1.0, 0.0));
    std::vector<uint64_t> handles;
    for (auto& id : ids) handles.push_back((uint64_t)id.getHandle());
    return handles;
}

std::string SweepTest::LinkedText(const std::vector<uint64_t>& handles) const
{
    std::string s;
    for (uint64_t h : handles) {
        MapObjInfo* r = FindEntityLink(drawing->links, h);
        s += std::to_string(h) + ":" + (r && r->peerId ? "1 " : "0 ");
    }
    return s;
}

OdDbObjectId SweepTest::IdOf(uint64_t handle) const
{
    OdDbObjectId id;
    db->getOdDbObjectId(id, false, OdDbHandle(handle));
    return id;
}
