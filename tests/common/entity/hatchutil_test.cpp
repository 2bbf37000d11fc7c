#include <cmath>
#include <cstring>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/gradientname.h"
#include "common/entity/hatchutil.h"
#include "common/entity/lineutil.h"
#include "common/entity/polylineutil.h"
#include "drawing_fixture.h"
#include "oddbcurves.h"
#include "oddbhatch.h"

namespace {

class HatchTest : public DrawingTest {
protected:
    HatchFillSpec Fill(const char* pattern)
    {
        HatchFillSpec fill;
        std::strncpy(fill.name, pattern, sizeof fill.name - 1);
        fill.scale = 2.5;
        fill.angle = 0.25;
        return fill;
    }
    OdDbObjectId Square(double x0, double size)
    {
        EntityProps props;
        return CPolylineUtil::AddRectangle(OdGePoint2d(x0, x0), OdGePoint2d(x0 + size, x0 + size), 0, props);
    }
    EntityProps props_;
};

}  // namespace

TEST_F(HatchTest, PlainHatchErasesItsBoundaryAfterPosting)
{
    OdDbObjectId boundary = Square(0, 10);
    OdDbObjectId id = CHatchUtil::Add(OdDbObjectIdArray{boundary}, props_, Fill("ANSI31"), false);
    ASSERT_FALSE(id.isNull());
    EXPECT_TRUE(boundary.isErased());
    OdDbHatch* hatch = OpenRead<OdDbHatch>(id);
    EXPECT_EQ(hatch->patternName(), L"ANSI31");
    EXPECT_DOUBLE_EQ(hatch->patternScale(), 2.5);
    EXPECT_DOUBLE_EQ(hatch->patternAngle(), 0.25);
    EXPECT_EQ(hatch->numLoops(), 1);
    EXPECT_EQ(hatch->loopTypeAt(0) & OdDbHatch::kExternal, OdDbHatch::kExternal);
    EXPECT_TRUE(hatch->isEvaluated());
    hatch->close();
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(), (OdDbObjectIdArray{id}));
}

TEST_F(HatchTest, FailedPostingKeepsTheBoundary)
{
    OdDbObjectId boundary = Square(0, 10);
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_TRUE(CHatchUtil::Add(OdDbObjectIdArray{boundary}, props_, Fill("SOLID"), false).isNull());
    EXPECT_FALSE(boundary.isErased());
}

TEST_F(HatchTest, BoundaryThatFormsNoLoopGivesNoHatchAndIsKept)
{
    EntityProps props;
    OdDbObjectId open = CLineUtil::Add(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0), props, db_);
    ASSERT_FALSE(open.isNull());
    EXPECT_TRUE(CHatchUtil::Add(OdDbObjectIdArray{open}, props_, Fill("ANSI31"), false).isNull());
    EXPECT_FALSE(open.isErased());
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(), (OdDbObjectIdArray{open}));
}

TEST_F(HatchTest, AssociativeHatchBecomesAReactorOfItsBoundary)
{
    OdDbObjectId boundary = Square(0, 10);
    OdDbObjectId id = CHatchUtil::Add(OdDbObjectIdArray{boundary}, props_, Fill("SOLID"), true);
    ASSERT_FALSE(id.isNull());
    EXPECT_FALSE(boundary.isErased());
    OdDbEntity* ent = OpenRead<OdDbEntity>(boundary);
    EXPECT_EQ(ent->getPersistentReactors(), (OdDbObjectIdArray{id}));
    ent->close();
}

TEST_F(HatchTest, InnerLoopsAreOutermostAndEveryBoundaryObjectIsErased)
{
    EntityProps props;
    OdDbObjectIdArray ring;
    OdGePoint2d c[4] = {{20, 20}, {30, 20}, {30, 30}, {20, 30}};
    for (int i = 0; i < 4; ++i) ring.append(CPolylineUtil::AddSegment(c[i], c[(i + 1) % 4], props, 0));
    OdDbObjectId outer = Square(0, 100);
    OdDbObjectId id = CHatchUtil::AddWithInnerLoops({OdDbObjectIdArray{outer}}, {ring}, props_, Fill("NET"), false);
    ASSERT_FALSE(id.isNull());
    OdDbHatch* hatch = OpenRead<OdDbHatch>(id);
    ASSERT_EQ(hatch->numLoops(), 2);
    EXPECT_EQ(hatch->loopTypeAt(1) & OdDbHatch::kOutermost, OdDbHatch::kOutermost);
    hatch->close();
    EXPECT_TRUE(outer.isErased());
    for (const auto& segment : ring) EXPECT_TRUE(segment.isErased());

    // Inner loops alone are external; an open loop deletes the hatch.
    OdDbObjectId lone = Square(200, 5);
    OdDbObjectId id2 = CHatchUtil::AddWithInnerLoops({}, {OdDbObjectIdArray{lone}}, props_, Fill("NET"), false);
    hatch = OpenRead<OdDbHatch>(id2);
    EXPECT_EQ(hatch->loopTypeAt(0) & OdDbHatch::kExternal, OdDbHatch::kExternal);
    hatch->close();
    OdDbObjectId open = CPolylineUtil::AddSegment(OdGePoint2d(0, 0), OdGePoint2d(1, 1), props, 0);
    EXPECT_TRUE(
        CHatchUtil::AddWithInnerLoops({OdDbObjectIdArray{open}}, {}, props_, Fill("NET"), false).isNull());
    EXPECT_FALSE(open.isErased());
}

TEST_F(HatchTest, LoopOfBoundaryObjectsReadsBackAsOneRing)
{
    // A half disc drawn as a line from right to left and the upper half
    // circle, which runs counter-clockwise from (1, 0) to (-1, 0): the loop
    // goes on from the line's end, over the arc the other way round.
    EntityProps props;
    OdDbObjectIdArray boundary;
    boundary.append(
        CDwgDatabaseUtil::PostToModelSpace(new OdDbLine(OdGePoint3d(1, 0, 0), OdGePoint3d(-1, 0, 0)), props));
    boundary.append(CDwgDatabaseUtil::PostToModelSpace(new OdDbArc(OdGePoint3d(0, 0, 0), 1, 0, M_PI), props));
    OdDbObjectId id = CHatchUtil::Add(boundary, props_, Fill("SOLID"), true);
    ASSERT_FALSE(id.isNull());
    OdDbHatch* hatch = OpenRead<OdDbHatch>(id);
    int type = 0;
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    ASSERT_EQ(hatch->getLoopAt(0, type, edges, types), eOk);
    OdGePoint3dArray pts;
    CHatchUtil::GetLoopPoints(pts, edges, types);
    hatch->close();
    // The line's start, then 180 / 3 = 60 arc samples from (-1, 0) over the
    // top to (1, 0), the last edge keeping its end.
    ASSERT_EQ(pts.length(), 1 + 60);
    ExpectNear(pts[0], 1, 0, 0);
    ExpectNear(pts[1], -1, 0, 0);
    ExpectNear(pts.last(), 1, 0, 0);
    for (int i = 2; i <= 60; ++i) {
        EXPECT_GT(pts[i].x, pts[i - 1].x) << i;
        EXPECT_GE(pts[i].y, -1e-9) << i;
    }
}

TEST(HatchLoopPoints, PolylineLoopsGiveVerticesAndSampledBulges)
{
    OdGePoint2dArray square{{0, 0}, {10, 0}, {10, 10}, {0, 0}};
    OdGePoint3dArray pts;
    CHatchUtil::GetPolylineLoopPoints(pts, square, OdGeDoubleArray());
    ASSERT_EQ(pts.length(), 4);
    ExpectNear(pts[2], 10, 10, 0);
    ExpectNear(pts[3], 0, 0, 0);

    pts.clear();
    CHatchUtil::GetPolylineLoopPoints(pts, square, OdGeDoubleArray{1.0});
    ASSERT_EQ(pts.length(), 60 + 3);
    ExpectNear(pts[0], 0, 0, 0);
    ExpectNear(pts[30], 5, -5, 0);
    ExpectNear(pts[60], 10, 0, 0);

    pts.clear();
    CHatchUtil::GetPolylineLoopPoints(pts, OdGePoint2dArray(), OdGeDoubleArray());
    EXPECT_TRUE(pts.isEmpty());
    CHatchUtil::GetPolylineLoopPoints(pts, OdGePoint2dArray{{3, 4}}, OdGeDoubleArray());
    ASSERT_EQ(pts.length(), 1);
}

TEST(HatchLoopPoints, EdgeLoopsGiveLineStartsAndCurvesUpToTheirEnds)
{
    OdGeLineSeg2d a({0, 0}, {4, 0}), b({4, 0}, {4, 4}), c({4, 4}, {0, 4}), d({0, 4}, {0, 0});
    OdGePoint3dArray pts;
    CHatchUtil::GetLoopPoints(pts, OdGeVoidPointerArray{&a, &b, &c, &d}, OdGeIntArray{1, 1, 1, 1});
    ASSERT_EQ(pts.length(), 4);
    ExpectNear(pts[1], 4, 0, 0);
    ExpectNear(pts[3], 0, 4, 0);

    // A half-circle arc back to the start, last: it keeps its end point.
    OdGeLineSeg2d base({-1, 0}, {1, 0});
    OdGeCircArc2d top({0, 0}, 1, 0, M_PI);
    pts.clear();
    CHatchUtil::GetLoopPoints(pts, OdGeVoidPointerArray{&base, &top}, OdGeIntArray{1, 2});
    ASSERT_EQ(pts.length(), 1 + 60);
    ExpectNear(pts.last(), -1, 0, 0);
    pts.clear();
    CHatchUtil::GetLoopPoints(pts, OdGeVoidPointerArray{&top, &base}, OdGeIntArray{2, 1});
    EXPECT_EQ(pts.length(), 59 + 1);

    OdGeNurbCurve2d spline(2, OdGeDoubleArray{0, 0, 0, 1, 1, 1}, OdGePoint2dArray{{0, 0}, {1, 1}, {2, 0}});
    pts.clear();
    CHatchUtil::GetLoopPoints(pts, OdGeVoidPointerArray{&spline, &a}, OdGeIntArray{4, 7});
    EXPECT_EQ(pts.length(), 89);  // 90 samples without the end; type 7 gives nothing
}

TEST(HatchLoopPoints, PointsDifferBeyondTheGlobalTolerance)
{
    EXPECT_FALSE(CHatchUtil::IsPointDiffer(OdGePoint3d(1, 2, 3), OdGePoint3d(1, 2, 3 + 1e-12)));
    EXPECT_TRUE(CHatchUtil::IsPointDiffer(OdGePoint3d(1, 2, 3), OdGePoint3d(1, 2, 3 + 1e-8)));
}

TEST(Gradients, NamesToShapeCodesAndBack)
{
    struct Case {
        const char* name;
        int result;
        int field;
    } cases[] = {{"LINEAR", 0, 0},         {"CYLINDER", 1, 1},  {"INVCYLINDER", -1, 1}, {"SPHERICAL", 2, 2},
                 {"HEMISPHERICAL", 0, 0},  {"CURVED", 0, 0},    {"INVSPHERICAL", -2, 2}, {"INVHEMISPHERICAL", -7, 0},
                 {"INVCURVED", -7, 0},     {"spherical", 0, 0}, {"NOPE", 0, 0}};
    for (const auto& c : cases) {
        HatchFillSpec fill;
        fill.fillKind = 99;
        EXPECT_EQ(GetGradientShape(&fill, c.name), c.result) << c.name;
        EXPECT_EQ(fill.fillKind, c.field) << c.name;
    }
    HatchFillSpec fill;
    EXPECT_STREQ(GetGradientName(fill, 0), "LINEAR");
    EXPECT_STREQ(GetGradientName(fill, 1), "CYLINDER");
    EXPECT_STREQ(GetGradientName(fill, 2), "SPHERICAL");
    EXPECT_STREQ(GetGradientName(fill, 3), "LINEAR");
    EXPECT_STREQ(GetGradientName(fill, -1), "LINEAR");
}
