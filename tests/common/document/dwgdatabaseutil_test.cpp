#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"

namespace {

class PostToModelSpaceTest : public testing::Test {
protected:
    void SetUp() override { db_ = standin::CreateDocument(L"C:\\dwg\\site.dwg")->database(); }
    void TearDown() override
    {
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }

    // Opens the posted line for read; the caller closes it.
    OdDbLine* Open(OdDbObjectId id)
    {
        OdDbLine* line = nullptr;
        EXPECT_EQ(oddbOpenObject(line, id, OdDb::kForRead), eOk);
        return line;
    }

    int LayerCount(OdDbDatabase* db)
    {
        OdDbLayerTable* t = nullptr;
        db->getLayerTable(t, OdDb::kForRead);
        int n = 0;
        for (const auto& id : t->recordIds()) n += id.isErased() ? 0 : 1;
        t->close();
        return n;
    }

    OdDbDatabase* db_ = nullptr;
};

OdDbLine* NewLine() { return new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 0, 0)); }

uint8_t PostedAlpha(int32_t percent)
{
    EntityProps props;
    props.transparency = percent;
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);
    OdDbEntity* ent = nullptr;
    oddbOpenOdDbEntity(ent, id, OdDb::kForRead);
    OdCmTransparency t = ent->transparency();
    ent->close();
    EXPECT_EQ(t.serializeOut() & 0xFFFFFF00u, 0x02000000u);
    return t.alpha();
}

}  // namespace

TEST_F(PostToModelSpaceTest, DefaultPropsAreIndexColourOpaqueOnTheCurrentLayer)
{
    EntityProps props;
    EXPECT_FALSE(props.byLayer);
    EXPECT_EQ(props.transparency, 100);
    props.color.setColorIndex(3);
    props.linetype = L"Continuous";
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);
    ASSERT_FALSE(id.isNull());
    OdDbLine* line = Open(id);
    EXPECT_EQ(line->colorIndex(), 3);
    EXPECT_EQ(line->layer(), L"0");
    EXPECT_EQ(line->linetype(), L"Continuous");
    EXPECT_EQ(line->transparency().alpha(), 254);
    EXPECT_EQ(line->ownerId(), db_->getModelSpaceId());
    line->close();
}

TEST_F(PostToModelSpaceTest, ByLayerIgnoresTheColourAndSurvivesFailedLayerAndLinetype)
{
    EntityProps props;
    props.byLayer = true;
    props.color.setColorIndex(1);
    props.layer = L"Roads";
    props.linetype = L"NOT_IN_THE_FILE";
    standin::FailHostCall("setLayer", eInvalidInput);
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);
    ASSERT_FALSE(id.isNull());
    OdDbLine* line = Open(id);
    EXPECT_EQ(line->colorIndex(), 256);
    EXPECT_EQ(line->layer(), L"0");  // a failure other than 26 keeps the layer
    EXPECT_EQ(line->linetype(), L"ByLayer");
    line->close();
    EXPECT_EQ(LayerCount(db_), 1);
    EXPECT_EQ(standin::HostCallCount("loadLineType"), 1);
    EXPECT_EQ(standin::HostCallCount("setLinetype"), 1);
}

TEST_F(PostToModelSpaceTest, MissingLayerIsCreatedOnceAndLinetypeLoadedFromTheFile)
{
    EntityProps props;
    props.layer = L"Velk_contour";
    props.linetype = L"DASHDOT";
    OdDbObjectId first = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);
    OdDbObjectId second = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);
    EXPECT_EQ(LayerCount(db_), 2);
    EXPECT_EQ(standin::HostCallCount("loadLineType"), 1);
    for (OdDbObjectId id : {first, second}) {
        OdDbLine* line = Open(id);
        EXPECT_EQ(line->layer(), L"Velk_contour");
        EXPECT_EQ(line->linetype(), L"DASHDOT");
        line->close();
    }
    OdDbLayerTableRecord* layer = nullptr;
    OdDbLine* line = Open(first);
    ASSERT_EQ(oddbOpenObject(layer, line->layerId(), OdDb::kForRead), eOk);
    line->close();
    EXPECT_EQ(layer->color().colorIndex(), 7);  // host defaults
    layer->close();
}

TEST_F(PostToModelSpaceTest, EmptyLayerKeepsTheEntitysOwnAndEmptyLinetypeStillTriesTheFile)
{
    EntityProps props;
    props.layer = L"Own";
    CDwgDatabaseUtil::PostToModelSpace(NewLine(), props);  // creates "Own"
    OdDbLine* ent = NewLine();
    ASSERT_EQ(ent->setLayer(L"Own"), eOk);
    props.layer = L"";
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(ent, props);
    OdDbLine* line = Open(id);
    EXPECT_EQ(line->layer(), L"Own");
    line->close();
    EXPECT_EQ(standin::HostCallCount("loadLineType"), 2);
}

TEST_F(PostToModelSpaceTest, TransparencyPercentBecomesAlphaAndIsClamped)
{
    EXPECT_EQ(PostedAlpha(100), 254);
    EXPECT_EQ(PostedAlpha(99), 251);
    EXPECT_EQ(PostedAlpha(50), 127);
    EXPECT_EQ(PostedAlpha(33), 84);
    EXPECT_EQ(PostedAlpha(1), 3);
    EXPECT_EQ(PostedAlpha(0), 0);
    EXPECT_EQ(PostedAlpha(101), 254);
    EXPECT_EQ(PostedAlpha(-1), 0);
}

TEST_F(PostToModelSpaceTest, ModelSpaceThatCannotBeOpenedShowsOneBox)
{
    standin::FailHostCall("openWrite", eLockViolation);
    EntityProps props;
    EXPECT_TRUE(CDwgDatabaseUtil::PostToModelSpace(NewLine(), props).isNull());
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"GetModelSpace ErrorCode:176");
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds().isEmpty());
}

TEST_F(PostToModelSpaceTest, FailedAppendOrNoDatabaseDropsTheEntitySilently)
{
    standin::FailHostCall("append", eNotApplicable);
    EntityProps props;
    EXPECT_TRUE(CDwgDatabaseUtil::PostToModelSpace(NewLine(), props).isNull());
    EXPECT_TRUE(CDwgDatabaseUtil::PostToModelSpace(NewLine(), props, nullptr).isNull());
    EXPECT_TRUE(standin::MessageBoxes().empty());
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds().isEmpty());
}

TEST_F(PostToModelSpaceTest, AnotherDatabaseGetsItsOwnMissingLayerAndLinetype)
{
    OdDbDatabase other;
    EntityProps props;
    props.layer = L"Far";
    props.linetype = L"DASHED";
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(NewLine(), props, &other);
    ASSERT_EQ(id.database(), &other);
    EXPECT_EQ(LayerCount(&other), 2);
    EXPECT_EQ(LayerCount(db_), 1);
    OdDbLine* line = Open(id);
    EXPECT_EQ(line->layer(), L"Far");
    EXPECT_EQ(line->linetype(), L"DASHED");
    line->close();
    OdDbLinetypeTable* linetypes = nullptr;
    ASSERT_EQ(db_->getLinetypeTable(linetypes, OdDb::kForRead), eOk);
    EXPECT_FALSE(linetypes->has(L"DASHED"));
    linetypes->close();
    // Listing by layer looks the name up in the database listed: the
    // working drawing has no layer "Far".
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(L"Far", &other), (OdDbObjectIdArray{id}));
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds(L"Far").isEmpty());
}

TEST_F(PostToModelSpaceTest, ListingFiltersByLayerAndSkipsErasedAndUnopenable)
{
    EntityProps onA, onB;
    onA.layer = L"A";
    onB.layer = L"B";
    OdDbObjectId a1 = CDwgDatabaseUtil::PostToModelSpace(NewLine(), onA);
    OdDbObjectId b1 = CDwgDatabaseUtil::PostToModelSpace(NewLine(), onB);
    OdDbObjectId a2 = CDwgDatabaseUtil::PostToModelSpace(NewLine(), onA);
    OdDbObjectId gone = CDwgDatabaseUtil::PostToModelSpace(NewLine(), onA);
    OdDbEntity* ent = nullptr;
    ASSERT_EQ(oddbOpenOdDbEntity(ent, gone, OdDb::kForWrite), eOk);
    ent->erase();
    ent->close();

    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(), (OdDbObjectIdArray{a1, b1, a2}));
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(L"a"), (OdDbObjectIdArray{a1, a2}));

    int opens = standin::HostCallCount("open");
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds(L"Missing").isEmpty());
    EXPECT_EQ(standin::HostCallCount("open"), opens + 1);  // the layer table only

    // Block table and model space open, then the first entity fails.
    standin::FailHostCall("openRead", eWasOpenForWrite, 2);
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(), (OdDbObjectIdArray{b1, a2}));
    EXPECT_EQ(standin::CommandLineText(), L"\nCDwgDatabaseUtil::GetAllEntityIds中打开实体失败(错误代码:83).");
}

TEST_F(PostToModelSpaceTest, ModelSpaceExtentIsInvalidWhenEmptyAndFallsBackToEntities)
{
    OdDbExtents empty = CDwgDatabaseUtil::GetModelSpaceExtent(db_);
    EXPECT_FALSE(empty.isValidExtents());
    EXPECT_FALSE(CDwgDatabaseUtil::GetModelSpaceExtent(nullptr).isValidExtents());

    EntityProps props;
    CDwgDatabaseUtil::PostToModelSpace(new OdDbLine(OdGePoint3d(-1, 2, 0), OdGePoint3d(4, 5, 1)), props);
    CDwgDatabaseUtil::PostToModelSpace(new OdDbCircle(OdGePoint3d(10, 0, 0), OdGeVector3d::kZAxis, 2), props);
    for (bool whole : {true, false}) {
        if (!whole) standin::FailHostCall("addBlockExt", eNotImplemented);
        OdDbExtents ext = CDwgDatabaseUtil::GetModelSpaceExtent(db_);
        EXPECT_NEAR(ext.minPoint().x, -1, 1e-9);
        EXPECT_NEAR(ext.minPoint().y, -2, 1e-9);
        EXPECT_NEAR(ext.maxPoint().x, 12, 1e-9);
        EXPECT_NEAR(ext.maxPoint().y, 5, 1e-9);
        EXPECT_NEAR(ext.maxPoint().z, 1, 1e-9);
    }
}
