#include "base/ellipsearc.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/planegeometry.h"

static const double kDegPerRad = 180 / kPi;

double CompassDegFromRad(double radians)
{
    const double d = 180 - radians * kDegPerRad;
    return d < 0 ? d + 360 : d;
}

double CompassAngle(double x1, double y1, double x2, double y2)
{
    // y grows downwards on screen: flip it for the counter-clockwise angle.
    return CompassDegFromRad(RVector3d(x2 - x1, y1 - y2, 0).AngleXY());
}

void ArcAnglesFromPoints(double cx, double cy, double sx, double sy, double ex, double ey,
                         double direction, double* outStart, double* outEnd)
{
    *outStart = CompassAngle(cx, cy, sx, sy);
    *outEnd = CompassAngle(cx, cy, ex, ey);
    if (direction > 0) std::swap(*outStart, *outEnd);
    if (*outStart > *outEnd) *outEnd += 360;
}

void EllipsePointXY(const RVector3d* centre, const RVector3d* axisPoint, double ratio, double angle,
                    double* outX, double* outY)
{
    *outX = 0;
    *outY = 0;
    if (ratio < 0) return;
    if (ratio == 0) ratio = 1;
    const double bigR = axisPoint->DistanceTo(*centre), smallR = bigR * ratio;
    if (bigR <= 0 || smallR <= 0) {
        *outX = centre->x;
        *outY = centre->y;
        return;
    }
    const double a = NormalizeRad(angle * kPi / 180, 0, false);
    RVector3d p;
    if (std::fabs(a - kHalfPi) >= 1e-6 && std::fabs(a - 3 * kHalfPi) >= 1e-6) {
        const double tau = std::tan(a);
        p.x = std::sqrt(1 / (1 / (bigR * bigR) + tau * tau / (smallR * smallR)));
        if (kHalfPi < a && a < 3 * kHalfPi) p.x = -p.x;
        p.y = tau * p.x;
    } else {
        p.y = std::fabs(a - kHalfPi) < 1e-6 ? smallR : -smallR;
    }
    p.Rotate(axisPoint->AngleXYTo(*centre));
    *outX = p.x + centre->x;
    *outY = p.y + centre->y;
}

RVector3d EllipsePointAt(RVector3d centre, RVector3d axisPoint, double ratio, double angle)
{
    RVector3d p;
    EllipsePointXY(&centre, &axisPoint, ratio, angle, &p.x, &p.y);
    return p;
}

double EllipsePerimeterApprox(double a, double b)
{
    if (a == 0 || b == 0) return 0;
    a = std::fabs(a);
    b = std::fabs(b);
    return kPi * (1.5 * (a + b) - std::sqrt(a * b));
}

// Sum of the chords between the points at the given angles (degrees,
// clockwise from the positive x axis) of the ellipse with semi-axes a on x
// and b on y.
template <class AngleOf>
static double ChordSum(double a, double b, double firstAngle, int n, AngleOf angleOf)
{
    const RVector3d centre, axis(a, 0, 0);
    RVector3d prev = EllipsePointAt(centre, axis, b / a, 180 - firstAngle);
    double sum = 0;
    for (int i = 1; i <= n; ++i) {
        const RVector3d q = EllipsePointAt(centre, axis, b / a, 180 - angleOf(i));
        sum += Distance2d(q.x, q.y, prev.x, prev.y);
        prev = q;
    }
    return sum;
}

double EllipsePerimeterChords(double a, double b)
{
    if (a == 0 || b == 0) return 0;
    return ChordSum(std::fabs(a), std::fabs(b), 0, 360, [](int i) { return (double)i; });
}

static void FillPerimeters(double a, double b, double* perimApprox, double* perimChords)
{
    if (*perimApprox < 0) *perimApprox = EllipsePerimeterApprox(a, b);
    if (*perimChords < 0) *perimChords = EllipsePerimeterChords(a, b);
}

double EllipseArcLength(double a, double b, double startDeg, double endDeg, double perimApprox,
                        double perimChords)
{
    if (a == 0 || b == 0) return 0;
    a = std::fabs(a);
    b = std::fabs(b);
    FillPerimeters(a, b, &perimApprox, &perimChords);
    // The chord count follows the normalised end, so that an arc across 0
    // degrees (350 to 10) has its length.
    endDeg = NormalizeDeg(endDeg, startDeg, false);
    const double span = endDeg - startDeg;
    const int n = span > 0 ? (int)std::min(360.0, std::ceil(span)) : 0;
    double len = ChordSum(a, b, startDeg, n, [&](int i) { return startDeg + span * i / n; });
    if (perimApprox > perimChords && perimChords > 0) len *= perimApprox / perimChords;
    return len;
}

double EllipseAngleForLength(double a, double b, double startDeg, double length, double perimApprox,
                             double perimChords)
{
    FillPerimeters(a, b, &perimApprox, &perimChords);
    double lo = startDeg, hi = startDeg + 360, m = (lo + hi) / 2;
    double len = EllipseArcLength(a, b, startDeg, m, perimApprox, perimChords);
    for (int step = 0; step < 100; ++step) {
        if (std::fabs(length - len) <= 1e-6) return m;
        if (length > len)
            lo = m;
        else if (len > length)
            hi = m;
        else
            return m;
        m = (lo + hi) / 2;
        if (std::fabs(hi - lo) < 1e-6) return m;
        len = EllipseArcLength(a, b, startDeg, m, perimApprox, perimChords);
    }
    return m;
}

Rect64 EllipseArcUpdateRect(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                            int lineWidth, double startDeg, double endDeg)
{
    const double bigR = axisPoint->DistanceTo(*centre), m = std::max(bigR, bigR * ratio);
    if (endDeg - startDeg < 90) {
        RVector3d s, e;
        EllipsePointXY(centre, axisPoint, ratio, startDeg, &s.x, &s.y);
        EllipsePointXY(centre, axisPoint, ratio, endDeg, &e.x, &e.y);
        const RVector3d mid = (s + e) / 2;
        const double size = mid.DistanceTo(e) + lineWidth + 2;
        Rect64 r = Rect64::Empty();
        r.AddPoint(TruncToInt64(mid.x - size), TruncToInt64(mid.y - size));
        r.AddPoint(TruncToInt64(mid.x + size), TruncToInt64(mid.y + size));
        return r;
    }
    return Rect64(TruncToInt64(centre->x - m), TruncToInt64(centre->y - m), TruncToInt64(centre->x + m),
                  TruncToInt64(centre->y + m));
}

bool PointInEllipse(const RVector3d* centre, const RVector3d* axisPoint, double ratio, double px,
                    double py)
{
    if (ratio == 0) ratio = 1;
    double bigR = centre->DistanceTo(*axisPoint), smallR = bigR * ratio;
    RVector3d p(px, py, 0);
    p.RotateAround(-axisPoint->AngleXYTo(*centre), *centre);
    if (smallR > bigR) {
        std::swap(bigR, smallR);
        p.RotateAround(kHalfPi, *centre);
    }
    const double x = p.x - centre->x, y = p.y - centre->y;
    return x * x / (bigR * bigR) + y * y / (smallR * smallR) < 1;
}

static bool InSpan(double d, double startDeg, double endDeg)
{
    return (startDeg <= d && d <= endDeg) || (startDeg <= d + 360 && d + 360 <= endDeg);
}

bool PointInEllipseSector(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                          double px, double py, double startDeg, double endDeg)
{
    if (startDeg == 0 && endDeg == 360) return PointInEllipse(centre, axisPoint, ratio, px, py);
    const RVector3d p(px, py, 0);
    double d = (p.AngleXYTo(*centre) - centre->AngleXYTo(*axisPoint)) * kDegPerRad;
    if (d < 0) d += 360;
    return InSpan(d, startDeg, endDeg) && PointInEllipse(centre, axisPoint, ratio, px, py);
}

bool PointInEllipseSectorB(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                           double px, double py, double startDeg, double endDeg)
{
    if (startDeg == 0 && endDeg == 360) return PointInEllipse(centre, axisPoint, ratio, px, py);
    const RVector3d p(px, py, 0);
    const double alpha = axisPoint->AngleXYTo(*centre), beta = p.AngleXYTo(*centre);
    const double d = NormalizeRad(kPi + beta - alpha, 0, false) * kDegPerRad;
    return startDeg <= d && d <= endDeg && PointInEllipse(centre, axisPoint, ratio, px, py);
}

// Centre of a rectangle ellipse, from the integer sums.
static double CentreX(const Rect64* r)
{
    return ((double)r->left + (double)r->right) / 2.0;
}

static double CentreY(const Rect64* r)
{
    return ((double)r->top + (double)r->bottom) / 2.0;
}

// The centre by integer division, where a rule names it.
static Point64 IntegerCentre(const Rect64* r)
{
    return Point64(r->left + r->Width() / 2, r->top + r->Height() / 2);
}

void RectEllipsePolarPoint(const Rect64* r, double angle, double* outX, double* outY)
{
    const double rx = (double)r->Width() / 2.0, ry = (double)r->Height() / 2.0;
    if (r->Width() == 0 || r->Height() == 0) {
        *outX = (double)r->left + rx;
        *outY = (double)r->top + ry;
        return;
    }
    double x = kPi - angle * kPi / 180;
    // Far-off angles are reduced at once; the steps then bring x into
    // [-pi, pi] without changing an ordinary angle.
    if (std::fabs(x) > 3 * kPi) x = std::remainder(x, kTwoPi);
    while (x < -kPi) x += kTwoPi;
    while (x > kPi) x -= kTwoPi;
    double px, py;
    if (std::fabs(std::fabs(x) - kHalfPi) < 1e-6) {
        px = 0;
        py = x > 0 ? ry : -ry;
    } else {
        const double tau = std::tan(x);
        px = std::sqrt(1 / (1 / (rx * rx) + tau * tau / (ry * ry)));
        if (x > kHalfPi || x < -kHalfPi) px = -px;
        py = tau * px;
    }
    *outX = CentreX(r) + px;
    *outY = CentreY(r) - py;
}

void RectEllipsePolarPoint32(const RECT* r, double angle, double* outX, double* outY)
{
    const Rect64 r64 = Rect64FromRect(r);
    RectEllipsePolarPoint(&r64, angle, outX, outY);
}

void RectEllipseParamPoint(const Rect64* r, double angle, double* outX, double* outY)
{
    const double t = kPi - angle * kPi / 180;
    *outX = CentreX(r) + (double)r->Width() / 2.0 * std::cos(t);
    *outY = CentreY(r) - (double)r->Height() / 2.0 * std::sin(t);
}

double RectEllipsePolarToParam(const Rect64* r, double angle)
{
    const double halfW = (double)r->Width() / 2.0;
    if (std::fabs(halfW) < 1e-6) return 0;
    double x, y;
    RectEllipsePolarPoint(r, angle, &x, &y);
    const double c = std::clamp((x - CentreX(r)) / halfW, -1.0, 1.0);
    double t = kPi - std::acos(c);
    if (NormalizeDeg(angle, 0, false) > 180) t = kTwoPi - t;
    return t * kDegPerRad;
}

// Distance from p to the nearer of two points, rounded; b when equally far.
static int NearerEndDistance(double px, double py, double ax, double ay, double bx, double by)
{
    return RoundToInt32(std::min(Distance2d(px, py, ax, ay), Distance2d(px, py, bx, by)));
}

int PointArcDistance(const Rect64* r, int64_t px, int64_t py, int64_t sx, int64_t sy, int64_t ex,
                     int64_t ey, double direction)
{
    const Point64 c = IntegerCentre(r);
    const double cx = (double)c.x, cy = (double)c.y;
    const double a0 = CompassAngle(cx, cy, (double)px, (double)py);
    double as = CompassAngle(cx, cy, (double)sx, (double)sy);
    double ae = CompassAngle(cx, cy, (double)ex, (double)ey);
    if (direction > 0) std::swap(as, ae);
    if (as > ae) ae += 360;
    if (InSpan(a0, as, ae))
        return RoundToInt32(std::fabs(Distance2d(cx, cy, (double)px, (double)py) - (double)r->Width() / 2.0));
    return NearerEndDistance((double)px, (double)py, (double)sx, (double)sy, (double)ex, (double)ey);
}

int PointEllipseArcDistance(const Rect64* r, int64_t px, int64_t py, double startDeg, double endDeg)
{
    const Point64 c = IntegerCentre(r);
    const double cx = (double)c.x, cy = (double)c.y;
    const double a0 = CompassAngle(cx, cy, (double)px, (double)py);
    if (InSpan(a0, startDeg, endDeg)) {
        // The ellipse's own radius in the point's direction (half the width
        // only for a circle).
        double bx, by;
        RectEllipsePolarPoint(r, a0, &bx, &by);
        const double radius = Distance2d(CentreX(r), CentreY(r), bx, by);
        return RoundToInt32(std::fabs(Distance2d(cx, cy, (double)px, (double)py) - radius));
    }
    double sx, sy, ex, ey;
    RectEllipsePolarPoint(r, startDeg, &sx, &sy);
    RectEllipsePolarPoint(r, endDeg, &ex, &ey);
    return NearerEndDistance((double)px, (double)py, sx, sy, ex, ey);
}

Rect64 RectEllipseArcBounds(const Rect64* r, double startDeg, double endDeg)
{
    if (endDeg - startDeg > 180) return *r;
    double sx, sy, ex, ey;
    RectEllipsePolarPoint(r, startDeg, &sx, &sy);
    RectEllipsePolarPoint(r, endDeg, &ex, &ey);
    const int64_t x0 = TruncToInt64(sx), y0 = TruncToInt64(sy);
    Rect64 b(x0, y0, x0, y0);
    b.AddPoint(TruncToInt64(ex), TruncToInt64(ey));
    const int64_t midX = r->left + r->Width() / 2, midY = r->top + r->Height() / 2;
    auto passes = [&](double a) { return startDeg < a && a < endDeg; };
    if (passes(360)) b.AddPoint(r->left, midY);
    if (passes(90) || passes(450)) b.AddPoint(midX, r->top);
    if (passes(180)) b.AddPoint(r->right, midY);
    if (passes(270)) b.AddPoint(midX, r->bottom);
    return b;
}

RECT RectEllipseArcBounds32(const RECT* r, double startDeg, double endDeg)
{
    const Rect64 r64 = Rect64FromRect(r);
    const Rect64 b = RectEllipseArcBounds(&r64, startDeg, endDeg);
    return RectFromRect64(&b);
}

bool PointInRectEllipse64(const Rect64* r, int64_t x, int64_t y)
{
    const double w = (double)r->Width() - 1, h = (double)r->Height() - 1;
    if (!(w >= 1 && h >= 1)) return false;
    const double dx = (double)x - ((double)r->left + w / 2.0);
    const double dy = (double)y - ((double)r->top + h / 2.0);
    return dx * dx / (w / 2 * (w / 2)) + dy * dy / (h / 2 * (h / 2)) < 1;
}

bool PointInRectEllipse32(const RECT* r, int x, int y)
{
    const Rect64 r64 = Rect64FromRect(r);
    return PointInRectEllipse64(&r64, x, y);
}

bool PointInRectEllipseSector64(const Rect64* r, int64_t x, int64_t y, double startDeg, double endDeg)
{
    if (startDeg == 0 && endDeg == 360) return PointInRectEllipse64(r, x, y);
    const Point64 c = IntegerCentre(r);
    double a = std::atan2((double)c.y - (double)y, (double)c.x - (double)x) * kDegPerRad;
    if (a < 0) a += 360;
    return InSpan(a, startDeg, endDeg) && PointInRectEllipse64(r, x, y);
}

bool PointInRectEllipseSector32(const RECT* r, int x, int y, double startDeg, double endDeg)
{
    const Rect64 r64 = Rect64FromRect(r);
    return PointInRectEllipseSector64(&r64, x, y, startDeg, endDeg);
}
