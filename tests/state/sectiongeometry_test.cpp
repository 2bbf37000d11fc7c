#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "base/rvector3d.h"
#include "state/sectiongeometry.h"

namespace {

struct XY {
    double x, y;
};

std::vector<TrackPoint> Points(const std::vector<XY>& xy)
{
    std::vector<TrackPoint> points(xy.size(), TrackPoint{});
    for (size_t i = 0; i < xy.size(); ++i) points[i].x = xy[i].x, points[i].y = xy[i].y;
    return points;
}

// A base line, its frame on the range (scale from its length) and strips.
struct Section {
    std::vector<TrackPoint> points;
    BaseLine baseLine;
    SectionFrame frame;
    std::list<SectionStrip> strips;
    int32_t validation = 0;

    Section(const std::vector<XY>& xy, int32_t mode, double minX, double minY, double maxX, double maxY)
        : points(Points(xy))
    {
        TrackRecord track{};
        track.points = points.data();
        track.count = (uint32_t)points.size();
        BuildBaseLineSegments(baseLine, track);
        frame.mode = mode;
        SetSectionFrame(OdGeExtents3d(OdGePoint3d(minX, minY, 0), OdGePoint3d(maxX, maxY, 0)),
                        baseLine.totalLength / (maxX - minX), frame);
        int32_t number = 0;
        validation = ValidateBaseLine(points.data(), track.count, &number, frame);
        BuildSectionStrips(baseLine, strips, frame);
    }
    int32_t ToSection(OdGePoint3d& p) const { return FindStripOfMapPoint(strips, p, frame); }
    int32_t ToMap(OdGePoint3d& p) const { return FindStripOfSectionPoint(strips, p, frame); }
};

// Validation on a frame of the given depth in map units.
int32_t Validate(const std::vector<XY>& xy, int32_t mode, double depth, int32_t* number)
{
    std::vector<TrackPoint> points = Points(xy);
    SectionFrame frame;
    frame.mode = mode;
    frame.width = 100;
    frame.scale = 1;
    frame.height = depth;
    return ValidateBaseLine(points.data(), (uint32_t)points.size(), number, frame);
}

void ExpectPoint(const OdGePoint3d& p, double x, double y, double tol = 1e-9)
{
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
}

}  // namespace

TEST(SectionGeometry, StraightBaseLineInEveryMode)
{
    // Base line (1,1)-(11,1) onto the frame (100,50)-(110,80): scale 1; a
    // point 3 off the middle on the section's side.
    const struct {
        int32_t mode;
        XY map, section;
    } cases[] = {
        {0, {6, -2}, {105, 77}},  // right, hanging from the top edge
        {1, {6, -2}, {105, 53}},  // right, standing on the bottom edge
        {2, {6, 4}, {105, 53}},   // left, standing on the bottom edge
        {3, {6, 4}, {105, 77}},   // left, hanging from the top edge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Section s({{1, 1}, {11, 1}}, c.mode, 100, 50, 110, 80);
        ASSERT_EQ(s.validation, kBaseLineValid);
        ASSERT_EQ(s.strips.size(), 1u);
        EXPECT_DOUBLE_EQ(s.strips.front().startHalfAngle, kHalfPi);
        EXPECT_DOUBLE_EQ(s.strips.front().endHalfAngle, kHalfPi);
        OdGePoint3d p(c.map.x, c.map.y, 7);
        ASSERT_EQ(s.ToSection(p), 0);
        ExpectPoint(p, c.section.x, c.section.y);
        ASSERT_EQ(s.ToMap(p), 0);
        ExpectPoint(p, c.map.x, c.map.y);
        EXPECT_EQ(p.z, 7);
        OdGePoint3d mirror(c.map.x, 2 - c.map.y, 0);  // the other side
        EXPECT_EQ(s.ToSection(mirror), -1);
    }
    // a base line 20 long on a frame 10 wide: scale 2 both ways
    Section s({{0, 0}, {20, 0}}, 0, 0, 0, 10, 10);
    OdGePoint3d p(15, -4, 0);
    ASSERT_EQ(s.ToSection(p), 0);
    ExpectPoint(p, 7.5, 8);
}

TEST(SectionGeometry, PointsOutsideTheCorridor)
{
    // the base line starts at (0,0): a real point, not a free end
    for (int32_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        Section s({{0, 0}, {10, 0}, {20, 0}}, mode, 0, 0, 20, 5);
        ASSERT_EQ(s.validation, kBaseLineValid);
        const XY outside[] = {{-1, -3}, {-1, 3}, {-0.001, -0.5}, {-0.001, 0.5},  // behind the start
                              {21, -3}, {21, 3}, {NAN, -3}, {5, INFINITY}};
        for (const XY& xy : outside) {
            OdGePoint3d p(xy.x, xy.y, 0);
            EXPECT_EQ(s.ToSection(p), -1) << xy.x << "," << xy.y;
            EXPECT_TRUE(p.x == xy.x || std::isnan(xy.x));
        }
        // (0,0) lies on the base line: the frame's origin
        OdGePoint3d zero(0, 0, 0);
        EXPECT_EQ(s.ToSection(zero), 0);
        ExpectPoint(zero, s.frame.origin.x, s.frame.origin.y);

        // a section point left of the frame or across the base line's edge
        // is outside, not mirrored into the corridor
        const double down = (mode == 0 || mode == 3) ? -1 : 1;
        for (const XY& xy : {XY{-0.5, down * 2}, XY{5, -down * 2}, XY{20.5, down * 2}}) {
            OdGePoint3d q(xy.x, s.frame.origin.y + xy.y, 0);
            EXPECT_EQ(s.ToMap(q), -1) << xy.x << "," << xy.y;
        }
    }
    // (0,0) as a map point off the base line is an ordinary point too
    Section s({{-5, 5}, {5, 5}}, 0, 0, 0, 10, 10);
    OdGePoint3d zero(0, 0, 0);
    ASSERT_EQ(s.ToSection(zero), 0);
    ExpectPoint(zero, 5, 5);
}

TEST(SectionGeometry, CornersWidenOrNarrowTheStrips)
{
    // A right turn at (10,0). On its left, the outer side, both half angles
    // are 3 pi / 4: (12,1) lies in the second strip with its foot (10,1) one
    // unit behind the strip's start: a' = -1 + 2 cot(pi/4) = 1 of L' = 12.
    Section s({{0, 0}, {10, 0}, {10, -10}}, 2, 0, 0, 20, 10);
    ASSERT_EQ(s.validation, kBaseLineValid);
    EXPECT_NEAR(s.strips.back().startHalfAngle, 3 * kPi / 4, 1e-12);
    OdGePoint3d p(12, 1, 0);
    ASSERT_EQ(s.ToSection(p), 1);
    ExpectPoint(p, 10 + 10.0 / 12, 2);
    ASSERT_EQ(s.ToMap(p), 1);
    ExpectPoint(p, 12, 1);

    // on the inner (right) side: L' = 10 - 1 at distance 1
    Section r({{0, 0}, {10, 0}, {10, -10}}, 0, 0, 0, 20, 4);
    ASSERT_EQ(r.validation, kBaseLineValid);
    OdGePoint3d q(8, -1, 0);
    ASSERT_EQ(r.ToSection(q), 0);
    ExpectPoint(q, 10 * 8.0 / 9, 3);
    // the second strip's prev is (0,0), a real point: its corner is a right angle
    EXPECT_NEAR(r.strips.back().startHalfAngle, kPi / 4, 1e-12);
}

TEST(SectionGeometry, MapToSectionAndBackOverRandomBaseLines)
{
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int32_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        int valid = 0, converted = 0;
        for (int line = 0; line < 60; ++line) {
            // a wandering line: 2 to 7 points, turns up to 80 degrees
            const int n = 2 + (int)(unit(random) * 6);
            std::vector<XY> xy;
            double x = -50 + 100 * unit(random), y = -50 + 100 * unit(random), heading = kTwoPi * unit(random);
            double loX = x, loY = y, hiX = x, hiY = y;
            xy.push_back({x, y});
            for (int i = 1; i < n; ++i) {
                const double step = 5 + 45 * unit(random);
                x += step * std::cos(heading);
                y += step * std::sin(heading);
                xy.push_back({x, y});
                heading += (unit(random) - 0.5) * 2.8;
                loX = std::min(loX, x), hiX = std::max(hiX, x), loY = std::min(loY, y), hiY = std::max(hiY, y);
            }
            const double minX = -1000 + 2000 * unit(random), minY = -1000 + 2000 * unit(random);
            const double width = 1 + 200 * unit(random), height = 0.5 + 20 * unit(random);
            Section s(xy, mode, minX, minY, minX + width, minY + height);
            if (s.validation != kBaseLineValid) continue;
            ++valid;
            const double depth = height * s.frame.scale;
            for (int k = 0; k < 200; ++k) {
                const OdGePoint3d map(loX - depth + (hiX - loX + 2 * depth) * unit(random),
                                      loY - depth + (hiY - loY + 2 * depth) * unit(random), 0);
                OdGePoint3d p = map;
                if (s.ToSection(p) < 0) continue;
                ++converted;
                EXPECT_TRUE(p.x >= minX - 1e-9 && p.x <= minX + width + 1e-9);
                const bool down = mode == 0 || mode == 3;
                EXPECT_TRUE(down ? p.y <= s.frame.origin.y + 1e-9 : p.y >= s.frame.origin.y - 1e-9);
                ASSERT_GE(s.ToMap(p), 0) << map.x << "," << map.y;
                ExpectPoint(p, map.x, map.y, 1e-7);
            }
            // every point of the frame has a place on the map
            for (int k = 0; k < 50; ++k) {
                OdGePoint3d p(minX + width * unit(random), minY + height * unit(random), 0);
                EXPECT_GE(s.ToMap(p), 0);
            }
        }
        EXPECT_GT(valid, 20);
        EXPECT_GT(converted, 1000);
    }
}

TEST(SectionGeometry, ValidationNumbersThePointToLookAt)
{
    int32_t number = 0;
    // repeated points: the first of the two, 2 when they open the line
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {20, 0}, {20, 0}, {30, 0}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 3);
    EXPECT_EQ(Validate({{0, 0}, {0, 0}, {10, 0}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate({{3, 4}, {3.5, 4}}, 2, 1000, &number), kBaseLineValid);
    EXPECT_EQ(Validate({{3, 4}, {3, 4}}, 0, 1, &number), kBaseLineRepeatedPoint);  // no length
    EXPECT_EQ(number, 2);

    // a hairpin is refused whichever side the section lies on
    for (int32_t mode = 0; mode < 4; ++mode) {
        EXPECT_EQ(Validate({{0, 0}, {10, 0}, {20, 0}, {5, 0}}, mode, 1, &number), kBaseLineSharpCorner) << mode;
        EXPECT_EQ(number, 3);
    }
    // a nearly folded right turn is too sharp on its right only, a left turn
    // on its left only
    for (int32_t mode = 0; mode < 4; ++mode) {
        const bool left = mode >= 2;
        EXPECT_EQ(Validate({{0, 0}, {10, 0}, {0, -1}}, mode, 1, &number), left ? kBaseLineValid : kBaseLineSharpCorner);
        EXPECT_EQ(Validate({{0, 0}, {10, 0}, {0, 1}}, mode, 1, &number), left ? kBaseLineSharpCorner : kBaseLineValid);
    }

    // a right angle shortens the strips by the depth: a segment of 10 has no
    // length left at depth 10, whether first, last or between two corners
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {10, -30}}, 0, 9.99, &number), kBaseLineValid);
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {10, -30}}, 0, 10, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {10, -30}}, 2, 10, &number), kBaseLineValid);
    EXPECT_EQ(Validate({{0, 0}, {30, 0}, {30, -10}}, 0, 10, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate({{0, 0}, {30, 0}, {30, -10}, {0, -10}}, 0, 4.99, &number), kBaseLineValid);
    EXPECT_EQ(Validate({{0, 0}, {30, 0}, {30, -10}, {0, -10}}, 0, 5, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 3);
}

TEST(SectionGeometry, NothingDividesByZero)
{
    std::vector<TrackPoint> points = Points({{0, 0}, {10, 0}, {20, 5}});
    SectionFrame frame;
    frame.width = 10, frame.height = 1, frame.scale = 2;
    int32_t number = 0;
    ASSERT_EQ(ValidateBaseLine(points.data(), 3, &number, frame), kBaseLineValid);
    EXPECT_EQ(ValidateBaseLine(points.data(), 1, &number, frame), kBaseLineUnusable);
    EXPECT_EQ(ValidateBaseLine(nullptr, 3, &number, frame), kBaseLineUnusable);
    const struct {
        double width, height, scale;
        int32_t mode;
    } frames[] = {{0, 1, 2, 0}, {10, 1, 0, 0}, {10, 1, INFINITY, 0}, {10, 1, NAN, 0},
                  {10, 1e300, 1e300, 0}, {10, 1, 2, 4}};
    for (const auto& f : frames) {
        SectionFrame bad = frame;
        bad.width = f.width, bad.height = f.height, bad.scale = f.scale, bad.mode = f.mode;
        EXPECT_EQ(ValidateBaseLine(points.data(), 3, &number, bad), kBaseLineUnusable) << f.width << " " << f.scale;
    }
    points[1].y = NAN;
    EXPECT_EQ(ValidateBaseLine(points.data(), 3, &number, frame), kBaseLineUnusable);

    // a base line of one repeated point: no NaN fractions, no strips
    Section dot({{2, 2}, {2, 2}, {2, 2}}, 0, 0, 0, 10, 10);
    EXPECT_EQ(dot.baseLine.segments.size(), 2u);
    EXPECT_EQ(dot.baseLine.segments.back().endFraction, 0);
    EXPECT_TRUE(dot.strips.empty());
    Section single({{2, 2}}, 0, 0, 0, 10, 10);
    EXPECT_TRUE(single.baseLine.segments.empty());

    // the conversions refuse a frame without width or scale
    Section s({{0, 0}, {10, 0}}, 0, 0, 0, 10, 10);
    SectionFrame flat = s.frame;
    flat.width = 0;
    OdGePoint3d p(5, 5, 0);
    EXPECT_EQ(FindStripOfSectionPoint(s.strips, p, flat), -1);
    flat = s.frame;
    flat.scale = 0;
    EXPECT_EQ(FindStripOfMapPoint(s.strips, p, flat), -1);
}

TEST(SectionGeometry, ReversingMovesOnlyPositionsAndElevations)
{
    std::vector<TrackPoint> points = Points({{1, 10}, {2, 20}, {3, 30}});
    for (int i = 0; i < 3; ++i) points[i].elevation = 100 * i, points[i].angle = i;
    TrackRecord track{};
    track.points = points.data();
    track.count = 3;
    ReverseTrackPoints(track);
    const double want[3][4] = {{3, 30, 200, 0}, {2, 20, 100, 1}, {1, 10, 0, 2}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(points[i].x, want[i][0]);
        EXPECT_EQ(points[i].y, want[i][1]);
        EXPECT_EQ(points[i].elevation, want[i][2]);
        EXPECT_EQ(points[i].angle, want[i][3]);
    }
}

TEST(SectionGeometry, PlaneHelpers)
{
    // beyond an end: the distance to that end, the foot still on the line
    OdGePoint3d foot;
    EXPECT_NEAR(PointSegmentDistance(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 10, 0), OdGePoint3d(20, 14, 0), &foot),
                std::sqrt(116.0), 1e-12);
    ExpectPoint(foot, 17, 17, 1e-12);

    OdGePoint3d out;
    ASSERT_TRUE(PointOnSegmentAtX(OdGePoint3d(10, 5, 0), OdGePoint3d(0, 0, 0), 4, out));
    EXPECT_DOUBLE_EQ(out.y, 2);
    EXPECT_EQ(out.z, 1.0);
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 5, 0), 10.1, out));
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(2, 7, 0), OdGePoint3d(2, 9, 0), 2.001, out));

    const OdGePoint3d o(0, 0, 0), e(1, 0, 0);
    EXPECT_NEAR(VectorAngle(OdGePoint3d(0, -1, 0), o, e), kHalfPi, 1e-15);     // right turn
    EXPECT_NEAR(VectorAngle(OdGePoint3d(0, 1, 0), o, e), 3 * kHalfPi, 1e-15);  // left turn
    // no NaN from rounding, however long or nearly straight
    for (double s : {1e-150, 1e-3, 1.0, 1e6, 1e150}) {
        for (double off : {0.0, 1e-17, -1e-12, 1e-7}) {
            EXPECT_NEAR(VectorAngle(OdGePoint3d(-s, off * s, 0), o, OdGePoint3d(3 * s, 0, 0)), kPi, 1e-6);
            const double folded = VectorAngle(OdGePoint3d(s, off * s, 0), o, OdGePoint3d(3 * s, 0, 0));
            EXPECT_NEAR(std::fmod(folded + kPi, kTwoPi) - kPi, 0, 1e-6) << s << " " << off;
        }
    }
}
