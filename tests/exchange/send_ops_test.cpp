// The send operations: the selection, the layer folders, the objects sent
// earlier, the peer's map and the flags of a send.
#include "afxmsgbox.h"
#include "common/symboltable/layerutil.h"
#include "exchange/entitylink.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "send_fixture.h"

namespace {

using velkpeer::DecodedObject;

TEST_F(SendTest, SelectedEntitiesGoIntoOneFolderPerLayerAndAreLinked)
{
    CLayerUtil::Add(L"roads", 1);
    uint64_t a = AddLine(500000, 3000000, 500010, 3000000);
    auto* line = new OdDbLine(OdGePoint3d(500000, 3000005, 0), OdGePoint3d(500020, 3000005, 0));
    line->setDatabaseDefaults(db_);
    line->setLayer(L"roads");
    uint64_t b = AddEntity(line);
    SendSelected({a, b});

    // "CAD工作空间", the drawing's folder and two layer folders.
    auto folders = Folders();
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0].name, "CAD工作空间");
    EXPECT_EQ(folders[1].name, "site.dwg");
    EXPECT_EQ(folders[1].parent, folders[0].id);
    EXPECT_EQ(folders[2].name, "0");
    EXPECT_EQ(folders[3].name, "roads");
    EXPECT_EQ(folders[3].parent, folders[1].id);
    // Every folder the exchange builds carries its flag, layer folders too.
    EXPECT_EQ(folders[2].sentFlag, 1);
    EXPECT_EQ(folders[3].sentFlag, 1);
    auto objects = MapObjects();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].parent, folders[2].id);
    EXPECT_EQ(objects[1].parent, folders[3].id);
    EXPECT_EQ(objects[1].colour, 0x0000ffu);
    // Each entity is linked to its object, each layer to its folder.
    ASSERT_TRUE(LinkOf(a) && LinkOf(b));
    EXPECT_EQ(LinkOf(a)->peerId, objects[0].id);
    EXPECT_EQ(LinkOf(b)->peerId, objects[1].id);
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"roads"), folders[3].id);
    EXPECT_EQ(g_bSuppressReactors, 0);
    EXPECT_TRUE(standin::MessageBoxes().empty());

    // A second send finds the layers' folders and makes none.
    size_t before = Sent(20112).size();
    SendSelected({a});
    EXPECT_EQ(Sent(20112).size(), before + 1);
    EXPECT_EQ(Folders().size(), 4u);
    EXPECT_EQ(MapObjects().size(), 2u);  // the same object again
}

TEST_F(SendTest, NothingSelectedShowsOnlyTheMessage)
{
    SendSelected({});
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"请选择(Ctrl+A全选)对象后再发送对象！");
    EXPECT_TRUE(Sent(20112).empty());
    EXPECT_EQ(g_bSuppressReactors, 0);
}

TEST_F(SendTest, ResendsSkipTinyEntitiesAtTheOriginAndMakeTheirLayerFolders)
{
    uint64_t tiny = AddLine(0, 0, 0.1, 0.1);
    uint64_t upright = AddLine(0, -5, 0, 0);
    OdDbObjectIdArray ids;
    ids.append(IdOf(tiny));
    ids.append(IdOf(upright));
    EXPECT_TRUE(ArxOperation::SendObjectsToPeer(ids));
    auto objects = MapObjects();
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].points[0].y, -5.0);
    // The layer's folder was made on the way, not in a buffer of its own.
    EXPECT_EQ(Sent(20112).size(), 1u);
    EXPECT_EQ(FoldersNamed("0"), 1);
    for (auto& f : Folders()) {
        if (f.name == "0") {
            EXPECT_EQ(objects[0].parent, f.id);
        }
    }

    SendSelected({tiny});
    EXPECT_EQ(MapObjects().size(), 2u);
}

TEST_F(SendTest, ThePeersMapFollowsTheLastEntityInFollowModesOneAndThree)
{
    uint64_t nearOrigin = AddLine(1, -1.9, 2, -1.9);   // centre (1.5, -1.9)
    uint64_t away = AddLine(2, -1, 3, 1);              // centre (2.5, 0)
    const struct {
        int32_t mode;
        uint64_t last;
        bool moves;
    } cases[] = {{1, away, true}, {3, away, true}, {1, nearOrigin, false}, {0, away, false}, {2, away, false}};
    for (const auto& c : cases) {
        g_settings.followMode = c.mode;
        size_t before = Sent(20011).size();
        SendSelected({c.last});
        auto moves = Sent(20011);
        ASSERT_EQ(moves.size(), before + (c.moves ? 1 : 0)) << c.mode;
        if (!c.moves) continue;
        EXPECT_EQ(velktest::ReadAt<double>(moves.back().bytes, 0), 0.0);   // y
        EXPECT_EQ(velktest::ReadAt<double>(moves.back().bytes, 8), 2.5);   // x
        EXPECT_EQ(moves.back().bytes[16], 2);
    }

    OdDbLine line(OdGePoint3d(1, 1, 0), OdGePoint3d(3, 5, 0));
    EXPECT_EQ(ArxOperation::GetEntCenter(&line), OdGePoint3d(2, 3, 0));
    OdDbLine upright(OdGePoint3d(0, 0, 0), OdGePoint3d(0, 4, 0));
    EXPECT_EQ(ArxOperation::GetEntCenter(&upright), OdGePoint3d(0, 2, 0));
    OdDbRasterImage image;
    image.setOrientation(OdGePoint3d(7, 8, 0), OdGeVector3d(15, 0, 0), OdGeVector3d(0, 15, 0));
    EXPECT_EQ(ArxOperation::GetEntCenter(&image), OdGePoint3d(7, 8, 0));
}

TEST_F(SendTest, AFailedSendReportsAndLeavesTheReactorsListening)
{
    uint64_t line = AddLine(10, 10, 20, 20);
    uint64_t other = AddLine(30, 10, 40, 20);
    SendSelected({line});  // the layer's folder is there from now on
    g_settings.followMode = 1;
    size_t moves = Sent(20011).size();
    peer->QueueAnswer(20112, -6);
    SendSelected({other});
    EXPECT_EQ(g_bSuppressReactors, 0);
    EXPECT_EQ(Sent(20011).size(), moves);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text.rfind(L"SetVelkObjTreeErr:", 0), 0u);
    EXPECT_EQ(LinkOf(other)->peerId, 0u);
    // A status of 0 is a success: the map moves.
    SendSelected({other});
    EXPECT_EQ(Sent(20011).size(), moves + 1);

    // Nothing that converts: no send at all.
    auto* hidden = new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 5, 0));
    hidden->setVisibility(OdDb::kInvisible);
    uint64_t h = AddEntity(hidden);
    size_t before = Sent(20112).size();
    SendSelected({h});
    EXPECT_EQ(Sent(20112).size(), before);
    EXPECT_EQ(g_bSuppressReactors, 0);
}

TEST_F(SendTest, EntitiesThatRefuseAWriteOpenAreSentFromARead)
{
    // As an entity on a locked layer does: sending changes nothing of it.
    uint64_t line = AddLine(10, 10, 20, 20);
    OdDbObjectIdArray ids;
    ids.append(IdOf(line));
    ObjExchangeBuffer buffer;
    StartExchangeBuffer(&buffer, 0);
    std::vector<uint32_t> oldPeerIds;
    standin::FailHostCall("openWrite", eLockViolation);
    EXPECT_TRUE(ArxOperation::ConvertEntities(&buffer, ids, 0, oldPeerIds, false));
    CloseExchangeBuffer(&buffer);
    EXPECT_EQ(SendExchangeBuffer(&buffer), 0);
    EXPECT_EQ(OnlyObject().points.size(), 2u);
}

TEST_F(SendTest, ALargeSendShowsTheMeterAndDeletesOldCopiesInOneRequest)
{
    std::vector<uint64_t> lines;
    for (int i = 0; i < 1001; ++i) lines.push_back(AddLine(i, 0, i, 10));
    SendSelected(lines);
    const auto& meter = standin::StatusBarProgress();
    EXPECT_EQ(meter.label, L"发送数据");
    EXPECT_EQ(meter.positions, (std::vector<int>{10, 90, 100}));
    EXPECT_FALSE(meter.shown);
    EXPECT_EQ(MapObjects().size(), 1001u);
    EXPECT_EQ(g_bShowSendProgress, 0);
}

}  // namespace
