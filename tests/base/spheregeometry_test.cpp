#include <gtest/gtest.h>

#include <cmath>

#include "base/spheregeometry.h"

static void ExpectNear(const RVector3d& v, double x, double y, double z, double tol = 1e-9)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(SphereGeometry, SphereCoordinatesAndTurns)
{
    for (double lat : {-89.0, -45.5, 0.0, 30.0, 89.9}) {
        for (double lon : {-179.0, -90.0, 0.0, 12.5, 135.0}) {
            RVector3d v;
            SphereToXyz(lat, lon, 6.5, &v);
            const RVector3d s = XyzToSphere(v, 6.5);
            EXPECT_NEAR(s.x, lon, 1e-9);
            EXPECT_NEAR(s.y, lat, 1e-9);
            EXPECT_NEAR(s.z, 0, 1e-9);
        }
    }
    RVector3d north;
    SphereToXyz(90, 0, 2, &north);
    ExpectNear(north, 0, -2, 0);

    RVector3d v(1, 0, 0);
    ExpectNear(v.RotateFromTo(RVector3d(1, 0, 0), RVector3d(0, 2, 0)), 0, 2, 0);
    RVector3d w(1, 0, 0);
    ExpectNear(w.RotateFromTo(RVector3d(1, 0, 0), RVector3d(-1, 0.001, 0)), -1, 0.001, 0, 1e-6);
    // exactly opposite directions and the same direction with another length
    for (const RVector3d& a : {RVector3d(1, 0, 0), RVector3d(0, 0, 3), RVector3d(1, 2, 3)}) {
        RVector3d t = a;
        t.RotateFromTo(a, -a * 2);
        ExpectNear(t, -2 * a.x, -2 * a.y, -2 * a.z);
        RVector3d u = a;
        u.RotateFromTo(a, a * 3);
        ExpectNear(u, 3 * a.x, 3 * a.y, 3 * a.z);
    }
    RVector3d same(4, 5, 6);
    ExpectNear(same.RotateFromTo(RVector3d(), RVector3d(1, 0, 0)), 4, 5, 6);

    RVector3d m(2, 4, 6);
    ExpectNear(m.ScaleAbout(0.5, RVector3d(0, 0, 2)), 1, 2, 4);
    ExpectNear(LerpPoint(RVector3d(0, 0, 0), RVector3d(10, -10, 4), 0.25), 2.5, -2.5, 1);
}

TEST(SphereGeometry, RaySphereHits)
{
    RVector3d q(0, 0, 0), out;
    EXPECT_TRUE(RaySphereHit(RVector3d(0, 0, 10), &q, 1, &out));
    ExpectNear(out, 0, 0, 1);
    RVector3d q2(0, 0, -3);
    EXPECT_FALSE(RaySphereHit(RVector3d(0, 0, 0.5), &q2, 1, &out));
    ExpectNear(out, 0, 0, 0);
    // aiming past the sphere
    RVector3d q3(5, 0, 9);
    EXPECT_FALSE(RaySphereHit(RVector3d(0, 0, 10), &q3, 1, &out));
    // a slanted ray: the hit lies on the sphere and on the ray, on the near side
    RVector3d q4(0.3, 0, 0);
    const RVector3d p(0, 0, 10);
    ASSERT_TRUE(RaySphereHit(p, &q4, 1, &out));
    EXPECT_NEAR(out.Length(), 1, 1e-9);
    EXPECT_GT(out.z, 0);
    EXPECT_NEAR(out.y, 0, 1e-9);
    EXPECT_NEAR(out.x / (10 - out.z), 0.03, 1e-9);
}

TEST(SphereGeometry, PointsAndLines)
{
    const RVector3d p(3, 4, 0), a(1, 1, 0);
    EXPECT_EQ(PointLineDistance(p, a, RVector3d(1, 9, 0)), 2);
    EXPECT_EQ(PointLineDistance(p, a, RVector3d(7, 1, 0)), 3);
    EXPECT_EQ(PointLineDistance(p, a, a), 2);  // a = b: the vertical rule
    EXPECT_NEAR(PointLineDistance(p, RVector3d(0, 0, 0), RVector3d(1, 1, 0)), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(PointLineDistance(RVector3d(3, 4, 2), RVector3d(0, 0, 0), RVector3d(1, 1, 0)),
                std::sqrt(4.5), 1e-12);

    EXPECT_EQ(PointLineDistanceByAngle(p, a, 0), 3);
    EXPECT_EQ(PointLineDistanceByAngle(p, a, kPi), 3);
    EXPECT_EQ(PointLineDistanceByAngle(p, a, -kHalfPi), 2);
    EXPECT_EQ(PointLineDistanceByAngle(p, a, 3 * kHalfPi), 2);
    EXPECT_NEAR(PointLineDistanceByAngle(p, RVector3d(0, 0, 0), kPi / 4), std::sqrt(0.5), 1e-12);

    const RVector3d m = ChordBisectorMidpoint(RVector3d(5, 3, 7), RVector3d(0, 0, 0), RVector3d(0, 4, 0));
    ExpectNear(m, 2.5, 2, 0);
    ExpectNear(ChordBisectorMidpoint(RVector3d(5, 3, 0), RVector3d(0, 0, 0), RVector3d(4, 0, 0)), 2, 1.5, 0);
    // a slanted chord: Q lies on the bisector, at p's offset along the normal
    ExpectNear(ChordBisectorMidpoint(RVector3d(0, 4, 0), RVector3d(0, 0, 0), RVector3d(2, 2, 0)), 0, 2, 0);

    const RVector3d p0(0, 0, 0), p1(10, 0, 0);
    EXPECT_EQ(SignedDistanceRatio(p0, p1, RVector3d(2, 0, 0)), 0.8);
    EXPECT_EQ(SignedDistanceRatio(p0, p1, RVector3d(8, 0, 0)), -0.2);
}
