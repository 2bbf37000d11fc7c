#include <gtest/gtest.h>

#include <cmath>

#include "base/planegeometry.h"

static void ExpectPoint(const RVector3d& v, double x, double y, double tol = 1e-9)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

TEST(PlaneGeometry, Distance2dAsTheSectionCodeUsesIt)
{
    EXPECT_EQ(Distance2d(0, 0, 3, 4), 5);
    EXPECT_EQ(Distance2d(-3, -4, 0, 0), 5);
    EXPECT_EQ(Distance2d(2.5, -7, 2.5, -7), 0);
    EXPECT_EQ(Distance2d(1, 1, 1, -4), 5);
    EXPECT_NEAR(Distance2d(1e6, 2e6, 1e6 + 3e-3, 2e6 - 4e-3), 5e-3, 1e-9);
    EXPECT_EQ(Distance2d(1, 2, 3, 4), Distance2d(3, 4, 1, 2));
}

TEST(PlaneGeometry, IntegerDistancesDoNotOverflow)
{
    EXPECT_EQ(DistancePoint64(0, 0, 3, -4), 5);
    EXPECT_EQ(DistancePoint64(0, 0, 4000000000LL, 0), 1e16);
    EXPECT_EQ(DistancePoint64(INT64_MIN, 0, INT64_MAX, 0), 1e16);
    EXPECT_EQ(DistancePoint64(0, 0, 3037000499LL, 0), 3037000499.0);
    POINT a = {INT32_MIN, 0}, b = {INT32_MAX, 0};
    EXPECT_EQ(DistancePoint32(a, b), 4294967295.0);
    POINT c = {0, 0}, d = {-3, 4};
    EXPECT_EQ(DistancePoint32(c, d), 5);

    POINT foot = {0, 0};
    POINT s0 = {0, 0}, s1 = {10, 0}, p = {5, 5};
    EXPECT_EQ(PointSegmentDistance32(s0, s1, p, &foot), 5);
    EXPECT_TRUE(foot.x == 5 && foot.y == 0);
    POINT t1 = {10, 10}, q = {0, 10};
    EXPECT_NEAR(PointSegmentDistance32(s0, t1, q, &foot), std::sqrt(50.0), 1e-12);
    EXPECT_TRUE(foot.x == 5 && foot.y == 5);
    // beyond the end: distance to the end, foot unclamped
    POINT beyond = {20, 16};
    EXPECT_NEAR(PointSegmentDistance32(s0, t1, beyond, &foot), std::sqrt(100.0 + 36.0), 1e-12);
    EXPECT_TRUE(foot.x == 18 && foot.y == 18);
    const Point64 a64(0, 0), b64(0, 10), p64(-3, 12);
    Point64 f64(0, 0);
    EXPECT_NEAR(PointSegmentDistance64(&a64, &b64, &p64, &f64), std::sqrt(13.0), 1e-12);
    EXPECT_TRUE(f64.x == 0 && f64.y == 12);

    POINT w0 = {INT32_MIN, INT32_MIN}, w1 = {INT32_MAX, INT32_MAX}, w2 = {0, 0}, w3 = {1, 1};
    EXPECT_TRUE(SegmentsParallel32(w0, w1, w2, w3));
    POINT w4 = {1, 2};
    EXPECT_FALSE(SegmentsParallel32(w0, w1, w2, w4));
    EXPECT_TRUE(NearlyCollinear32(w0, w2, w1));
    EXPECT_FALSE(NearlyCollinear32(w2, w3, w4));
}

TEST(PlaneGeometry, SegmentsAndRectangles)
{
    RVector3d out(7, 7, 9);
    EXPECT_TRUE(SegmentIntersection({0, 0, 0}, {2, 0, 0}, {1, -1, 0}, {1, 1, 0}, &out));
    ExpectPoint(out, 1, 0);
    EXPECT_EQ(out.z, 9);
    EXPECT_FALSE(SegmentIntersection({0, 0, 0}, {1, 0, 0}, {3, -1, 0}, {3, 1, 0}, &out));
    ExpectPoint(out, 3, 0);
    out = RVector3d(7, 7, 0);
    EXPECT_FALSE(SegmentIntersection({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, &out));
    ExpectPoint(out, 7, 7);

    POINT o32 = {-5, -5};
    POINT a = {0, 0}, b = {0, 10}, c = {-5, 3}, d = {5, 3}, e = {1, 0}, f = {1, 9};
    EXPECT_TRUE(SegmentIntersection32(a, b, c, d, &o32));
    EXPECT_TRUE(o32.x == 0 && o32.y == 3);
    EXPECT_FALSE(SegmentIntersection32(a, b, e, f, &o32));
    EXPECT_TRUE(o32.x == 0 && o32.y == 3);

    const RECT r = {0, 0, 10, 10};
    const Rect64 r64(0, 0, 10, 10);
    RVector3d pts[4];
    int n = 0;
    const RVector3d corner0(-5, 5, 0), corner1(5, -5, 0);
    EXPECT_TRUE(SegmentRectIntersections32(&corner0, &corner1, &r, pts, &n));
    ASSERT_EQ(n, 2);
    ExpectPoint(pts[0], 0, 0);
    ExpectPoint(pts[1], 0, 0);
    n = 0;
    const RVector3d in0(2, 2, 0), in1(8, 3, 0), out0(20, 20, 0), out1(30, 25, 0);
    EXPECT_TRUE(SegmentRectIntersections64(&in0, &in1, &r64, pts, &n));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(SegmentRectIntersections64(&out0, &out1, &r64, pts, &n));
    const RVector3d across0(-1, 5, 0), across1(11, 5, 0);
    EXPECT_TRUE(SegmentRectIntersections32(&across0, &across1, &r, nullptr, nullptr));
    EXPECT_TRUE(SegmentRectIntersections64(&across0, &across1, &r64, pts, &n));
    ASSERT_EQ(n, 2);
    ExpectPoint(pts[0], 0, 5);
    ExpectPoint(pts[1], 10, 5);
}

TEST(PlaneGeometry, FeetCentresAndOrientation)
{
    const RVector3d a(0, 0, 0), b(4, 4, 0), p(0, 4, 0), h(5, 0, 0), v(0, 5, 0);
    ExpectPoint(PerpendicularFoot(&a, &b, &p), 2, 2);
    ExpectPoint(PerpendicularFoot(&a, &h, &p), 0, 0);
    ExpectPoint(PerpendicularFoot(&a, &v, &b), 0, 4);
    ExpectPoint(PerpendicularFoot(&a, &a, &b), 0, 4);

    double x = 0, y = 0;
    EXPECT_TRUE(BisectorFoot(0, 0, 2, 0, 5, 7, &x, &y));
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 7, 1e-12);
    EXPECT_TRUE(BisectorFoot(0, 0, 2, 2, 0, 0, &x, &y));  // the bisector x + y = 2
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);

    EXPECT_TRUE(CircumCentre(0, 0, 2, 0, 0, 2, &x, &y));
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);
    x = y = -9;
    EXPECT_FALSE(CircumCentre(0, 0, 1, 1, 2, 2, &x, &y));
    EXPECT_TRUE(x == -9 && y == -9);

    const RVector3d o(0, 0, 0), e(1, 0, 0), n(0, 1, 0), sw(-1, -0.1, 0);
    EXPECT_TRUE(IsCounterClockwise(&o, &e, &n));
    EXPECT_FALSE(IsCounterClockwise(&o, &n, &e));
    EXPECT_TRUE(IsCounterClockwise(&o, &sw, &e));  // across the 0 / 2 pi seam

    EXPECT_NEAR(TriangleAngle(1, 1, 1), kPi / 3, 1e-12);
    EXPECT_EQ(TriangleAngle(5, 1, 1), kPi);
    EXPECT_EQ(TriangleAngle(1, 5, 1), 0);
}

TEST(PlaneGeometry, LinesAndCirclesMeet)
{
    const RVector3d o(0, 0, 0);
    RVector3d p1, p2;
    struct LineCase { RVector3d a, b; int n; double x1, y1, x2, y2; };
    const LineCase lines[] = {
        {{-1, 1, 0}, {1, 1, 0}, 1, 0, 1, 0, 0},
        {{-1, 0, 0}, {1, 0, 0}, 2, -1, 0, 1, 0},
        {{-1, 2, 0}, {1, 2, 0}, 0, 0, 0, 0, 0},
        {{0, 0, 0}, {0, 3, 0}, 2, 0, 1, 0, -1},  // first point at the centre
        {{-1, 0.5, 0}, {1, 0.5, 0}, 2, -std::sqrt(0.75), 0.5, std::sqrt(0.75), 0.5},
    };
    for (const LineCase& c : lines) {
        EXPECT_EQ(LineCircleIntersections(&c.a, &c.b, &o, 1, &p1, &p2), c.n);
        ExpectPoint(p1, c.x1, c.y1);
        ExpectPoint(p2, c.x2, c.y2);
    }
    EXPECT_EQ(LineCircleIntersections(&o, &o, &o, 1, &p1, &p2), 0);
    const RVector3d l0(-1, 0, 0), l1(1, 0, 0);
    EXPECT_EQ(LineCircleIntersections(&l0, &l1, &o, 1e-9, &p1, &p2), 0);

    struct CircleCase { RVector3d c2; double r1, r2; int n; double x1, y1, x2, y2; };
    const CircleCase circles[] = {
        {{2, 0, 0}, 1, 1, 1, 1, 0, 0, 0},
        {{1, 0, 0}, 1, 1, 2, 0.5, std::sqrt(3) / 2, 0.5, -std::sqrt(3) / 2},
        {{5, 0, 0}, 1, 1, 0, 0, 0, 0, 0},        // apart
        {{0.5, 0, 0}, 3, 1, 0, 0, 0, 0, 0},      // one inside the other
        {{1, 0, 0}, 2, 1, 1, 2, 0, 0, 0},        // touching from inside
        {{-1, 0, 0}, 1, 2, 1, 1, 0, 0, 0},       // the same, the second larger
        {{0, 0, 0}, 1, 1, 0, 0, 0, 0, 0},        // concentric
    };
    for (const CircleCase& c : circles) {
        EXPECT_EQ(CircleCircleIntersections(&o, c.r1, &c.c2, c.r2, &p1, &p2), c.n) << c.c2.x;
        ExpectPoint(p1, c.x1, c.y1);
        ExpectPoint(p2, c.x2, c.y2);
    }
}

TEST(PlaneGeometry, AreasAndQuadrilaterals)
{
    const RVector3d a(0, 0, 0), b(4, 0, 0), c(0, 3, 0), d(8, 0, 0), e(1e8 + 0.1, 0, 0);
    EXPECT_NEAR(TriangleArea(&a, &b, &c), 6, 1e-12);
    EXPECT_EQ(TriangleArea(&a, &b, &d), 0);
    EXPECT_EQ(TriangleArea(&a, &e, &b), 0);
    const RVector3d up(0, 0, 5);
    EXPECT_NEAR(TriangleArea(&a, &b, &up), 10, 1e-12);

    // the square (0,0) (10,0) (10,10) (0,10) given as q0, q1, q2, q3 = ll, lr, ul, ur
    const RVector3d q0(0, 0, 0), q1(10, 0, 0), q2(0, 10, 0), q3(10, 10, 0), mid(3, 4, 0);
    EXPECT_NEAR(QuadArea(&q0, &q1, &q2, &q3), 100, 1e-9);
    EXPECT_NEAR(QuadAreaAroundPoint(&q0, &q1, &q2, &q3, &mid), 100, 1e-9);
    EXPECT_TRUE(PointInQuad(&q0, &q1, &q2, &q3, 3, 4));
    EXPECT_FALSE(PointInQuad(&q0, &q1, &q2, &q3, 11, 4));
    const RVector3d k0(0, 0, 0), k1(10, 0, 0), k2(5, 10, 0), k3(10, 10, 0);  // a trapezoid
    EXPECT_FALSE(PointInQuad(&k0, &k1, &k2, &k3, 1, 8));
    EXPECT_TRUE(PointInQuad(&k0, &k1, &k2, &k3, 8, 8));

    struct OverlapCase { double minX, minY, maxX, maxY; bool want; };
    const OverlapCase cases[] = {
        {-5, 4, 15, 6, true},     // crosses like a plus sign
        {4, -5, 6, 15, true},     // the same upright
        {2, 2, 3, 3, true},       // inside
        {-5, -5, 20, 20, true},   // around
        {11, 0, 20, 10, false},   // beside
        {8, 8, 20, 20, true},     // over a corner
    };
    for (const OverlapCase& o : cases)
        EXPECT_EQ(QuadOverlapsRect(&q0, &q1, &q2, &q3, o.minX, o.minY, o.maxX, o.maxY), o.want) << o.minX;
    // a diamond whose box meets the rectangle's box but not the diamond itself
    const RVector3d m0(5, 0, 0), m1(10, 5, 0), m2(0, 5, 0), m3(5, 10, 0);
    EXPECT_FALSE(QuadOverlapsRect(&m0, &m1, &m2, &m3, 0, 0, 1, 1));
}

TEST(PlaneGeometry, RaysAndTriangles)
{
    const RVector3d t0(0, 0, 0), t1(1, 0, 0), t2(0, 1, 0);
    double t, u, v;
    EXPECT_TRUE(RayTriangleIntersect({0.25, 0.25, 1}, {0, 0, -1}, t0, t1, t2, false, &t, &u, &v));
    EXPECT_NEAR(t, 1, 1e-12);
    EXPECT_NEAR(u, 0.25, 1e-12);
    EXPECT_NEAR(v, 0.25, 1e-12);
    EXPECT_FALSE(RayTriangleIntersect({2, 2, 1}, {0, 0, -1}, t0, t1, t2, false, &t, &u, &v));
    EXPECT_TRUE(RayTriangleIntersect({2, 2, 1}, {0, 0, -1}, t0, t1, t2, true, &t, &u, &v));
    EXPECT_FALSE(RayTriangleIntersect({0, 0, 1}, {1, 0, 0}, t0, t1, t2, true, &t, &u, &v));

    const RVector3d p0(0.5, 0.25, 3), p1(0.5, 0.25, 2), far0(3, 3, 1), far1(3, 3, -1);
    RVector3d hit;
    EXPECT_TRUE(SegmentTriangleHit(&p0, &p1, &t0, &t1, &t2, &hit));
    EXPECT_NEAR(hit.x, 0.5, 1e-12);
    EXPECT_NEAR(hit.y, 0.25, 1e-12);
    EXPECT_NEAR(hit.z, 0, 1e-12);
    EXPECT_FALSE(SegmentTriangleHit(&far0, &far1, &t0, &t1, &t2, &hit));
    EXPECT_TRUE(LinePlaneHit(&far0, &far1, &t0, &t1, &t2, &hit));
    ExpectPoint(hit, 3, 3);
}

TEST(PlaneGeometry, MappingBetweenSegmentsAndTriangles)
{
    const Point64 a(0, 0), b(100, 0), c(0, 100), d(1000, 500), e(1100, 500), f(1000, 600);
    const Point64 nearB(99, 1);
    Point64 out(0, 0);
    MapPointBetweenTriangles(&a, &b, &c, &nearB, &d, &e, &f, &out);
    EXPECT_TRUE(out.x == 1100 && out.y == 500);
    // a shifted copy carries every point by the shift
    for (const Point64& p : {Point64(20, 30), Point64(50, 10), Point64(10, 70)}) {
        MapPointBetweenTriangles(&a, &b, &c, &p, &d, &e, &f, &out);
        EXPECT_EQ(out.x, p.x + 1000);
        EXPECT_EQ(out.y, p.y + 500);
    }
    // a segment turned by 90 degrees and doubled
    const Point64 s1(0, 0), s2(10, 0), x(4, 0), u1(5, 5), u2(5, 25);
    MapPointBetweenSegments(&s1, &s2, &x, &u1, &u2, &out);
    EXPECT_TRUE(out.x == 5 && out.y == 13);
    MapPointBetweenSegments(&s1, &s2, &s1, &u1, &u2, &out);
    EXPECT_TRUE(out.x == 5 && out.y == 5);
    EXPECT_EQ(NearestVertexWithin(&a, &b, &c, &nearB, 1), 2);
    EXPECT_EQ(NearestVertexWithin(&a, &b, &c, &nearB, 0), 0);
    const Point64 extreme(INT64_MIN, INT64_MAX);
    EXPECT_EQ(NearestVertexWithin(&a, &b, &c, &extreme, 5), 0);
}
