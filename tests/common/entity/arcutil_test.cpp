#include <cmath>

#include "afxmsgbox.h"
#include "common/entity/arcutil.h"
#include "common/entity/circleutil.h"
#include "common/entity/ellipseutil.h"
#include "drawing_fixture.h"

namespace {
using ArcTest = DrawingTest;
const double kPi = M_PI;
}  // namespace

TEST_F(ArcTest, ThreePointArcRunsCounterClockwiseFromFirstToThird)
{
    EntityProps props;
    // Clockwise order: the arc from p1 to p3 does not pass through p2.
    OdDbObjectId id =
        CArcUtil::AddBy3Points(OdGePoint3d(0, 0, 1), OdGePoint3d(1, 1, 2), OdGePoint3d(2, 0, 3), props);
    OdDbArc* arc = OpenRead<OdDbArc>(id);
    ExpectNear(arc->center(), 1, 0, 2);
    EXPECT_NEAR(arc->radius(), 1, 1e-12);
    EXPECT_NEAR(arc->startAngle(), kPi, 1e-12);
    EXPECT_NEAR(arc->endAngle(), 0, 1e-12);
    OdGePoint3d mid;
    arc->getPointAtParam(1.5 * kPi, mid);
    ExpectNear(mid, 1, -1, 2);
    arc->close();
    EXPECT_TRUE(
        CArcUtil::AddBy3Points(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0), OdGePoint3d(3, 0, 0), props).isNull());
}

TEST_F(ArcTest, ArcsFromCentresAndDiameters)
{
    EntityProps props;
    OdDbArc* arc = OpenRead<OdDbArc>(CArcUtil::AddByDiameter(OdGePoint2d(0, 0), OdGePoint2d(4, 2), 90, 180, props));
    ExpectNear(arc->center(), 2, 1, 0);
    EXPECT_DOUBLE_EQ(arc->radius(), 2);
    EXPECT_NEAR(arc->startAngle(), kPi / 2, 1e-12);
    arc->close();
    arc = OpenRead<OdDbArc>(
        CArcUtil::AddByStartCenterAngle(OdGePoint2d(1, 0), OdGePoint2d(0, 0), -kPi / 2, props));
    EXPECT_NEAR(arc->endAngle(), 1.5 * kPi, 1e-12);  // normalised
    arc->close();
    arc = OpenRead<OdDbArc>(
        CArcUtil::AddByStartCenterEnd(OdGePoint2d(0, 3), OdGePoint2d(0, 0), OdGePoint2d(-3, 0), props));
    EXPECT_DOUBLE_EQ(arc->radius(), 3);
    EXPECT_NEAR(CArcUtil::GetArcLength(arc), 3 * kPi / 2, 1e-12);
    arc->close();
    OdDbArc wrap(OdGePoint3d(), 2, 350 * kPi / 180, 10 * kPi / 180);
    EXPECT_NEAR(CArcUtil::GetArcLength(&wrap), 2 * 20 * kPi / 180, 1e-12);
}

TEST_F(ArcTest, BulgePointsWalkFromStartAndLeaveOutTheEnd)
{
    for (double bulge : {1.0, -1.0}) {
        OdGePoint3dArray pts;
        CArcUtil::GetBulgePoints(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 0, 0), bulge, pts, false, 3);
        ASSERT_EQ(pts.length(), 60) << bulge;
        ExpectNear(pts[0], 0, 0, 0);
        ExpectNear(pts[30], 1, -bulge, 0);
        for (const auto& p : pts) {
            EXPECT_NEAR(p.distanceTo(OdGePoint3d(1, 0, 0)), 1, 1e-9);
            EXPECT_GT(p.distanceTo(OdGePoint3d(2, 0, 0)), 0.05);
            EXPECT_LE(p.y * bulge, 1e-12);  // on the bulge's side
        }
    }
    OdGePoint3dArray none;
    CArcUtil::GetBulgePoints(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 0, 0), 0.0, none, true, 3);
    CArcUtil::GetBulgePoints(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 0, 0), 1.0, none, true, 0);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(CArcUtil::CreateArcFromBulge(OdGePoint3d(), OdGePoint3d(1, 0, 0), 0.0), nullptr);
}

TEST_F(ArcTest, SampleCountsFollowTheStep)
{
    OdDbArc tenDegrees(OdGePoint3d(), 1, 0, 10 * kPi / 180);
    OdGePoint3dArray pts;
    CArcUtil::AppendArcPoints(&tenDegrees, pts, 1, false, 3);
    EXPECT_EQ(pts.length(), 4);
    pts.clear();
    OdDbArc small(OdGePoint3d(), 1, 0, 2 * kPi / 180);
    CArcUtil::AppendArcPoints(&small, pts, 1, true, 3);
    EXPECT_EQ(pts.length(), 4);  // at least three, plus the end

    OdGeCircArc2d quarter(OdGePoint2d(0, 0), 1, 0, kPi / 2);
    pts.clear();
    CArcUtil::GetArcPoints(quarter, pts, true, 3);
    ASSERT_EQ(pts.length(), 30);
    ExpectNear(pts.last(), 0, 1, 0);
    pts.clear();
    CArcUtil::GetArcPoints(quarter, pts, false, 3);
    EXPECT_EQ(pts.length(), 29);
    pts.clear();
    CArcUtil::GetArcPoints(OdGeCircArc2d(OdGePoint2d(0, 0), 1, 0, 8 * kPi / 180), pts, true, 3);
    EXPECT_EQ(pts.length(), 3);
    pts.clear();
    OdGeEllipArc2d half(OdGePoint2d(0, 0), OdGeVector2d(1, 0), OdGeVector2d(0, 1), 2, 1, 0, kPi);
    CArcUtil::GetEllipArcPoints(half, pts, true, 6);
    ASSERT_EQ(pts.length(), 30);
    ExpectNear(pts[0], 2, 0, 0);
    ExpectNear(pts.last(), -2, 0, 0);

    // Angles from a file far out, or no numbers, are sampled as one turn.
    pts.clear();
    CArcUtil::GetArcPoints(OdGeCircArc2d(OdGePoint2d(0, 0), 1, 0, 1e300), pts, true, 3);
    EXPECT_EQ(pts.length(), 120);
    pts.clear();
    CArcUtil::GetEllipArcPoints(OdGeEllipArc2d(OdGePoint2d(0, 0), OdGeVector2d(1, 0), OdGeVector2d(0, 1), 2, 1,
                                               -1e300, std::nan("")),
                                pts, true, 6);
    EXPECT_EQ(pts.length(), 60);
    pts.clear();
    OdDbArc broken(OdGePoint3d(), 1, std::nan(""), 1);
    CArcUtil::AppendArcPoints(&broken, pts, 1, false, 3);
    EXPECT_LE(pts.length(), 120);
}

TEST_F(ArcTest, CirclesThroughTwoOrThreePoints)
{
    EntityProps props;
    OdDbCircle* c = OpenRead<OdDbCircle>(CCircleUtil::AddBy2Points(OdGePoint2d(0, 0), OdGePoint2d(6, 8), props));
    ExpectNear(c->center(), 3, 4, 0);
    EXPECT_DOUBLE_EQ(c->radius(), 5);
    c->close();
    c = OpenRead<OdDbCircle>(
        CCircleUtil::AddBy3Points(OdGePoint3d(1, 0, 7), OdGePoint3d(0, 1, 7), OdGePoint3d(-1, 0, 7), props));
    ExpectNear(c->center(), 0, 0, 0);
    EXPECT_NEAR(c->radius(), 1, 1e-12);
    c->close();

    EXPECT_TRUE(
        CCircleUtil::AddBy3Points(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0), OdGePoint3d(2, 2, 0), props).isNull());
    // The test is on the determinant, which is absolute: a tiny triangle fails too.
    EXPECT_TRUE(CCircleUtil::AddBy3Points(OdGePoint3d(0, 0, 0), OdGePoint3d(1e-4, 0, 0),
                                          OdGePoint3d(0, 1e-4, 0), props)
                    .isNull());
    ASSERT_EQ(standin::MessageBoxes().size(), 2u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"所输入的参数无法创建圆形！");
    EXPECT_EQ(standin::MessageBoxes()[1].text, L"所输入的参数无法创建圆形！");
}

TEST_F(ArcTest, EllipsesInRectangles)
{
    EntityProps props;
    auto* e = OpenRead<OdDbEllipse>(CEllipseUtil::AddInRectangle(OdGePoint2d(0, 0), OdGePoint2d(4, 2), props));
    EXPECT_TRUE(e->majorAxis().isEqualTo(OdGeVector3d(2, 0, 0)));
    EXPECT_DOUBLE_EQ(e->radiusRatio(), 0.5);
    ExpectNear(e->center(), 2, 1, 0);
    e->close();
    e = OpenRead<OdDbEllipse>(CEllipseUtil::AddInRectangle(OdGePoint2d(0, 0), OdGePoint2d(2, 2), props));
    EXPECT_TRUE(e->majorAxis().isEqualTo(OdGeVector3d(0, 1, 0)));
    EXPECT_DOUBLE_EQ(e->radiusRatio(), 1.0);
    e->close();
    EXPECT_TRUE(CEllipseUtil::AddInRectangle(OdGePoint2d(0, 0), OdGePoint2d(4, 0), props).isNull());

    // A tall rectangle: the caller's angles stay measured from the x axis.
    OdDbObjectId arcId = CEllipseUtil::AddArcInRectangle(OdGePoint2d(0, 0), OdGePoint2d(2, 4), props, 0, kPi / 2);
    OdGePoint2dArray keys = CEllipseUtil::GetKeyPoints(arcId);
    ASSERT_EQ(keys.length(), 3);
    EXPECT_NEAR(keys[0].x, 2, 1e-9);
    EXPECT_NEAR(keys[0].y, 2, 1e-9);
    EXPECT_NEAR(keys[1].x, 1, 1e-9);
    EXPECT_NEAR(keys[2].x, 1, 1e-9);
    EXPECT_NEAR(keys[2].y, 4, 1e-9);
    EXPECT_TRUE(CEllipseUtil::Add(OdGePoint3d(), OdGeVector3d::kZAxis, OdGeVector3d(1, 0, 0), 2.0, props).isNull());

    EXPECT_TRUE(CEllipseUtil::GetKeyPoints(CCircleUtil::AddBy2Points(OdGePoint2d(0, 0), OdGePoint2d(1, 0), props))
                    .isEmpty());
    EXPECT_TRUE(CEllipseUtil::GetKeyPoints(OdDbObjectId()).isEmpty());
}
