#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/symboltable/layerutil.h"
#include "common/symboltable/textstyleutil.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbcurves.h"

namespace {

class SymbolTableTest : public testing::Test {
protected:
    void SetUp() override { db_ = standin::CreateDocument(L"C:\\dwg\\site.dwg")->database(); }
    void TearDown() override
    {
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }
    int LayerColor(OdDbObjectId id)
    {
        OdDbLayerTableRecord* rec = nullptr;
        EXPECT_EQ(oddbOpenObject(rec, id, OdDb::kForRead), eOk);
        int c = rec->color().colorIndex();
        rec->close();
        return c;
    }
    OdDbDatabase* db_ = nullptr;
};

}  // namespace

TEST_F(SymbolTableTest, LayerIdsAreFoundOrCreatedOnRequest)
{
    EXPECT_EQ(CLayerUtil::GetLayerId(nullptr, false), db_->clayer());
    EXPECT_EQ(CLayerUtil::GetLayerId(nullptr, true), db_->clayer());
    EXPECT_TRUE(CLayerUtil::GetLayerId(L"MapLayer", false).isNull());
    OdDbObjectId id = CLayerUtil::GetLayerId(L"MapLayer", true);
    ASSERT_FALSE(id.isNull());
    EXPECT_EQ(CLayerUtil::GetLayerId(L"MapLayer", true), id);
    EXPECT_EQ(CLayerUtil::GetLayerId(L"maplayer", false), id);
    EXPECT_EQ(LayerColor(id), 7);

    // Without creating, a lookup only reads: it works while the table is
    // held by a reader.
    OdDbLayerTable* table = nullptr;
    ASSERT_EQ(db_->getLayerTable(table, OdDb::kForRead), eOk);
    EXPECT_EQ(CLayerUtil::GetLayerId(L"MapLayer", false), id);
    table->close();
}

TEST_F(SymbolTableTest, AddAndSetColourKeepRangesAndExistingLayers)
{
    CLayerUtil::Add(L"Rivers", 5);
    OdDbObjectId rivers = CLayerUtil::GetLayerId(L"Rivers", false);
    EXPECT_EQ(LayerColor(rivers), 5);
    CLayerUtil::Add(L"Rivers", 1);
    EXPECT_EQ(LayerColor(rivers), 5);

    EXPECT_EQ(CLayerUtil::SetColor(L"Rivers", 3), 1);
    EXPECT_EQ(LayerColor(rivers), 3);
    EXPECT_EQ(CLayerUtil::SetColor(L"Rivers", 0), 0);
    EXPECT_EQ(CLayerUtil::SetColor(L"Rivers", 256), 0);
    EXPECT_EQ(LayerColor(rivers), 3);
    EXPECT_EQ(CLayerUtil::SetColor(L"Missing", 3), 0);
    EXPECT_TRUE(CLayerUtil::GetLayerId(L"Missing", false).isNull());
}

TEST_F(SymbolTableTest, LayerListCurrentLayerAndErasure)
{
    OdDbObjectIdArray ids{OdDbObjectId()};
    CLayerUtil::GetLayerList(ids);
    ASSERT_EQ(ids.length(), 2);  // appended
    EXPECT_EQ(ids[1], db_->getLayerZeroId());

    OdDbObjectId map = CLayerUtil::GetLayerId(L"MapLayer", true);
    EXPECT_EQ(CLayerUtil::SetCurrent(L"MapLayer", nullptr), eOk);
    EXPECT_EQ(db_->clayer(), map);
    EXPECT_EQ(CLayerUtil::SetCurrent(L"Nope", nullptr), eKeyNotFound);
    OdDbDatabase other;
    EXPECT_EQ(CLayerUtil::SetCurrent(L"MapLayer", &other), eKeyNotFound);

    CLayerUtil::Erase(map);  // current: refused
    EXPECT_FALSE(map.isErased());
    CLayerUtil::SetCurrent(L"0", nullptr);
    EntityProps props;
    props.layer = L"MapLayer";
    OdDbObjectId tile = CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), props);
    CLayerUtil::Erase(map);  // in use: refused
    EXPECT_FALSE(map.isErased());
    CLayerUtil::Erase(tile);
    CLayerUtil::Erase(map);
    EXPECT_TRUE(map.isErased());
    ids.clear();
    CLayerUtil::GetLayerList(ids);
    EXPECT_EQ(ids.length(), 1);
}

TEST_F(SymbolTableTest, EntitiesOnALayerAreAppendedInDrawingOrder)
{
    EntityProps onA, onB;
    onA.layer = L"A";
    onB.layer = L"B";
    OdDbObjectId a1 = CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), onA);
    CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), onB);
    OdDbObjectId a2 = CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), onA);
    OdDbObjectId gone = CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), onA);
    CLayerUtil::Erase(gone);

    OdDbObjectIdArray ids{OdDbObjectId()};
    EXPECT_EQ(CLayerUtil::GetEntitiesOnLayer(L"A", ids), 0);
    EXPECT_EQ(ids, (OdDbObjectIdArray{OdDbObjectId(), a1, a2}));
    OdDbObjectIdArray none;
    EXPECT_EQ(CLayerUtil::GetEntitiesOnLayer(L"0", none), 5);
    EXPECT_EQ(CLayerUtil::GetEntitiesOnLayer(L"Missing", none), 5);
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(SymbolTableTest, TextStylesAddFindAndList)
{
    int opens = standin::HostCallCount("open");
    EXPECT_TRUE(CTextStyleUtil::GetAt(L"").isNull());
    EXPECT_EQ(standin::HostCallCount("open"), opens);
    EXPECT_FALSE(CTextStyleUtil::GetAt(L"Standard").isNull());

    OdDbObjectId id = CTextStyleUtil::Add(L"Hz", L"txt.shx", L"hztxt.shx");
    ASSERT_FALSE(id.isNull());
    OdDbTextStyleTableRecord* rec = nullptr;
    ASSERT_EQ(oddbOpenObject(rec, id, OdDb::kForRead), eOk);
    EXPECT_EQ(rec->fileName(), L"txt.shx");
    EXPECT_EQ(rec->bigFontFileName(), L"hztxt.shx");
    EXPECT_EQ(rec->xScale(), 1.0);
    rec->close();
    EXPECT_EQ(CTextStyleUtil::GetAt(L"hz"), id);
    EXPECT_TRUE(CTextStyleUtil::Add(L"HZ", L"a.shx", L"").isNull());  // name taken

    std::vector<CString> names{L"old"};
    CTextStyleUtil::GetAll(names);
    EXPECT_EQ(names, (std::vector<CString>{L"Standard", L"Hz"}));
    EXPECT_TRUE(standin::MessageBoxes().empty());

    standin::FailHostCall("openWrite", eLockViolation);
    EXPECT_TRUE(CTextStyleUtil::Add(L"Other", L"a.shx", L"").isNull());
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"CTextStyleUtil::Add ErrorCode:176");
}
