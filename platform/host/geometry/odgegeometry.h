// Host SDK stand-in: the geometry library (points, vectors, matrices,
// extents, tolerances and the plane curves the drawing entities use).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "odarray.h"

class OdGeMatrix3d;

// The angle brought into [0, 2pi).
double OdGeNormalizeAngle(double a);
// How many coordinates moves have taken past the largest number (or made
// no number of), so that an edit can try a move on a copy and refuse it
// before it makes one.
unsigned long& OdGeMovedOverflows();
// The undo history's record of a move: while one is active, every
// coordinate a move changes (each passes through OdGeMoved) is kept as it
// was, in the order the move reaches them; or, putting the move back, the
// move takes those values in that order instead of adding. A move reaches
// its values in the same order whenever it runs on the same objects, so
// that the record is what it changed and no copy of the objects is kept.
struct OdGeMoveJournal {
    std::vector<double>* kept = nullptr;         // keeping
    const std::vector<double>* back = nullptr;   // putting back
    size_t next = 0;
    bool overrun = false;  // the move asked for more values than were kept
    // Groups a move put in where a record had left a coordinate out: for
    // each record moved that can, how many places, then each place (its
    // run, first group, count), so that putting the move back takes them
    // out again.
    std::vector<uint32_t>* keptPlaces = nullptr;
    const std::vector<uint32_t>* backPlaces = nullptr;
    size_t nextPlace = 0;
    double moved(double x, double by);
};
extern thread_local OdGeMoveJournal* g_odgeMoveJournal;

inline double OdGeMovedBy(double x, double by)
{
    const double moved = x + by;
    if (!std::isfinite(moved) && std::isfinite(x)) ++OdGeMovedOverflows();
    return moved;
}
// A coordinate moved by `by`: a move by 0 leaves it as it is, its sign of
// zero too, so that a move by nothing changes no bit.
inline double OdGeMoved(double x, double by)
{
    if (by == 0) return x;
    if (OdGeMoveJournal* j = g_odgeMoveJournal) return j->moved(x, by);
    return OdGeMovedBy(x, by);
}
class OdGeVector3d;
// The x and y axes of the plane with that normal by the host's
// arbitrary-axis rule (object coordinates); a zero normal is taken as z.
void OdGePlaneAxes(const OdGeVector3d& normal, OdGeVector3d& xAxis, OdGeVector3d& yAxis);

class OdGeTol {
public:
    OdGeTol(double t = 1e-10) : point_(t), vector_(t) {}
    OdGeTol(double pointTol, double vectorTol) : point_(pointTol), vector_(vectorTol) {}
    double equalPoint() const { return point_; }
    double equalVector() const { return vector_; }
    void setEqualPoint(double t) { point_ = t; }
    void setEqualVector(double t) { vector_ = t; }

private:
    double point_;
    double vector_;
};

struct OdGeContext {
    static OdGeTol gTol;
};

class OdGeVector2d {
public:
    double x = 0, y = 0;
    OdGeVector2d() = default;
    OdGeVector2d(double xx, double yy) : x(xx), y(yy) {}
    static const OdGeVector2d kXAxis;
    static const OdGeVector2d kYAxis;

    OdGeVector2d& set(double xx, double yy) { x = xx; y = yy; return *this; }
    double length() const { return std::hypot(x, y); }
    // Angle from the x axis, in [0, 2pi).
    double angle() const;
    OdGeVector2d& rotateBy(double a);
    OdGeVector2d normal() const;
    double dotProduct(const OdGeVector2d& v) const { return x * v.x + y * v.y; }
    double crossProduct(const OdGeVector2d& v) const { return x * v.y - y * v.x; }
    OdGeVector2d operator+(const OdGeVector2d& v) const { return {x + v.x, y + v.y}; }
    OdGeVector2d operator-(const OdGeVector2d& v) const { return {x - v.x, y - v.y}; }
    OdGeVector2d operator-() const { return {-x, -y}; }
    OdGeVector2d operator*(double f) const { return {x * f, y * f}; }
    OdGeVector2d operator/(double f) const { return {x / f, y / f}; }
    bool isEqualTo(const OdGeVector2d& v, const OdGeTol& tol = OdGeContext::gTol) const
    {
        return (*this - v).length() <= tol.equalVector();
    }
};

class OdGePoint2d {
public:
    double x = 0, y = 0;
    OdGePoint2d() = default;
    OdGePoint2d(double xx, double yy) : x(xx), y(yy) {}
    static const OdGePoint2d kOrigin;

    double distanceTo(const OdGePoint2d& p) const { return std::hypot(x - p.x, y - p.y); }
    bool isEqualTo(const OdGePoint2d& p, const OdGeTol& tol = OdGeContext::gTol) const
    {
        return distanceTo(p) <= tol.equalPoint();
    }
    OdGePoint2d& set(double xx, double yy) { x = xx; y = yy; return *this; }
    OdGePoint2d operator+(const OdGeVector2d& v) const { return {x + v.x, y + v.y}; }
    OdGePoint2d operator-(const OdGeVector2d& v) const { return {x - v.x, y - v.y}; }
    OdGeVector2d operator-(const OdGePoint2d& p) const { return {x - p.x, y - p.y}; }
    OdGePoint2d& operator+=(const OdGeVector2d& v) { x += v.x; y += v.y; return *this; }
    bool operator==(const OdGePoint2d& p) const { return isEqualTo(p); }
    bool operator!=(const OdGePoint2d& p) const { return !isEqualTo(p); }
};

class OdGeVector3d {
public:
    double x = 0, y = 0, z = 0;
    OdGeVector3d() = default;
    OdGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const OdGeVector3d kXAxis;
    static const OdGeVector3d kYAxis;
    static const OdGeVector3d kZAxis;
    static const OdGeVector3d kIdentity;

    OdGeVector3d& set(double xx, double yy, double zz) { x = xx; y = yy; z = zz; return *this; }
    double length() const { return std::sqrt(x * x + y * y + z * z); }
    OdGeVector3d normal() const;
    OdGeVector3d& normalize() { *this = normal(); return *this; }
    double dotProduct(const OdGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    OdGeVector3d crossProduct(const OdGeVector3d& v) const
    {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }
    OdGeVector3d& transformBy(const OdGeMatrix3d& m);
    // Rotation about an axis through the origin.
    OdGeVector3d& rotateBy(double a, const OdGeVector3d& axis);
    OdGeVector3d operator+(const OdGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    OdGeVector3d operator-(const OdGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    OdGeVector3d operator-() const { return {-x, -y, -z}; }
    OdGeVector3d operator*(double f) const { return {x * f, y * f, z * f}; }
    OdGeVector3d operator/(double f) const { return {x / f, y / f, z / f}; }
    bool isZeroLength(const OdGeTol& tol = OdGeContext::gTol) const { return length() <= tol.equalVector(); }
    bool isEqualTo(const OdGeVector3d& v, const OdGeTol& tol = OdGeContext::gTol) const
    {
        return (*this - v).length() <= tol.equalVector();
    }
};

class OdGePoint3d {
public:
    double x = 0, y = 0, z = 0;
    OdGePoint3d() = default;
    OdGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const OdGePoint3d kOrigin;

    double distanceTo(const OdGePoint3d& p) const { return (*this - p).length(); }
    bool isEqualTo(const OdGePoint3d& p, const OdGeTol& tol = OdGeContext::gTol) const
    {
        return distanceTo(p) <= tol.equalPoint();
    }
    OdGePoint3d& set(double xx, double yy, double zz) { x = xx; y = yy; z = zz; return *this; }
    OdGePoint3d& transformBy(const OdGeMatrix3d& m);
    OdGePoint2d convert2d() const { return {x, y}; }
    OdGePoint3d operator+(const OdGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    OdGePoint3d operator-(const OdGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    OdGeVector3d operator-(const OdGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
    OdGePoint3d& operator+=(const OdGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
    bool operator==(const OdGePoint3d& p) const { return isEqualTo(p); }
    bool operator!=(const OdGePoint3d& p) const { return !isEqualTo(p); }
};

class OdGeScale3d {
public:
    double sx = 1, sy = 1, sz = 1;
    OdGeScale3d() = default;
    explicit OdGeScale3d(double f) : sx(f), sy(f), sz(f) {}
    OdGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}
};

// Affine 4x4 matrix acting on column vectors.
class OdGeMatrix3d {
public:
    OdGeMatrix3d();
    static const OdGeMatrix3d kIdentity;
    double entry[4][4];

    OdGeMatrix3d& setToIdentity();
    OdGeMatrix3d& setToTranslation(const OdGeVector3d& v);
    OdGeMatrix3d& setToRotation(double angle, const OdGeVector3d& axis,
                                const OdGePoint3d& center = OdGePoint3d::kOrigin);
    OdGeMatrix3d& setToScaling(double f, const OdGePoint3d& center = OdGePoint3d::kOrigin);
    OdGeMatrix3d& setToScaling(const OdGeScale3d& s, const OdGePoint3d& center = OdGePoint3d::kOrigin);
    static OdGeMatrix3d translation(const OdGeVector3d& v) { return OdGeMatrix3d().setToTranslation(v); }
    static OdGeMatrix3d rotation(double a, const OdGeVector3d& axis, const OdGePoint3d& c = OdGePoint3d::kOrigin)
    {
        return OdGeMatrix3d().setToRotation(a, axis, c);
    }
    static OdGeMatrix3d scaling(double f, const OdGePoint3d& c = OdGePoint3d::kOrigin)
    {
        return OdGeMatrix3d().setToScaling(f, c);
    }
    OdGeMatrix3d operator*(const OdGeMatrix3d& m) const;
    OdGeMatrix3d& preMultBy(const OdGeMatrix3d& m) { return *this = m * *this; }
    OdGeMatrix3d& postMultBy(const OdGeMatrix3d& m) { return *this = *this * m; }
    double det() const;
    // Uniform scale of the matrix (length of the image of the x axis).
    double scale() const;
    bool isUniScaledOrtho(const OdGeTol& tol = OdGeContext::gTol) const;
    // Whether the matrix only moves (all but its last column is the
    // identity's); `by` gets the move. Entities take such a matrix as a
    // move alone, so that it changes no value but their positions.
    bool isTranslation(OdGeVector3d* by = nullptr) const;
};

class OdGeExtents3d {
public:
    // Invalid until a point is added.
    OdGeExtents3d() : min_(1e20, 1e20, 1e20), max_(-1e20, -1e20, -1e20) {}
    OdGeExtents3d(const OdGePoint3d& mn, const OdGePoint3d& mx) : min_(mn), max_(mx) {}
    const OdGePoint3d& minPoint() const { return min_; }
    const OdGePoint3d& maxPoint() const { return max_; }
    void set(const OdGePoint3d& mn, const OdGePoint3d& mx) { min_ = mn; max_ = mx; }
    bool isValidExtents() const { return min_.x <= max_.x && min_.y <= max_.y && min_.z <= max_.z; }
    OdGeExtents3d& addPoint(const OdGePoint3d& p);
    OdGeExtents3d& addExt(const OdGeExtents3d& e);
    OdGeExtents3d& transformBy(const OdGeMatrix3d& m);

private:
    OdGePoint3d min_, max_;
};

typedef OdArray<OdGePoint2d> OdGePoint2dArray;
typedef OdArray<OdGePoint3d> OdGePoint3dArray;
typedef OdArray<OdGeVector3d> OdGeVector3dArray;

namespace OdGe {
enum EntityId { kLineSeg2d = 1, kRay2d, kLine2d, kCircArc2d, kEllipArc2d, kNurbCurve2d };
}

// Plane curves: a curve maps a parameter interval onto points.
class OdGeCurve2d {
public:
    virtual ~OdGeCurve2d() = default;
    virtual OdGe::EntityId type() const = 0;
    virtual OdGeCurve2d* copy() const = 0;
    virtual double startParam() const = 0;
    virtual double endParam() const = 0;
    virtual OdGePoint2d evalPoint(double param) const = 0;
    OdGePoint2d startPoint() const { return evalPoint(startParam()); }
    OdGePoint2d endPoint() const { return evalPoint(endParam()); }
    // numSample points at equal parameter steps; the first is the start
    // point and the last the end point.
    void getSamplePoints(int numSample, OdGePoint2dArray& points) const;
    // Applies the plane part (x and y) of an affine matrix.
    virtual void transformBy(const OdGeMatrix3d& m) = 0;
    // Runs the curve the other way round over the same points.
    virtual OdGeCurve2d& reverseParam() = 0;
};

// A straight line, segment or ray given by a point and a direction; the
// parameter runs along the direction (0 at the point, 1 at point + dir).
class OdGeLinearEnt2d : public OdGeCurve2d {
public:
    OdGePoint2d pointOnLine() const { return p_; }
    OdGeVector2d direction() const { return d_; }
    double startParam() const override;
    double endParam() const override;
    OdGePoint2d evalPoint(double t) const override { return p_ + d_ * t; }
    // The single point where this entity meets another linear entity, within
    // tol of both bounded parts; false for parallel lines.
    bool intersectWith(const OdGeLinearEnt2d& other, OdGePoint2d& point,
                       const OdGeTol& tol = OdGeContext::gTol) const;
    // Parameter of the point projected on the carrier line.
    double paramOf(const OdGePoint2d& p) const;
    bool containsParam(double t, const OdGeTol& tol) const;
    void transformBy(const OdGeMatrix3d& m) override;
    OdGeCurve2d& reverseParam() override;

protected:
    OdGePoint2d p_;
    OdGeVector2d d_{1, 0};
    bool boundedStart_ = false;
    bool boundedEnd_ = false;
};

class OdGeLineSeg2d : public OdGeLinearEnt2d {
public:
    OdGeLineSeg2d() { boundedStart_ = boundedEnd_ = true; }
    OdGeLineSeg2d(const OdGePoint2d& s, const OdGePoint2d& e) { set(s, e); }
    OdGeLineSeg2d& set(const OdGePoint2d& s, const OdGePoint2d& e);
    OdGe::EntityId type() const override { return OdGe::kLineSeg2d; }
    OdGeCurve2d* copy() const override { return new OdGeLineSeg2d(*this); }
    OdGePoint2d startPoint() const { return p_; }
    OdGePoint2d endPoint() const { return e_; }
    OdGePoint2d evalPoint(double t) const override { return t == 1 ? e_ : OdGeLinearEnt2d::evalPoint(t); }
    double length() const { return d_.length(); }
    void transformBy(const OdGeMatrix3d& m) override;
    OdGeCurve2d& reverseParam() override;

private:
    // The end as given and moved: the start plus the direction would round
    // it anew at every move.
    OdGePoint2d e_{1, 0};
};

class OdGeRay2d : public OdGeLinearEnt2d {
public:
    OdGeRay2d() { boundedStart_ = true; }
    OdGeRay2d(const OdGePoint2d& start, const OdGePoint2d& through) { set(start, through); }
    OdGeRay2d(const OdGePoint2d& start, const OdGeVector2d& dir);
    OdGeRay2d& set(const OdGePoint2d& start, const OdGePoint2d& through);
    OdGe::EntityId type() const override { return OdGe::kRay2d; }
    OdGeCurve2d* copy() const override { return new OdGeRay2d(*this); }
};

class OdGeLine2d : public OdGeLinearEnt2d {
public:
    OdGeLine2d() = default;
    OdGeLine2d(const OdGePoint2d& p, const OdGeVector2d& dir) { p_ = p; d_ = dir; }
    OdGe::EntityId type() const override { return OdGe::kLine2d; }
    OdGeCurve2d* copy() const override { return new OdGeLine2d(*this); }
};

// Circular arc: angles from the reference vector, counter-clockwise unless
// the arc is clockwise; the parameter is the angle.
class OdGeCircArc2d : public OdGeCurve2d {
public:
    OdGeCircArc2d() = default;
    OdGeCircArc2d(const OdGePoint2d& center, double radius, double startAng = 0.0,
                  double endAng = 2 * M_PI, const OdGeVector2d& refVec = OdGeVector2d::kXAxis,
                  bool isClockWise = false);
    // The arc from start through point to end (its centre is NaN when the
    // three points are collinear).
    OdGeCircArc2d(const OdGePoint2d& start, const OdGePoint2d& point, const OdGePoint2d& end);
    OdGeCircArc2d& set(const OdGePoint2d& center, double radius, double startAng, double endAng,
                       const OdGeVector2d& refVec = OdGeVector2d::kXAxis, bool isClockWise = false);
    OdGe::EntityId type() const override { return OdGe::kCircArc2d; }
    OdGeCurve2d* copy() const override { return new OdGeCircArc2d(*this); }
    OdGePoint2d center() const { return c_; }
    double radius() const { return r_; }
    double startAng() const { return a0_; }
    double endAng() const { return a1_; }
    bool isClockWise() const { return cw_; }
    OdGeVector2d refVec() const { return ref_; }
    double startParam() const override { return a0_; }
    double endParam() const override { return a1_; }
    OdGePoint2d evalPoint(double a) const override;
    // Whether the point at that angle from the reference vector is on the arc.
    bool containsAngle(double a, double tol) const;
    bool intersectWith(const OdGeLinearEnt2d& line, int& numInt, OdGePoint2d& p1, OdGePoint2d& p2,
                       const OdGeTol& tol = OdGeContext::gTol) const;
    void transformBy(const OdGeMatrix3d& m) override;
    OdGeCurve2d& reverseParam() override;

private:
    OdGePoint2d c_;
    double r_ = 1;
    double a0_ = 0, a1_ = 2 * M_PI;
    OdGeVector2d ref_{1, 0};
    bool cw_ = false;
};

// Elliptical arc; the parameter is the ellipse's angle parameter.
class OdGeEllipArc2d : public OdGeCurve2d {
public:
    OdGeEllipArc2d() = default;
    OdGeEllipArc2d(const OdGePoint2d& center, const OdGeVector2d& majorAxis, const OdGeVector2d& minorAxis,
                   double majorRadius, double minorRadius, double startAng = 0.0, double endAng = 2 * M_PI);
    OdGe::EntityId type() const override { return OdGe::kEllipArc2d; }
    OdGeCurve2d* copy() const override { return new OdGeEllipArc2d(*this); }
    OdGePoint2d center() const { return c_; }
    OdGeVector2d majorAxis() const { return maj_; }
    OdGeVector2d minorAxis() const { return min_; }
    double majorRadius() const { return ra_; }
    double minorRadius() const { return rb_; }
    double startAng() const { return a0_; }
    double endAng() const { return a1_; }
    double startParam() const override { return a0_; }
    double endParam() const override { return a1_; }
    OdGePoint2d evalPoint(double t) const override;
    void transformBy(const OdGeMatrix3d& m) override;
    OdGeCurve2d& reverseParam() override;
    // The major axis (with its length) and the ratio of the radii it was
    // made from: dividing and multiplying back would round them anew.
    // Kept while its axes and radii are still the ones they gave.
    void setGivenAxis(const OdGeVector2d& majorAxis, double ratio);
    bool givenAxis(OdGeVector2d& majorAxis, double& ratio) const;

private:
    OdGePoint2d c_;
    OdGeVector2d maj_{1, 0}, min_{0, 1};
    double ra_ = 1, rb_ = 1;
    double a0_ = 0, a1_ = 2 * M_PI;
    struct Given {
        bool set = false;
        OdGeVector2d axis, unit;
        double ratio = 1, ra = 1, rb = 1;
    } given_;
};

// Non-rational or rational B-spline in the plane.
class OdGeSplineEnt2d : public OdGeCurve2d {
public:
    OdGe::EntityId type() const override { return OdGe::kNurbCurve2d; }
    int degree() const { return degree_; }
    int order() const { return degree_ + 1; }
    int numControlPoints() const { return ctrl_.length(); }
    OdGePoint2d controlPointAt(int i) const { return ctrl_[i]; }
    int numKnots() const { return knots_.length(); }
    double knotAt(int i) const { return knots_[i]; }
    bool isRational() const { return !weights_.isEmpty(); }
    double weightAt(int i) const { return weights_[i]; }
    double startParam() const override;
    double endParam() const override;
    OdGePoint2d evalPoint(double t) const override;
    void transformBy(const OdGeMatrix3d& m) override;
    OdGeCurve2d& reverseParam() override;

protected:
    int degree_ = 1;
    OdGePoint2dArray ctrl_;
    OdGeDoubleArray knots_;
    OdGeDoubleArray weights_;
};

class OdGeNurbCurve2d : public OdGeSplineEnt2d {
public:
    OdGeNurbCurve2d() = default;
    OdGeNurbCurve2d(int degree, const OdGeDoubleArray& knots, const OdGePoint2dArray& controlPoints,
                    bool isPeriodic = false);
    OdGeNurbCurve2d(int degree, const OdGeDoubleArray& knots, const OdGePoint2dArray& controlPoints,
                    const OdGeDoubleArray& weights, bool isPeriodic = false);
    OdGeCurve2d* copy() const override { return new OdGeNurbCurve2d(*this); }
};

// B-spline evaluation shared by the plane and space splines: de Boor's
// algorithm on homogeneous points of `dim` coordinates (weights applied).
bool OdGeEvalBSpline(int degree, const OdGeDoubleArray& knots, const double* ctrl, int numCtrl, int dim,
                     const OdGeDoubleArray& weights, double t, double* out);
// The knot vector fits the degree and the control points.
bool OdGeIsValidBSpline(int degree, const OdGeDoubleArray& knots, int numCtrl, const OdGeDoubleArray& weights);
