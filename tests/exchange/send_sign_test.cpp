// The dispatch of entities to their converters, and the signs made of
// points, texts, attributes and icon images.
#include <cmath>

#include "oddbblockreference.h"
#include "oddbhatch.h"
#include "oddbtext.h"
#include "send_fixture.h"

namespace {

using velkpeer::DecodedObject;

TEST_F(SendTest, AttributeClassesAreTestedBeforeTextAndEveryKindFindsItsRecord)
{
    OdDbAttribute attribute;
    attribute.setTextString(L"A-12");
    attribute.setTag(L"NO");
    attribute.setHeight(2);
    attribute.setTransparency(OdCmTransparency(102));  // 40 percent opaque
    DecodedObject a = ConvertOne(&attribute);
    EXPECT_EQ(a.kind, 7u);
    EXPECT_EQ(a.name, "A-12");
    EXPECT_EQ(a.transparency, 60);  // only attributes send it
    EXPECT_EQ(a.textOnly, 1);
    EXPECT_EQ(a.iconNumber, 0u);

    OdDbAttributeDefinition definition(OdGePoint3d(1, 2, 0), L"default", L"tag", L"prompt");
    definition.setTransparency(OdCmTransparency(102));
    DecodedObject d = ConvertOne(&definition);
    EXPECT_EQ(d.name, "TAG");
    EXPECT_EQ(d.transparency, 0);
    OdDbAttributeDefinition untagged(OdGePoint3d(1, 2, 0), L"x", L"", L"");
    EXPECT_EQ(ConvertOne(&untagged).name, "");

    OdDbText text(OdGePoint3d(3, 4, 0), L"plain", OdDbObjectId::kNull, 2.0);
    text.setTransparency(OdCmTransparency(102));
    DecodedObject t = ConvertOne(&text);
    EXPECT_EQ(t.signType, 3);
    EXPECT_EQ(t.name, "plain");
    EXPECT_EQ(t.transparency, 0);

    // Circles and arcs are both round tracks: a circle by its centre and
    // start, an arc by start, the middle of its length and end.
    OdDbCircle circle(OdGePoint3d(5, 5, 0), OdGeVector3d(0, 0, 1), 2);
    DecodedObject c = ConvertOne(&circle);
    EXPECT_EQ(c.shapeType, 7);
    ASSERT_EQ(c.points.size(), 2u);
    EXPECT_EQ(c.points[1].x, 7.0);
    OdDbArc arc(OdGePoint3d(5, 5, 0), 2, 0, M_PI / 2);
    DecodedObject o = ConvertOne(&arc);
    EXPECT_EQ(o.shapeType, 7);
    ASSERT_EQ(o.points.size(), 3u);
    EXPECT_NEAR(o.points[1].x, 5 + std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(o.points[1].y, 5 + std::sqrt(2.0), 1e-9);

    // Invisible entities and entities no rule knows send nothing.
    OdDbLine hidden(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0));
    hidden.setVisibility(OdDb::kInvisible);
    EXPECT_TRUE(Convert(&hidden).empty());
    OdDbRasterImage wide;
    wide.setOrientation(OdGePoint3d(), OdGeVector3d(10, 0, 0), OdGeVector3d(0, 10, 0));
    EXPECT_TRUE(Convert(&wide).empty());
}

TEST_F(SendTest, TextHeightsGiveLevelsWithinTheMapsRange)
{
    const struct {
        double ground, height;
        int32_t level, size;
    } cases[] = {
        {1, 20, 19, 28},  {1, 100, 17, 35}, {1, 5, 20, 14},   {0, 100, 19, 16},
        {1, 0, 19, 16},   {1, -3, 19, 16},  {-1, 5, 19, 16},  {1e-300, 1e300, 19, 16},
        {1e-12, 1e6, 1, INT32_MAX}, {1e12, 1e-6, 28, 0},
    };
    for (const auto& c : cases) {
        g_level19PixelSize = c.ground;
        int32_t level = 0, size = 0;
        ArxOperation::TextHeightToLevel(level, size, c.height);
        EXPECT_EQ(level, c.level) << c.ground << " " << c.height;
        if (c.size != INT32_MAX) EXPECT_EQ(size, c.size) << c.ground << " " << c.height;
        else EXPECT_GT(size, 1000000);
    }

    // The ground size is the peer's y resolution of level 19.
    peer->Config().levelResolutions.assign(20, {0.5, 0.25});
    peer->Config().levelResolutions[18] = {3, 2};
    ArxOperation::PrepareSend();
    EXPECT_EQ(g_level19PixelSize, 2.0);
    EXPECT_EQ(g_ptagDocIdManager->baseMap.grid.origin.x, peer->Config().originX);
}

TEST_F(SendTest, TextsAreAnchoredAtTheirInsertionCornerWithSinglePrecisionRotation)
{
    g_level19PixelSize = 1;
    OdDbText text(OdGePoint3d(100, 200, 7.9), L"abc", OdDbObjectId::kNull, 20.0, M_PI / 2);
    OdGeExtents3d ext;
    ASSERT_EQ(text.getGeomExtents(ext), eOk);
    DecodedObject t = ConvertOne(&text);
    EXPECT_EQ(t.rotation, 90.0f);
    // A half-turn of 3.14 puts a quarter turn into the second quadrant.
    EXPECT_NEAR(t.x, ext.maxPoint().x, 1e-9);
    EXPECT_NEAR(t.y, ext.minPoint().y + 1.1 * 20.0 * std::cos(3.14 - M_PI / 2), 1e-9);
    EXPECT_EQ(t.elevation, 7);
    EXPECT_EQ(t.level, 19);
    EXPECT_EQ(t.fontSize, 28u);
    EXPECT_TRUE(StartsWith(t.name, "abc"));
    EXPECT_EQ(t.remark, "");  // never sent: no remark

    // Just short of a full turn lies beyond the anchor's range: the corner of
    // the extents stays.
    text.setRotation(6.2830);
    ASSERT_EQ(text.getGeomExtents(ext), eOk);
    t = ConvertOne(&text);
    EXPECT_NEAR(t.x, ext.minPoint().x, 1e-9);
    EXPECT_NEAR(t.y, ext.minPoint().y, 1e-9);

    // A sent text keeps its link's remark; an icon's label has font size 14.
    MapObjInfo linked;
    linked.peerId = 77;
    linked.remark = L"备注";
    linked.iconNumber = 12;
    linked.signFlag = 0;
    t = ConvertOne(&text, linked);
    EXPECT_EQ(t.remark, "备注");
    EXPECT_EQ(t.iconNumber, 12u);
    EXPECT_EQ(t.textOnly, 0);
    EXPECT_EQ(t.fontSize, 14u);
}

TEST_F(SendTest, MultiLineTextsAnchorByAllLinesAndTakeTheLevelOfOne)
{
    g_level19PixelSize = 1;
    OdDbMText mtext;
    mtext.setContents(L"a\\Pb\\Pc");
    mtext.setTextHeight(2);
    mtext.setLocation(OdGePoint3d(10, 20, 0));
    mtext.setRotation(1.0);
    OdGeExtents3d ext;
    ASSERT_EQ(mtext.getGeomExtents(ext), eOk);
    MapObjInfo linked;
    linked.peerId = 5;
    linked.remark = L"ignored";
    DecodedObject m = ConvertOne(&mtext, linked);
    EXPECT_EQ(m.multiLine, 1);
    EXPECT_EQ(m.name, "a\r\nb\r\nc");
    EXPECT_EQ(m.remark, "a\r\nb\r\nc");
    EXPECT_NEAR(m.x, ext.minPoint().x + 1.3 * 6.0 * std::sin(1.0), 1e-9);  // three lines of 2
    EXPECT_NEAR(m.y, ext.minPoint().y, 1e-9);
    EXPECT_EQ(m.level, 22);                                 // one line of 2
    EXPECT_EQ(m.fontSize, 23u);
}

TEST_F(SendTest, PointsAndIconImagesBecomePointSigns)
{
    g_settings.pointsAsIcons = 1;
    OdDbPoint point(OdGePoint3d(3, 4, 5.5));
    DecodedObject p = ConvertOne(&point);
    EXPECT_EQ(p.signType, 1);
    EXPECT_EQ(p.iconNumber, 4u);
    EXPECT_EQ(p.x, 3.0);
    EXPECT_EQ(p.elevation, 5);
    EXPECT_TRUE(StartsWith(p.name, "Sign_"));
    EXPECT_EQ(p.textColour, 0u);
    MapObjInfo linked;
    linked.peerId = 9;
    linked.name = L"井";
    // A remark goes whole, however long (the peer's own remarks run to
    // thousands of characters).
    linked.remark = CString(L'注', 600);
    linked.iconNumber = 12;
    p = ConvertOne(&point, linked);
    EXPECT_EQ(p.iconNumber, 12u);
    EXPECT_EQ(p.name, "井");
    std::string remark;
    for (int i = 0; i < 600; ++i) remark += "注";
    EXPECT_EQ(p.remark, remark);

    // Icon-sized images go as signs at the middle of their bottom edge.
    const struct {
        double u, v;
        bool sent;
    } images[] = {{15, 30, true}, {8, 8, true}, {4, 3, true}, {10, 10, false}, {15.7, 30.9, true}, {31, 15, false}};
    for (const auto& c : images) {
        OdDbRasterImage image;
        image.setOrientation(OdGePoint3d(100, 50, 0), OdGeVector3d(c.u, 0, 0), OdGeVector3d(0, c.v, 0));
        auto made = Convert(&image);
        ASSERT_EQ(made.size(), c.sent ? 1u : 0u) << c.u << " x " << c.v;
        if (!c.sent) continue;
        EXPECT_EQ(made[0].x, 100 + c.u / 2);
        EXPECT_EQ(made[0].y, 50.0);
        EXPECT_EQ(made[0].signType, 1);
    }
    // The icon of a received sign goes with its text.
    OdDbRasterImage icon;
    icon.setOrientation(OdGePoint3d(), OdGeVector3d(15, 0, 0), OdGeVector3d(0, 15, 0));
    MapObjInfo withText;
    withText.companion = 0x2A;
    EXPECT_TRUE(Convert(&icon, withText).empty());
}

}  // namespace
