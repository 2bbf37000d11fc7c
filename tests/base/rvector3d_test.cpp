#include <gtest/gtest.h>

#include <cmath>

#include "base/rvector3d.h"

static void ExpectNear(const RVector3d& v, double x, double y, double z, double tol = 1e-12)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(RVector3d, AngleXYInEveryQuadrantAndOnEveryAxis)
{
    struct Case { double x, y, angle; };
    const Case cases[] = {
        {1, 0, 0},           {1, 1, kPi / 4},          {0, 1, kPi / 2},       {-1, 1, 3 * kPi / 4},
        {-1, 0, kPi},        {-1, -1, 5 * kPi / 4},    {0, -1, 3 * kPi / 2},  {1, -1, 7 * kPi / 4},
        {3, 4, std::atan2(4, 3)},     {-3, 4, std::atan2(4, -3)},
        {-3, -4, std::atan2(-4, -3) + kTwoPi}, {3, -4, std::atan2(-4, 3) + kTwoPi},
        {1, -0.0, 0},        {0, 0, 0},                {1e-7, 1e-7, 0},
    };
    for (const Case& c : cases) {
        RVector3d v(c.x, c.y, 5);
        EXPECT_NEAR(v.AngleXY(), c.angle, 1e-12) << c.x << "," << c.y;
        EXPECT_GE(v.AngleXY(), 0);
        EXPECT_LE(v.AngleXY(), kTwoPi);
    }
    // z plays no part, even when it is not finite
    EXPECT_NEAR(RVector3d(0, 2, INFINITY).AngleXY(), kPi / 2, 1e-12);
    // a negative y too small to move x / r off 1 gives a full turn
    EXPECT_EQ(RVector3d(1, -1e-300, 0).AngleXY(), kTwoPi);
}

TEST(RVector3d, RotateTurnsInPlaceKeepingXyLengthAndZ)
{
    RVector3d v(1, 0, 7);
    RVector3d copy = v.Rotate(kPi / 2);
    ExpectNear(v, 0, 1, 7);
    EXPECT_EQ(copy, v);

    // every quadrant, both directions, many turns: xy length and z stay
    for (double a0 = 0.1; a0 < kTwoPi; a0 += 0.7) {
        for (double da : {0.3, -0.3, 1.9, -2.8, 4 * kPi + 0.2}) {
            RVector3d w(2.5 * std::cos(a0), 2.5 * std::sin(a0), -3.25);
            w.Rotate(da);
            EXPECT_NEAR(w.LengthXY(), 2.5, 1e-12);
            EXPECT_EQ(w.z, -3.25);
            double want = std::fmod(a0 + da, kTwoPi);
            if (want < 0) want += kTwoPi;
            EXPECT_NEAR(std::cos(w.AngleXY()), std::cos(want), 1e-12);
            EXPECT_NEAR(std::sin(w.AngleXY()), std::sin(want), 1e-12);
        }
    }
    // a vector too short for a direction is taken as lying on the x axis
    RVector3d tiny(0, 5e-7, 1);
    tiny.Rotate(kPi / 2);
    ExpectNear(tiny, 0, 5e-7, 1, 1e-20);
    RVector3d tiny2(-5e-7, 0, 1);
    tiny2.Rotate(0);
    ExpectNear(tiny2, 5e-7, 0, 1, 1e-20);
}

TEST(RVector3d, ArithmeticUsedByTheSectionGeometry)
{
    RVector3d v(1, -2, 3);
    ExpectNear(v * 2, 2, -4, 6);
    ExpectNear(v / 4, 0.25, -0.5, 0.75);
    v += RVector3d(1, 1, 1);
    ExpectNear(v, 2, -1, 4);
    EXPECT_EQ(RVector3d(1, 2, 3).Dot(RVector3d(4, -5, 6)), 12);
    EXPECT_EQ(RVector3d(3, 4, 12).LengthXY(), 5);
    EXPECT_EQ(RVector3d(3, 4, 12).Length(), 13);

    RVector3d inf = RVector3d(1, -1, 0) / 0;
    EXPECT_EQ(inf.x, INFINITY);
    EXPECT_EQ(inf.y, -INFINITY);
    EXPECT_TRUE(std::isnan(inf.z));
    EXPECT_FALSE(RVector3d(0.1 + 0.2, 0, 0) == RVector3d(0.3, 0, 0));
    EXPECT_TRUE(-RVector3d(1, 2, 3) == RVector3d(-1, -2, -3));
}

TEST(RVector3d, LibraryRotationsAndAngles)
{
    // about z RotateAxis agrees with Rotate
    RVector3d a(2, 1, 4), b = a;
    a.RotateAxis(0.8, RVector3d(0, 0, 3));
    b.Rotate(0.8);
    ExpectNear(a, b.x, b.y, b.z);
    // right-hand rule about x and y
    ExpectNear(RVector3d(0, 1, 0).RotateAxis(kPi / 2, RVector3d(1, 0, 0)), 0, 0, 1);
    ExpectNear(RVector3d(0, 0, 1).RotateAxis(kPi / 2, RVector3d(0, 1, 0)), 1, 0, 0);
    // about an axis through other points
    ExpectNear(RVector3d(2, 1, 0).RotateAroundAxis(kPi, RVector3d(1, 1, 0), RVector3d(1, 1, 5)), 0, 1, 0);
    ExpectNear(RVector3d(2, 1, 9).RotateAround(kPi / 2, RVector3d(1, 1, 0)), 1, 2, 9);

    EXPECT_NEAR(RVector3d(1, 0, 0).AngleTo(RVector3d(0, 0, 2)), kPi / 2, 1e-12);
    EXPECT_NEAR(RVector3d(1, 0, 0).AngleTo(RVector3d(-3, 0, 0)), kPi, 1e-12);
    EXPECT_EQ(RVector3d(1, 0, 0).AngleTo(RVector3d()), 0);
    EXPECT_NEAR(RVector3d(1, 1, 0).AngleXYTo(RVector3d(1, 3, 0)), kPi / 2, 1e-12);
    ExpectNear(RVector3d::Cross(RVector3d(1, 0, 0), RVector3d(0, 1, 0)), 0, 0, 1);

    RVector3d p(0, 3, 4);
    p.SetAngleXY(kPi);
    ExpectNear(p, -5, 0, 0);
}
