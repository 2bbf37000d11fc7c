// The send operations: the selection, the layer folders, the objects sent
// earlier, the peer's map and the flags of a send.
#include "afxmsgbox.h"
#include "common/symboltable/layerutil.h"
#include "exchange/entitylink.h"
#include "gcutprint.h"
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

}  // namespace
