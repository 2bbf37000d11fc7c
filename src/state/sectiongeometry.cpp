#include "state/sectiongeometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/planegeometry.h"
#include "base/rvector3d.h"

SectionFrame g_sectionFrame;

namespace {

bool IsKnownMode(int32_t mode)
{
    return mode >= kSectionRightUpright && mode <= kSectionLeftInverted;
}

bool IsLeftSide(int32_t mode)
{
    return mode == kSectionLeftUpright || mode == kSectionLeftInverted;
}

// The modes whose frame hangs down from its top edge.
bool DrawnDownwards(int32_t mode)
{
    return mode == kSectionRightUpright || mode == kSectionLeftInverted;
}

bool FrameUsable(const SectionFrame& frame)
{
    return IsKnownMode(frame.mode) && std::isfinite(frame.width) && frame.width > 0 &&
           std::isfinite(frame.scale) && frame.scale > 0 && std::isfinite(frame.origin.x) &&
           std::isfinite(frame.origin.y);
}

OdGePoint3d PlanePoint(const TrackPoint& p)
{
    return OdGePoint3d(p.x, p.y, 0);
}

RVector3d Vec(const OdGePoint3d& p)
{
    return RVector3d(p.x, p.y, 0);
}

// The change of length, at distance d from the base line, of the line
// running between the bisector of a corner with half angle h and the
// segment's far end: -d cot(h), shortening below a right angle and
// lengthening above.
double CornerLengthChange(double d, double halfAngle, double tanHalfAngle)
{
    return tanHalfAngle > 0 ? -d / tanHalfAngle : d * std::tan(halfAngle - kHalfPi);
}

// A right-hand angle from VectorAngle seen from the section's side. 0 (a
// point ahead on the segment's line, or on the corner itself) is 0 from
// either side, not a full turn: points on the base line belong to both.
double SideAngle(double rightHandAngle, bool left)
{
    return left && rightHandAngle > 0 ? kTwoPi - rightHandAngle : rightHandAngle;
}

double HalfAngleOnSide(double rightHandAngle, bool left)
{
    double h = rightHandAngle / 2;
    return left ? kPi - h : h;
}

// Strip length at distance d from the base line, between the two corner
// bisectors.
double OffsetLength(const SectionStrip& strip, double baseLength, double d)
{
    return baseLength + CornerLengthChange(d, strip.startHalfAngle, strip.startTan) +
           CornerLengthChange(d, strip.endHalfAngle, strip.endTan);
}

}  // namespace

double Distance2D(const OdGePoint3d& p, const OdGePoint3d& q)
{
    return Distance2d(p.x, p.y, q.x, q.y);
}

double PointSegmentDistance(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& p,
                            OdGePoint3d* foot)
{
    const RVector3d va = Vec(a), vb = Vec(b), vp = Vec(p);
    const RVector3d f = PerpendicularFoot(&va, &vb, &vp);
    if (foot) *foot = OdGePoint3d(f.x, f.y, 0);
    const bool inside = f.x >= std::min(a.x, b.x) && f.x <= std::max(a.x, b.x) &&
                        f.y >= std::min(a.y, b.y) && f.y <= std::max(a.y, b.y);
    if (inside) return Distance2d(p.x, p.y, f.x, f.y);
    return std::min(Distance2D(p, a), Distance2D(p, b));
}

bool PointOnSegmentAtX(const OdGePoint3d& a, const OdGePoint3d& b, double x, OdGePoint3d& out)
{
    if (a.x == b.x) {
        if (x != a.x) return false;
        out = OdGePoint3d(a.x, a.y, 1.0);
        return true;
    }
    const double t = (a.x - x) / (a.x - b.x);
    if (!(t >= 0 && t <= 1)) return false;
    out = OdGePoint3d(x, a.y == b.y ? a.y : a.y + (b.y - a.y) * t, 1.0);
    return true;
}

int32_t Orientation(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2)
{
    // The sign of one cross product can flip by rounding for nearly collinear
    // points; the three rotations vote.
    const OdGePoint3d* p[3] = {&p0, &p1, &p2};
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        const OdGePoint3d& a = *p[i];
        const OdGePoint3d& b = *p[(i + 1) % 3];
        const OdGePoint3d& c = *p[(i + 2) % 3];
        const double cross = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        if (cross > 0) ++count;
        else if (cross < 0) --count;
    }
    return count > 0 ? -1 : (count < 0 ? 1 : 0);
}

double VectorAngle(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& c)
{
    const double d1 = Distance2D(a, b), d2 = Distance2D(c, b);
    if (d1 == 0 || d2 == 0) return 0;
    // Unit vectors first: the product d1 d2 could overflow or underflow.
    const double cosine = ((a.x - b.x) / d1) * ((c.x - b.x) / d2) + ((a.y - b.y) / d1) * ((c.y - b.y) / d2);
    if (std::fabs(cosine - 1) < kSectionTolerance) return 0;
    if (std::fabs(cosine + 1) < kSectionTolerance) return kPi;
    // Rounding can carry the cosine a little past +-1, where acos has no value.
    const double theta = std::acos(std::max(-1.0, std::min(1.0, cosine)));
    return Orientation(a, b, c) == -1 ? kTwoPi - theta : theta;
}

void BuildBaseLineSegments(BaseLine& baseLine, const TrackRecord& track)
{
    baseLine.totalLength = 0;
    baseLine.segments.clear();
    const uint32_t n = track.points ? track.count : 0;
    if (n < 2) return;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        BaseLineSegment segment;
        segment.length = Distance2D(PlanePoint(track.points[i]), PlanePoint(track.points[i + 1]));
        baseLine.totalLength += segment.length;
        baseLine.segments.push_back(segment);
    }
    const double total = baseLine.totalLength;
    const bool hasLength = std::isfinite(total) && total > 0;
    double sum = 0;
    uint32_t i = 0;
    for (BaseLineSegment& segment : baseLine.segments) {
        segment.start = PlanePoint(track.points[i]);
        segment.end = PlanePoint(track.points[i + 1]);
        segment.hasPrev = i > 0;
        if (segment.hasPrev) segment.prev = PlanePoint(track.points[i - 1]);
        segment.hasNext = i + 2 < n;
        if (segment.hasNext) segment.next = PlanePoint(track.points[i + 2]);
        if (hasLength) segment.startFraction = sum / total;
        sum += segment.length;
        if (hasLength) segment.endFraction = sum / total;
        ++i;
    }
}

void ReverseTrackPoints(TrackRecord& track)
{
    if (!track.points) return;
    const uint32_t n = track.count;
    for (uint32_t i = 0; i < n / 2; ++i) {
        TrackPoint& a = track.points[i];
        TrackPoint& b = track.points[n - 1 - i];
        std::swap(a.y, b.y);
        std::swap(a.x, b.x);
        std::swap(a.elevation, b.elevation);
    }
}

void SetSectionFrame(const OdGeExtents3d& range, double scale, SectionFrame& frame)
{
    const OdGePoint3d& mn = range.minPoint();
    const OdGePoint3d& mx = range.maxPoint();
    if (DrawnDownwards(frame.mode)) {
        frame.origin = OdGePoint3d(mn.x, mx.y, 0);
        frame.farCorner = OdGePoint3d(mx.x, mn.y, 0);
    } else if (IsKnownMode(frame.mode)) {
        frame.origin = OdGePoint3d(mn.x, mn.y, 0);
        frame.farCorner = OdGePoint3d(mx.x, mx.y, 0);
    }
    frame.width = std::fabs(mx.x - mn.x);
    frame.height = std::fabs(mx.y - mn.y);
    frame.scale = scale;
}

bool CornerHalfAngles(SectionStrip& strip, const BaseLineSegment& segment, const SectionFrame& frame)
{
    strip.prev = segment.prev;
    strip.start = segment.start;
    strip.end = segment.end;
    strip.next = segment.next;
    strip.hasPrev = segment.hasPrev;
    strip.hasNext = segment.hasNext;
    // A free end continues the segment straight on: its bisector is
    // perpendicular to the segment.
    const double startAngle = segment.hasPrev ? VectorAngle(segment.prev, segment.start, segment.end) : kPi;
    const double endAngle = segment.hasNext ? VectorAngle(segment.start, segment.end, segment.next) : kPi;
    const bool left = IsLeftSide(frame.mode);
    strip.startHalfAngle = HalfAngleOnSide(startAngle, left);
    strip.endHalfAngle = HalfAngleOnSide(endAngle, left);
    strip.startTan = std::tan(strip.startHalfAngle);
    strip.endTan = std::tan(strip.endHalfAngle);
    strip.length = Distance2D(segment.start, segment.end);
    strip.startFraction = segment.startFraction;
    strip.endFraction = segment.endFraction;
    return strip.length != 0;
}

int32_t ValidateBaseLine(const TrackPoint* points, uint32_t count, int32_t* pointNumber,
                         const SectionFrame& frame)
{
    int32_t number = 0;
    if (!pointNumber) pointNumber = &number;
    *pointNumber = 0;
    if (!points || count < 2 || !FrameUsable(frame)) return kBaseLineUnusable;
    const double depth = frame.height * frame.scale;
    if (!std::isfinite(depth) || depth < 0) return kBaseLineUnusable;
    double total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return kBaseLineUnusable;
        if (i > 0) total += Distance2D(PlanePoint(points[i - 1]), PlanePoint(points[i]));
    }
    if (!std::isfinite(total)) return kBaseLineUnusable;

    const bool left = IsLeftSide(frame.mode);
    // Every segment's strip must still have length at the corridor's full
    // depth, between the bisectors of its corners on the section's side.
    // A free end's bisector is perpendicular: no change of length there.
    double startChange = 0;
    for (uint32_t i = 0; i + 2 < count; ++i) {
        *pointNumber = (int32_t)(i + 2);
        const OdGePoint3d a = PlanePoint(points[i]), b = PlanePoint(points[i + 1]),
                          c = PlanePoint(points[i + 2]);
        const double d1 = Distance2D(a, b), d2 = Distance2D(b, c);
        if (d2 < kSectionTolerance || (i == 0 && d1 < kSectionTolerance)) return kBaseLineRepeatedPoint;
        const double h = HalfAngleOnSide(VectorAngle(a, b, c), left);
        // 0: the path folds back onto the section's side; pi: onto the
        // other side, where the bisector runs back along the segment.
        if (h <= 0 || h >= kPi) return kBaseLineSharpCorner;
        const double endChange = CornerLengthChange(depth, h, std::tan(h));
        if (d1 + startChange + endChange <= kSectionTolerance) return kBaseLineSharpCorner;
        startChange = endChange;
    }
    // The last segment, up to its free end.
    const uint32_t last = count - 2;
    const double d = Distance2D(PlanePoint(points[last]), PlanePoint(points[last + 1]));
    *pointNumber = count == 2 ? 2 : (int32_t)(last + 1);
    if (count == 2 && d < kSectionTolerance) return kBaseLineRepeatedPoint;
    if (d + startChange <= kSectionTolerance) return kBaseLineSharpCorner;
    *pointNumber = 0;
    return kBaseLineValid;
}

void BuildSectionStrips(const BaseLine& baseLine, std::list<SectionStrip>& strips, const SectionFrame& frame)
{
    for (const BaseLineSegment& segment : baseLine.segments) {
        SectionStrip strip;
        if (CornerHalfAngles(strip, segment, frame)) strips.push_back(strip);
    }
}

bool MapSegmentContains(const SectionStrip& strip, OdGePoint3d& p, const SectionFrame& frame)
{
    if (!FrameUsable(frame) || !(strip.length > 0) || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return false;
    }
    const bool left = IsLeftSide(frame.mode);
    // On the section's side, between the bisectors of the two corners.
    if (SideAngle(VectorAngle(p, strip.start, strip.end), left) > strip.startHalfAngle + kSectionTolerance ||
        SideAngle(VectorAngle(strip.start, strip.end, p), left) > strip.endHalfAngle + kSectionTolerance) {
        return false;
    }
    OdGePoint3d foot;
    PointSegmentDistance(strip.start, strip.end, p, &foot);
    const double d = Distance2D(p, foot);
    const double offsetLength = OffsetLength(strip, strip.length, d);
    // Beyond the depth where the bisectors meet the strip has no length.
    if (!(offsetLength > kSectionTolerance)) return false;
    // The foot's position along the segment, signed: next to a corner whose
    // half angle exceeds a right angle the strip reaches back behind start.
    const RVector3d dir = Vec(strip.end) - Vec(strip.start);
    const double along = (Vec(foot) - Vec(strip.start)).Dot(dir) / strip.length;
    const double f = (along + CornerLengthChange(d, strip.startHalfAngle, strip.startTan)) / offsetLength;
    const double x = frame.origin.x + frame.width * strip.startFraction + strip.length * f / frame.scale;
    const double y = DrawnDownwards(frame.mode) ? frame.origin.y - d / frame.scale : frame.origin.y + d / frame.scale;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    p.x = x;
    p.y = y;
    return true;
}

bool SectionSegmentContains(const SectionStrip& strip, OdGePoint3d& p, const SectionFrame& frame)
{
    if (!FrameUsable(frame) || !std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    // Signed both ways: a point left of the frame or on the far side of the
    // base line's edge lies outside the corridor rather than mirrored into it.
    const double u = (p.x - frame.origin.x) / frame.width;
    const double fractionSpan = strip.endFraction - strip.startFraction;
    if (!(strip.startFraction - u <= kSectionTolerance && u - strip.endFraction <= kSectionTolerance &&
          strip.length >= kSectionTolerance && fractionSpan > 0)) {
        return false;
    }
    const double across = DrawnDownwards(frame.mode) ? frame.origin.y - p.y : p.y - frame.origin.y;
    if (across < -kLengthTolerance) return false;
    const double d = std::fabs(across) * frame.scale;
    const double offsetLength = OffsetLength(strip, frame.width * fractionSpan * frame.scale, d);
    if (!(offsetLength > kSectionTolerance)) return false;

    // w runs from start along the start corner's bisector to distance d.
    // The unit direction is turned, not w itself: a vector too short for a
    // direction would not turn.
    const RVector3d dir = Vec(strip.end) - Vec(strip.start);
    RVector3d w = dir / strip.length;
    w.Rotate(IsLeftSide(frame.mode) ? strip.startHalfAngle : -strip.startHalfAngle);
    w = w * (d / std::sin(strip.startHalfAngle));
    // q runs from there along the offset line.
    const RVector3d q = dir * ((u - strip.startFraction) / fractionSpan) * (offsetLength / strip.length);
    w += q;
    const double x = strip.start.x + w.x, y = strip.start.y + w.y;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    p.x = x;
    p.y = y;
    return true;
}

int32_t FindStripOfMapPoint(const std::list<SectionStrip>& strips, OdGePoint3d& p, const SectionFrame& frame)
{
    int32_t index = 0;
    for (const SectionStrip& strip : strips) {
        if (MapSegmentContains(strip, p, frame)) return index;
        ++index;
    }
    return -1;
}

int32_t FindStripOfSectionPoint(const std::list<SectionStrip>& strips, OdGePoint3d& p,
                                const SectionFrame& frame)
{
    int32_t index = 0;
    for (const SectionStrip& strip : strips) {
        if (SectionSegmentContains(strip, p, frame)) return index;
        ++index;
    }
    return -1;
}
