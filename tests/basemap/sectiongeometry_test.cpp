#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "basemap/sectiongeometry.h"
#include "base/rvector3d.h"

namespace {

struct XY {
    double x, y;
};

// A track over its own points (the vector must outlive it).
TrackRecord Track(std::vector<TrackPoint>& points)
{
    TrackRecord track{};
    track.points = points.data();
    track.count = (uint32_t)points.size();
    return track;
}

std::vector<TrackPoint> Points(const std::vector<XY>& xy)
{
    std::vector<TrackPoint> points(xy.size());
    for (size_t i = 0; i < xy.size(); ++i) {
        points[i] = TrackPoint{};
        points[i].x = xy[i].x;
        points[i].y = xy[i].y;
    }
    return points;
}

// A base line, its frame on the range (scale from its length) and strips.
struct Section {
    std::vector<TrackPoint> points;
    BaseLine baseLine;
    SectionFrame frame;
    std::list<SectionStrip> strips;
    int32_t validation = 0;
    int32_t number = 0;

    Section(const std::vector<XY>& xy, int32_t mode, double minX, double minY, double maxX, double maxY)
    {
        points = Points(xy);
        TrackRecord track = Track(points);
        BuildBaseLineSegments(baseLine, track);
        frame.mode = mode;
        SetSectionFrame(OdGeExtents3d(OdGePoint3d(minX, minY, 0), OdGePoint3d(maxX, maxY, 0)),
                        baseLine.totalLength / (maxX - minX), frame);
        validation = ValidateBaseLine(points.data(), track.count, &number, frame);
        BuildSectionStrips(baseLine, strips, frame);
    }
    int32_t ToSection(OdGePoint3d& p) const { return FindStripOfMapPoint(strips, p, frame); }
    int32_t ToMap(OdGePoint3d& p) const { return FindStripOfSectionPoint(strips, p, frame); }
};

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

TEST(SectionGeometry, StraightBaseLineMapsAcrossAndAlongInEveryMode)
{
    // Base line (1,1)-(11,1) onto a 10 x 30 frame at (100,50)-(110,80): scale 1.
    struct Case {
        int32_t mode;
        XY map;        // 3 units off the middle on the section's side
        XY section;
    };
    const Case cases[] = {
        {0, {6, -2}, {105, 77}},  // right, hanging from the top edge
        {1, {6, -2}, {105, 53}},  // right, standing on the bottom edge
        {2, {6, 4}, {105, 53}},   // left, standing on the bottom edge
        {3, {6, 4}, {105, 77}},   // left, hanging from the top edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Section s({{1, 1}, {11, 1}}, c.mode, 100, 50, 110, 80);
        ASSERT_EQ(s.validation, kBaseLineValid);
        ASSERT_EQ(s.strips.size(), 1u);
        EXPECT_DOUBLE_EQ(s.strips.front().startHalfAngle, kHalfPi);
        EXPECT_DOUBLE_EQ(s.strips.front().endHalfAngle, kHalfPi);
        EXPECT_DOUBLE_EQ(s.frame.scale, 1);

        OdGePoint3d p(c.map.x, c.map.y, 7);
        ASSERT_EQ(s.ToSection(p), 0);
        ExpectPoint(p, c.section.x, c.section.y);
        EXPECT_EQ(p.z, 7);
        ASSERT_EQ(s.ToMap(p), 0);
        ExpectPoint(p, c.map.x, c.map.y);
        EXPECT_EQ(p.z, 7);

        // the mirror image on the other side is in no strip
        OdGePoint3d mirror(c.map.x, 2 - c.map.y, 0);
        EXPECT_EQ(s.ToSection(mirror), -1);
        ExpectPoint(mirror, c.map.x, 2 - c.map.y, 0);
    }

    // a scale other than 1 divides distances both ways: base line 20 long on
    // a frame 10 wide
    Section s({{0, 0}, {20, 0}}, 0, 0, 0, 10, 10);
    OdGePoint3d p(15, -4, 0);
    ASSERT_EQ(s.ToSection(p), 0);
    ExpectPoint(p, 7.5, 8);
    ASSERT_EQ(s.ToMap(p), 0);
    ExpectPoint(p, 15, -4);
}

TEST(SectionGeometry, PointsOutsideTheCorridorStayWhereTheyAre)
{
    // the base line starts at (0,0): a real point, not a free end
    for (int32_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        Section s({{0, 0}, {10, 0}, {20, 0}}, mode, 0, 0, 20, 5);
        ASSERT_EQ(s.validation, kBaseLineValid);
        ASSERT_EQ(s.strips.size(), 2u);
        const XY outside[] = {
            {-1, -3}, {-1, 3}, {-0.001, -0.5}, {-0.001, 0.5},  // behind the start, either side
            {21, -3}, {21, 3},                                 // beyond the end
            {NAN, -3}, {5, INFINITY},                          // hostile input
        };
        for (const XY& xy : outside) {
            OdGePoint3d p(xy.x, xy.y, 0);
            EXPECT_EQ(s.ToSection(p), -1) << xy.x << "," << xy.y;
        }
        OdGePoint3d p(-1, 3, 0);
        s.ToSection(p);
        ExpectPoint(p, -1, 3, 0);

        // (0,0) itself lies on the base line, at the frame's origin
        OdGePoint3d zero(0, 0, 0);
        EXPECT_EQ(s.ToSection(zero), 0);
        ExpectPoint(zero, s.frame.origin.x, s.frame.origin.y);

        // section points left of the frame or beyond its base-line edge are
        // outside the corridor, not mirrored into it
        const double down = (mode == 0 || mode == 3) ? -1 : 1;
        const XY sectionOutside[] = {
            {-0.5, down * 2},        // left of the frame
            {5, -down * 2},          // across the base line's edge
            {20.5, down * 2},        // right of the frame
        };
        for (const XY& xy : sectionOutside) {
            OdGePoint3d q(xy.x, s.frame.origin.y + xy.y, 0);
            EXPECT_EQ(s.ToMap(q), -1) << xy.x << "," << xy.y;
        }
        OdGePoint3d inside(5, s.frame.origin.y + down * 2, 0);
        EXPECT_EQ(s.ToMap(inside), 0);
        ExpectPoint(inside, 5, (mode < 2 ? -2 : 2));
    }
    // (0,0) as a map point off the base line is an ordinary point too
    Section s({{-5, 5}, {5, 5}}, 0, 0, 0, 10, 10);
    OdGePoint3d zero(0, 0, 0);
    ASSERT_EQ(s.ToSection(zero), 0);
    ExpectPoint(zero, 5, 5);
}

TEST(SectionGeometry, CornerStripsReachBehindTheirStartOnTheOuterSide)
{
    // A right turn at (10,0); the left side is its outer side, where both
    // half angles are 3 pi / 4 and the strips fan out.
    Section s({{0, 0}, {10, 0}, {10, -10}}, 2, 0, 0, 20, 10);
    ASSERT_EQ(s.validation, kBaseLineValid);
    ASSERT_EQ(s.strips.size(), 2u);
    EXPECT_NEAR(s.strips.front().endHalfAngle, 3 * kPi / 4, 1e-12);
    EXPECT_NEAR(s.strips.back().startHalfAngle, 3 * kPi / 4, 1e-12);

    // (12,1) is in the second strip, its foot (10,1) one unit behind the
    // strip's start: a' = -1 + 2 cot(pi/4) = 1 of L' = 10 + 2 = 12.
    OdGePoint3d p(12, 1, 0);
    ASSERT_EQ(s.ToSection(p), 1);
    ExpectPoint(p, 10 + 10.0 / 12, 2);
    ASSERT_EQ(s.ToMap(p), 1);
    ExpectPoint(p, 12, 1);

    // the same turn seen from its inner (right) side narrows the strips
    Section r({{0, 0}, {10, 0}, {10, -10}}, 0, 0, 0, 20, 4);
    ASSERT_EQ(r.validation, kBaseLineValid);
    EXPECT_NEAR(r.strips.front().endHalfAngle, kPi / 4, 1e-12);
    OdGePoint3d q(8, -1, 0);  // L' = 10 - 1 at distance 1, f = 8 / 9
    ASSERT_EQ(r.ToSection(q), 0);
    ExpectPoint(q, 10 * 8.0 / 9, 3);
    OdGePoint3d onBisector(9, -1, 0);
    EXPECT_GE(r.ToSection(onBisector), 0);
    ExpectPoint(onBisector, 10, 3);
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
            xy.push_back({x, y});
            for (int i = 1; i < n; ++i) {
                const double step = 5 + 45 * unit(random);
                x += step * std::cos(heading);
                y += step * std::sin(heading);
                xy.push_back({x, y});
                heading += (unit(random) - 0.5) * 2.8;
            }
            const double minX = -1000 + 2000 * unit(random), minY = -1000 + 2000 * unit(random);
            const double width = 1 + 200 * unit(random), height = 0.5 + 20 * unit(random);
            Section s(xy, mode, minX, minY, minX + width, minY + height);
            if (s.validation != kBaseLineValid) continue;
            ++valid;
            ASSERT_EQ(s.strips.size(), (size_t)(n - 1));
            const double depth = height * s.frame.scale;
            double loX = 1e9, loY = 1e9, hiX = -1e9, hiY = -1e9;
            for (const XY& p : xy) {
                loX = std::min(loX, p.x), hiX = std::max(hiX, p.x);
                loY = std::min(loY, p.y), hiY = std::max(hiY, p.y);
            }
            for (int k = 0; k < 200; ++k) {
                const OdGePoint3d map(loX - depth + (hiX - loX + 2 * depth) * unit(random),
                                      loY - depth + (hiY - loY + 2 * depth) * unit(random), 0);
                OdGePoint3d p = map;
                const int32_t strip = s.ToSection(p);
                if (strip < 0) continue;
                ++converted;
                // x within the strip's share of the frame, y on the frame's side
                const double u = (p.x - s.frame.origin.x) / s.frame.width;
                auto it = s.strips.begin();
                std::advance(it, strip);
                EXPECT_GE(u, it->startFraction - 1e-9);
                EXPECT_LE(u, it->endFraction + 1e-9);
                const bool down = mode == 0 || mode == 3;
                EXPECT_TRUE(down ? p.y <= s.frame.origin.y + 1e-9 : p.y >= s.frame.origin.y - 1e-9);
                ASSERT_GE(s.ToMap(p), 0) << map.x << "," << map.y;
                ExpectPoint(p, map.x, map.y, 1e-7);
            }
            // every point of the frame maps onto the map
            for (int k = 0; k < 50; ++k) {
                OdGePoint3d p(minX + width * unit(random), minY + height * unit(random), 0);
                EXPECT_GE(s.ToMap(p), 0);
                EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
            }
        }
        EXPECT_GT(valid, 20);
        EXPECT_GT(converted, 1000);
    }
}

TEST(SectionGeometry, ValidationNumbersThePointToLookAt)
{
    int32_t number = -5;
    // repeated points: the first of the two, but 2 when they open the line
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {20, 0}, {20, 0}, {30, 0}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 3);
    EXPECT_EQ(Validate({{0, 0}, {0, 0}, {10, 0}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate({{0, 0}, {10, 0}, {20, 0}, {20, 0}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 3);
    // two points pass, unless they are one point
    EXPECT_EQ(Validate({{3, 4}, {3.5, 4}}, 2, 1000, &number), kBaseLineValid);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(Validate({{3, 4}, {3, 4}}, 0, 1, &number), kBaseLineRepeatedPoint);
    EXPECT_EQ(number, 2);

    // a hairpin folds back on itself: refused whichever side the section lies
    for (int32_t mode = 0; mode < 4; ++mode) {
        EXPECT_EQ(Validate({{0, 0}, {10, 0}, {20, 0}, {5, 0}}, mode, 1, &number), kBaseLineSharpCorner) << mode;
        EXPECT_EQ(number, 3);
    }
    // a nearly folded right turn is too sharp on its right, not on its left
    const std::vector<XY> rightTurn = {{0, 0}, {10, 0}, {0, -1}};
    EXPECT_EQ(Validate(rightTurn, 0, 1, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate(rightTurn, 1, 1, &number), kBaseLineSharpCorner);
    EXPECT_EQ(Validate(rightTurn, 2, 1, &number), kBaseLineValid);
    EXPECT_EQ(Validate(rightTurn, 3, 1, &number), kBaseLineValid);
    // and the mirror, a nearly folded left turn, the other way round
    const std::vector<XY> leftTurn = {{0, 0}, {10, 0}, {0, 1}};
    EXPECT_EQ(Validate(leftTurn, 0, 1, &number), kBaseLineValid);
    EXPECT_EQ(Validate(leftTurn, 2, 1, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);

    // A right angle shortens the strips by the depth at the corner: the
    // first segment of 10 has no length left at depth 10.
    const std::vector<XY> square = {{0, 0}, {10, 0}, {10, -30}};
    EXPECT_EQ(Validate(square, 0, 9.99, &number), kBaseLineValid);
    EXPECT_EQ(Validate(square, 0, 10, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Validate(square, 2, 10, &number), kBaseLineValid);
    // the last segment counts too, its corner numbered
    const std::vector<XY> shortEnd = {{0, 0}, {30, 0}, {30, -10}};
    EXPECT_EQ(Validate(shortEnd, 0, 9.99, &number), kBaseLineValid);
    EXPECT_EQ(Validate(shortEnd, 0, 10, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 2);
    // a middle segment loses length at both corners
    const std::vector<XY> u = {{0, 0}, {30, 0}, {30, -10}, {60, -10}};
    EXPECT_EQ(Validate(u, 0, 9.99, &number), kBaseLineValid);  // right, then left: one corner
    const std::vector<XY> cup = {{0, 0}, {30, 0}, {30, -10}, {0, -10}};
    EXPECT_EQ(Validate(cup, 0, 4.99, &number), kBaseLineValid);
    EXPECT_EQ(Validate(cup, 0, 5, &number), kBaseLineSharpCorner);
    EXPECT_EQ(number, 3);
}

TEST(SectionGeometry, ValidationRefusesWhatCannotCarryASection)
{
    std::vector<TrackPoint> points = Points({{0, 0}, {10, 0}, {20, 5}});
    SectionFrame frame;
    frame.width = 10;
    frame.height = 1;
    frame.scale = 2;
    int32_t number = 0;
    ASSERT_EQ(ValidateBaseLine(points.data(), 3, &number, frame), kBaseLineValid);
    EXPECT_EQ(ValidateBaseLine(points.data(), 1, &number, frame), kBaseLineUnusable);
    EXPECT_EQ(ValidateBaseLine(points.data(), 0, &number, frame), kBaseLineUnusable);
    EXPECT_EQ(ValidateBaseLine(nullptr, 3, &number, frame), kBaseLineUnusable);
    EXPECT_EQ(ValidateBaseLine(points.data(), 3, nullptr, frame), kBaseLineValid);

    const struct {
        double width, height, scale;
        int32_t mode;
    } frames[] = {
        {0, 1, 2, 0},           // a frame without width
        {10, 1, 0, 0},          // a base line without length
        {10, 1, INFINITY, 0},   // its length over a width of 0
        {10, 1, NAN, 0},
        {10, -1, 2, 0},
        {10, 1e300, 1e300, 0},  // a depth beyond any number
        {10, 1, 2, 4},          // no such mode
        {10, 1, 2, -1},
    };
    for (const auto& f : frames) {
        SectionFrame bad = frame;
        bad.width = f.width;
        bad.height = f.height;
        bad.scale = f.scale;
        bad.mode = f.mode;
        EXPECT_EQ(ValidateBaseLine(points.data(), 3, &number, bad), kBaseLineUnusable)
            << f.width << " " << f.height << " " << f.scale << " " << f.mode;
    }
    points[1].y = NAN;
    EXPECT_EQ(ValidateBaseLine(points.data(), 3, &number, frame), kBaseLineUnusable);
    points[1].y = 0;
    points[2].x = 1e308;
    points[0].x = -1e308;
    EXPECT_EQ(ValidateBaseLine(points.data(), 3, &number, frame), kBaseLineUnusable);

    // the conversions refuse an unusable frame rather than divide by zero
    Section s({{0, 0}, {10, 0}}, 0, 0, 0, 10, 10);
    SectionFrame flat = s.frame;
    flat.width = 0;
    OdGePoint3d p(5, 5, 0);
    EXPECT_EQ(FindStripOfSectionPoint(s.strips, p, flat), -1);
    flat = s.frame;
    flat.scale = 0;
    EXPECT_EQ(FindStripOfMapPoint(s.strips, p, flat), -1);
    ExpectPoint(p, 5, 5, 0);
}

TEST(SectionGeometry, BaseLineSegmentsAndTheirEnds)
{
    std::vector<TrackPoint> points = Points({{0, 0}, {3, 4}, {3, 0}, {0, 0}});
    TrackRecord track = Track(points);
    BaseLine line;
    BuildBaseLineSegments(line, track);
    ASSERT_EQ(line.segments.size(), 3u);
    EXPECT_DOUBLE_EQ(line.totalLength, 12);
    const double fractions[] = {0, 5.0 / 12, 9.0 / 12, 1};
    int i = 0;
    for (const BaseLineSegment& s : line.segments) {
        EXPECT_DOUBLE_EQ(s.startFraction, fractions[i]);
        EXPECT_DOUBLE_EQ(s.endFraction, fractions[i + 1]);
        EXPECT_EQ(s.hasPrev, i > 0);
        EXPECT_EQ(s.hasNext, i < 2);
        ++i;
    }
    // the last segment ends at (0,0): a real point, its next is free
    const BaseLineSegment& last = line.segments.back();
    ExpectPoint(last.prev, 3, 4, 0);
    ExpectPoint(last.start, 3, 0, 0);
    ExpectPoint(last.end, 0, 0, 0);
    ExpectPoint(line.segments.front().next, 3, 0, 0);

    // a corner at (0,0) turns like any other (right-hand angles)
    SectionStrip strip;
    SectionFrame frame;
    auto second = std::next(line.segments.begin());
    EXPECT_TRUE(CornerHalfAngles(strip, *second, frame));
    EXPECT_DOUBLE_EQ(strip.length, 4);
    const double rightAt34 = VectorAngle(OdGePoint3d(0, 0, 0), OdGePoint3d(3, 4, 0), OdGePoint3d(3, 0, 0));
    EXPECT_NEAR(rightAt34, std::atan2(3, 4), 1e-12);  // a sharp right turn
    EXPECT_NEAR(strip.startHalfAngle, rightAt34 / 2, 1e-12);
    EXPECT_NEAR(strip.endHalfAngle, kPi / 4, 1e-12);
    EXPECT_NEAR(strip.endTan, 1, 1e-12);
    frame.mode = 3;
    EXPECT_TRUE(CornerHalfAngles(strip, *second, frame));
    EXPECT_NEAR(strip.startHalfAngle, kPi - rightAt34 / 2, 1e-12);
    EXPECT_NEAR(strip.endHalfAngle, 3 * kPi / 4, 1e-12);
    EXPECT_TRUE(CornerHalfAngles(strip, line.segments.back(), frame));
    EXPECT_DOUBLE_EQ(strip.endHalfAngle, kHalfPi);

    // nothing to build from fewer than two points; no length gives no NaN
    track.count = 1;
    BuildBaseLineSegments(line, track);
    EXPECT_TRUE(line.segments.empty());
    EXPECT_EQ(line.totalLength, 0);
    track.points = nullptr;
    track.count = 4;
    BuildBaseLineSegments(line, track);
    EXPECT_TRUE(line.segments.empty());
    std::vector<TrackPoint> same = Points({{2, 2}, {2, 2}, {2, 2}});
    TrackRecord dot = Track(same);
    BuildBaseLineSegments(line, dot);
    ASSERT_EQ(line.segments.size(), 2u);
    for (const BaseLineSegment& s : line.segments) {
        EXPECT_EQ(s.startFraction, 0);
        EXPECT_EQ(s.endFraction, 0);
        EXPECT_FALSE(CornerHalfAngles(strip, s, frame));
    }
    std::list<SectionStrip> strips;
    BuildSectionStrips(line, strips, frame);
    EXPECT_TRUE(strips.empty());
}

TEST(SectionGeometry, ReversingMovesOnlyPositionsAndElevations)
{
    for (uint32_t n : {4u, 5u}) {
        std::vector<TrackPoint> points(n);
        for (uint32_t i = 0; i < n; ++i) {
            points[i] = TrackPoint{};
            points[i].x = i;
            points[i].y = 10.0 * i;
            points[i].elevation = (int32_t)(100 * i);
            points[i].angle = 0.5 * i;
        }
        TrackRecord track = Track(points);
        ReverseTrackPoints(track);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t from = n - 1 - i;
            EXPECT_EQ(points[i].x, from);
            EXPECT_EQ(points[i].y, 10.0 * from);
            EXPECT_EQ(points[i].elevation, (int32_t)(100 * from));
            EXPECT_EQ(points[i].angle, 0.5 * i);  // stays in place
        }
    }
    TrackRecord empty{};
    empty.count = 3;
    ReverseTrackPoints(empty);  // no points: nothing to touch
}

TEST(SectionGeometry, FramePlacementFollowsTheMode)
{
    const OdGeExtents3d range(OdGePoint3d(10, 20, 0), OdGePoint3d(50, 35, 0));
    const struct {
        int32_t mode;
        XY origin, farCorner;
    } cases[] = {
        {0, {10, 35}, {50, 20}},
        {1, {10, 20}, {50, 35}},
        {2, {10, 20}, {50, 35}},
        {3, {10, 35}, {50, 20}},
        {9, {-1, -2}, {-3, -4}},  // unknown: corners kept
    };
    for (const auto& c : cases) {
        SectionFrame frame;
        frame.mode = c.mode;
        frame.origin = OdGePoint3d(-1, -2, 0);
        frame.farCorner = OdGePoint3d(-3, -4, 0);
        SetSectionFrame(range, 2.5, frame);
        ExpectPoint(frame.origin, c.origin.x, c.origin.y, 0);
        ExpectPoint(frame.farCorner, c.farCorner.x, c.farCorner.y, 0);
        EXPECT_EQ(frame.width, 40);
        EXPECT_EQ(frame.height, 15);
        EXPECT_EQ(frame.scale, 2.5);
    }
}

TEST(SectionGeometry, PlaneHelpers)
{
    const OdGePoint3d a(0, 0, 0), b(10, 10, 0);
    OdGePoint3d foot;
    EXPECT_NEAR(PointSegmentDistance(a, b, OdGePoint3d(0, 10, 0), &foot), std::sqrt(50.0), 1e-12);
    ExpectPoint(foot, 5, 5, 1e-12);
    // beyond an end: the distance to that end, the foot still on the line
    EXPECT_NEAR(PointSegmentDistance(a, b, OdGePoint3d(20, 14, 0), &foot), std::sqrt(116.0), 1e-12);
    ExpectPoint(foot, 17, 17, 1e-12);
    const OdGePoint3d v0(3, -5, 0), v1(3, 5, 0);
    EXPECT_EQ(PointSegmentDistance(v0, v1, OdGePoint3d(-1, 2, 0), &foot), 4);
    ExpectPoint(foot, 3, 2, 0);
    EXPECT_EQ(PointSegmentDistance(v0, v1, OdGePoint3d(3, 9, 0), &foot), 4);
    const OdGePoint3d h0(-5, 1, 0), h1(5, 1, 0);
    EXPECT_EQ(PointSegmentDistance(h1, h0, OdGePoint3d(2, -2, 0)), 3);
    EXPECT_EQ(PointSegmentDistance(h0, h1, OdGePoint3d(8, 5, 0), &foot), 5);
    ExpectPoint(foot, 8, 1, 0);

    OdGePoint3d out;
    ASSERT_TRUE(PointOnSegmentAtX(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 5, 0), 4, out));
    EXPECT_EQ(out.x, 4);
    EXPECT_DOUBLE_EQ(out.y, 2);
    EXPECT_EQ(out.z, 1.0);
    ASSERT_TRUE(PointOnSegmentAtX(OdGePoint3d(10, 5, 0), OdGePoint3d(0, 0, 0), 10, out));
    EXPECT_DOUBLE_EQ(out.y, 5);
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 5, 0), -0.1, out));
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 5, 0), 10.1, out));
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 5, 0), NAN, out));
    ASSERT_TRUE(PointOnSegmentAtX(OdGePoint3d(2, 7, 0), OdGePoint3d(2, 9, 0), 2, out));
    ExpectPoint(out, 2, 7, 0);
    EXPECT_EQ(out.z, 1.0);
    EXPECT_FALSE(PointOnSegmentAtX(OdGePoint3d(2, 7, 0), OdGePoint3d(2, 9, 0), 2.001, out));

    EXPECT_EQ(Orientation(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0), OdGePoint3d(1, 1, 0)), -1);
    EXPECT_EQ(Orientation(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0), OdGePoint3d(1, -1, 0)), 1);
    EXPECT_EQ(Orientation(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0), OdGePoint3d(3, 3, 0)), 0);

    const OdGePoint3d o(0, 0, 0), e(1, 0, 0);
    EXPECT_EQ(VectorAngle(OdGePoint3d(-1, 0, 0), o, e), kPi);
    EXPECT_NEAR(VectorAngle(OdGePoint3d(0, -1, 0), o, e), kHalfPi, 1e-15);     // right turn
    EXPECT_NEAR(VectorAngle(OdGePoint3d(0, 1, 0), o, e), 3 * kHalfPi, 1e-15);  // left turn
    EXPECT_EQ(VectorAngle(OdGePoint3d(2, 0, 0), o, e), 0);
    EXPECT_EQ(VectorAngle(o, o, e), 0);
    // no NaN from rounding or overflow, however long or nearly straight
    const double scales[] = {1e-150, 1e-3, 1, 1e6, 1e150};
    for (double s : scales) {
        for (double off : {0.0, 1e-17, -1e-12, 1e-7}) {
            const double straight = VectorAngle(OdGePoint3d(-s, off * s, 0), OdGePoint3d(0, 0, 0),
                                                OdGePoint3d(3 * s, 0, 0));
            EXPECT_NEAR(straight, kPi, 1e-6) << s << " " << off;
            const double folded = VectorAngle(OdGePoint3d(s, off * s, 0), OdGePoint3d(0, 0, 0),
                                              OdGePoint3d(3 * s, 0, 0));
            EXPECT_NEAR(std::fmod(folded + kPi, kTwoPi) - kPi, 0, 1e-6) << s << " " << off;
        }
        EXPECT_NEAR(VectorAngle(OdGePoint3d(0, -s, 0), OdGePoint3d(0, 0, 0), OdGePoint3d(s, 0, 0)), kHalfPi, 1e-12);
    }
}
