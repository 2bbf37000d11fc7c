#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "common/symboltable/viewutil.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbdictionary.h"
#include "standin_control.h"
#include "test_support.h"
#include "win32_curdir.h"

namespace {

class RasterImages : public testing::Test {
protected:
    void SetUp() override
    {
        db = standin::CreateDocument(L"C:\\d\\plan.dwg")->database();
        BaseImageIds().clear();
        SetDefaultImageColor(OdCmColor());
        File(L"C:\\d\\img\\a.png");
        File(L"C:\\d\\img\\b.png");
        File(L"C:\\elsewhere\\c.png");
        File(L"C:\\dx\\c.png");
    }

    static void File(const wchar_t* path) { velktest::WriteNativeFile(standin::NativePath(path), "png"); }

    static CString SourceOf(OdDbObjectId defId)
    {
        OdDbRasterImageDef* def = nullptr;
        EXPECT_EQ(oddbOpenObject(def, defId, OdDb::kForRead), eOk);
        CString s = def ? def->sourceFileName().c_str() : L"";
        if (def) def->close();
        return s;
    }

    static CString CurrentDirectory()
    {
        WCHAR buf[1024];
        GetCurrentDirectoryW(1024, buf);
        return buf;
    }

    OdDbObjectIdArray DrawOrder()
    {
        OdDbBlockTableRecord* ms = nullptr;
        oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite);
        OdDbSortentsTable* st = CViewUtil::GetSortentsTable(ms);
        ms->close();
        OdDbObjectIdArray order;
        if (st) {
            st->getFullDrawOrder(order);
            st->close();
        }
        return order;
    }

    OdDbObjectId Insert(const wchar_t* name, const wchar_t* file = L"C:\\d\\img\\a.png")
    {
        OdDbObjectId id;
        EXPECT_EQ(CViewUtil::InsertIMGFile(id, db->getLayerZeroId(), file, name, OdGePoint2d(10, 20),
                                           OdGePoint2d(110, 70), false),
                  0);
        return id;
    }

    OdDbDatabase* db = nullptr;
};

}  // namespace

TEST_F(RasterImages, ADefinitionIsSharedByNameAndTheSecondFileIsNeverLoaded)
{
    OdDbObjectId a = CViewUtil::GetRasterImgDefId(L"tile", L"C:\\d\\img\\a.png", false);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(CViewUtil::GetRasterImgDefId(L"tile", L"C:\\missing.png", false), a);
    EXPECT_EQ(SourceOf(a), L"C:\\d\\img\\a.png");
    EXPECT_TRUE(CViewUtil::GetRasterImgDefId(L"", L"C:\\d\\img\\a.png", false).isNull());
    EXPECT_TRUE(CViewUtil::GetRasterImgDefId(L"other", L"C:\\missing.png", false).isNull());
    EXPECT_TRUE(CViewUtil::GetRasterImgDefId(L"other", L"", false).isNull());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, RelativeOnlyBelowTheDrawingFolderAndTheDirectoryComesBack)
{
    CString before = CurrentDirectory();
    OdDbObjectId below = CViewUtil::GetRasterImgDefId(L"below", L"C:\\D\\img\\b.png", true);
    EXPECT_EQ(SourceOf(below), L"img\\b.png");
    OdDbObjectId outside = CViewUtil::GetRasterImgDefId(L"outside", L"C:\\elsewhere\\c.png", true);
    EXPECT_EQ(SourceOf(outside), L"C:\\elsewhere\\c.png");
    // A folder whose name only begins like the drawing's is not below it.
    OdDbObjectId sibling = CViewUtil::GetRasterImgDefId(L"sibling", L"C:\\dx\\c.png", true);
    EXPECT_EQ(SourceOf(sibling), L"C:\\dx\\c.png");
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(RasterImages, InsertStretchesOverTheCornersTransparentInTheImageColour)
{
    OdCmColor c;
    c.setColorIndex(3);
    SetDefaultImageColor(c);
    OdDbObjectId id = Insert(L"pic");
    OdDbRasterImage* image = nullptr;
    ASSERT_EQ(oddbOpenObject(image, id, OdDb::kForRead), eOk);
    OdGePoint3d o;
    OdGeVector3d u, v;
    image->getOrientation(o, u, v);
    EXPECT_EQ(o, OdGePoint3d(10, 20, 0));
    EXPECT_TRUE(u.isEqualTo(OdGeVector3d(100, 0, 0)));
    EXPECT_TRUE(v.isEqualTo(OdGeVector3d(0, 50, 0)));
    EXPECT_TRUE(image->isSetDisplayOpt(OdDbRasterImage::kTransparent));
    EXPECT_EQ(image->color(), c);
    EXPECT_EQ(image->layerId(), db->getLayerZeroId());
    image->close();
    EXPECT_TRUE(BaseImageIds().empty());

    OdDbObjectId base = Insert(VELK_IMG);
    EXPECT_EQ(BaseImageIds()[db], base);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, InsertFailures)
{
    OdDbObjectId id;
    OdGePoint2d ll(0, 0), ur(1, 1);
    EXPECT_EQ(CViewUtil::InsertIMGFile(id, db->getLayerZeroId(), L"", L"n", ll, ur, false), 5);
    EXPECT_EQ(CViewUtil::InsertIMGFile(id, db->getLayerZeroId(), L"C:\\missing.png", L"n", ll, ur, false), 5);
    EXPECT_EQ(CViewUtil::InsertIMGFile(id, OdDbObjectId(), L"C:\\d\\img\\a.png", L"n", ll, ur, false), eInvalidInput);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"InsertIMGFile ErrorCode:3");

    // A failed append leaves no image behind (the sanitizer checks the
    // deletion), gives its status without a message and keeps the id.
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_EQ(CViewUtil::InsertIMGFile(id, db->getLayerZeroId(), L"C:\\d\\img\\a.png", VELK_IMG, ll, ur, false),
              eInvalidInput);
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_TRUE(BaseImageIds().empty());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, InsertToBottomCreatesTheLayerAndDrawsFirst)
{
    OdDbObjectId first = Insert(L"a");
    OdDbObjectId id;
    ASSERT_EQ(CViewUtil::InsertIMGFileToBottom(id, L"MapLayer", L"C:\\d\\img\\b.png", L"b", OdGePoint2d(0, 0),
                                               OdGePoint2d(1, 1)),
              0);
    OdDbObjectIdArray order = DrawOrder();
    ASSERT_EQ(order.length(), 2);
    EXPECT_EQ(order[0], id);
    EXPECT_EQ(order[1], first);
    OdDbEntity* ent = nullptr;
    oddbOpenObject(ent, id, OdDb::kForRead);
    EXPECT_EQ(ent->layer().str(), L"MapLayer");
    ent->close();
}

TEST_F(RasterImages, PointIconGeometryAndLayers)
{
    OdDbObjectId def = CViewUtil::GetRasterImgDefId(L"icon", L"C:\\d\\img\\a.png", false);
    OdGePoint3d anchor(100, 100, 7);
    OdDbObjectId id;
    EntityProps props;
    ASSERT_EQ(CViewUtil::AddImgPoint1(id, def, anchor, 5, props, L"ignored"), id);
    EXPECT_EQ(anchor.z, 0);
    OdDbRasterImage* image = nullptr;
    ASSERT_EQ(oddbOpenObject(image, id, OdDb::kForRead), eOk);
    OdGePoint3d o;
    OdGeVector3d u, v;
    image->getOrientation(o, u, v);
    EXPECT_EQ(o, OdGePoint3d(98, 100, 0));
    EXPECT_TRUE(u.isEqualTo(OdGeVector3d(5, 0, 0)));
    EXPECT_TRUE(v.isEqualTo(OdGeVector3d(0, 5, 0)));
    EXPECT_EQ(image->layerId(), db->clayer());
    image->close();

    props.layer = L"Icons";
    OdDbObjectId onLayer;
    ASSERT_FALSE(CViewUtil::AddImgPoint1(onLayer, def, anchor, 4, props, L"").isNull());
    OdDbSymbolTableRecordPointer<OdDbLayerTableRecord> layer(L"Icons", db, OdDb::kForRead);
    EXPECT_EQ(layer.openStatus(), eOk);
}

TEST_F(RasterImages, APointIconThatCannotBePostedIsDiscarded)
{
    OdDbObjectId def = CViewUtil::GetRasterImgDefId(L"icon", L"C:\\d\\img\\a.png", false);
    OdGePoint3d anchor(0, 0, 0);
    OdDbObjectId id;
    EntityProps onLayer;
    onLayer.layer = L"Icons";
    standin::FailHostCall("setLayer", eInvalidInput);
    EXPECT_TRUE(CViewUtil::AddImgPoint1(id, def, anchor, 4, onLayer, L"").isNull());
    standin::FailHostCall("setColor", eInvalidInput);
    EXPECT_TRUE(CViewUtil::AddImgPoint1(id, def, anchor, 4, EntityProps(), L"").isNull());
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_TRUE(CViewUtil::AddImgPoint1(id, def, anchor, 4, EntityProps(), L"").isNull());
    EXPECT_TRUE(standin::MessageBoxes().empty());

    // The block table opens for write, model space does not.
    standin::FailHostCall("openWrite", eInvalidInput, 1);
    EXPECT_TRUE(CViewUtil::AddImgPoint1(id, def, anchor, 4, EntityProps(), L"").isNull());
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"AddImgPoint1 ErrorCode:3");
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, MoveToBottomPutsTheImagesFirstAndAnEmptyArrayDoesNothing)
{
    OdDbObjectId a = Insert(L"a"), b = Insert(L"b"), c = Insert(L"c");
    DWORD elapsed = 12345;
    EXPECT_EQ(CViewUtil::MoveImgToBottom(OdDbObjectIdArray(), &elapsed), 0);
    EXPECT_EQ(elapsed, 12345u);
    EXPECT_EQ(CViewUtil::MoveImgToBottom({c, b}, &elapsed), 0);
    EXPECT_EQ(elapsed, 0u);
    OdDbObjectIdArray order = DrawOrder();
    ASSERT_EQ(order.length(), 3);
    EXPECT_EQ(order[0], b);
    EXPECT_EQ(order[1], c);
    EXPECT_EQ(order[2], a);

    EXPECT_EQ(CViewUtil::MoveImgToBottom({db->getLayerZeroId()}, &elapsed), eInvalidInput);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"Img MoveToBottom ErrorCode:3");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, SortentsTableIsMadeWithTheExtensionDictionary)
{
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    EXPECT_TRUE(ms->extensionDictionary().isNull());
    OdDbSortentsTable* st = CViewUtil::GetSortentsTable(ms);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->blockId(), db->getModelSpaceId());
    OdDbObjectId stId = st->objectId();
    st->close();
    OdDbDictionary* xdict = nullptr;
    ASSERT_EQ(oddbOpenObject(xdict, ms->extensionDictionary(), OdDb::kForRead), eOk);
    OdDbObjectId found;
    EXPECT_EQ(xdict->getAt(L"ACAD_SORTENTS", found), eOk);
    EXPECT_EQ(found, stId);
    xdict->close();
    st = CViewUtil::GetSortentsTable(ms);
    EXPECT_EQ(st->objectId(), stId);
    st->close();
    ms->close();
    EXPECT_EQ(CViewUtil::GetSortentsTable(nullptr), nullptr);
}

TEST_F(RasterImages, EraseTakesTheImageItsDefinitionAndTheEntry)
{
    OdDbObjectId id = Insert(L"tile");
    OdDbRasterImage* image = nullptr;
    oddbOpenObject(image, id, OdDb::kForRead);
    OdDbObjectId defId = image->imageDefId();
    image->close();
    CViewUtil::EraseRasterImage(id, L"tile", nullptr);
    EXPECT_TRUE(id.isErased());
    EXPECT_TRUE(defId.isErased());
    OdDbDictionary* dict = nullptr;
    oddbOpenObject(dict, OdDbRasterImageDef::imageDictionary(db), OdDb::kForRead);
    EXPECT_FALSE(dict->has(L"tile"));
    dict->close();
    EXPECT_EQ(standin::CommandLineText(), L"");

    CViewUtil::EraseRasterImage(id, L"tile", nullptr);  // erased already
    EXPECT_EQ(standin::CommandLineText(), L"清楚缓存地图失败！错误代码：80\n");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, AnImageDictionaryThatCannotBeOpenedStopsTheErasing)
{
    OdDbObjectId id = Insert(L"tile");
    standin::FailHostCall("openWrite", eInvalidInput);
    CViewUtil::EraseRasterImage(id, L"tile", nullptr);
    EXPECT_FALSE(id.isErased());
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"Openn Dict ErrorCode:3");
    EXPECT_EQ(standin::CommandLineText(), L"清楚缓存地图失败！错误代码：3\n");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(RasterImages, WithoutAnImageDictionaryTheImageIsStillErased)
{
    OdDbObjectId id = Insert(L"tile");
    OdDbDictionary* nod = nullptr;
    db->getNamedObjectsDictionary(nod, OdDb::kForWrite);
    nod->remove(L"ACAD_IMAGE_DICT");
    nod->close();
    CViewUtil::EraseRasterImage(id, L"tile", nullptr);
    EXPECT_TRUE(id.isErased());
    EXPECT_EQ(standin::CommandLineText(), L"");
}

TEST_F(RasterImages, DetachBaseImageErasesAndForgetsWithoutMessages)
{
    OdDbObjectId id = Insert(VELK_IMG);
    CViewUtil::DetachBaseImage(nullptr);
    EXPECT_TRUE(id.isErased());
    EXPECT_TRUE(BaseImageIds()[db].isNull());
    EXPECT_TRUE(standin::MessageBoxes().empty());
    OdDbDictionary* dict = nullptr;
    oddbOpenObject(dict, OdDbRasterImageDef::imageDictionary(db), OdDb::kForRead);
    EXPECT_FALSE(dict->has(VELK_IMG));
    dict->close();
}

TEST_F(RasterImages, ARefusedRelativeNameIsRetriedWithTheFullPath)
{
    standin::FailHostCall("setSourceFileName", eInvalidInput);
    OdDbObjectId def = CViewUtil::GetRasterImgDefId(L"r", L"C:\\d\\img\\a.png", true);
    ASSERT_FALSE(def.isNull());
    EXPECT_EQ(SourceOf(def), L"C:\\d\\img\\a.png");
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"\nSetCurrentImgNameFailed!");
}
