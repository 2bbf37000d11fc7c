#include <gtest/gtest.h>

#include <cmath>

#include "base/bulgearc.h"

static void ExpectPoint(const RVector3d& v, double x, double y, double tol = 1e-9)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

TEST(BulgeArc, ArcsFromBulges)
{
    const RVector3d p1(0, 0, 0), p2(2, 0, 0);
    struct Case { double bulge, cx, cy, radius, sweep, bulgeBack; unsigned char cw; };
    const Case cases[] = {
        {1, 1, 0, 1, kPi, 1, 0},
        {0.5, 1, 0.75, 1.25, 4 * std::atan(0.5), 0.5, 0},
        {2, 1, -0.75, 1.25, 4 * std::atan(2.0), 2, 0},
        {-0.5, 1, -0.75, 1.25, kTwoPi - 4 * std::atan(0.5), 2, 1},
    };
    for (const Case& c : cases) {
        const RArc arc = ArcFromBulge(&p1, &p2, c.bulge);
        ExpectPoint(arc.centre, c.cx, c.cy);
        EXPECT_NEAR(arc.radius, c.radius, 1e-12) << c.bulge;
        EXPECT_NEAR(arc.Sweep(), c.sweep, 1e-12) << c.bulge;
        EXPECT_NEAR(arc.Bulge(), c.bulgeBack, 1e-12) << c.bulge;
        EXPECT_EQ(arc.clockwise, c.cw);
        ExpectPoint(arc.StartPoint(), 0, 0);
        ExpectPoint(arc.EndPoint(), 2, 0);
    }
    const RArc half = ArcFromBulge(&p1, &p2, 1);
    EXPECT_NEAR(half.startAngle, kPi, 1e-12);
    EXPECT_NEAR(half.endAngle, 0, 1e-12);
    ExpectPoint(half.PointAt(3 * kPi / 2), 1, -1);

    const RArc dot = ArcFromBulge(&p2, &p2, 0.7);
    EXPECT_EQ(dot.radius, 0);
    ExpectPoint(dot.centre, 2, 0);
    EXPECT_EQ(dot.Sweep(), kTwoPi);
    EXPECT_FALSE(std::isfinite(ArcFromBulge(&p1, &p2, 0).radius));

    // any chord, any bulge: the ends come back, z = 0
    for (double b : {-3.0, -1.0, -0.2, 0.01, 0.3, 1.5, 7.0}) {
        const RVector3d a(-3.5, 2, 4), e(1.25, -6, 4);
        const RArc arc = ArcFromBulge(&a, &e, b);
        ExpectPoint(arc.StartPoint(), a.x, a.y);
        ExpectPoint(arc.EndPoint(), e.x, e.y);
        EXPECT_EQ(arc.EndPoint().z, 0);
        EXPECT_NEAR(arc.centre.z, 4, 1e-12);
        // from centre and ends the bulge of the complementary sweep comes back,
        // negative for a clockwise arc
        EXPECT_NEAR(BulgeFromArcPoints(arc.centre.x, arc.centre.y, a.x, a.y, e.x, e.y, arc.clockwise),
                    1 / b, 1e-9) << b;
    }
}

TEST(BulgeArc, ArcsThroughThreePoints)
{
    const RVector3d e(1, 0, 0), n(0, 1, 0), w(-1, 0, 0), o(0, 0, 0), two(2, 0, 0);
    for (const RArc& arc : {ArcFromThreePoints(&e, &n, &w), ArcFromThreePoints(&w, &n, &e)}) {
        ExpectPoint(arc.centre, 0, 0);
        EXPECT_NEAR(arc.radius, 1, 1e-12);
        EXPECT_NEAR(arc.startAngle, 0, 1e-12);
        EXPECT_NEAR(arc.endAngle, kPi, 1e-12);
        EXPECT_EQ(arc.clockwise, 0);
    }
    const RArc none = ArcFromThreePoints(&o, &o, &two);
    EXPECT_TRUE(none.radius == 0 && none.startAngle == 0 && none.endAngle == 0 && none.centre == o);
    const RArc line = ArcFromThreePoints(&o, &e, &two);
    EXPECT_GT(line.radius, 1e12);
    // a real centre at (-1e8, -1e8) is not taken for parallel bisectors
    const RVector3d c(-1e8, -1e8, 0);
    const RVector3d a1 = c + RVector3d(1, 0, 0), a2 = c + RVector3d(0, 1, 0), a3 = c + RVector3d(-1, 0, 0);
    const RArc far = ArcFromThreePoints(&a1, &a2, &a3);
    EXPECT_NEAR(far.radius, 1, 1e-6);
    ExpectPoint(far.StartPoint(), a1.x, a1.y, 1e-6);
    ExpectPoint(far.EndPoint(), a3.x, a3.y, 1e-6);
    // three points in clockwise order: the counter-clockwise arc still passes the middle one
    const RVector3d q1(0, 1, 0), q2(1, 0, 0), q3(0, -1, 0);
    const RArc cw = ArcFromThreePoints(&q1, &q2, &q3);
    EXPECT_NEAR(cw.startAngle, 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(cw.endAngle, kPi / 2, 1e-12);

    EXPECT_EQ(RArc(o, 1, 1.5, 1.5, 0).Sweep(), kTwoPi);
    const RArc copy(far);
    EXPECT_TRUE(copy.centre == far.centre && copy.radius == far.radius && copy.endAngle == far.endAngle);
}
