// Shapes from hatches and solids: the round single boundary, rings and
// holes, and the fill of patterns, gradients and solid fills.
#include <cmath>

#include "common/symboltable/layerutil.h"
#include "editor_control.h"
#include "oddbhatch.h"
#include "send_fixture.h"
#include "state/peerhelpers.h"

namespace {

using velkpeer::DecodedObject;

TEST_F(SendTest, AHatchInOneCircleIsSampledAndASolidFillTakesTheEntityColour)
{
    uint64_t circle = AddEntity(new OdDbCircle(OdGePoint3d(100, 200, 0), OdGeVector3d(0, 0, 1), 10));
    OdDbObjectIdArray ids;
    ids.append(IdOf(circle));
    OdDbHatch hatch;
    hatch.setAssociative(true);
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, ids), eOk);
    hatch.setColorIndex(3);
    hatch.setTransparency(OdCmTransparency(102));
    DecodedObject s = ConvertOne(&hatch);
    EXPECT_EQ(s.kind, 13u);
    ASSERT_EQ(s.points.size(), 100u);
    EXPECT_NEAR(s.points[0].x, 110, 1e-9);
    EXPECT_NEAR(s.points[0].y, 200, 1e-9);
    EXPECT_NEAR(s.points[25].x, 100, 1e-5);
    EXPECT_NEAR(s.points[25].y, 210, 1e-9);
    EXPECT_EQ(s.fillType, 0u);
    EXPECT_EQ(s.colour, gcedGetRGB(3));
    EXPECT_EQ(s.fillColour, gcedGetRGB(3));
    // Both opacity bytes hold the percent.
    EXPECT_EQ(s.outline, 40);
    EXPECT_EQ(s.opacity, 40);
    EXPECT_TRUE(StartsWith(s.name, "Shape_"));

    // With two boundary objects the hatch goes loop by loop.
    uint64_t second = AddEntity(new OdDbCircle(OdGePoint3d(300, 200, 0), OdGeVector3d(0, 0, 1), 10));
    OdDbObjectIdArray more;
    more.append(IdOf(second));
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, more), eOk);
    s = ConvertOne(&hatch);
    EXPECT_EQ(s.outerRingCount, 2);
    EXPECT_GT(s.points.size(), 100u);
}

TEST_F(SendTest, HatchLoopsBecomeOuterRingsFirstThenHoles)
{
    OdDbHatch hatch;
    OdGeDoubleArray flat;
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, Square(0, 0, 100), flat), eOk);
    // An island the host found, a square inside and one outside the first.
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kPolyline | OdDbHatch::kDerived | OdDbHatch::kOutermost,
                               Square(10, 10, 20), flat),
              eOk);
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kPolyline, Square(200, 0, 50), flat), eOk);
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kPolyline, Square(60, 60, 10), flat), eOk);
    DecodedObject s = ConvertOne(&hatch);
    EXPECT_EQ(s.outerRingCount, 2);
    ASSERT_EQ(s.points.size(), 16u);
    // Outer rings (0..3, 4..7), then the holes in loop order.
    const double firstX[] = {0, 200, 10, 60};
    for (int ring = 0; ring < 4; ++ring) {
        EXPECT_EQ(s.points[ring * 4].x, firstX[ring]) << ring;
        EXPECT_EQ(s.points[ring * 4].elevation, ring == 0 ? 0 : 65536) << ring;
        EXPECT_EQ(s.points[ring * 4 + 1].elevation, 0);
    }
}

TEST_F(SendTest, LoopsTooSmallForARingSendNothing)
{
    // A closed polyline of one vertex as the only boundary.
    auto* dot = new OdDbPolyline();
    dot->addVertexAt(0, OdGePoint2d(5, 5));
    dot->setClosed(true);
    OdDbObjectIdArray ids;
    ids.append(IdOf(AddEntity(dot)));
    OdDbHatch hatch;
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, ids), eOk);
    EXPECT_TRUE(Convert(&hatch).empty());
    // Two points in all are no shape either.
    OdGePoint2dArray two;
    two.append(OdGePoint2d(0, 0));
    two.append(OdGePoint2d(1, 0));
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kPolyline, two, OdGeDoubleArray()), eOk);
    EXPECT_TRUE(Convert(&hatch).empty());
}

// The peer's pattern table as it answers it: a head, then one item a name.
LinetypeTable* PatternTable(const std::vector<std::pair<std::string, uint32_t>>& patterns)
{
    std::vector<uint8_t> bytes(96 + 384 * patterns.size());
    uint32_t count = (uint32_t)patterns.size();
    memcpy(bytes.data() + 4, &count, 4);
    for (size_t i = 0; i < patterns.size(); ++i) {
        uint8_t* item = bytes.data() + 96 + 384 * i;
        memcpy(item, patterns[i].first.data(), patterns[i].first.size());
        memcpy(item + 328, &patterns[i].second, 4);
    }
    return ParseLinetypeTable(&g_peerApi, bytes.data(), (uint32_t)bytes.size());
}

TEST_F(SendTest, PatternAndGradientFillsTravelInTheFillFields)
{
    g_pLinetypeTable = PatternTable({{"ANSI31", 31}, {"ANSI37", 37}});
    ASSERT_NE(g_pLinetypeTable, nullptr);
    standin::SetSysVarShort(L"MEASUREMENT", 0);
    OdDbHatch hatch;
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, Square(0, 0, 10), OdGeDoubleArray()),
              eOk);
    ASSERT_EQ(hatch.setPattern(OdDbHatch::kPreDefined, L"ANSI31"), eOk);
    hatch.setPatternAngle(M_PI / 4);
    hatch.setPatternScale(50);
    hatch.setColorIndex(3);
    OdCmColor background;
    background.setColorIndex(5);
    hatch.setBackgroundColor(background);
    hatch.setOriginPoint(OdGePoint2d(7, 8));
    ASSERT_EQ(hatch.setPattern(OdDbHatch::kPreDefined, L"ANSI37"), eOk);
    DecodedObject s = ConvertOne(&hatch);
    EXPECT_EQ(s.patternId, 37u);
    ASSERT_EQ(hatch.setPattern(OdDbHatch::kPreDefined, L"BRICK"), eOk);
    EXPECT_EQ(ConvertOne(&hatch).patternId, 31u);  // unknown to the peer: its first
    s = ConvertOne(&hatch);
    EXPECT_EQ(s.fillType, 3u);
    EXPECT_EQ(s.colour, 0xff0000u);  // the outline keeps the default
    EXPECT_EQ(s.fillColour, gcedGetRGB(3));
    EXPECT_EQ(s.secondColour, gcedGetRGB(5) | 0x1000000u);
    EXPECT_FLOAT_EQ(s.fillAngle, 45.0f);
    EXPECT_EQ(s.fillScale, 2.0f);  // 50 in a drawing of inches
    EXPECT_EQ(s.originX, 7.0);
    EXPECT_EQ(s.originY, 8.0);
    // A pattern by layer takes the layer's colour, one by block white, as
    // every other entity colour does.
    CLayerUtil::Add(L"green", 3);
    hatch.setDatabaseDefaults(db_);
    ASSERT_EQ(hatch.setLayer(L"green"), eOk);
    hatch.setColorIndex(256);
    EXPECT_EQ(ConvertOne(&hatch).fillColour, gcedGetRGB(3));
    hatch.setColorIndex(0);
    EXPECT_EQ(ConvertOne(&hatch).fillColour, 0xffffffu);
    hatch.setColorIndex(3);

    // Inverted gradients exchange their colours; one colour goes twice.
    hatch.setHatchObjectType(OdDbHatch::kGradientObject);
    ASSERT_EQ(hatch.setGradient(OdDbHatch::kPreDefinedGradient, L"INVCYLINDER"), eOk);
    OdCmColor colours[2];
    colours[0].setColorIndex(1);
    colours[1].setColorIndex(5);
    const double values[2] = {0, 1};
    ASSERT_EQ(hatch.setGradientColors(2, colours, values), eOk);
    s = ConvertOne(&hatch);
    EXPECT_EQ(s.fillType, 1u);
    EXPECT_EQ(s.fillKind, 1u);
    EXPECT_EQ(s.fillColour, gcedGetRGB(5));
    EXPECT_EQ(s.secondColour, gcedGetRGB(1));
    hatch.setGradientOneColorMode(true);
    s = ConvertOne(&hatch);
    EXPECT_EQ(s.fillColour, gcedGetRGB(1));
    EXPECT_EQ(s.secondColour, gcedGetRGB(1));

    // A "SOLID" pattern is a solid fill.
    hatch.setHatchObjectType(OdDbHatch::kHatchObject);
    hatch.setPattern(OdDbHatch::kPreDefined, L"SOLID");
    s = ConvertOne(&hatch);
    EXPECT_EQ(s.fillType, 0u);
    EXPECT_EQ(s.colour, gcedGetRGB(3));
}

TEST_F(SendTest, SolidCornersGoRoundTheShape)
{
    OdDbSolid solid(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 0, 0), OdGePoint3d(0, 5, 0), OdGePoint3d(10, 5, 0));
    solid.setColorIndex(2);
    DecodedObject s = ConvertOne(&solid);
    ASSERT_EQ(s.points.size(), 4u);
    const double xs[] = {0, 10, 10, 0}, ys[] = {0, 0, 5, 5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s.points[i].x, xs[i]) << i;
        EXPECT_EQ(s.points[i].y, ys[i]) << i;
    }
    EXPECT_EQ(s.colour, gcedGetRGB(2));
    EXPECT_EQ(s.fillColour, gcedGetRGB(2));
}

}  // namespace
