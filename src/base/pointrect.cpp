#include "base/pointrect.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool Rect64::Contains(const Point64* p) const
{
    return left <= p->x && p->x < right && top <= p->y && p->y < bottom;
}

// One rule for Rect64 and RECT.
template <class R, class T>
static void AddPointTo(R& r, T x, T y)
{
    if (r.left == -1 && r.top == -1 && r.right == -1 && r.bottom == -1) {
        if (x == -1 && y == -1) {
            r.right = 0;
            r.bottom = 0;
        } else {
            r.left = r.right = x;
            r.top = r.bottom = y;
        }
        return;
    }
    r.left = std::min<T>(r.left, x);
    r.right = std::max<T>(r.right, x);
    r.top = std::min<T>(r.top, y);
    r.bottom = std::max<T>(r.bottom, y);
}

void Rect64::AddPoint(int64_t x, int64_t y)
{
    AddPointTo<Rect64, int64_t>(*this, x, y);
}

void Rect64::Inflate(int64_t dx, int64_t dy)
{
    left -= dx;
    right += dx;
    top -= dy;
    bottom += dy;
}

Rect64 Rect64FromRect(const RECT* r)
{
    return Rect64(r->left, r->top, r->right, r->bottom);
}

static LONG Low32(int64_t v)
{
    return (LONG)(uint32_t)(uint64_t)v;
}

RECT RectFromRect64(const Rect64* r)
{
    RECT out;
    out.left = Low32(r->left);
    out.top = Low32(r->top);
    out.right = Low32(r->right);
    out.bottom = Low32(r->bottom);
    return out;
}

void RectAddPoint32(RECT* r, int x, int y)
{
    AddPointTo<RECT, LONG>(*r, x, y);
}

void RectInflate32(RECT* r, int dx, int dy)
{
    // Taken in 64 bits and wrapped back, as 32-bit arithmetic would.
    r->left = Low32((int64_t)r->left - dx);
    r->right = Low32((int64_t)r->right + dx);
    r->top = Low32((int64_t)r->top - dy);
    r->bottom = Low32((int64_t)r->bottom + dy);
}

template <class T>
static T TruncClamped(double v)
{
    if (std::isnan(v)) return 0;
    // 2^63 and 2^31 are exact doubles; every double below the top bound
    // truncates to a value that fits.
    const double top = -(double)std::numeric_limits<T>::min();
    if (v >= top) return std::numeric_limits<T>::max();
    if (v <= -top) return std::numeric_limits<T>::min();
    return (T)v;
}

int32_t TruncToInt32(double v)
{
    return TruncClamped<int32_t>(v);
}

int64_t TruncToInt64(double v)
{
    return TruncClamped<int64_t>(v);
}

int32_t RoundToInt32(double v)
{
    return TruncClamped<int32_t>(std::round(v));
}

int64_t RoundToInt64(double v)
{
    return TruncClamped<int64_t>(std::round(v));
}

static const double kRadPerDeg = kPi / 180;

void RotatedRectPoints(const double* centre, double w, double h, double angle,
                       RVector3d* lt, RVector3d* rt, RVector3d* lb, RVector3d* rb,
                       RVector3d* l, RVector3d* r, RVector3d* t, RVector3d* b,
                       RVector3d* labelPoint, int* labelSize)
{
    const double cx = centre[0], cy = centre[1], a = angle * kRadPerDeg;
    const RVector3d c(cx, cy, 0);
    auto put = [&](RVector3d* out, double x, double y) {
        if (out) *out = RVector3d(x, y, 0).RotateAround(a, c);
    };
    put(lt, cx - w / 2, cy - h / 2);
    put(rt, cx + w / 2, cy - h / 2);
    put(lb, cx - w / 2, cy + h / 2);
    put(rb, cx + w / 2, cy + h / 2);
    put(l, cx - w / 2, cy);
    put(r, cx + w / 2, cy);
    put(t, cx, cy - h / 2);
    put(b, cx, cy + h / 2);
    if (l && r && labelPoint) {
        const RVector3d k = *l + (*r - *l) * 0.11;
        *labelPoint = *l + (*r - *l) * 0.14;
        if (labelSize) *labelSize = std::clamp(RoundToInt32(k.DistanceTo(*labelPoint)), 3, 10);
    }
}

Rect64 RotatedRectBounds(Rect64 r, RVector3d pivot, double angle, RVector3d* corners)
{
    const double a = -angle * kRadPerDeg;
    RVector3d turned[4] = {
        RVector3d((double)r.left, (double)r.top, 0), RVector3d((double)r.right, (double)r.top, 0),
        RVector3d((double)r.left, (double)r.bottom, 0), RVector3d((double)r.right, (double)r.bottom, 0)};
    Rect64 bounds = Rect64::Empty();
    for (int i = 0; i < 4; ++i) {
        turned[i].RotateAround(a, pivot);
        bounds.AddPoint(RoundToInt64(turned[i].x), RoundToInt64(turned[i].y));
        if (corners) corners[i] = turned[i];
    }
    return bounds;
}

Rect64 RotatedRectBoundsAtCorner(const Rect64* r, double angle, RVector3d* corners)
{
    return RotatedRectBounds(*r, RVector3d((double)r->left, (double)r->bottom, 0), angle, corners);
}

RECT RotatedRectBoundsAtCorner32(const RECT* r, double angle, RVector3d* corners)
{
    const Rect64 r64 = Rect64FromRect(r);
    const Rect64 b = RotatedRectBoundsAtCorner(&r64, angle, corners);
    return RectFromRect64(&b);
}

RECT RotatedRectBounds32(const RECT* r, const RVector3d* pivot, double angle, RVector3d* corners)
{
    const Rect64 b = RotatedRectBounds(Rect64FromRect(r), *pivot, angle, corners);
    return RectFromRect64(&b);
}

void RotatePointAboutDeg(const RVector3d* centre, RVector3d* p, double angle)
{
    p->RotateAround(-angle * kRadPerDeg, *centre);
}

bool Interpolate(double x1, double y1, double x2, double y2, double x, double* out)
{
    *out = std::fabs(x1 - x2) < 1e-6 ? y1 : y1 + (y2 - y1) * (x - x1) / (x2 - x1);
    return true;
}

bool LinePointAtX(double px, double py, double pz, double qx, double qy, double qz, double x,
                  double* outY, double* outZ)
{
    Interpolate(px, py, qx, qy, x, outY);
    Interpolate(py, pz, qy, qz, *outY, outZ);
    return true;
}

void Bilinear(double f00, double f10, double f01, double f11, double u, double v, double* out)
{
    double a, b;
    Interpolate(0, f00, 1, f10, u, &a);
    Interpolate(0, f01, 1, f11, u, &b);
    Interpolate(0, a, 1, b, v, out);
}

void RotateXY(double* x, double* y, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const double nx = *x * c - *y * s;
    *y = *x * s + *y * c;
    *x = nx;
}

void RotateXYDeg(double* x, double* y, double angle)
{
    RotateXY(x, y, angle * kPi / 180);
}

bool ToScaledFrame(double x, double y, double scale, double angle, double* outX, double* outY)
{
    *outX = 0;
    *outY = 0;
    if (std::fabs(scale) < 1e-6) return false;
    *outX = x;
    *outY = y;
    if (std::fabs(scale - 1) >= 1e-6) {
        *outX /= scale;
        *outY /= scale;
    }
    angle = NormalizeDeg(angle, 0, false);
    if (std::fabs(angle) >= 1e-6) RotateXYDeg(outX, outY, -angle);
    return true;
}

void ScaleRotateToInt(double angle, double scale, double x, double y, int* outX, int* outY)
{
    if (angle > 0) {
        x *= scale;
        y *= scale;
    } else {
        x /= scale;
        y /= scale;
    }
    const double rho = std::sqrt(x * x + y * y), phi = std::atan2(y, x);
    const double a = kTwoPi * angle / 360;
    *outY = TruncToInt32(rho * std::sin(phi + a));
    *outX = TruncToInt32(rho * std::cos(phi + a));
}

RVector3d FrameCoordinates(const RVector3d* o, const RVector3d* a, const RVector3d* b,
                           const RVector3d* p)
{
    const double l1 = a->DistanceTo(*o), l2 = b->DistanceTo(*o), l3 = p->DistanceTo(*o);
    // Directions towards O: both differ from those away from O by the same
    // half turn.
    const double d = p->AngleXYTo(*o) - a->AngleXYTo(*o);
    return RVector3d(std::clamp(l3 * std::cos(d) / l1, -1.0, 1.0),
                     std::clamp(l3 * std::sin(d) / l2, -1.0, 1.0), 0);
}

RVector3d FromFrameCoordinates(const RVector3d* o, const RVector3d* a, const RVector3d* b,
                               const RVector3d* coords)
{
    const double l1 = a->DistanceTo(*o), l2 = b->DistanceTo(*o);
    RVector3d r(o->x + l1 * coords->x, o->y + l2 * coords->y, 0);
    return r.RotateAround(o->AngleXYTo(*a), *o);
}

// The stepping loops below move by whole periods. A value many periods away
// is first brought to within four periods of base on the side it lies on, so
// that they end after a few steps and give what stepping all the way
// would; a step that no longer changes the value also ends them.
static double ReduceNear(double a, double base, double period)
{
    const double d = a - base;
    if (std::fabs(d) <= 2 * period) return a;
    // Each remainder is exact, unlike a remainder of the rounded difference.
    const double r = std::fmod(a, period) - std::fmod(base, period);
    return base + r + (d > 0 ? 2 * period : -2 * period);
}

static bool StepBy(double* a, double step)
{
    const double next = *a + step;
    if (next == *a) return false;
    *a = next;
    return true;
}

static double NormalizePeriodic(double a, double base, bool bumpEqual, double period)
{
    if (!std::isfinite(a) || !std::isfinite(base)) return std::nan("");
    a = ReduceNear(a, base, period);
    while ((base > a || (bumpEqual && a == base)) && StepBy(&a, period)) {
    }
    while (a - (base + period) > 1e-6 && StepBy(&a, -period)) {
    }
    return a;
}

double NormalizeDeg(double a, double base, bool bumpEqual)
{
    return NormalizePeriodic(a, base, bumpEqual, 360);
}

double NormalizeRad(double a, double base, bool bumpEqual)
{
    return NormalizePeriodic(a, base, bumpEqual, kTwoPi);
}

double WrapIntoRange(double value, double lo, double hi, double period)
{
    if (!std::isfinite(value) || !std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(period))
        return std::nan("");
    if (lo >= hi) return value;
    if (period <= 1e-6) period = hi - lo;
    if (std::fabs(period - (hi - lo)) > 1e-6) return value;
    value = ReduceNear(value, lo, period);
    while (value >= hi && StepBy(&value, -period)) {
    }
    while (value < lo && StepBy(&value, period)) {
    }
    return value;
}

double AngleDifferenceDeg(double a, double b)
{
    if (!std::isfinite(a) || !std::isfinite(b)) return std::nan("");
    a = ReduceNear(a, b, 360);
    double d = std::fabs(a - b);
    while (d > 180 && StepBy(&a, a > b ? -360 : 360)) d = std::fabs(a - b);
    return d;
}

void ExtendBounds(double* minPt, double* maxPt, double x, double y)
{
    minPt[0] = std::min(minPt[0], x);
    maxPt[0] = std::max(maxPt[0], x);
    minPt[1] = std::min(minPt[1], y);
    maxPt[1] = std::max(maxPt[1], y);
}

double HaversineDistance(double lon1, double lat1, double lon2, double lat2, double radius)
{
    const double p1 = lat1 * kRadPerDeg, p2 = lat2 * kRadPerDeg;
    const double dl = (lon1 - lon2) * kRadPerDeg;
    const double sp = std::sin((p1 - p2) / 2), sl = std::sin(dl / 2);
    // Rounding can push the root just above 1, outside asin's domain.
    const double h = std::sqrt(sp * sp + std::cos(p1) * std::cos(p2) * sl * sl);
    return 2 * std::asin(std::min(h, 1.0)) * radius;
}
