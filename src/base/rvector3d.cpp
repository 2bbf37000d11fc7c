#include "base/rvector3d.h"

#include <cmath>

void RVector3d::operator+=(const RVector3d& v)
{
    x += v.x;
    y += v.y;
    z += v.z;
}

void RVector3d::operator-=(const RVector3d& v)
{
    x -= v.x;
    y -= v.y;
    z -= v.z;
}

void RVector3d::operator*=(double s)
{
    x *= s;
    y *= s;
    z *= s;
}

RVector3d& RVector3d::operator/=(double s)
{
    x /= s;
    y /= s;
    z /= s;
    return *this;
}

double RVector3d::Length() const
{
    return std::sqrt(x * x + y * y + z * z);
}

double RVector3d::LengthXY() const
{
    return std::sqrt(x * x + y * y);
}

RVector3d RVector3d::Cross(const RVector3d& a, const RVector3d& b)
{
    return RVector3d(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// acos of a cosine that rounding may have pushed just outside [-1, 1].
static double AcosClamped(double c)
{
    if (c >= 1) return 0;
    if (c < -1) return kPi;
    return std::acos(c);
}

double RVector3d::AngleXY() const
{
    double r = LengthXY();
    if (!(r > kLengthTolerance)) return 0;
    // x / r is the dot product with the x axis over the length; taken
    // directly so that an infinite z cannot spoil it.
    double a = AcosClamped(x / r);
    return y < 0 ? kTwoPi - a : a;
}

double RVector3d::AngleTo(const RVector3d& v) const
{
    double p = Length() * v.Length();
    if (!(p > kLengthTolerance)) return 0;
    return AcosClamped(Dot(v) / p);
}

void RVector3d::SetPolar(double r, double a)
{
    x = r * std::cos(a);
    y = r * std::sin(a);
    z = 0;
}

void RVector3d::SetAngleXY(double a)
{
    SetPolar(Length(), a);
}

RVector3d RVector3d::Rotate(double da)
{
    double r = LengthXY();
    double a = AngleXY() + da;
    x = r * std::cos(a);
    y = r * std::sin(a);
    return *this;
}

RVector3d RVector3d::RotateAround(double da, const RVector3d& c)
{
    RVector3d v = *this - c;
    v.Rotate(da);
    *this = c + v;
    return *this;
}

RVector3d RVector3d::RotateAxis(double t, const RVector3d& d)
{
    const RVector3d u = d / d.Length();
    const double c = std::cos(t), s = std::sin(t), k = 1 - c;
    const double px = x, py = y, pz = z;
    x = (u.x * u.x * k + c) * px + (u.x * u.y * k - u.z * s) * py + (u.x * u.z * k + u.y * s) * pz;
    y = (u.y * u.x * k + u.z * s) * px + (u.y * u.y * k + c) * py + (u.y * u.z * k - u.x * s) * pz;
    z = (u.x * u.z * k - u.y * s) * px + (u.y * u.z * k + u.x * s) * py + (u.z * u.z * k + c) * pz;
    return *this;
}

RVector3d RVector3d::RotateAroundAxis(double t, const RVector3d& c, const RVector3d& e)
{
    RVector3d v = *this - c;
    v.RotateAxis(t, e - c);
    *this = c + v;
    return *this;
}

RVector3d RVector3d::ScaleAbout(double f, const RVector3d& c)
{
    *this = (*this - c) * f + c;
    return *this;
}

RVector3d RVector3d::RotateFromTo(const RVector3d& a, const RVector3d& b)
{
    const double la = a.Length(), lb = b.Length();
    const RVector3d d = a - b;
    if ((std::fabs(d.x) < kLengthTolerance && std::fabs(d.y) < kLengthTolerance &&
         std::fabs(d.z) < kLengthTolerance) ||
        la < kLengthTolerance || lb < kLengthTolerance)
        return *this;
    const double f = lb / la;
    if (std::fabs(f - 1) > kLengthTolerance) *this *= f;
    RVector3d n = Cross(a, b);
    if (n.Length() < kLengthTolerance * la * lb) {
        // a and b are (nearly) opposite: any axis perpendicular to a turns
        // it onto b; take the one from the coordinate axis least along a.
        RVector3d axis(1, 0, 0);
        if (std::fabs(a.y) < std::fabs(a.x) && std::fabs(a.y) <= std::fabs(a.z))
            axis = RVector3d(0, 1, 0);
        else if (std::fabs(a.z) < std::fabs(a.x))
            axis = RVector3d(0, 0, 1);
        n = Cross(a, axis);
    }
    RotateAxis(a.AngleTo(b), n);
    return *this;
}
