// Received shapes: their boundaries, rings with holes, and the fill taken
// from the record and the peer's pattern table.
#include "editor_control.h"
#include "gcutprint.h"
#include "receive_fixture.h"

namespace {

using velkpeer::PeerShape;
using ReceiveShapeTest = ReceiveTest;

PeerShape TwoPoint(double x0, double y0, double x1, double y1, double start = 0, double end = 0)
{
    PeerShape s;
    s.points = {{x0, y0}, {x1, y1}};
    s.startAngle = start;
    s.endAngle = end;
    return s;
}

// The boundary entities of a hatch.
OdDbObjectIdArray Boundaries(OdDbObjectId hatch)
{
    OdDbObjectIdArray ids;
    Reading<OdDbHatch> h(hatch);
    if (h) h->getAssocObjIds(ids);
    return ids;
}

}  // namespace

TEST_F(ReceiveShapeTest, TwoPointShapesAreRectanglesCirclesEllipsesAndSectors)
{
    uint32_t rect = Put(TwoPoint(0, 0, 10, 5));
    uint32_t circle = Put(TwoPoint(0, 10, 10, 0, 0, 360));    // x0 - x1 = y1 - y0
    uint32_t ellipse = Put(TwoPoint(0, 0, 10, 10, 0, 360));
    uint32_t pie = Put(TwoPoint(0, 10, 10, 0, 30, 120));
    uint32_t ellipsePie = Put(TwoPoint(0, 0, 20, 10, 30, 120));
    uint32_t nothing = Put(TwoPoint(3, 3, 3, 3, 0, 360));    // two equal corners
    ASSERT_TRUE(Receive({rect, circle, ellipse, pie, ellipsePie, nothing}));

    auto boundaryOf = [&](uint32_t id) {
        EXPECT_EQ(drawing->peerEntities.count(id), 1u);
        OdDbObjectId hatch = CEntityUtil::HandleToObjectId(OdDbHandle(drawing->peerEntities[id]));
        EXPECT_TRUE(Reading<OdDbHatch>(hatch));
        return Boundaries(hatch);
    };
    OdDbObjectIdArray b = boundaryOf(rect);
    ASSERT_EQ(b.length(), 1);
    {
        Reading<OdDbPolyline> pl(b[0]);
        ASSERT_TRUE(pl);
        EXPECT_TRUE(pl->isClosed());
        EXPECT_EQ(pl->numVerts(), 4u);
    }
    b = boundaryOf(circle);
    ASSERT_EQ(b.length(), 1);
    {
        Reading<OdDbCircle> c(b[0]);
        ASSERT_TRUE(c);
        EXPECT_DOUBLE_EQ(c->radius(), 5);
        EXPECT_EQ(c->center(), OdGePoint3d(5, 5, 0));
    }
    b = boundaryOf(ellipse);
    ASSERT_EQ(b.length(), 1);
    EXPECT_TRUE(Reading<OdDbEllipse>(b[0]));
    // A sector is its curve closed by a polyline through the centre.
    for (uint32_t id : {pie, ellipsePie}) {
        b = boundaryOf(id);
        ASSERT_EQ(b.length(), 2);
        Reading<OdDbPolyline> closing(b[0]);
        ASSERT_TRUE(closing);
        EXPECT_EQ(closing->numVerts(), 3u);
        OdGePoint2d centre;
        closing->getPointAt(1, centre);
        EXPECT_EQ(centre, id == pie ? OdGePoint2d(5, 5) : OdGePoint2d(10, 5));
    }
    EXPECT_TRUE(Reading<OdDbArc>(boundaryOf(pie)[1]));
    EXPECT_TRUE(Reading<OdDbEllipse>(boundaryOf(ellipsePie)[1]));
    EXPECT_EQ(drawing->peerEntities.count(nothing), 0u);
    EXPECT_EQ(All<OdDbHatch>().size(), 5u);
}

TEST_F(ReceiveShapeTest, PolygonsAreClosedAndRingsMakeHoles)
{
    PeerShape square;
    square.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    PeerShape open = square;
    open.points.back().x = 1;  // differs from the first point: closed by repeating it
    PeerShape holed;
    holed.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {2, 2, 65536}, {4, 2}, {4, 4}, {2, 4}};
    holed.outerRingCount = 1;
    uint32_t a = Put(square), b = Put(open), c = Put(holed);
    ASSERT_TRUE(Receive({a, b, c}));

    auto ring = [&](uint32_t id, int i) {
        return Boundaries(CEntityUtil::HandleToObjectId(OdDbHandle(drawing->peerEntities.at(id))))[i];
    };
    EXPECT_EQ(Reading<OdDbPolyline>(ring(a, 0))->numVerts(), 5u);
    EXPECT_EQ(Reading<OdDbPolyline>(ring(b, 0))->numVerts(), 6u);
    Reading<OdDbHatch> hatch(CEntityUtil::HandleToObjectId(OdDbHandle(drawing->peerEntities.at(c))));
    ASSERT_TRUE(hatch);
    ASSERT_EQ(hatch->numLoops(), 2);
    EXPECT_EQ(hatch->loopTypeAt(0) & OdDbHatch::kExternal, OdDbHatch::kExternal);
    EXPECT_EQ(hatch->loopTypeAt(1) & OdDbHatch::kOutermost, OdDbHatch::kOutermost);
    EXPECT_EQ(Reading<OdDbPolyline>(ring(c, 0))->numVerts(), 5u);
    Reading<OdDbPolyline> hole(ring(c, 1));
    OdGePoint2d first;
    hole->getPointAt(0, first);
    EXPECT_EQ(first, OdGePoint2d(2, 2));
}

TEST_F(ReceiveShapeTest, OutlineAndFillTakeTheirOwnColourAndOpacity)
{
    PeerShape s = TwoPoint(0, 0, 10, 5);
    s.colour = 0x0000FF;
    s.fillColour = 0x00FF00;
    s.outline = 100;
    s.opacity = 20;
    ASSERT_TRUE(Receive({Put(s)}));
    OdDbObjectId hatch = All<OdDbHatch>().at(0);
    Reading<OdDbHatch> h(hatch);
    EXPECT_EQ(h->color().green(), 0xFF);
    EXPECT_EQ(h->transparency().alpha(), 51);  // 254 x 20 %
    EXPECT_TRUE(h->isSolidFill());
    Reading<OdDbPolyline> outline(Boundaries(hatch)[0]);
    EXPECT_EQ(outline->color().red(), 0xFF);
    EXPECT_EQ(outline->transparency().alpha(), 254);

    // Under colour by layer both follow their layer.
    g_settings.colourByLayer = 1;
    ASSERT_TRUE(Receive({Put(s)}));
    Reading<OdDbHatch> byLayer(All<OdDbHatch>().at(1));
    EXPECT_TRUE(byLayer->color().isByLayer());
}

TEST_F(ReceiveShapeTest, PatternsComeFromThePeersTable)
{
    // Pattern 2 is "ISO02W100" at scale 2 in the peer's table; the record's
    // own kind 1 keeps the record's scale.
    PeerShape iso = TwoPoint(0, 0, 10, 5);
    iso.fillType = 3;
    iso.patternId = 2;
    iso.fillAngle = 90;
    iso.fillColour = 0x0000FF;
    iso.secondColour = 0x1000000 | 0x00FF00;
    PeerShape own = iso;
    own.fillKind = 1;
    own.fillScale = 3;
    own.secondColour = 0x00FF00;  // no background bit: no background
    PeerShape unknown = iso;
    unknown.patternId = 77;
    unknown.fillKind = 1;
    unknown.fillScale = 3;
    ASSERT_TRUE(Receive({Put(iso), Put(own), Put(unknown)}));
    auto hatches = All<OdDbHatch>();
    ASSERT_EQ(hatches.size(), 3u);
    {
        Reading<OdDbHatch> h(hatches[0]);
        EXPECT_EQ(h->patternName(), L"ACAD_ISO02W100");
        EXPECT_DOUBLE_EQ(h->patternScale(), 2);
        EXPECT_NEAR(h->patternAngle(), M_PI / 2, 1e-12);
        EXPECT_EQ(h->backgroundColor().green(), 0xFF);
        EXPECT_TRUE(h->backgroundColor().isByColor());
    }
    {
        Reading<OdDbHatch> h(hatches[1]);
        EXPECT_DOUBLE_EQ(h->patternScale(), 3);
        EXPECT_FALSE(h->backgroundColor().isByColor());
    }
    Reading<OdDbHatch> h(hatches[2]);
    EXPECT_TRUE(h->isSolidFill());
    EXPECT_DOUBLE_EQ(h->patternScale(), 1);
}

TEST_F(ReceiveShapeTest, ImperialDrawingsScalePatternsBy25)
{
    standin::SetSysVarShort(L"MEASUREMENT", 0);
    PeerShape s = TwoPoint(0, 0, 10, 5);
    s.fillType = 3;
    s.patternId = 1;  // "ANSI31"
    s.fillKind = 1;
    s.fillScale = 2;
    ASSERT_TRUE(Receive({Put(s)}));
    Reading<OdDbHatch> h(All<OdDbHatch>().at(0));
    EXPECT_EQ(h->patternName(), L"ANSI31");
    EXPECT_DOUBLE_EQ(h->patternScale(), 50);
}

TEST_F(ReceiveShapeTest, GradientsTakeBothColours)
{
    PeerShape s = TwoPoint(0, 0, 10, 5);
    s.fillType = 1;
    s.fillKind = 2;  // spherical
    s.fillColour = 0x0000FF;
    s.secondColour = 0xFF0000;
    ASSERT_TRUE(Receive({Put(s)}));
    Reading<OdDbHatch> h(All<OdDbHatch>().at(0));
    EXPECT_EQ(h->hatchObjectType(), OdDbHatch::kGradientObject);
    EXPECT_EQ(h->gradientName(), L"SPHERICAL");
    unsigned int n = 0;
    OdArray<OdCmColor> colours;
    OdGeDoubleArray values;
    h->getGradientColors(n, colours, values);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(colours[0].red(), 0xFF);
    EXPECT_EQ(colours[1].blue(), 0xFF);
}

TEST_F(ReceiveShapeTest, ShapesWithoutAreaMakeNothing)
{
    PeerShape one;
    one.points = {{1, 1}};
    PeerShape none;
    PeerShape line = TwoPoint(0, 0, 0, 10);  // a rectangle without width
    ASSERT_TRUE(Receive({Put(one), Put(none), Put(line)}));
    EXPECT_EQ(All<OdDbHatch>().size(), 0u);
    // No stray outline is left where no hatch could be made.
    EXPECT_EQ(EntityCount(), 0u);
}

TEST_F(ReceiveShapeTest, AShapeWhoseHatchCannotBeMadeLeavesNoOutline)
{
    PeerShape square;
    square.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    square.name = "q";
    // The outline goes in, the hatch after it is refused.
    standin::FailHostCall("append", eInvalidInput, 1);
    ASSERT_TRUE(Receive({Put(square)}));
    EXPECT_EQ(standin::HostCallCount("append"), 2);
    EXPECT_FALSE(standin::HostFaultPending("append"));
    EXPECT_EQ(EntityCount(), 0u);
    EXPECT_NE(standin::CommandLineText().find(L"拓岚面(q)无法加入图形"), std::wstring::npos);
}
