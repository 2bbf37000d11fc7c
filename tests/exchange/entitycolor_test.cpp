// The properties every sent object takes from its entity, and the hatch
// unit factor.
#include <gtest/gtest.h>

#include "common/geometry/mathutil.h"
#include "common/symboltable/layerutil.h"
#include "editor_control.h"
#include "exchange/entitycolor.h"
#include "exchange/hatchfill.h"
#include "exchange_fixture.h"
#include "oddbtext.h"

namespace {

class EntityPropertyTest : public ExchangeTest {
protected:
    // A linetype of that name in the drawing; its id.
    OdDbObjectId AddLinetype(const wchar_t* name)
    {
        OdDbSymbolTable* table = nullptr;
        EXPECT_EQ(oddbOpenObject(table, db_->getLinetypeTableId(), OdDb::kForWrite), eOk);
        auto* rec = new OdDbLinetypeTableRecord();
        rec->setName(name);
        OdDbObjectId id;
        EXPECT_EQ(table->add(id, rec), eOk);
        rec->close();
        table->close();
        return id;
    }
    // A line on the layer with the linetype and colour; left open for read.
    OdDbLine* Line(const wchar_t* layer, const wchar_t* linetype, int16_t colorIndex)
    {
        auto* line = new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0));
        line->setDatabaseDefaults(db_);
        if (layer) {
            EXPECT_EQ(line->setLayer(layer), eOk);
        }
        if (linetype) {
            EXPECT_EQ(line->setLinetype(linetype), eOk);
        }
        line->setColorIndex(colorIndex);
        return line;
    }
};

TEST_F(EntityPropertyTest, ColourWordsResolveByBlockByLayerIndexAndTrueColour)
{
    CLayerUtil::Add(L"red", 1);
    std::unique_ptr<OdDbLine> line(Line(L"red", nullptr, 256));
    EXPECT_EQ(GetEntityRgbColor(line.get()), 0x0000ffu);  // red in the low byte
    line->setColorIndex(0);
    EXPECT_EQ(GetEntityRgbColor(line.get()), 0xffffffu);
    line->setColorIndex(5);
    EXPECT_EQ(GetEntityRgbColor(line.get()), gcedGetRGB(5));
    OdCmColor rgb;
    rgb.setRGB(0x12, 0x34, 0x56);
    line->setColor(rgb);
    EXPECT_EQ(GetEntityRgbColor(line.get()), 0x563412u);
    // A layer that does not open leaves ByLayer unresolved: no colour.
    line->setColorIndex(256);
    standin::FailHostCall("openRead", eWasOpenForWrite);
    EXPECT_EQ(GetEntityRgbColor(line.get()), 0u);

    // Back from a colour word to an entity colour.
    OdCmColor back = MakeRgbColor(0x563412);
    EXPECT_TRUE(back.isByColor());
    EXPECT_EQ(back.red(), 0x12);
    EXPECT_EQ(back.green(), 0x34);
    EXPECT_EQ(back.blue(), 0x56);
}

TEST_F(EntityPropertyTest, OpacityPercentFromAlpha)
{
    std::unique_ptr<OdDbLine> line(Line(nullptr, nullptr, 1));
    const struct {
        uint8_t alpha;
        uint32_t percent;
    } cases[] = {{255, 100}, {254, 100}, {127, 50}, {102, 40}, {1, 50}, {0, 50}};
    for (const auto& c : cases) {
        line->setTransparency(OdCmTransparency(c.alpha));
        EXPECT_EQ(GetEntityOpacity(line.get()), c.percent) << (int)c.alpha;
    }
    // ByLayer transparency carries no alpha.
    line->setTransparency(OdCmTransparency());
    EXPECT_EQ(GetEntityOpacity(line.get()), 50u);
}

TEST_F(EntityPropertyTest, LinetypeNamesMapToTheLineStyles)
{
    const struct {
        const wchar_t* name;
        uint32_t style;
    } cases[] = {
        {L"continuous", 0},     {L"ACAD_ISO02W100", 2}, {L"acad_iso02w100", 0}, {L"ACAD_ISO07W100", 1},
        {L"ACAD_ISO04W100", 3}, {L"ACAD_ISO10W100", 3}, {L"ACAD_ISO03W100", 4}, {L"DASHDOTX2", 6},
        {L"DIVIDEX2", 7},       {L"DASHDOT2", 3},       {L"MYCENTER", 3},       {L"DIVIDE", 4},
        {L"DASHED", 5},         {L"dashed", 0},         {L"HIDDEN", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(LineStyleOfName(c.name), c.style) << c.name;

    // Through entities: a name of the entity, or of its layer for ByLayer.
    AddLinetype(L"DASHED");
    OdDbObjectId dashdot = AddLinetype(L"DASHDOTX2");
    CLayerUtil::Add(L"styled", 3);
    {
        OdDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(oddbOpenObject(layer, CLayerUtil::GetLayerId(L"styled", false), OdDb::kForWrite), eOk);
        layer->setLinetypeObjectId(dashdot);
        layer->close();
    }
    std::unique_ptr<OdDbLine> line(Line(L"styled", L"DASHED", 1));
    EXPECT_EQ(GetEntityLineStyle(line.get()), 5u);
    line->setLinetype(L"ByLayer");
    EXPECT_EQ(GetEntityLineStyle(line.get()), 6u);
    // A text is no curve: always the first style.
    OdDbText text(OdGePoint3d(), L"t");
    text.setDatabaseDefaults(db_);
    text.setLinetype(L"DASHED");
    EXPECT_EQ(GetEntityLineStyle(&text), 0u);

    EXPECT_STREQ(LineStyleName(6), L"DASHDOTX2");
    EXPECT_STREQ(LineStyleName(8), L"Continuous");
    EXPECT_STREQ(LineStyleName(0xffffffff), L"Continuous");
}

TEST_F(EntityPropertyTest, HatchUnitFactorIsReadOnceFromMeasurement)
{
    ResetMeasurement();
    standin::SetSysVarShort(L"MEASUREMENT", 0);
    EXPECT_EQ(GetMeasurement(), 25);
    standin::SetSysVarShort(L"MEASUREMENT", 1);
    EXPECT_EQ(GetMeasurement(), 25);  // kept
    ResetMeasurement();
    EXPECT_EQ(GetMeasurement(), 1);
    ResetMeasurement();
}

}  // namespace
