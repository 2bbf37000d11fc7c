#include <gtest/gtest.h>

#include <cmath>

#include "base/pointrect.h"

static void ExpectRect(const Rect64& r, int64_t l, int64_t t, int64_t rt, int64_t b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

TEST(PointRect, RectanglesGrowContainAndConvert)
{
    Rect64 r = Rect64::Empty();
    r.AddPoint(5, 7);
    ExpectRect(r, 5, 7, 5, 7);
    r.AddPoint(3, 9);
    ExpectRect(r, 3, 7, 5, 9);
    Rect64 m = Rect64::Empty();
    m.AddPoint(-1, -1);
    ExpectRect(m, -1, -1, 0, 0);

    RECT r32 = {-1, -1, -1, -1};
    RectAddPoint32(&r32, 4, -2);
    RectAddPoint32(&r32, -6, 8);
    EXPECT_TRUE(r32.left == -6 && r32.top == -2 && r32.right == 4 && r32.bottom == 8);
    RectInflate32(&r32, 1, 2);
    EXPECT_TRUE(r32.left == -7 && r32.top == -4 && r32.right == 5 && r32.bottom == 10);

    const Rect64 box(0, 0, 10, 10);
    const Point64 in1(0, 0), in2(9, 9), out1(10, 5), out2(5, 10);
    EXPECT_TRUE(box.Contains(&in1));
    EXPECT_TRUE(box.Contains(&in2));
    EXPECT_FALSE(box.Contains(&out1));
    EXPECT_FALSE(box.Contains(&out2));

    const Rect64 wide((1LL << 32) + 5, -1, -(1LL << 33) - 3, 7);
    RECT low = RectFromRect64(&wide);
    EXPECT_TRUE(low.left == 5 && low.top == -1 && low.right == -3 && low.bottom == 7);
    ExpectRect(Rect64FromRect(&low), 5, -1, -3, 7);
}

TEST(PointRect, ConversionsToIntegersRoundHalfAwayAndClamp)
{
    EXPECT_EQ(RoundToInt32(2.5), 3);
    EXPECT_EQ(RoundToInt32(-2.5), -3);
    EXPECT_EQ(RoundToInt32(2.4999), 2);
    EXPECT_EQ(TruncToInt32(-2.9), -2);
    EXPECT_EQ(TruncToInt32(1e20), INT32_MAX);
    EXPECT_EQ(TruncToInt32(-1e20), INT32_MIN);
    EXPECT_EQ(TruncToInt32(NAN), 0);
    EXPECT_EQ(TruncToInt64(INFINITY), INT64_MAX);
    EXPECT_EQ(RoundToInt64(-1e300), INT64_MIN);
}

TEST(PointRect, RotatedRectangles)
{
    RVector3d corners[4];
    ExpectRect(RotatedRectBounds(Rect64(0, 0, 10, 10), RVector3d(0, 10, 0), 90, corners), -10, 0, 0, 10);
    const double want[4][2] = {{-10, 10}, {-10, 0}, {0, 10}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(corners[i].x, want[i][0], 1e-9);
        EXPECT_NEAR(corners[i].y, want[i][1], 1e-9);
    }
    RECT r32 = {0, 0, 10, 10};
    RECT b = RotatedRectBoundsAtCorner32(&r32, 90, nullptr);
    EXPECT_TRUE(b.left == -10 && b.top == 0 && b.right == 0 && b.bottom == 10);

    RVector3d p(2, 0, 0);
    const RVector3d c(1, 0, 0);
    RotatePointAboutDeg(&c, &p, 90);
    EXPECT_NEAR(p.x, 1, 1e-12);
    EXPECT_NEAR(p.y, -1, 1e-12);

    // label size: 0.03 of the width, kept within 3..10
    const double centre[2] = {5, 5};
    RVector3d lt, l, r, label;
    int size = 0;
    RotatedRectPoints(centre, 200, 20, 90, &lt, nullptr, nullptr, nullptr, &l, &r, nullptr, nullptr,
                      &label, &size);
    EXPECT_NEAR(lt.x, 15, 1e-9);
    EXPECT_NEAR(lt.y, -95, 1e-9);
    EXPECT_NEAR(label.x, 5, 1e-9);
    EXPECT_NEAR(label.y, -95 + 0.14 * 200, 1e-9);
    EXPECT_EQ(size, 6);
    RotatedRectPoints(centre, 20, 20, 0, nullptr, nullptr, nullptr, nullptr, &l, &r, nullptr, nullptr,
                      &label, &size);
    EXPECT_EQ(size, 3);
    RotatedRectPoints(centre, 2000, 20, 0, nullptr, nullptr, nullptr, nullptr, &l, &r, nullptr, nullptr,
                      &label, &size);
    EXPECT_EQ(size, 10);
}

TEST(PointRect, AngleNormalisation)
{
    struct Case { double a, base; bool bump; double want; };
    const Case deg[] = {
        {-30, 0, false, 330}, {0, 0, true, 360},     {720, 0, false, 360}, {360.0000005, 0, false, 360.0000005},
        {1080, 0, false, 360}, {1090, 0, false, 10}, {-725, 0, false, 355}, {-720, 0, false, 0},
        {-720, 0, true, 360},  {10, 90, false, 370}, {1e20, 0, false, 280}, {-1e20, 0, false, 80},
    };
    for (const Case& c : deg) EXPECT_NEAR(NormalizeDeg(c.a, c.base, c.bump), c.want, 1e-9) << c.a;
    EXPECT_NEAR(NormalizeRad(-kPi / 2, 0, false), 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(NormalizeRad(5 * kPi, 0, false), kPi, 1e-9);

    EXPECT_EQ(WrapIntoRange(370, 0, 360, 0), 10);
    EXPECT_EQ(WrapIntoRange(370, 0, 360, 180), 370);
    EXPECT_EQ(WrapIntoRange(5, 10, 0, 0), 5);
    EXPECT_EQ(WrapIntoRange(-1, 0, 360, 360), 359);
    EXPECT_EQ(WrapIntoRange(360, 0, 360, 360), 0);
    EXPECT_EQ(WrapIntoRange(1e20, 0, 360, 360), 280);

    EXPECT_EQ(AngleDifferenceDeg(350, 10), 20);
    EXPECT_EQ(AngleDifferenceDeg(10, 350), 20);
    EXPECT_EQ(AngleDifferenceDeg(0, 180), 180);
    EXPECT_EQ(AngleDifferenceDeg(725, -5), 10);
    EXPECT_EQ(AngleDifferenceDeg(1e20, 281), 1);
    EXPECT_EQ(AngleDifferenceDeg(1e300, 0), AngleDifferenceDeg(std::fmod(1e300, 360), 0));

    // every normaliser ends on non-finite and huge input
    for (double bad : {INFINITY, -INFINITY, NAN}) {
        EXPECT_TRUE(std::isnan(NormalizeDeg(bad, 0, false)));
        EXPECT_TRUE(std::isnan(NormalizeRad(0, bad, true)));
        EXPECT_TRUE(std::isnan(WrapIntoRange(bad, 0, 360, 0)));
        EXPECT_TRUE(std::isnan(AngleDifferenceDeg(bad, 0)));
    }
    const double huge = NormalizeDeg(1e18, 1e300, false);
    EXPECT_TRUE(std::isfinite(huge));
}

TEST(PointRect, InterpolationAndFrames)
{
    double v = 0;
    Interpolate(1, 5, 1.0000001, 9, 3, &v);
    EXPECT_EQ(v, 5);
    Interpolate(0, 0, 10, 20, 2.5, &v);
    EXPECT_EQ(v, 5);
    Bilinear(0, 1, 2, 3, 0.5, 0.5, &v);
    EXPECT_EQ(v, 1.5);
    double y = 0, z = 0;
    LinePointAtX(0, 0, 0, 10, 20, 40, 5, &y, &z);
    EXPECT_EQ(y, 10);
    EXPECT_EQ(z, 20);

    double x = 0;
    EXPECT_TRUE(ToScaledFrame(2, 0, 2, 90, &x, &y));
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, -1, 1e-12);
    EXPECT_FALSE(ToScaledFrame(2, 3, 0, 90, &x, &y));
    EXPECT_TRUE(x == 0 && y == 0);

    int ix = 1, iy = 1;
    ScaleRotateToInt(0, 2, 10, 0, &ix, &iy);
    EXPECT_TRUE(ix == 5 && iy == 0);
    ScaleRotateToInt(90, 2, 10, 0, &ix, &iy);
    EXPECT_TRUE(ix == 0 && iy == 20);
    ScaleRotateToInt(0, 1e-6, 1e5, -1e5, &ix, &iy);  // beyond 32 bits: clamped
    EXPECT_TRUE(ix == INT32_MAX && iy == INT32_MIN);
    ScaleRotateToInt(0, 0, 10, 0, &ix, &iy);  // scale 0: a NaN length gives 0
    EXPECT_TRUE(ix == 0 && iy == 0);

    const RVector3d o(0, 0, 0), a(2, 0, 0), b(0, 4, 0), p(1, 2, 0), far(10, 0, 0);
    RVector3d f = FrameCoordinates(&o, &a, &b, &p);
    EXPECT_NEAR(f.x, 0.5, 1e-12);
    EXPECT_NEAR(f.y, 0.5, 1e-12);
    f = FrameCoordinates(&o, &a, &b, &far);
    EXPECT_NEAR(f.x, 1, 1e-12);
    EXPECT_NEAR(f.y, 0, 1e-12);
    // a turned, shifted frame and back
    const RVector3d o2(5, 5, 0), a2(5, 8, 0), b2(3, 5, 0), p2(4, 6, 0);
    const RVector3d c2 = FrameCoordinates(&o2, &a2, &b2, &p2);
    const RVector3d back = FromFrameCoordinates(&o2, &a2, &b2, &c2);
    EXPECT_NEAR(back.x, 4, 1e-12);
    EXPECT_NEAR(back.y, 6, 1e-12);

    double mn[2] = {0, 0}, mx[2] = {0, 0};
    ExtendBounds(mn, mx, -3, 4);
    EXPECT_TRUE(mn[0] == -3 && mn[1] == 0 && mx[0] == 0 && mx[1] == 4);
    EXPECT_NEAR(HaversineDistance(0, 0, 0, 90, 1), kPi / 2, 1e-12);
    // antipodes: the root rounds to about 1 and must stay inside asin
    EXPECT_NEAR(HaversineDistance(0, 0, 180, 0, 1), kPi, 1e-7);
    EXPECT_FALSE(std::isnan(HaversineDistance(10, 33.3, -170, -33.3, 1)));
}
