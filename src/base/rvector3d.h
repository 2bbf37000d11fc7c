// The geometry library's point and vector: three doubles with the plane
// arithmetic, angles and rotations of the cross-section geometry.
#pragma once

// Angles are radians, counter-clockwise from the x axis.
const double kPi = 3.141592653589793;
const double kHalfPi = 1.5707963267948966;
const double kTwoPi = 6.283185307179586;
// Lengths not above this count as zero.
const double kLengthTolerance = 1e-6;

class RVector3d
{
public:
    double x;
    double y;
    double z;

    RVector3d() : x(0), y(0), z(0) {}
    RVector3d(double x, double y, double z) : x(x), y(y), z(z) {}

    RVector3d operator+(const RVector3d& v) const { return RVector3d(x + v.x, y + v.y, z + v.z); }
    RVector3d operator-(const RVector3d& v) const { return RVector3d(x - v.x, y - v.y, z - v.z); }
    RVector3d operator*(double s) const { return RVector3d(x * s, y * s, z * s); }
    // Division by 0 is not guarded: the components become infinities or NaN.
    RVector3d operator/(double s) const { return RVector3d(x / s, y / s, z / s); }
    void operator+=(const RVector3d& v);
    void operator-=(const RVector3d& v);
    void operator*=(double s);
    RVector3d& operator/=(double s);
    RVector3d Negated() const { return RVector3d(-x, -y, -z); }
    RVector3d operator-() const { return Negated(); }
    // Exact: no tolerance.
    bool operator==(const RVector3d& v) const { return x == v.x && y == v.y && z == v.z; }

    double Length() const;
    double LengthXY() const;
    double DistanceTo(const RVector3d& v) const { return (*this - v).Length(); }
    double Dot(const RVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    static double DotOf(const RVector3d& a, const RVector3d& b) { return a.Dot(b); }
    static RVector3d Cross(const RVector3d& a, const RVector3d& b);
    RVector3d CrossWith(const RVector3d& v) const { return Cross(*this, v); }

    // Direction of (x, y) in [0, 2 pi]; 0 when the xy length is not above the
    // tolerance. A tiny negative y can give exactly 2 pi.
    double AngleXY() const;
    // Direction from this point to p.
    double AngleXYTo(const RVector3d& p) const { return (p - *this).AngleXY(); }
    // Unoriented angle to v in [0, pi]; 0 when either is (nearly) zero.
    double AngleTo(const RVector3d& v) const;
    void SetPolar(double r, double a);
    // Keeps the 3-D length but lays the vector into the xy plane.
    void SetAngleXY(double a);

    // Turns (x, y) counter-clockwise about the z axis in place; z stays.
    // Returns a copy of the turned vector.
    RVector3d Rotate(double da);
    RVector3d RotateAround(double da, const RVector3d& c);
    // Turns about the line through the origin along d (a zero d is not
    // guarded), counter-clockwise seen from the tip of d.
    RVector3d RotateAxis(double t, const RVector3d& d);
    RVector3d RotateAroundAxis(double t, const RVector3d& c, const RVector3d& e);

    // this = (this - c) * f + c; returns a copy.
    RVector3d ScaleAbout(double f, const RVector3d& c);
    // Turns this vector the way that turns a onto b (scaling by |b| / |a|).
    RVector3d RotateFromTo(const RVector3d& a, const RVector3d& b);
};
