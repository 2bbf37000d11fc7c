#include "odgegeometry.h"

#include <algorithm>
#include <cstring>
#include <limits>

OdGeTol OdGeContext::gTol(1e-10);

void OdGePlaneAxes(const OdGeVector3d& n, OdGeVector3d& x, OdGeVector3d& y)
{
    OdGeVector3d nn = n.isZeroLength() ? OdGeVector3d(0, 0, 1) : n.normal();
    if (std::fabs(nn.x) < 1.0 / 64 && std::fabs(nn.y) < 1.0 / 64) x = OdGeVector3d(0, 1, 0).crossProduct(nn).normal();
    else x = OdGeVector3d(0, 0, 1).crossProduct(nn).normal();
    y = nn.crossProduct(x).normal();
}

unsigned long& OdGeMovedOverflows()
{
    static thread_local unsigned long overflows = 0;
    return overflows;
}

thread_local OdGeMoveJournal* g_odgeMoveJournal = nullptr;

double OdGeMoveJournal::moved(double x, double by)
{
    if (!back) {
        kept->push_back(x);
        return OdGeMovedBy(x, by);
    }
    if (next < back->size()) return (*back)[next++];
    overrun = true;
    return x;
}

double OdGeNormalizeAngle(double a)
{
    a = std::fmod(a, 2 * M_PI);
    if (a < 0) a += 2 * M_PI;
    if (a >= 2 * M_PI) a -= 2 * M_PI;
    return a;
}

const OdGeVector2d OdGeVector2d::kXAxis(1, 0);
const OdGeVector2d OdGeVector2d::kYAxis(0, 1);
const OdGePoint2d OdGePoint2d::kOrigin(0, 0);
const OdGeVector3d OdGeVector3d::kXAxis(1, 0, 0);
const OdGeVector3d OdGeVector3d::kYAxis(0, 1, 0);
const OdGeVector3d OdGeVector3d::kZAxis(0, 0, 1);
const OdGeVector3d OdGeVector3d::kIdentity(1, 1, 1);
const OdGePoint3d OdGePoint3d::kOrigin(0, 0, 0);
const OdGeMatrix3d OdGeMatrix3d::kIdentity;

namespace {
const double kTwoPi = 2 * M_PI;


OdGePoint2d Apply2d(const OdGeMatrix3d& m, const OdGePoint2d& p)
{
    OdGePoint3d q(p.x, p.y, 0);
    q.transformBy(m);
    return {q.x, q.y};
}

OdGeVector2d Apply2d(const OdGeMatrix3d& m, const OdGeVector2d& v)
{
    if (m.isTranslation()) return v;
    return {m.entry[0][0] * v.x + m.entry[0][1] * v.y, m.entry[1][0] * v.x + m.entry[1][1] * v.y};
}
}  // namespace

double OdGeVector2d::angle() const { return OdGeNormalizeAngle(std::atan2(y, x)); }

OdGeVector2d& OdGeVector2d::rotateBy(double a)
{
    double c = std::cos(a), s = std::sin(a);
    *this = {x * c - y * s, x * s + y * c};
    return *this;
}

OdGeVector2d OdGeVector2d::normal() const
{
    double l = length();
    return l > 0 ? *this / l : *this;
}

OdGeVector3d OdGeVector3d::normal() const
{
    double l = length();
    return l > 0 ? *this / l : *this;
}

OdGeVector3d& OdGeVector3d::transformBy(const OdGeMatrix3d& m)
{
    if (m.isTranslation()) return *this;
    const auto& e = m.entry;
    *this = {e[0][0] * x + e[0][1] * y + e[0][2] * z, e[1][0] * x + e[1][1] * y + e[1][2] * z,
             e[2][0] * x + e[2][1] * y + e[2][2] * z};
    return *this;
}

OdGeVector3d& OdGeVector3d::rotateBy(double a, const OdGeVector3d& axis)
{
    return transformBy(OdGeMatrix3d::rotation(a, axis));
}

OdGePoint3d& OdGePoint3d::transformBy(const OdGeMatrix3d& m)
{
    const auto& e = m.entry;
    // A move only adds: the identity's zeros times an infinite coordinate
    // would make the others NaN.
    if (m.isTranslation()) {
        *this = {OdGeMoved(x, e[0][3]), OdGeMoved(y, e[1][3]), OdGeMoved(z, e[2][3])};
        return *this;
    }
    *this = {e[0][0] * x + e[0][1] * y + e[0][2] * z + e[0][3], e[1][0] * x + e[1][1] * y + e[1][2] * z + e[1][3],
             e[2][0] * x + e[2][1] * y + e[2][2] * z + e[2][3]};
    return *this;
}

OdGeMatrix3d::OdGeMatrix3d() { setToIdentity(); }

OdGeMatrix3d& OdGeMatrix3d::setToIdentity()
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) entry[i][j] = i == j ? 1.0 : 0.0;
    return *this;
}

OdGeMatrix3d& OdGeMatrix3d::setToTranslation(const OdGeVector3d& v)
{
    setToIdentity();
    entry[0][3] = v.x;
    entry[1][3] = v.y;
    entry[2][3] = v.z;
    return *this;
}

OdGeMatrix3d& OdGeMatrix3d::setToRotation(double a, const OdGeVector3d& axis, const OdGePoint3d& c)
{
    setToIdentity();
    OdGeVector3d u = axis.normal();
    double cs = std::cos(a), sn = std::sin(a), t = 1 - cs;
    double r[3][3] = {{t * u.x * u.x + cs, t * u.x * u.y - sn * u.z, t * u.x * u.z + sn * u.y},
                      {t * u.x * u.y + sn * u.z, t * u.y * u.y + cs, t * u.y * u.z - sn * u.x},
                      {t * u.x * u.z - sn * u.y, t * u.y * u.z + sn * u.x, t * u.z * u.z + cs}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) entry[i][j] = r[i][j];
        entry[i][3] = (i == 0 ? c.x : i == 1 ? c.y : c.z) - (r[i][0] * c.x + r[i][1] * c.y + r[i][2] * c.z);
    }
    return *this;
}

OdGeMatrix3d& OdGeMatrix3d::setToScaling(double f, const OdGePoint3d& c)
{
    return setToScaling(OdGeScale3d(f), c);
}

OdGeMatrix3d& OdGeMatrix3d::setToScaling(const OdGeScale3d& s, const OdGePoint3d& c)
{
    setToIdentity();
    entry[0][0] = s.sx;
    entry[1][1] = s.sy;
    entry[2][2] = s.sz;
    entry[0][3] = c.x * (1 - s.sx);
    entry[1][3] = c.y * (1 - s.sy);
    entry[2][3] = c.z * (1 - s.sz);
    return *this;
}

OdGeMatrix3d OdGeMatrix3d::operator*(const OdGeMatrix3d& m) const
{
    OdGeMatrix3d r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += entry[i][k] * m.entry[k][j];
            r.entry[i][j] = s;
        }
    return r;
}

double OdGeMatrix3d::det() const
{
    const auto& e = entry;
    return e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) - e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
           e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
}

double OdGeMatrix3d::scale() const
{
    OdGeVector3d x(1, 0, 0);
    return x.transformBy(*this).length();
}

bool OdGeMatrix3d::isTranslation(OdGeVector3d* by) const
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (entry[i][j] != (i == j ? 1.0 : 0.0)) return false;
    if (entry[3][3] != 1.0) return false;
    if (by) by->set(entry[0][3], entry[1][3], entry[2][3]);
    return true;
}

// The tolerance is the stand-in's own, relative to the scale.
bool OdGeMatrix3d::isUniScaledOrtho(const OdGeTol& /*tol*/) const
{
    OdGeVector3d a(1, 0, 0), b(0, 1, 0), c(0, 0, 1);
    a.transformBy(*this);
    b.transformBy(*this);
    c.transformBy(*this);
    double s = a.length();
    double t = 1e-9 * std::max(1.0, s);
    return std::fabs(b.length() - s) <= t && std::fabs(c.length() - s) <= t && std::fabs(a.dotProduct(b)) <= t * s &&
           std::fabs(a.dotProduct(c)) <= t * s && std::fabs(b.dotProduct(c)) <= t * s;
}

OdGeExtents3d& OdGeExtents3d::addPoint(const OdGePoint3d& p)
{
    min_.set(std::min(min_.x, p.x), std::min(min_.y, p.y), std::min(min_.z, p.z));
    max_.set(std::max(max_.x, p.x), std::max(max_.y, p.y), std::max(max_.z, p.z));
    return *this;
}

OdGeExtents3d& OdGeExtents3d::addExt(const OdGeExtents3d& e)
{
    if (e.isValidExtents()) {
        addPoint(e.min_);
        addPoint(e.max_);
    }
    return *this;
}

OdGeExtents3d& OdGeExtents3d::transformBy(const OdGeMatrix3d& m)
{
    if (!isValidExtents()) return *this;
    OdGeExtents3d r;
    for (int i = 0; i < 8; ++i) {
        OdGePoint3d p(i & 1 ? max_.x : min_.x, i & 2 ? max_.y : min_.y, i & 4 ? max_.z : min_.z);
        r.addPoint(p.transformBy(m));
    }
    return *this = r;
}

void OdGeCurve2d::getSamplePoints(int numSample, OdGePoint2dArray& points) const
{
    points.clear();
    if (numSample <= 0) return;
    double t0 = startParam(), t1 = endParam();
    if (numSample == 1) {
        points.append(evalPoint(t0));
        return;
    }
    for (int i = 0; i < numSample; ++i) {
        double t = i == numSample - 1 ? t1 : t0 + (t1 - t0) * i / (numSample - 1);
        points.append(evalPoint(t));
    }
}

double OdGeLinearEnt2d::startParam() const
{
    return boundedStart_ ? 0.0 : -std::numeric_limits<double>::infinity();
}

double OdGeLinearEnt2d::endParam() const
{
    return boundedEnd_ ? 1.0 : std::numeric_limits<double>::infinity();
}

double OdGeLinearEnt2d::paramOf(const OdGePoint2d& p) const
{
    double l2 = d_.dotProduct(d_);
    return l2 > 0 ? (p - p_).dotProduct(d_) / l2 : 0.0;
}

bool OdGeLinearEnt2d::containsParam(double t, const OdGeTol& tol) const
{
    double len = d_.length();
    double pt = len > 0 ? tol.equalPoint() / len : 0;
    if (boundedStart_ && t < -pt) return false;
    if (boundedEnd_ && t > 1 + pt) return false;
    return true;
}

bool OdGeLinearEnt2d::intersectWith(const OdGeLinearEnt2d& o, OdGePoint2d& point, const OdGeTol& tol) const
{
    double den = d_.crossProduct(o.d_);
    if (std::fabs(den) <= 1e-14 * d_.length() * o.d_.length()) return false;
    OdGeVector2d w = o.p_ - p_;
    double t = w.crossProduct(o.d_) / den;
    double u = w.crossProduct(d_) / den;
    if (!containsParam(t, tol) || !o.containsParam(u, tol)) return false;
    point = evalPoint(t);
    return true;
}

void OdGeLinearEnt2d::transformBy(const OdGeMatrix3d& m)
{
    p_ = Apply2d(m, p_);
    d_ = Apply2d(m, d_);
}

OdGeCurve2d& OdGeLinearEnt2d::reverseParam()
{
    p_ = p_ + d_;
    d_ = -d_;
    std::swap(boundedStart_, boundedEnd_);
    return *this;
}

OdGeLineSeg2d& OdGeLineSeg2d::set(const OdGePoint2d& s, const OdGePoint2d& e)
{
    p_ = s;
    e_ = e;
    d_ = e - s;
    boundedStart_ = boundedEnd_ = true;
    return *this;
}

void OdGeLineSeg2d::transformBy(const OdGeMatrix3d& m)
{
    p_ = Apply2d(m, p_);
    e_ = Apply2d(m, e_);
    d_ = e_ - p_;
}

OdGeCurve2d& OdGeLineSeg2d::reverseParam()
{
    std::swap(p_, e_);
    d_ = -d_;
    return *this;
}

OdGeRay2d::OdGeRay2d(const OdGePoint2d& start, const OdGeVector2d& dir)
{
    p_ = start;
    d_ = dir;
    boundedStart_ = true;
}

OdGeRay2d& OdGeRay2d::set(const OdGePoint2d& start, const OdGePoint2d& through)
{
    p_ = start;
    d_ = through - start;
    boundedStart_ = true;
    boundedEnd_ = false;
    return *this;
}

OdGeCircArc2d::OdGeCircArc2d(const OdGePoint2d& center, double radius, double startAng, double endAng,
                             const OdGeVector2d& refVec, bool isClockWise)
{
    set(center, radius, startAng, endAng, refVec, isClockWise);
}

OdGeCircArc2d::OdGeCircArc2d(const OdGePoint2d& s, const OdGePoint2d& m, const OdGePoint2d& e)
{
    double d = 2 * (s.x * (m.y - e.y) + m.x * (e.y - s.y) + e.x * (s.y - m.y));
    if (std::fabs(d) < 1e-300) {
        c_.set(NAN, NAN);
        r_ = NAN;
        return;
    }
    double s2 = s.x * s.x + s.y * s.y, m2 = m.x * m.x + m.y * m.y, e2 = e.x * e.x + e.y * e.y;
    c_.set((s2 * (m.y - e.y) + m2 * (e.y - s.y) + e2 * (s.y - m.y)) / d,
           (s2 * (e.x - m.x) + m2 * (s.x - e.x) + e2 * (m.x - s.x)) / d);
    r_ = c_.distanceTo(s);
    // Clockwise when the path start -> point -> end turns right.
    cw_ = (m - s).crossProduct(e - m) < 0;
    double as = (s - c_).angle(), ae = (e - c_).angle();
    if (!cw_) {
        a0_ = as;
        a1_ = ae < as ? ae + kTwoPi : ae;
    } else {
        // Measured clockwise from the reference vector.
        a0_ = OdGeNormalizeAngle(-as);
        a1_ = OdGeNormalizeAngle(-ae);
        if (a1_ < a0_) a1_ += kTwoPi;
    }
}

OdGeCircArc2d& OdGeCircArc2d::set(const OdGePoint2d& center, double radius, double startAng, double endAng,
                                  const OdGeVector2d& refVec, bool isClockWise)
{
    c_ = center;
    r_ = radius;
    a0_ = startAng;
    a1_ = endAng;
    ref_ = refVec.normal();
    cw_ = isClockWise;
    return *this;
}

OdGePoint2d OdGeCircArc2d::evalPoint(double a) const
{
    double base = ref_.angle();
    double phi = cw_ ? base - a : base + a;
    return {c_.x + r_ * std::cos(phi), c_.y + r_ * std::sin(phi)};
}

bool OdGeCircArc2d::containsAngle(double a, double tol) const
{
    double sweep = a1_ - a0_;
    if (sweep >= kTwoPi - tol) return true;
    double rel = OdGeNormalizeAngle(a - a0_);
    return rel <= sweep + tol || rel >= kTwoPi - tol;
}

bool OdGeCircArc2d::intersectWith(const OdGeLinearEnt2d& line, int& numInt, OdGePoint2d& p1, OdGePoint2d& p2,
                                  const OdGeTol& tol) const
{
    numInt = 0;
    OdGeVector2d d = line.direction();
    OdGeVector2d w = line.pointOnLine() - c_;
    double a = d.dotProduct(d), b = 2 * w.dotProduct(d), c = w.dotProduct(w) - r_ * r_;
    if (a <= 0) return false;
    double disc = b * b - 4 * a * c;
    double tt = tol.equalPoint();
    if (disc < 0) {
        // Tangent within tolerance.
        double t = -b / (2 * a);
        if (std::fabs(line.evalPoint(t).distanceTo(c_) - r_) > tt) return false;
        disc = 0;
    }
    double sq = std::sqrt(disc);
    double ts[2] = {(-b - sq) / (2 * a), (-b + sq) / (2 * a)};
    int n = disc == 0 ? 1 : 2;
    double angTol = r_ > 0 ? tt / r_ : 0;
    double base = ref_.angle();
    for (int i = 0; i < n; ++i) {
        if (!line.containsParam(ts[i], tol)) continue;
        OdGePoint2d p = line.evalPoint(ts[i]);
        double phi = (p - c_).angle();
        double a2 = cw_ ? base - phi : phi - base;
        if (!containsAngle(OdGeNormalizeAngle(a2), angTol)) continue;
        (numInt == 0 ? p1 : p2) = p;
        ++numInt;
    }
    return numInt > 0;
}

// The same points the other way round: the sense flips and the old end
// angle, measured the new way, becomes the start.
OdGeCurve2d& OdGeCircArc2d::reverseParam()
{
    double sweep = a1_ - a0_;
    cw_ = !cw_;
    a0_ = OdGeNormalizeAngle(-a1_);
    a1_ = a0_ + sweep;
    return *this;
}

void OdGeCircArc2d::transformBy(const OdGeMatrix3d& m)
{
    c_ = Apply2d(m, c_);
    if (m.isTranslation()) return;
    OdGeVector2d x = Apply2d(m, OdGeVector2d(1, 0));
    r_ *= x.length();
    double det = m.entry[0][0] * m.entry[1][1] - m.entry[0][1] * m.entry[1][0];
    ref_ = Apply2d(m, ref_).normal();
    if (det < 0) cw_ = !cw_;
}

OdGeEllipArc2d::OdGeEllipArc2d(const OdGePoint2d& center, const OdGeVector2d& majorAxis,
                               const OdGeVector2d& minorAxis, double majorRadius, double minorRadius,
                               double startAng, double endAng)
    : c_(center), maj_(majorAxis.normal()), min_(minorAxis.normal()), ra_(majorRadius), rb_(minorRadius),
      a0_(startAng), a1_(endAng)
{
}

OdGePoint2d OdGeEllipArc2d::evalPoint(double t) const
{
    return c_ + maj_ * (ra_ * std::cos(t)) + min_ * (rb_ * std::sin(t));
}

// With the minor axis turned round, parameter -t is the old point at t.
OdGeCurve2d& OdGeEllipArc2d::reverseParam()
{
    double sweep = a1_ - a0_;
    min_ = -min_;
    a0_ = OdGeNormalizeAngle(-a1_);
    a1_ = a0_ + sweep;
    return *this;
}

void OdGeEllipArc2d::setGivenAxis(const OdGeVector2d& majorAxis, double ratio)
{
    given_ = {true, majorAxis, maj_, ratio, ra_, rb_};
}

bool OdGeEllipArc2d::givenAxis(OdGeVector2d& majorAxis, double& ratio) const
{
    if (!given_.set || given_.unit.x != maj_.x || given_.unit.y != maj_.y || given_.ra != ra_ || given_.rb != rb_)
        return false;
    majorAxis = given_.axis;
    ratio = given_.ratio;
    return true;
}

void OdGeEllipArc2d::transformBy(const OdGeMatrix3d& m)
{
    c_ = Apply2d(m, c_);
    if (m.isTranslation()) return;
    OdGeVector2d a = Apply2d(m, maj_ * ra_), b = Apply2d(m, min_ * rb_);
    ra_ = a.length();
    rb_ = b.length();
    maj_ = a.normal();
    min_ = b.normal();
}

bool OdGeIsValidBSpline(int degree, const OdGeDoubleArray& knots, int numCtrl, const OdGeDoubleArray& weights)
{
    if (degree < 1 || numCtrl < degree + 1) return false;
    if (knots.length() != numCtrl + degree + 1) return false;
    for (int i = 1; i < knots.length(); ++i)
        if (knots[i] < knots[i - 1]) return false;
    if (!(knots[degree] < knots[numCtrl])) return false;
    if (!weights.isEmpty() && weights.length() != numCtrl) return false;
    for (double w : weights)
        if (!(w > 0)) return false;
    return true;
}

bool OdGeEvalBSpline(int p, const OdGeDoubleArray& U, const double* ctrl, int n, int dim,
                     const OdGeDoubleArray& W, double t, double* out)
{
    if (!OdGeIsValidBSpline(p, U, n, W)) return false;
    t = std::min(std::max(t, U[p]), U[n]);
    int k = p;
    while (k < n - 1 && !(t < U[k + 1])) ++k;
    std::vector<double> d((size_t)(p + 1) * (dim + 1));
    for (int j = 0; j <= p; ++j) {
        int i = k - p + j;
        double w = W.isEmpty() ? 1.0 : W[i];
        for (int c = 0; c < dim; ++c) d[(size_t)j * (dim + 1) + c] = ctrl[(size_t)i * dim + c] * w;
        d[(size_t)j * (dim + 1) + dim] = w;
    }
    for (int r = 1; r <= p; ++r)
        for (int j = p; j >= r; --j) {
            int i = k - p + j;
            double den = U[i + p - r + 1] - U[i];
            double a = den > 0 ? (t - U[i]) / den : 0.0;
            for (int c = 0; c <= dim; ++c)
                d[(size_t)j * (dim + 1) + c] =
                    (1 - a) * d[(size_t)(j - 1) * (dim + 1) + c] + a * d[(size_t)j * (dim + 1) + c];
        }
    double w = d[(size_t)p * (dim + 1) + dim];
    for (int c = 0; c < dim; ++c) out[c] = d[(size_t)p * (dim + 1) + c] / w;
    return true;
}

double OdGeSplineEnt2d::startParam() const { return knots_.isEmpty() ? 0.0 : knots_[std::min(degree_, knots_.length() - 1)]; }

double OdGeSplineEnt2d::endParam() const
{
    int n = ctrl_.length();
    return n < knots_.length() ? knots_[n] : startParam();
}

OdGePoint2d OdGeSplineEnt2d::evalPoint(double t) const
{
    std::vector<double> c;
    for (const auto& p : ctrl_) {
        c.push_back(p.x);
        c.push_back(p.y);
    }
    double out[2] = {0, 0};
    if (!OdGeEvalBSpline(degree_, knots_, c.data(), ctrl_.length(), 2, weights_, t, out))
        return ctrl_.isEmpty() ? OdGePoint2d() : ctrl_[0];
    return {out[0], out[1]};
}

void OdGeSplineEnt2d::transformBy(const OdGeMatrix3d& m)
{
    for (auto& p : ctrl_) p = Apply2d(m, p);
}

// Control points and weights in reverse order, knots mirrored in their span.
OdGeCurve2d& OdGeSplineEnt2d::reverseParam()
{
    ctrl_.reverse();
    weights_.reverse();
    if (!knots_.isEmpty()) {
        double span = knots_.first() + knots_.last();
        knots_.reverse();
        for (auto& k : knots_) k = span - k;
    }
    return *this;
}

OdGeNurbCurve2d::OdGeNurbCurve2d(int degree, const OdGeDoubleArray& knots, const OdGePoint2dArray& controlPoints,
                                 bool)
{
    degree_ = degree;
    knots_ = knots;
    ctrl_ = controlPoints;
}

OdGeNurbCurve2d::OdGeNurbCurve2d(int degree, const OdGeDoubleArray& knots, const OdGePoint2dArray& controlPoints,
                                 const OdGeDoubleArray& weights, bool)
{
    degree_ = degree;
    knots_ = knots;
    ctrl_ = controlPoints;
    weights_ = weights;
}
