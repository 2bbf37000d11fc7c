#include <gtest/gtest.h>

#include <cmath>

#include "base/ellipsearc.h"

TEST(EllipseArc, CompassAnglesAndRectangleEllipsePoints)
{
    EXPECT_EQ(CompassAngle(0, 0, -1, 0), 0);
    EXPECT_EQ(CompassAngle(0, 0, 0, -1), 90);
    EXPECT_EQ(CompassAngle(0, 0, 1, 0), 180);
    EXPECT_EQ(CompassAngle(0, 0, 0, 1), 270);
    double s = 0, e = 0;
    ArcAnglesFromPoints(0, 0, 0, 1, -1, 0, 0, &s, &e);  // from south to west
    EXPECT_EQ(s, 270);
    EXPECT_EQ(e, 360);
    ArcAnglesFromPoints(0, 0, 0, 1, -1, 0, 1, &s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 270);

    const Rect64 r(0, 0, 100, 50);
    struct Case { double angle, x, y; };
    for (const Case& c : {Case{0, 0, 25}, Case{90, 50, 0}, Case{180, 100, 25}, Case{270, 50, 50},
                          Case{720 + 90, 50, 0}, Case{-90, 50, 50}}) {
        double x, y;
        RectEllipsePolarPoint(&r, c.angle, &x, &y);
        EXPECT_NEAR(x, c.x, 1e-9) << c.angle;
        EXPECT_NEAR(y, c.y, 1e-9) << c.angle;
    }
    double x, y;
    const RECT thin = {10, 20, 10, 60};
    RectEllipsePolarPoint32(&thin, 33, &x, &y);
    EXPECT_TRUE(x == 10 && y == 40);
    RectEllipsePolarPoint(&r, INFINITY, &x, &y);  // ends
    EXPECT_TRUE(std::isnan(x));

    // direction to parametric angle: the same point either way
    const Rect64 square(0, 0, 60, 60);
    EXPECT_NEAR(RectEllipsePolarToParam(&square, 30), 30, 1e-9);
    EXPECT_NEAR(RectEllipsePolarToParam(&r, 45), std::atan(2.0) * 180 / kPi, 1e-9);
    for (double a = 5; a < 360; a += 37) {
        double px, py, qx, qy;
        RectEllipsePolarPoint(&r, a, &px, &py);
        RectEllipseParamPoint(&r, RectEllipsePolarToParam(&r, a), &qx, &qy);
        EXPECT_NEAR(px, qx, 1e-9) << a;
        EXPECT_NEAR(py, qy, 1e-9) << a;
    }
    const Rect64 flat(5, 5, 5, 50);
    EXPECT_EQ(RectEllipsePolarToParam(&flat, 45), 0);
}

TEST(EllipseArc, PerimetersAndArcLengths)
{
    EXPECT_NEAR(EllipsePerimeterApprox(1, 1), kTwoPi, 1e-12);
    EXPECT_EQ(EllipsePerimeterApprox(3, 0), 0);
    EXPECT_EQ(EllipsePerimeterApprox(-2, 1), EllipsePerimeterApprox(2, 1));
    EXPECT_NEAR(EllipsePerimeterChords(1, 1), 720 * std::sin(kPi / 360), 1e-12);
    EXPECT_EQ(EllipsePerimeterChords(0, 4), 0);

    EXPECT_NEAR(EllipseArcLength(1, 1, 0, 90, -1, -1), kPi / 2, 1e-9);
    EXPECT_NEAR(EllipseArcLength(2, 2, 45, 225, -1, -1), 2 * kPi, 1e-9);
    // across 0 degrees the arc keeps its length
    EXPECT_NEAR(EllipseArcLength(1, 1, 350, 10, -1, -1), kPi / 9, 1e-9);
    EXPECT_NEAR(EllipseArcLength(3, 1, 350, 10, -1, -1), EllipseArcLength(3, 1, -10, 10, -1, -1), 1e-9);
    EXPECT_EQ(EllipseArcLength(0, 1, 0, 90, -1, -1), 0);
    EXPECT_EQ(EllipseArcLength(1, 1, 0, NAN, -1, -1), 0);
    // the quarters of an ellipse are equally long
    EXPECT_NEAR(EllipseArcLength(3, 1, 0, 90, -1, -1), EllipseArcLength(3, 1, 90, 180, -1, -1), 1e-9);

    EXPECT_NEAR(EllipseAngleForLength(1, 1, 0, kPi / 2, -1, -1), 90, 1e-6);
    EXPECT_NEAR(EllipseAngleForLength(1, 1, 30, kPi, -1, -1), 210, 1e-6);
    const double l = EllipseArcLength(3, 1, 20, 75, -1, -1);
    EXPECT_NEAR(EllipseAngleForLength(3, 1, 20, l, -1, -1), 75, 1e-4);
    EXPECT_NEAR(EllipseAngleForLength(1, 1, 0, 100, -1, -1), 360, 1e-5);  // longer than the ellipse
}

TEST(EllipseArc, AxisEllipsePointsAndContainment)
{
    const RVector3d c(0, 0, 0), ax(2, 0, 0);
    // axis angles count from the direction axis point -> centre
    struct Case { double angle, x, y; };
    for (const Case& k : {Case{0, -2, 0}, Case{90, 0, -1}, Case{180, 2, 0}, Case{270, 0, 1}}) {
        const RVector3d p = EllipsePointAt(c, ax, 0.5, k.angle);
        EXPECT_NEAR(p.x, k.x, 1e-9) << k.angle;
        EXPECT_NEAR(p.y, k.y, 1e-9) << k.angle;
    }
    double x = 9, y = 9;
    EllipsePointXY(&c, &ax, -1, 0, &x, &y);
    EXPECT_TRUE(x == 0 && y == 0);
    const RVector3d c2(5, 6, 0);
    EllipsePointXY(&c2, &c2, 1, 45, &x, &y);
    EXPECT_TRUE(x == 5 && y == 6);
    // a turned ellipse: every point satisfies its equation
    const RVector3d c3(1, 1, 0), ax3(1 + 3 * std::cos(0.6), 1 + 3 * std::sin(0.6), 0);
    for (double a = 10; a < 360; a += 50) {
        RVector3d p = EllipsePointAt(c3, ax3, 0.4, a) - c3;
        p.Rotate(-0.6);
        EXPECT_NEAR(p.x * p.x / 9 + p.y * p.y / 1.44, 1, 1e-9) << a;
    }

    EXPECT_TRUE(PointInEllipse(&c, &ax, 0.5, 1.9, 0));
    EXPECT_FALSE(PointInEllipse(&c, &ax, 0.5, 2, 0));
    EXPECT_FALSE(PointInEllipse(&c, &ax, 0.5, 0, 1));
    EXPECT_TRUE(PointInEllipse(&c, &ax, 2, 0, 3.9));  // ratio above 1
    EXPECT_FALSE(PointInEllipse(&c, &ax, 2, 2.1, 0));
    // sectors: the axis angle of (-1, 0) is 0, of (1, 0) is 180
    EXPECT_TRUE(PointInEllipseSector(&c, &ax, 0.5, -1, 0, 0, 360));
    EXPECT_TRUE(PointInEllipseSector(&c, &ax, 0.5, 1, 0, 170, 190));
    EXPECT_FALSE(PointInEllipseSector(&c, &ax, 0.5, -1, 0, 170, 190));
    EXPECT_TRUE(PointInEllipseSectorB(&c, &ax, 0.5, 1, 0, 170, 190));
    EXPECT_FALSE(PointInEllipseSectorB(&c, &ax, 0.5, 0.5, 0.3, 170, 190));

    // a short arc: a square about the chord's middle, grown by the line width and 2
    const Rect64 small = EllipseArcUpdateRect(&c, &ax, 0.5, 1, 0, 30);
    const RVector3d s = EllipsePointAt(c, ax, 0.5, 0), e = EllipsePointAt(c, ax, 0.5, 30);
    const RVector3d mid = (s + e) / 2;
    const double half = mid.DistanceTo(e) + 3;
    EXPECT_EQ(small.left, (int64_t)(mid.x - half));
    EXPECT_EQ(small.bottom, (int64_t)(mid.y + half));
    const Rect64 whole = EllipseArcUpdateRect(&c, &ax, 0.5, 1, 0, 200);
    EXPECT_TRUE(whole.left == -2 && whole.top == -2 && whole.right == 2 && whole.bottom == 2);
}

TEST(EllipseArc, RectangleEllipseArcsAndContainment)
{
    const Rect64 r(0, 0, 100, 50);
    const Rect64 b = RectEllipseArcBounds(&r, 80, 100);
    EXPECT_TRUE(b.top == 0 && b.left <= 50 && b.right >= 50);
    const Rect64 all = RectEllipseArcBounds(&r, 0, 200);
    EXPECT_TRUE(all.left == 0 && all.top == 0 && all.right == 100 && all.bottom == 50);
    const Rect64 west = RectEllipseArcBounds(&r, 350, 370);
    EXPECT_EQ(west.left, 0);
    const RECT r32 = {0, 0, 100, 50};
    const RECT east = RectEllipseArcBounds32(&r32, 170, 190);
    EXPECT_EQ(east.right, 100);

    // circle of radius 50 in (0, 0, 100, 100): distances to its upper half, west to east
    const Rect64 sq(0, 0, 100, 100);
    EXPECT_EQ(PointArcDistance(&sq, 50, 10, 0, 50, 100, 50, 0), 10);  // inside the span
    EXPECT_EQ(PointArcDistance(&sq, 50, 95, 0, 50, 100, 50, 0), 67);  // nearer end
    // the other direction is the lower half
    EXPECT_EQ(PointArcDistance(&sq, 50, 95, 0, 50, 100, 50, 1), 5);
    EXPECT_EQ(PointArcDistance(&sq, 50, 10, 0, 50, 100, 50, 1), 64);
    EXPECT_EQ(PointEllipseArcDistance(&sq, 50, 10, 0, 180), 10);
    // an ellipse measures against its own radius in the point's direction
    EXPECT_EQ(PointEllipseArcDistance(&r, 50, 0, 0, 180), 0);
    EXPECT_EQ(PointEllipseArcDistance(&r, 50, -5, 0, 180), 5);
    EXPECT_EQ(PointEllipseArcDistance(&r, 50, 60, 80, 100), 60);

    const RECT onePixel = {0, 0, 1, 40};
    EXPECT_FALSE(PointInRectEllipse32(&onePixel, 0, 20));
    const RECT box = {0, 0, 11, 11};
    EXPECT_TRUE(PointInRectEllipse32(&box, 5, 5));
    EXPECT_FALSE(PointInRectEllipse32(&box, 0, 0));
    EXPECT_FALSE(PointInRectEllipse32(&box, 10, 5));
    EXPECT_TRUE(PointInRectEllipse32(&box, 9, 5));
    // compass sectors: west of the centre is 0, north 90
    EXPECT_TRUE(PointInRectEllipseSector32(&box, 2, 5, 350, 370));
    EXPECT_FALSE(PointInRectEllipseSector32(&box, 8, 5, 350, 370));
    EXPECT_TRUE(PointInRectEllipseSector32(&box, 5, 2, 80, 100));
    const Rect64 box64(0, 0, 11, 11);
    EXPECT_TRUE(PointInRectEllipseSector64(&box64, 8, 5, 0, 360));
}
