#include "base/spheregeometry.h"

#include <cmath>

#include "base/pointrect.h"

static const double kRadPerDeg = kPi / 180;

RVector3d LerpPoint(const RVector3d& a, const RVector3d& b, double t)
{
    return a + (b - a) * t;
}

void SphereToXyz(double latitude, double longitude, double radius, RVector3d* out)
{
    const double lat = latitude * kRadPerDeg, lon = longitude * kRadPerDeg;
    *out = RVector3d(radius * std::cos(lat) * std::cos(lon), -radius * std::sin(lat),
                     -radius * std::cos(lat) * std::sin(lon));
}

RVector3d XyzToSphere(const RVector3d& v, double radius)
{
    const double len = v.Length();
    return RVector3d(-std::atan2(v.z, v.x) / kRadPerDeg, -std::asin(v.y / len) / kRadPerDeg, len - radius);
}

double SphereTangentOffset(const RVector3d& a, RVector3d* b, RVector3d* out)
{
    const double radius = a.Length();
    const RVector3d sa = XyzToSphere(a, radius), sb = XyzToSphere(*b, radius);
    const double t = HaversineDistance(sa.x, sa.y, sb.x, sb.y, radius) / radius;
    *b *= 1 / std::cos(t);
    b->RotateAxis(kHalfPi, a);
    *out = a - *b;
    return t;
}

double SignedSphereAngle(const RVector3d& c, const RVector3d& p, RVector3d* q, RVector3d* out)
{
    *q -= p;
    double t = SphereTangentOffset(c - p, q, out);
    *out += p;
    if (out->DistanceTo(p) > out->Length() || p.Length() > out->Length()) {
        *out *= -1;
        t = -t;
    }
    return t;
}

bool RaySphereHit(const RVector3d& p, RVector3d* q, double r, RVector3d* out)
{
    *out = RVector3d();
    const double len = p.Length();
    if (r + 1e-5 >= len) return false;
    *q = p + (*q - p) * (len / p.DistanceTo(*q));
    RVector3d qCopy = *q, unused;
    const double t = std::fabs(SignedSphereAngle(RVector3d(), p, &qCopy, &unused));
    if (t < 1e-10) {
        *out = p * (r / len);
        return true;
    }
    if (t >= std::asin(r / len)) return false;
    // Law of sines in the triangle origin, p, hit point.
    const double g = std::asin(len * std::sin(t) / r);
    const double a1 = kPi - t - g, a2 = kPi - t - (kPi - g);
    const double s1 = r / std::sin(t) * std::sin(a1), s2 = r / std::sin(t) * std::sin(a2);
    const RVector3d h1 = p + (*q - p) * (s1 / len), h2 = p + (*q - p) * (s2 / len);
    *out = h2.DistanceTo(p) < h1.DistanceTo(p) ? h2 : h1;
    return true;
}

// Distance from p to its foot on the line of slope k through a, the foot
// taken with z = 0.
static double SlopeLineDistance(const RVector3d& p, const RVector3d& a, double k)
{
    // y = a.y + k (x - a.x) meets y = p.y - (x - p.x) / k.
    const double x = (p.y - a.y + k * a.x + p.x / k) / (k + 1 / k);
    return p.DistanceTo(RVector3d(x, a.y + k * (x - a.x), 0));
}

double PointLineDistance(const RVector3d& p, const RVector3d& a, const RVector3d& b)
{
    if (a.x == b.x) return std::fabs(p.x - a.x);
    if (a.y == b.y) return std::fabs(p.y - a.y);
    return SlopeLineDistance(p, a, (b.y - a.y) / (b.x - a.x));
}

double PointLineDistanceByAngle(const RVector3d& p, const RVector3d& a, double t)
{
    const double at = std::fabs(t);
    auto closeTo = [at](double v) { return std::fabs(at - v) < 1e-8; };
    if (closeTo(0) || closeTo(kPi) || closeTo(kTwoPi)) return std::fabs(p.y - a.y);
    if (closeTo(kHalfPi) || closeTo(3 * kHalfPi)) return std::fabs(p.x - a.x);
    return SlopeLineDistance(p, a, std::tan(t));
}

RVector3d ChordBisectorMidpoint(const RVector3d& p, const RVector3d& a, const RVector3d& b)
{
    const RVector3d m = (a + b) / 2;
    if (a.x == b.x) return RVector3d((p.x + a.x) / 2, m.y, 0);
    if (a.y == b.y) return RVector3d(m.x, (p.y + b.y) / 2, 0);
    // Q is M moved along the chord's normal by p's offset from M.
    RVector3d n(-(b.y - a.y), b.x - a.x, 0);
    n /= n.Length();
    const RVector3d q = m + n * ((p.x - m.x) * n.x + (p.y - m.y) * n.y);
    return RVector3d((m.x + q.x) / 2, (m.y + q.y) / 2, 0);
}

double SignedDistanceRatio(const RVector3d& p0, const RVector3d& p1, const RVector3d& x)
{
    const double d1 = x.DistanceTo(p1), d0 = x.DistanceTo(p0);
    return (d0 > d1 ? -d1 : d1) / p0.DistanceTo(p1);
}
