#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "common/geometry/convertutil.h"
#include "common/geometry/gepointutil.h"
#include "common/geometry/gerectangleutil.h"
#include "common/geometry/mathutil.h"
#include "editor_control.h"
#include "odcmcolor.h"

TEST(RectangleOverlap, EdgesCountAndCornerOrderDoesNot)
{
    OdGePoint2d a1(0, 0), a2(1, 1);
    EXPECT_TRUE(CGeRectangleUtil::IsIntersect(a1, a2, {1, 0}, {2, 1}));
    EXPECT_TRUE(CGeRectangleUtil::IsIntersect(a1, a2, {1.00000005, 0}, {2, 1}));
    EXPECT_FALSE(CGeRectangleUtil::IsIntersect(a1, a2, {1.0000002, 0}, {2, 1}));
    EXPECT_TRUE(CGeRectangleUtil::IsIntersect(a2, a1, {2, 1}, {1, 0}));
    EXPECT_TRUE(CGeRectangleUtil::IsIntersect({-5, -5}, {5, 5}, {1, 1}, {2, 2}));  // containment
    EXPECT_FALSE(CGeRectangleUtil::IsIntersect(a1, a2, {0, 2}, {1, 3}));
}

TEST(MathUtil, ComparisonAndRounding)
{
    EXPECT_DOUBLE_EQ(CMathUtil::PI(), M_PI);
    EXPECT_FALSE(CMathUtil::IsEqual(OdGePoint3d(1, 2, 3), OdGePoint3d(1, 2, 4), 0.1));
    EXPECT_TRUE(CMathUtil::IsEqual(OdGePoint3d(1, 2, 3), OdGePoint3d(1.05, 2, 3), 0.1));
    EXPECT_FALSE(CMathUtil::IsEqual(1.0, 1.1, 0.1));  // strict
    EXPECT_NEAR(CMathUtil::Round(2.345, 2), 2.35, 1e-12);
    EXPECT_EQ(CMathUtil::Round(-2.5, 0), -2.0);
    EXPECT_EQ(CMathUtil::Round(1234.5, -2), 1200.0);
    EXPECT_EQ(CMathUtil::RoundToInt(2.5), 3);
    EXPECT_EQ(CMathUtil::RoundToInt(-2.5), -3);
    EXPECT_EQ(CMathUtil::RoundToInt(-2.7), -3);
    EXPECT_EQ(CMathUtil::RoundToInt(2.49), 2);
    EXPECT_EQ(CMathUtil::RoundToInt(2147483646.6), INT_MAX);
    EXPECT_EQ(CMathUtil::RoundToInt(1e300), INT_MAX);
    EXPECT_EQ(CMathUtil::RoundToInt(-2147483648.4), INT_MIN);
    EXPECT_EQ(CMathUtil::RoundToInt(-HUGE_VAL), INT_MIN);
    EXPECT_EQ(CMathUtil::RoundToInt(std::nan("")), 0);
}

TEST(MathUtil, RandomNumbersCoverBothBounds)
{
    std::srand(7);
    bool seen[4] = {};
    for (int i = 0; i < 2000; ++i) {
        int r = CMathUtil::GetRand(1, 4);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 4);
        seen[r - 1] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3]);
}

TEST(MathUtil, ArcCentreFromBulge)
{
    OdGePoint3d c(9, 9, 9);
    ASSERT_TRUE(CMathUtil::GetArcCenter(OdGePoint3d(0, 0, 2), OdGePoint3d(2, 0, 2), 1, c));
    EXPECT_NEAR(c.x, 1, 1e-12);
    EXPECT_NEAR(c.y, 0, 1e-12);
    EXPECT_NEAR(c.z, 2, 1e-12);
    ASSERT_TRUE(CMathUtil::GetArcCenter(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 0, 0), -1, c));
    EXPECT_NEAR(c.x, 1, 1e-12);
    EXPECT_NEAR(c.y, 0, 1e-12);
    OdGePoint2d c2(9, 9);
    // A quarter-circle bulge (tan 22.5 degrees) has its centre off the chord.
    ASSERT_TRUE(CMathUtil::GetArcCenter2d(OdGePoint2d(1, 0), OdGePoint2d(0, 1), std::tan(M_PI / 8), c2));
    EXPECT_NEAR(c2.x, 0, 1e-12);
    EXPECT_NEAR(c2.y, 0, 1e-12);
    c2.set(9, 9);
    EXPECT_FALSE(CMathUtil::GetArcCenter2d(OdGePoint2d(1, 0), OdGePoint2d(0, 1), 0.0, c2));
    EXPECT_EQ(c2, OdGePoint2d(9, 9));
}

TEST(MathUtil, ColourIndexesAndRgb)
{
    EXPECT_EQ(CMathUtil::ColorIndexToRGB(1), 0x0000FF);
    EXPECT_EQ(CMathUtil::ColorIndexToRGB(256), 0);
    EXPECT_EQ(CMathUtil::ColorIndexToRGB(-1), 0);
    EXPECT_EQ(CMathUtil::GetColorIndex(0x0000FF), 1);
    EXPECT_EQ(CMathUtil::GetColorIndex((int)gcedGetRGB(123)), 123);
    // White is index 7 and 255; the first wins.
    EXPECT_EQ(CMathUtil::GetColorIndex(0xFFFFFF), 7);
    EXPECT_EQ(CMathUtil::GetColorIndex(0x333333), 250);
}

TEST(PointUtil, MidpointsPolarPointsAndSearches)
{
    OdGePoint3d m = CGePointUtil::GetMiddlePoint(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 4, 6));
    EXPECT_EQ(m, OdGePoint3d(1, 2, 3));
    OdGePoint3d p = CGePointUtil::GetPolarPoint(OdGePoint3d(1, 1, 5), M_PI / 2, 2);
    EXPECT_NEAR(p.x, 1, 1e-12);
    EXPECT_NEAR(p.y, 3, 1e-12);
    EXPECT_EQ(p.z, 5);
    EXPECT_EQ(CGePointUtil::RelativePoint(OdGePoint3d(1, 1, 1), 2, 3), OdGePoint3d(3, 4, 1));
    OdGePoint3dArray pts{{0, 0, 0}, {1, 1, 0}, {1, 1, 5}};
    EXPECT_EQ(CGePointUtil::FindPoint(pts, OdGePoint3d(1, 1, 5), 1e-6), 2);
    EXPECT_EQ(CGePointUtil::FindPoint(pts, OdGePoint3d(1, 1, 4), 0.5), -1);
    EXPECT_EQ(CGePointUtil::FindPoint2d(OdGePoint2dArray{{0, 0}, {3, 3}}, OdGePoint2d(3, 3.1), 0.2), 1);
    EXPECT_FALSE(CGePointUtil::IsEqual2d(OdGePoint2d(0, 0), OdGePoint2d(0.1, 0), 0.1));
}

TEST(PointUtil, DuplicatesAndNearPointsCompareXAndYOnly)
{
    OdGePoint3dArray pts{{0, 0, 0}, {1, 1, 0}, {0, 0, 5}, {1.00001, 1, 0}};
    CGePointUtil::RemoveDuplicates(pts, 1e-4);
    EXPECT_EQ(pts, (OdGePoint3dArray{{0, 0, 0}, {1, 1, 0}}));
    OdGePoint3dArray near{{0, 0, 0}, {3, 4, 0}, {0.5, 0, 9}, {6, 8, 0}};
    CGePointUtil::RemoveNearPoints(near, OdGePoint2d(0, 0), 5);
    EXPECT_EQ(near, (OdGePoint3dArray{{6, 8, 0}}));
}

TEST(ConvertUtil, PointsAnglesAndNumbers)
{
    EXPECT_EQ(CConvertUtil::ToPoint3d(OdGePoint2d(1, 2), 3), OdGePoint3d(1, 2, 3));
    EXPECT_EQ(CConvertUtil::ToPoint2d(OdGePoint3d(1, 2, 3)), OdGePoint2d(1, 2));
    EXPECT_DOUBLE_EQ(CConvertUtil::DegreeToRadian(180), M_PI);
    EXPECT_DOUBLE_EQ(CConvertUtil::RadianToDegree(M_PI), 180);
    EXPECT_EQ(CConvertUtil::ToString(7), L"7");
    EXPECT_EQ(CConvertUtil::ToString(2.5, 3), L"2.500");
    EXPECT_EQ(CConvertUtil::ToString(3.25, -1), L"3");  // a negative count gives no decimals
    EXPECT_DOUBLE_EQ(CConvertUtil::ToDouble(L"12.5abc"), 12.5);
    EXPECT_EQ(CConvertUtil::ToDouble(L"abc"), 0.0);
}

TEST(ConvertUtil, PointsBetweenWorldUserAndDisplaySystems)
{
    // The user system: origin (10, 20, 0), x along world y, y along world -x
    // (so z stays world z). World (10, 21, 5) lies 1 along its x axis.
    standin::SetUcs(OdGePoint3d(10, 20, 0), OdGeVector3d(0, 1, 0), OdGeVector3d(-1, 0, 0));
    standin::SetDcs(OdGePoint3d(100, 0, 0), OdGeVector3d(1, 0, 0), OdGeVector3d(0, 1, 0));
    OdGePoint3d world(10, 21, 5);
    OdGePoint3d ucs = CConvertUtil::WcsToUcs(world);
    EXPECT_NEAR(ucs.x, 1, 1e-12);
    EXPECT_NEAR(ucs.y, 0, 1e-12);
    EXPECT_NEAR(ucs.z, 5, 1e-12);
    OdGePoint3d back = CConvertUtil::UcsToWcs(ucs);
    EXPECT_NEAR(back.x, 10, 1e-12);
    EXPECT_NEAR(back.y, 21, 1e-12);
    EXPECT_NEAR(back.z, 5, 1e-12);
    OdGePoint3d dcs = CConvertUtil::WcsToDcs(world);
    EXPECT_NEAR(dcs.x, -90, 1e-12);
    EXPECT_NEAR(dcs.y, 21, 1e-12);
    EXPECT_NEAR(dcs.z, 5, 1e-12);
}
