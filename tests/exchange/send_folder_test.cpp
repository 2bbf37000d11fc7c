// Block references, regions and proxies sent as folders of their parts.
#include "common/entity/blockutil.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbtext.h"
#include "send_fixture.h"

namespace {

using velkpeer::DecodedObject;

class SendFolderTest : public SendTest {
protected:
    // A block of that name holding the entities.
    OdDbObjectId MakeBlock(const wchar_t* name, const std::vector<OdDbEntity*>& entities)
    {
        OdDbBlockTable* table = nullptr;
        EXPECT_EQ(db_->getBlockTable(table, OdDb::kForWrite), eOk);
        auto* block = new OdDbBlockTableRecord();
        block->setName(name);
        OdDbObjectId id;
        EXPECT_EQ(table->add(id, block), eOk);
        table->close();
        for (OdDbEntity* e : entities) {
            OdDbObjectId eid;
            EXPECT_EQ(block->appendOdDbEntity(eid, e), eOk);
            e->close();
        }
        block->close();
        return id;
    }
    uint64_t Insert(OdDbObjectId block, const OdGePoint3d& at, bool attributes = false)
    {
        EntityProps props;
        props.byLayer = true;
        props.transparency = 100;
        OdDbObjectId id = attributes ? CBlockUtil::InsertBlockRefWithAttribute(block, at, props, 1.0, 0.0)
                                     : CBlockUtil::InsertBlockRef(block, at, props, 1.0, 0.0);
        EXPECT_FALSE(id.isNull());
        return (uint64_t)id.getHandle();
    }
    // The folder sent for the entity, and the objects inside it.
    DecodedObject FolderOf(uint64_t handle, std::vector<DecodedObject>& children) const
    {
        DecodedObject folder;
        for (auto& f : Folders())
            if (f.handle == handle) folder = f;
        children.clear();
        for (auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
            if (o.parent == folder.id && folder.id) children.push_back(o);
        return folder;
    }
};

TEST_F(SendFolderTest, ABlockIsAFolderOfItsPartsNamedAfterTheBlock)
{
    OdDbObjectId inner = MakeBlock(L"inner", {new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(0, 3, 0)),
                                              new OdDbPoint(OdGePoint3d(1, 1, 0)),
                                              new OdDbPoint(OdGePoint3d(2, 2, 0))});
    auto* nested = new OdDbBlockReference(OdGePoint3d(10, 0, 0), inner);
    OdDbObjectId outer = MakeBlock(L"井盖", {new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)),
                                             new OdDbCircle(OdGePoint3d(0, 0, 0), OdGeVector3d(0, 0, 1), 1), nested});
    uint64_t ref = Insert(outer, OdGePoint3d(100, 100, 0));
    SendSelected({ref});
    std::vector<DecodedObject> children;
    DecodedObject folder = FolderOf(ref, children);
    EXPECT_EQ(folder.name, "井盖");
    EXPECT_EQ(folder.sentFlag, 1);
    // The line, the circle, and of the nested block its line and the set of
    // its two points: no folder of its own.
    EXPECT_EQ(folder.childCount, 4u);
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[0].shapeType, 5);
    EXPECT_EQ(children[0].points[0].x, 100.0);
    EXPECT_EQ(children[1].shapeType, 7);
    EXPECT_EQ(children[2].shapeType, 5);
    EXPECT_EQ(children[2].points[1].y, 103.0);
    EXPECT_EQ(children[3].shapeType, 6);
    ASSERT_EQ(children[3].points.size(), 2u);
    EXPECT_EQ(children[3].points[1].x, 112.0);
    EXPECT_EQ(Folders().size(), 4u);  // workspace, drawing, layer, block

    // Sent again, the folder replaces its earlier copy with its contents.
    SendSelected({ref});
    ASSERT_FALSE(peer->ObjectStore().Deletions().empty());
    const auto& deletion = peer->ObjectStore().Deletions().back();
    EXPECT_EQ(deletion.ids, std::vector<uint32_t>{folder.id});
    EXPECT_EQ(deletion.flags, 3u);
    auto codes = peer->Codes();
    auto del = std::find(codes.begin(), codes.end(), 20103u);
    EXPECT_NE(std::find(del, codes.end(), 20112u), codes.end());
    EXPECT_EQ(Folders().size(), 4u);
    EXPECT_EQ(MapObjects().size(), 4u);
}

TEST_F(SendFolderTest, AttributesAreSentInsteadOfTheirDefinitions)
{
    OdDbObjectId block = MakeBlock(L"tag", {new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)),
                                            new OdDbAttributeDefinition(OdGePoint3d(1, 2, 0), L"W-7", L"NO", L"?")});
    uint64_t ref = Insert(block, OdGePoint3d(0, 50, 0), true);
    SendSelected({ref});
    std::vector<DecodedObject> children;
    DecodedObject folder = FolderOf(ref, children);
    EXPECT_EQ(folder.childCount, 2u);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[1].kind, 7u);
    EXPECT_EQ(children[1].name, "W-7");
    EXPECT_EQ(children[1].textOnly, 1);
}

TEST_F(SendFolderTest, AReferenceThatExplodesOnlyUnscaledIsSentUnscaledAndKeepsItsScale)
{
    OdDbObjectId block = MakeBlock(L"b", {new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0))});
    uint64_t ref = Insert(block, OdGePoint3d(0, 0, 0));
    {
        OdDbBlockReference* r = Open<OdDbBlockReference>(ref);
        r->setScaleFactors(OdGeScale3d(3, 3, 3));
        r->close();
    }
    standin::FailHostCall("explode", eExplodeAgain);
    SendSelected({ref});
    std::vector<DecodedObject> children;
    FolderOf(ref, children);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].points[1].x, 1.0);
    OdDbBlockReference* r = Open<OdDbBlockReference>(ref);
    EXPECT_EQ(r->scaleFactors().sx, 3.0);
    r->close();

    // A reference that does not explode still sends its (empty) folder.
    standin::FailHostCall("explode", eInvalidInput);
    SendSelected({ref});
    DecodedObject folder = FolderOf(ref, children);
    EXPECT_EQ(folder.childCount, 0u);
    EXPECT_TRUE(children.empty());
    EXPECT_NE(standin::CommandLineText().find(L"炸开块失败"), std::wstring::npos);
}

TEST_F(SendFolderTest, RegionsAndProxiesAreFoldersOfTheirCurves)
{
    OdDbVoidPtrArray curves, regions;
    curves.append(new OdDbCircle(OdGePoint3d(5, 5, 0), OdGeVector3d(0, 0, 1), 2));
    ASSERT_EQ(OdDbRegion::createFromCurves(curves, regions), eOk);
    delete static_cast<OdDbEntity*>(curves[0]);
    ASSERT_EQ(regions.length(), 1);
    uint64_t region = AddEntity(static_cast<OdDbEntity*>(regions[0]));
    auto* proxy = new OdDbProxyEntity();
    OdDbLine shown(OdGePoint3d(0, 0, 0), OdGePoint3d(4, 4, 0));
    proxy->addGraphics(shown);
    proxy->addGraphics(shown);
    uint64_t p = AddEntity(proxy);
    SendSelected({region, p});
    std::vector<DecodedObject> children;
    DecodedObject r = FolderOf(region, children);
    EXPECT_TRUE(StartsWith(r.name, "Region_"));
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].shapeType, 7);
    DecodedObject x = FolderOf(p, children);
    EXPECT_TRUE(StartsWith(x.name, "Proxy_"));
    EXPECT_EQ(x.childCount, 2u);
    EXPECT_EQ(children.size(), 2u);
}

TEST_F(SendFolderTest, LongBlockNamesAreCutOnACharacterBoundary)
{
    std::wstring name = L"a" + std::wstring(40, L'块');  // 121 bytes of UTF-8
    uint64_t ref = Insert(MakeBlock(name.c_str(), {new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0))}),
                          OdGePoint3d());
    SendSelected({ref});
    std::vector<DecodedObject> children;
    DecodedObject folder = FolderOf(ref, children);
    std::string expected = "a";
    for (int i = 0; i < 32; ++i) expected += "块";  // 97 bytes: the 33rd would pass 99
    EXPECT_EQ(folder.name, expected);
}

}  // namespace
