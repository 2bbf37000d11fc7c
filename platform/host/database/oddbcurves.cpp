#include "oddbcurves.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "points_extents.h"

ODRX_DEFINE_MEMBERS(OdDbPoint, OdDbEntity, L"AcDbPoint")
ODRX_DEFINE_MEMBERS(OdDbLine, OdDbCurve, L"AcDbLine")
ODRX_DEFINE_MEMBERS(OdDbCircle, OdDbCurve, L"AcDbCircle")
ODRX_DEFINE_MEMBERS(OdDbArc, OdDbCurve, L"AcDbArc")
ODRX_DEFINE_MEMBERS(OdDbEllipse, OdDbCurve, L"AcDbEllipse")
ODRX_DEFINE_MEMBERS(OdDbPolyline, OdDbCurve, L"AcDbPolyline")
ODRX_DEFINE_MEMBERS(OdDb2dPolyline, OdDbCurve, L"AcDb2dPolyline")
ODRX_DEFINE_MEMBERS(OdDb3dPolyline, OdDbCurve, L"AcDb3dPolyline")
ODRX_DEFINE_MEMBERS(OdDbSpline, OdDbCurve, L"AcDbSpline")

namespace {
const double kTwoPi = 2 * M_PI;

// The angle of a vector in the plane of that normal.
double PlaneAngle(const OdGeVector3d& v, const OdGeVector3d& n)
{
    OdGeVector3d x, y;
    OdGePlaneAxes(n, x, y);
    return OdGeNormalizeAngle(std::atan2(v.dotProduct(y), v.dotProduct(x)));
}

// Whether the counter-clockwise sweep from a0 over `sweep` contains a.
bool SweepContains(double a0, double sweep, double a)
{
    return OdGeNormalizeAngle(a - a0) <= sweep + 1e-12;
}

void AddArcExtents(OdGeExtents3d& ext, const OdGePoint3d& c, const OdGeVector3d& n, double r, double a0,
                   double sweep)
{
    OdGeVector3d x, y;
    OdGePlaneAxes(n, x, y);
    auto at = [&](double a) { return c + x * (r * std::cos(a)) + y * (r * std::sin(a)); };
    ext.addPoint(at(a0));
    ext.addPoint(at(a0 + sweep));
    // Extremes of each world coordinate along the circle.
    const OdGeVector3d axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& w : axes) {
        double ext0 = std::atan2(y.dotProduct(w), x.dotProduct(w));
        for (double a : {ext0, ext0 + M_PI})
            if (SweepContains(a0, sweep, a)) ext.addPoint(at(a));
    }
}

bool IsMirror(const OdGeMatrix3d& m) { return m.det() < 0; }
}  // namespace

// ---- point ----

OdResult OdDbPoint::setPosition(const OdGePoint3d& p)
{
    OD_SET(pos_, p);
}

OdResult OdDbPoint::setThickness(double t) { OD_SET(thickness_, t); }
OdResult OdDbPoint::setEcsRotation(double a) { OD_SET(rotation_, a); }

OdResult OdDbPoint::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdResult OdDbPoint::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d(pos_, pos_);
    return eOk;
}

OdResult OdDbPoint::subTransformBy(const OdGeMatrix3d& m)
{
    pos_.transformBy(m);
    if (m.isTranslation()) return eOk;
    normal_.transformBy(m);
    normal_ = normal_.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal_.normal();
    return eOk;
}

// ---- line ----

OdResult OdDbLine::setStartPoint(const OdGePoint3d& p)
{
    OD_SET(s_, p);
}

OdResult OdDbLine::setEndPoint(const OdGePoint3d& p)
{
    OD_SET(e_, p);
}

OdResult OdDbLine::setThickness(double t) { OD_SET(thickness_, t); }

OdResult OdDbLine::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdResult OdDbLine::getPointAtParam(double t, OdGePoint3d& p) const
{
    double len = s_.distanceTo(e_);
    if (t < -1e-9 || t > len + 1e-9) return eInvalidInput;
    p = len > 0 ? s_ + (e_ - s_) * (t / len) : s_;
    return eOk;
}

OdResult OdDbLine::getDistAtParam(double t, double& d) const
{
    d = t;
    return eOk;
}

OdResult OdDbLine::getParamAtDist(double d, double& t) const
{
    if (d < -1e-9 || d > s_.distanceTo(e_) + 1e-9) return eInvalidInput;
    t = d;
    return eOk;
}

OdResult OdDbLine::getClosestPointTo(const OdGePoint3d& g, OdGePoint3d& p, bool extend) const
{
    OdGeVector3d d = e_ - s_;
    double l2 = d.dotProduct(d);
    double u = l2 > 0 ? (g - s_).dotProduct(d) / l2 : 0;
    if (!extend) u = std::min(1.0, std::max(0.0, u));
    p = s_ + d * u;
    return eOk;
}

OdResult OdDbLine::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    ext.addPoint(s_).addPoint(e_);
    return eOk;
}

OdResult OdDbLine::subTransformBy(const OdGeMatrix3d& m)
{
    s_.transformBy(m);
    e_.transformBy(m);
    if (m.isTranslation()) return eOk;
    normal_.transformBy(m);
    normal_ = normal_.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal_.normal();
    return eOk;
}

// ---- circle ----

OdResult OdDbCircle::setCenter(const OdGePoint3d& c)
{
    OD_SET(c_, c);
}

OdResult OdDbCircle::setRadius(double r)
{
    if (!(r > 0)) return eInvalidInput;
    OD_SET(r_, r);
}

OdResult OdDbCircle::setThickness(double t) { OD_SET(thickness_, t); }
OdResult OdDbArc::setThickness(double t) { OD_SET(thickness_, t); }

OdResult OdDbCircle::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(n_, n.normal());
}

OdResult OdDbCircle::getPointAtParam(double t, OdGePoint3d& p) const
{
    OdGeVector3d x, y;
    OdGePlaneAxes(n_, x, y);
    p = c_ + x * (r_ * std::cos(t)) + y * (r_ * std::sin(t));
    return eOk;
}

OdResult OdDbCircle::getParamAtDist(double d, double& t) const
{
    if (r_ <= 0 || d < -1e-9 || d > kTwoPi * r_ + 1e-9) return eInvalidInput;
    t = d / r_;
    return eOk;
}

OdResult OdDbCircle::getClosestPointTo(const OdGePoint3d& g, OdGePoint3d& p, bool) const
{
    return getPointAtParam(PlaneAngle(g - c_, n_), p);
}

OdResult OdDbCircle::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    AddArcExtents(ext, c_, n_, r_, 0, kTwoPi);
    return eOk;
}

OdResult OdDbCircle::subTransformBy(const OdGeMatrix3d& m)
{
    if (!m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    c_.transformBy(m);
    if (m.isTranslation()) return eOk;
    r_ *= m.scale();
    n_.transformBy(m).normalize();
    return eOk;
}

// ---- arc ----

OdDbArc::OdDbArc(const OdGePoint3d& c, double r, double a0, double a1)
    : c_(c), r_(r), a0_(OdGeNormalizeAngle(a0)), a1_(OdGeNormalizeAngle(a1))
{
}

OdDbArc::OdDbArc(const OdGePoint3d& c, const OdGeVector3d& n, double r, double a0, double a1)
    : c_(c), n_(n.normal()), r_(r), a0_(OdGeNormalizeAngle(a0)), a1_(OdGeNormalizeAngle(a1))
{
}

OdResult OdDbArc::setCenter(const OdGePoint3d& c)
{
    OD_SET(c_, c);
}

OdResult OdDbArc::setRadius(double r)
{
    if (!(r > 0)) return eInvalidInput;
    OD_SET(r_, r);
}

OdResult OdDbArc::setStartAngle(double a)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    a0_ = OdGeNormalizeAngle(a);
    return eOk;
}

OdResult OdDbArc::setEndAngle(double a)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    a1_ = OdGeNormalizeAngle(a);
    return eOk;
}

OdResult OdDbArc::getPointAtParam(double t, OdGePoint3d& p) const
{
    OdGeVector3d x, y;
    OdGePlaneAxes(n_, x, y);
    p = c_ + x * (r_ * std::cos(t)) + y * (r_ * std::sin(t));
    return eOk;
}

OdResult OdDbArc::getDistAtParam(double t, double& d) const
{
    double t1;
    getEndParam(t1);
    if (t < a0_ - 1e-9 || t > t1 + 1e-9) return eInvalidInput;
    d = (t - a0_) * r_;
    return eOk;
}

OdResult OdDbArc::getParamAtDist(double d, double& t) const
{
    double t1;
    getEndParam(t1);
    if (r_ <= 0 || d < -1e-9 || d > (t1 - a0_) * r_ + 1e-9) return eInvalidInput;
    t = a0_ + d / r_;
    return eOk;
}

OdResult OdDbArc::getClosestPointTo(const OdGePoint3d& g, OdGePoint3d& p, bool extend) const
{
    double a = PlaneAngle(g - c_, n_);
    double t1;
    getEndParam(t1);
    if (extend || SweepContains(a0_, t1 - a0_, a)) return getPointAtParam(a, p);
    OdGePoint3d s, e;
    getPointAtParam(a0_, s);
    getPointAtParam(t1, e);
    p = s.distanceTo(g) <= e.distanceTo(g) ? s : e;
    return eOk;
}

OdResult OdDbArc::getGeomExtents(OdGeExtents3d& ext) const
{
    double t1;
    getEndParam(t1);
    ext = OdGeExtents3d();
    AddArcExtents(ext, c_, n_, r_, a0_, t1 - a0_);
    return eOk;
}

OdResult OdDbArc::subTransformBy(const OdGeMatrix3d& m)
{
    if (m.isTranslation()) {
        c_.transformBy(m);
        return eOk;
    }
    if (!m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    OdGePoint3d s, e;
    getStartPoint(s);
    getEndPoint(e);
    c_.transformBy(m);
    s.transformBy(m);
    e.transformBy(m);
    r_ *= m.scale();
    n_.transformBy(m).normalize();
    // Mirrored, the arc runs from the image of its end to that of its start.
    if (IsMirror(m)) std::swap(s, e);
    a0_ = PlaneAngle(s - c_, n_);
    a1_ = PlaneAngle(e - c_, n_);
    return eOk;
}

// ---- ellipse ----

OdDbEllipse::OdDbEllipse(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                         double ratio, double a0, double a1)
{
    set(center, normal, majorAxis, ratio, a0, a1);
}

OdResult OdDbEllipse::set(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                          double ratio, double a0, double a1)
{
    if (!(ratio > 0 && ratio <= 1) || majorAxis.isZeroLength() || normal.isZeroLength()) return eInvalidInput;
    if (std::fabs(normal.normal().dotProduct(majorAxis.normal())) > 1e-9) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    c_ = center;
    n_ = normal.normal();
    maj_ = majorAxis;
    ratio_ = ratio;
    a0_ = a0;
    a1_ = a1;
    return eOk;
}

bool OdDbEllipse::isClosed() const { return std::fabs(std::fabs(a1_ - a0_) - kTwoPi) < 1e-9; }

double OdDbEllipse::paramAtAngle(double a) const
{
    // At a quarter turn (the ends of the axes) the parameter is the angle.
    const double q = M_PI / 2;
    if (std::isfinite(a) && std::fabs(a - std::round(a / q) * q) <= 8 * DBL_EPSILON * std::max(1.0, std::fabs(a)))
        return a;
    double p = std::atan2(std::sin(a), ratio_ * std::cos(a));
    // Keep whole turns of the angle so that the parameter follows it.
    return p + std::floor((a - p) / kTwoPi + 0.5) * kTwoPi;
}

OdResult OdDbEllipse::getStartParam(double& p) const
{
    p = hasFileParams() ? fileParams_.t0 : paramAtAngle(a0_);
    return eOk;
}

OdResult OdDbEllipse::getEndParam(double& p) const
{
    if (hasFileParams() && fileParams_.t1 - fileParams_.t0 > 0 && fileParams_.t1 - fileParams_.t0 <= kTwoPi + 1e-12) {
        p = fileParams_.t1;
        return eOk;
    }
    double s = paramAtAngle(a0_);
    p = paramAtAngle(a1_);
    // The end lies within one turn after the start; an angle of many turns
    // is brought there in one step.
    double d = p - s;
    if (d > 0 && d <= kTwoPi + 1e-12) return eOk;
    d = std::fmod(d, kTwoPi);
    if (d <= 0) d += kTwoPi;
    p = s + d;
    return eOk;
}

OdResult OdDbEllipse::getPointAtParam(double t, OdGePoint3d& p) const
{
    p = c_ + maj_ * std::cos(t) + minorAxis() * std::sin(t);
    return eOk;
}

OdResult OdDbEllipse::getGeomExtents(OdGeExtents3d& ext) const
{
    double t0, t1;
    getStartParam(t0);
    getEndParam(t1);
    ext = OdGeExtents3d();
    OdGePoint3d p;
    for (int i = 0; i <= 720; ++i) {
        getPointAtParam(t0 + (t1 - t0) * i / 720, p);
        ext.addPoint(p);
    }
    return eOk;
}

OdResult OdDbEllipse::subTransformBy(const OdGeMatrix3d& m)
{
    if (!m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    c_.transformBy(m);
    if (m.isTranslation()) return eOk;
    maj_.transformBy(m);
    n_.transformBy(m).normalize();
    if (IsMirror(m)) {
        double s = a0_;
        a0_ = kTwoPi - a1_;
        a1_ = kTwoPi - s;
    }
    return eOk;
}

// ---- lightweight polyline ----

OdResult OdDbPolyline::addVertexAt(unsigned int i, const OdGePoint2d& p, double bulge, double sw, double ew)
{
    if (i > verts_.size()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    verts_.insert(verts_.begin() + i, Vertex{p, bulge, sw < 0 ? 0 : sw, ew < 0 ? 0 : ew});
    return eOk;
}

OdResult OdDbPolyline::removeVertexAt(unsigned int i)
{
    if (i >= verts_.size()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    verts_.erase(verts_.begin() + i);
    return eOk;
}

OdResult OdDbPolyline::getPointAt(unsigned int i, OdGePoint2d& p) const
{
    if (i >= verts_.size()) return eInvalidIndex;
    p = verts_[i].p;
    return eOk;
}

OdGePoint3d OdDbPolyline::toWorld(const OdGePoint2d& p) const
{
    if (inWorldPlane()) return OdGePoint3d(p.x, p.y, elev_);
    OdGeVector3d x, y;
    OdGePlaneAxes(normal_, x, y);
    return OdGePoint3d::kOrigin + x * p.x + y * p.y + normal_ * elev_;
}

OdResult OdDbPolyline::getPointAt(unsigned int i, OdGePoint3d& p) const
{
    if (i >= verts_.size()) return eInvalidIndex;
    p = toWorld(verts_[i].p);
    return eOk;
}

OdResult OdDbPolyline::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdResult OdDbPolyline::setThickness(double t) { OD_SET(thickness_, t); }

void OdDbPolyline::setPlinegen(bool v)
{
    if (assertWriteEnabled()) plinegen_ = v;
}

OdResult OdDbPolyline::setPointAt(unsigned int i, const OdGePoint2d& p)
{
    if (i >= verts_.size()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    verts_[i].p = p;
    return eOk;
}

OdResult OdDbPolyline::getBulgeAt(unsigned int i, double& b) const
{
    if (i >= verts_.size()) return eInvalidIndex;
    b = verts_[i].bulge;
    return eOk;
}

double OdDbPolyline::getBulgeAt(unsigned int i) const { return i < verts_.size() ? verts_[i].bulge : 0.0; }

OdResult OdDbPolyline::setBulgeAt(unsigned int i, double b)
{
    if (i >= verts_.size()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    verts_[i].bulge = b;
    return eOk;
}

OdResult OdDbPolyline::getWidthsAt(unsigned int i, double& sw, double& ew) const
{
    if (i >= verts_.size()) return eInvalidIndex;
    sw = verts_[i].sw;
    ew = verts_[i].ew;
    return eOk;
}

OdResult OdDbPolyline::setWidthsAt(unsigned int i, double sw, double ew)
{
    if (i >= verts_.size()) return eInvalidIndex;
    if (sw < 0 || ew < 0) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    verts_[i].sw = sw;
    verts_[i].ew = ew;
    return eOk;
}

void OdDbPolyline::setClosed(bool c)
{
    if (assertWriteEnabled()) closed_ = c;
}

void OdDbPolyline::setElevation(double e)
{
    if (assertWriteEnabled()) elev_ = e;
}

bool OdDbPolyline::hasBulges() const
{
    return std::any_of(verts_.begin(), verts_.end(), [](const Vertex& v) { return v.bulge != 0; });
}

bool OdDbPolyline::hasWidth() const
{
    return std::any_of(verts_.begin(), verts_.end(), [](const Vertex& v) { return v.sw != 0 || v.ew != 0; });
}

OdResult OdDbPolyline::setConstantWidth(double width)
{
    if (!(width >= 0)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    for (Vertex& v : verts_) v.sw = v.ew = width;
    return eOk;
}

OdResult OdDbPolyline::getConstantWidth(double& width) const
{
    width = verts_.empty() ? 0 : verts_[0].sw;
    for (const Vertex& v : verts_)
        if (v.sw != width || v.ew != width) return eInvalidInput;
    return eOk;
}

int OdDbPolyline::numSegs() const
{
    int n = (int)verts_.size();
    if (n < 2) return 0;
    return closed_ ? n : n - 1;
}

OdDb::SegType OdDbPolyline::segType(unsigned int i) const
{
    if (verts_.empty()) return OdDb::kEmpty;
    if (verts_.size() == 1) return OdDb::kPoint;
    if ((int)i >= numSegs()) return OdDb::kEmpty;
    const Vertex& a = verts_[i];
    const Vertex& b = verts_[(i + 1) % verts_.size()];
    if (a.p.isEqualTo(b.p)) return OdDb::kCoincident;
    return a.bulge != 0 ? OdDb::kArc : OdDb::kLine;
}

OdResult OdDbPolyline::getLineSegAt(unsigned int i, OdGeLineSeg2d& seg) const
{
    OdDb::SegType t = segType(i);
    if (t != OdDb::kLine && t != OdDb::kCoincident) return eInvalidIndex;
    seg.set(verts_[i].p, verts_[(i + 1) % verts_.size()].p);
    return eOk;
}

OdResult OdDbPolyline::getArcSegAt(unsigned int i, OdGeCircArc2d& arc) const
{
    if (segType(i) != OdDb::kArc) return eInvalidIndex;
    const OdGePoint2d p1 = verts_[i].p, p2 = verts_[(i + 1) % verts_.size()].p;
    double b = verts_[i].bulge;
    double theta = 4 * std::atan(b);
    double c = p1.distanceTo(p2);
    OdGeVector2d dir = (p2 - p1) / c;
    OdGeVector2d left(-dir.y, dir.x);
    OdGePoint2d center = OdGePoint2d((p1.x + p2.x) / 2, (p1.y + p2.y) / 2) + left * (c / 2 * (1 - b * b) / (2 * b));
    double r = center.distanceTo(p1);
    double phi0 = (p1 - center).angle();
    if (b > 0) arc.set(center, r, phi0, phi0 + theta);
    else arc.set(center, r, OdGeNormalizeAngle(-phi0), OdGeNormalizeAngle(-phi0) - theta, OdGeVector2d::kXAxis, true);
    return eOk;
}

double OdDbPolyline::segLength(int i) const
{
    const Vertex& a = verts_[(size_t)i];
    const Vertex& b = verts_[(size_t)(i + 1) % verts_.size()];
    double c = a.p.distanceTo(b.p);
    if (a.bulge == 0 || c == 0) return c;
    double theta = 4 * std::atan(std::fabs(a.bulge));
    return c / (2 * std::sin(theta / 2)) * theta;
}

OdGePoint2d OdDbPolyline::segPoint(int i, double u) const
{
    const Vertex& a = verts_[(size_t)i];
    const Vertex& b = verts_[(size_t)(i + 1) % verts_.size()];
    if (segType((unsigned)i) != OdDb::kArc) return a.p + (b.p - a.p) * u;
    OdGeCircArc2d arc;
    getArcSegAt((unsigned)i, arc);
    return arc.evalPoint(arc.startAng() + (arc.endAng() - arc.startAng()) * u);
}

OdResult OdDbPolyline::getPointAtParam(double t, OdGePoint3d& p) const
{
    int n = numSegs();
    if (verts_.empty() || !(t >= -1e-9 && t <= n + 1e-9)) return eInvalidInput;
    if (n == 0) {
        p = toWorld(verts_[0].p);
        return eOk;
    }
    int i = std::min(n - 1, std::max(0, (int)std::floor(t)));
    p = toWorld(segPoint(i, std::min(1.0, std::max(0.0, t - i))));
    return eOk;
}

OdResult OdDbPolyline::getDistAtParam(double t, double& d) const
{
    int n = numSegs();
    if (t < -1e-9 || t > n + 1e-9) return eInvalidInput;
    d = 0;
    int i = 0;
    for (; i < n && i + 1 <= t; ++i) d += segLength(i);
    if (i < n) d += segLength(i) * (t - i);
    return eOk;
}

OdResult OdDbPolyline::getParamAtDist(double d, double& t) const
{
    int n = numSegs();
    if (d < -1e-9) return eInvalidInput;
    for (int i = 0; i < n; ++i) {
        double l = segLength(i);
        if (d <= l + 1e-9) {
            t = i + (l > 0 ? std::min(1.0, std::max(0.0, d / l)) : 0.0);
            return eOk;
        }
        d -= l;
    }
    return eInvalidInput;
}

OdResult OdDbPolyline::getClosestPointTo(const OdGePoint3d& g, OdGePoint3d& p, bool) const
{
    if (verts_.empty()) return eDegenerateGeometry;
    OdGePoint2d q(g.x, g.y);
    if (!inWorldPlane()) {
        OdGeVector3d x, y;
        OdGePlaneAxes(normal_, x, y);
        q.set((g - OdGePoint3d::kOrigin).dotProduct(x), (g - OdGePoint3d::kOrigin).dotProduct(y));
    }
    OdGePoint2d best = verts_[0].p;
    double bestD = q.distanceTo(best);
    for (int i = 0; i < numSegs(); ++i) {
        OdGePoint2d c;
        if (segType((unsigned)i) == OdDb::kArc) {
            OdGeCircArc2d arc;
            getArcSegAt((unsigned)i, arc);
            double phi = (q - arc.center()).angle();
            double base = arc.refVec().angle();
            double a = OdGeNormalizeAngle(arc.isClockWise() ? base - phi : phi - base);
            if (arc.containsAngle(a, 1e-12)) c = arc.evalPoint(a);
            else c = q.distanceTo(arc.startPoint()) <= q.distanceTo(arc.endPoint()) ? arc.startPoint() : arc.endPoint();
        } else {
            OdGePoint2d a = verts_[(size_t)i].p, b = verts_[(size_t)(i + 1) % verts_.size()].p;
            OdGeVector2d d = b - a;
            double l2 = d.dotProduct(d);
            double u = l2 > 0 ? std::min(1.0, std::max(0.0, (q - a).dotProduct(d) / l2)) : 0;
            c = a + d * u;
        }
        if (q.distanceTo(c) < bestD) {
            bestD = q.distanceTo(c);
            best = c;
        }
    }
    p = toWorld(best);
    return eOk;
}

OdResult OdDbPolyline::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    if (verts_.empty()) return eInvalidExtents;
    if (!inWorldPlane()) {
        // Out of the world plane: the outline sampled.
        for (const auto& v : verts_) ext.addPoint(toWorld(v.p));
        for (int i = 0; i < numSegs(); ++i)
            for (int k = 1; k < 64; ++k) ext.addPoint(toWorld(segPoint(i, k / 64.0)));
        return eOk;
    }
    for (const auto& v : verts_) ext.addPoint(OdGePoint3d(v.p.x, v.p.y, elev_));
    for (int i = 0; i < numSegs(); ++i) {
        if (segType((unsigned)i) != OdDb::kArc) continue;
        OdGeCircArc2d arc;
        getArcSegAt((unsigned)i, arc);
        for (int k = 0; k <= 64; ++k) {
            OdGePoint2d s = arc.evalPoint(arc.startAng() + (arc.endAng() - arc.startAng()) * k / 64);
            ext.addPoint(OdGePoint3d(s.x, s.y, elev_));
        }
        double phi0 = arc.isClockWise() ? -arc.startAng() : arc.startAng();
        double sweep = 4 * std::atan(verts_[(size_t)i].bulge);
        for (int k = 0; k < 4; ++k) {
            double a = k * M_PI / 2;
            double rel = sweep > 0 ? OdGeNormalizeAngle(a - phi0) : OdGeNormalizeAngle(phi0 - a);
            if (rel <= std::fabs(sweep)) {
                OdGePoint2d s = arc.center() + OdGeVector2d(std::cos(a), std::sin(a)) * arc.radius();
                ext.addPoint(OdGePoint3d(s.x, s.y, elev_));
            }
        }
    }
    return eOk;
}

OdResult OdDbPolyline::explode(OdDbVoidPtrArray& set) const
{
    for (int i = 0; i < numSegs(); ++i) {
        OdDbCurve* c;
        if (segType((unsigned)i) == OdDb::kArc) {
            OdGeCircArc2d arc;
            getArcSegAt((unsigned)i, arc);
            OdGePoint2d s = arc.startPoint(), e = arc.endPoint();
            OdGePoint3d cc(arc.center().x, arc.center().y, elev_);
            double a0 = (s - arc.center()).angle(), a1 = (e - arc.center()).angle();
            c = arc.isClockWise() ? new OdDbArc(cc, arc.radius(), a1, a0) : new OdDbArc(cc, arc.radius(), a0, a1);
        } else {
            OdGePoint2d a = verts_[(size_t)i].p, b = verts_[(size_t)(i + 1) % verts_.size()].p;
            c = new OdDbLine(OdGePoint3d(a.x, a.y, elev_), OdGePoint3d(b.x, b.y, elev_));
        }
        c->setPropertiesFrom(this);
        if (!inWorldPlane()) {
            // Made in the plane's own coordinates, then put in the world.
            OdGeVector3d x, y;
            OdGePlaneAxes(normal_, x, y);
            OdGeMatrix3d toWorld;
            for (int r = 0; r < 3; ++r) {
                toWorld.entry[r][0] = r == 0 ? x.x : r == 1 ? x.y : x.z;
                toWorld.entry[r][1] = r == 0 ? y.x : r == 1 ? y.y : y.z;
                toWorld.entry[r][2] = r == 0 ? normal_.x : r == 1 ? normal_.y : normal_.z;
            }
            c->transformBy(toWorld);
        }
        set.append(c);
    }
    return eOk;
}

OdResult OdDbPolyline::subTransformBy(const OdGeMatrix3d& m)
{
    OdGeVector3d d;
    if (m.isTranslation(&d)) {
        // The move in the polyline's own plane.
        OdGeVector3d x, y;
        OdGePlaneAxes(normal_, x, y);
        const bool world = inWorldPlane();
        const double dx = world ? d.x : d.dotProduct(x), dy = world ? d.y : d.dotProduct(y);
        for (auto& v : verts_) v.p.set(OdGeMoved(v.p.x, dx), OdGeMoved(v.p.y, dy));
        elev_ = OdGeMoved(elev_, world ? d.z : d.dotProduct(normal_));
        return eOk;
    }
    if (hasBulges() && !m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    bool keepsPlane = m.entry[0][2] == 0 && m.entry[1][2] == 0 && m.entry[2][0] == 0 && m.entry[2][1] == 0 &&
                      m.entry[2][2] > 0;
    if (!inWorldPlane() || !keepsPlane) {
        // The plane moves: the vertices go through the world and into the
        // new plane's coordinates.
        OdGeVector3d n = normal_;
        n.transformBy(m);
        if (n.isZeroLength()) return eCannotScaleNonUniformly;
        n = n.normal();
        OdGeVector3d x, y;
        OdGePlaneAxes(n, x, y);
        double s = m.scale();
        bool flip = m.det() < 0;
        double elev = elev_;
        for (size_t i = 0; i < verts_.size(); ++i) {
            OdGeVector3d w = toWorld(verts_[i].p).transformBy(m) - OdGePoint3d::kOrigin;
            verts_[i].p.set(w.dotProduct(x), w.dotProduct(y));
            if (i == 0) elev = w.dotProduct(n);
            verts_[i].sw *= s;
            verts_[i].ew *= s;
            if (flip) verts_[i].bulge = -verts_[i].bulge;
        }
        if (verts_.empty()) {
            OdGePoint3d o = OdGePoint3d::kOrigin + normal_ * elev_;
            elev = (o.transformBy(m) - OdGePoint3d::kOrigin).dotProduct(n);
        }
        elev_ = elev;
        normal_ = n;
        return eOk;
    }
    bool mirror = m.entry[0][0] * m.entry[1][1] - m.entry[0][1] * m.entry[1][0] < 0;
    double s = m.scale();
    for (auto& v : verts_) {
        OdGePoint3d p(v.p.x, v.p.y, elev_);
        p.transformBy(m);
        v.p.set(p.x, p.y);
        v.sw *= s;
        v.ew *= s;
        if (mirror) v.bulge = -v.bulge;
    }
    OdGePoint3d e(0, 0, elev_);
    elev_ = e.transformBy(m).z;
    return eOk;
}

// ---- 2-D polyline ----

OdDb2dPolyline::OdDb2dPolyline(OdDb::Poly2dType type, const OdGePoint3dArray& vertices, double elevation,
                               bool closed, double sw, double ew, const OdGeDoubleArray* bulges)
    : type_(type), elev_(elevation), defStart_(sw), defEnd_(ew), closed_(closed)
{
    for (int i = 0; i < vertices.length(); ++i) {
        points_.append(vertices[i].convert2d());
        bulges_.append(bulges && i < bulges->length() ? (*bulges)[i] : 0.0);
        startWidths_.append(sw);
        endWidths_.append(ew);
    }
}

OdResult OdDb2dPolyline::getVertexAt(int i, OdGePoint3d& p, double& bulge, double& sw, double& ew) const
{
    if (i < 0 || i >= points_.length()) return eInvalidIndex;
    p.set(points_[i].x, points_[i].y, elev_);
    bulge = bulges_[i];
    sw = startWidths_[i];
    ew = endWidths_[i];
    return eOk;
}

OdResult OdDb2dPolyline::appendVertex(const OdGePoint3d& p, double bulge, double sw, double ew,
                                      OdDb::Vertex2dType type)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (type != OdDb::k2dVertex) types_.resize((size_t)points_.length(), OdDb::k2dVertex);
    if (type != OdDb::k2dVertex || !types_.empty()) types_.push_back((uint8_t)type);
    points_.append(p.convert2d());
    bulges_.append(bulge);
    startWidths_.append(sw);
    endWidths_.append(ew);
    return eOk;
}

OdResult OdDb2dPolyline::setThickness(double t) { OD_SET(thickness_, t); }
OdResult OdDb2dPolyline::setDefaultStartWidth(double w) { OD_SET(defStart_, w); }
OdResult OdDb2dPolyline::setDefaultEndWidth(double w) { OD_SET(defEnd_, w); }

void OdDb2dPolyline::setLinetypeGenerationOn(bool v)
{
    if (assertWriteEnabled()) plinegen_ = v;
}

OdResult OdDb2dPolyline::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdDb::Vertex2dType OdDb2dPolyline::vertexTypeAt(int i) const
{
    return i >= 0 && (size_t)i < types_.size() ? (OdDb::Vertex2dType)types_[(size_t)i] : OdDb::k2dVertex;
}

void OdDb2dPolyline::makeClosed()
{
    if (assertWriteEnabled()) closed_ = true;
}

void OdDb2dPolyline::makeOpen()
{
    if (assertWriteEnabled()) closed_ = false;
}

OdDbPolyline OdDb2dPolyline::asLight() const
{
    OdDbPolyline pl;
    for (int i = 0; i < points_.length(); ++i)
        pl.addVertexAt((unsigned)i, points_[i], bulges_[i], startWidths_[i], endWidths_[i]);
    pl.setClosed(closed_);
    pl.setElevation(elev_);
    pl.setNormal(normal_);
    return pl;
}

OdResult OdDb2dPolyline::getEndParam(double& p) const { return asLight().getEndParam(p); }

OdResult OdDb2dPolyline::getPointAtParam(double t, OdGePoint3d& p) const { return asLight().getPointAtParam(t, p); }

OdResult OdDb2dPolyline::getGeomExtents(OdGeExtents3d& ext) const { return asLight().getGeomExtents(ext); }

OdResult OdDb2dPolyline::subTransformBy(const OdGeMatrix3d& m)
{
    OdDbPolyline pl = asLight();
    OdResult res = pl.transformBy(m);
    if (res != eOk) return res;
    for (int i = 0; i < points_.length(); ++i) {
        pl.getPointAt((unsigned)i, points_[i]);
        pl.getBulgeAt((unsigned)i, bulges_[i]);
        pl.getWidthsAt((unsigned)i, startWidths_[i], endWidths_[i]);
    }
    elev_ = pl.elevation();
    normal_ = pl.normal();
    return eOk;
}

// ---- 3-D polyline ----

OdResult OdDb3dPolyline::getVertexAt(int i, OdGePoint3d& p) const
{
    if (i < 0 || i >= points_.length()) return eInvalidIndex;
    p = points_[i];
    return eOk;
}

OdResult OdDb3dPolyline::appendVertex(const OdGePoint3d& p, OdDb::Vertex3dType type)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (type != OdDb::k3dSimpleVertex) types_.resize((size_t)points_.length(), OdDb::k3dSimpleVertex);
    if (type != OdDb::k3dSimpleVertex || !types_.empty()) types_.push_back((uint8_t)type);
    points_.append(p);
    return eOk;
}

OdDb::Vertex3dType OdDb3dPolyline::vertexTypeAt(int i) const
{
    return i >= 0 && (size_t)i < types_.size() ? (OdDb::Vertex3dType)types_[(size_t)i] : OdDb::k3dSimpleVertex;
}

void OdDb3dPolyline::makeClosed()
{
    if (assertWriteEnabled()) closed_ = true;
}

void OdDb3dPolyline::makeOpen()
{
    if (assertWriteEnabled()) closed_ = false;
}

OdResult OdDb3dPolyline::getEndParam(double& p) const
{
    int n = points_.length();
    p = n < 2 ? 0 : (closed_ ? n : n - 1);
    return eOk;
}

OdResult OdDb3dPolyline::getPointAtParam(double t, OdGePoint3d& p) const
{
    double t1;
    getEndParam(t1);
    if (points_.isEmpty() || !(t >= -1e-9 && t <= t1 + 1e-9)) return eInvalidInput;
    int n = points_.length();
    int i = std::min(std::max(0, (int)std::floor(t)), std::max(0, (int)t1 - 1));
    if (t1 == 0) {
        p = points_[0];
        return eOk;
    }
    const OdGePoint3d& a = points_[i];
    const OdGePoint3d& b = points_[(i + 1) % n];
    p = a + (b - a) * (t - i);
    return eOk;
}

OdResult OdDb3dPolyline::getGeomExtents(OdGeExtents3d& ext) const
{
    return standin::PointsExtents(points_, ext);
}

OdResult OdDb3dPolyline::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
    return eOk;
}

// ---- spline ----

OdDbSpline::OdDbSpline(int degree, bool rational, bool, bool, const OdGePoint3dArray& ctrl,
                       const OdGeDoubleArray& knots, const OdGeDoubleArray& weights, double, double)
    : degree_(degree), ctrl_(ctrl), knots_(knots)
{
    if (rational) weights_ = weights;
}

OdDbSpline::OdDbSpline(const OdGePoint3dArray& fit, const OdGeVector3d&, const OdGeVector3d&, int order, double)
    : fit_(fit)
{
    // The stand-in takes the fit points as control points of a clamped
    // uniform spline of the order (lowered to fit few points).
    int n = fit.length();
    degree_ = std::max(1, std::min(order, n) - 1);
    ctrl_ = fit;
    for (int j = 0; j < n + degree_ + 1; ++j)
        knots_.append(j <= degree_ ? 0.0 : j >= n ? double(n - degree_) : double(j - degree_));
}

bool OdDbSpline::isNull() const { return !OdGeIsValidBSpline(degree_, knots_, ctrl_.length(), weights_); }

OdResult OdDbSpline::getControlPointAt(int i, OdGePoint3d& p) const
{
    if (i < 0 || i >= ctrl_.length()) return eInvalidIndex;
    p = ctrl_[i];
    return eOk;
}

OdResult OdDbSpline::getFitPointAt(int i, OdGePoint3d& p) const
{
    if (i < 0 || i >= fit_.length()) return eInvalidIndex;
    p = fit_[i];
    return eOk;
}

bool OdDbSpline::isClosed() const
{
    if (isNull()) return false;
    OdGePoint3d s, e;
    getStartPoint(s);
    getEndPoint(e);
    return s.isEqualTo(e);
}

OdResult OdDbSpline::getStartParam(double& p) const
{
    if (isNull()) return eDegenerateGeometry;
    p = knots_[degree_];
    return eOk;
}

OdResult OdDbSpline::getEndParam(double& p) const
{
    if (isNull()) return eDegenerateGeometry;
    p = knots_[ctrl_.length()];
    return eOk;
}

OdResult OdDbSpline::getPointAtParam(double t, OdGePoint3d& p) const
{
    std::vector<double> c;
    for (const auto& q : ctrl_) {
        c.push_back(q.x);
        c.push_back(q.y);
        c.push_back(q.z);
    }
    double out[3];
    if (!OdGeEvalBSpline(degree_, knots_, c.data(), ctrl_.length(), 3, weights_, t, out)) return eDegenerateGeometry;
    p.set(out[0], out[1], out[2]);
    return eOk;
}

OdResult OdDbSpline::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    double t0, t1;
    if (getStartParam(t0) != eOk) return eInvalidExtents;
    getEndParam(t1);
    OdGePoint3d p;
    for (int i = 0; i <= 256; ++i) {
        getPointAtParam(t0 + (t1 - t0) * i / 256, p);
        ext.addPoint(p);
    }
    return eOk;
}

OdResult OdDbSpline::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : ctrl_) p.transformBy(m);
    for (auto& p : fit_) p.transformBy(m);
    return eOk;
}

// ---- meshes ----

ODRX_DEFINE_MEMBERS(OdDbPolygonMesh, OdDbEntity, L"AcDbPolygonMesh")
ODRX_DEFINE_MEMBERS(OdDbPolyFaceMesh, OdDbEntity, L"AcDbPolyFaceMesh")

OdDbPolygonMesh::OdDbPolygonMesh(OdDb::PolyMeshType type, int m, int n, const OdGePoint3dArray& vertices,
                                 bool mClosed, bool nClosed)
    : type_(type), m_(m), n_(n), mClosed_(mClosed), nClosed_(nClosed), points_(vertices)
{
}

OdResult OdDbPolygonMesh::setPolyMeshType(OdDb::PolyMeshType t) { OD_SET(type_, t); }

OdResult OdDbPolygonMesh::setMSize(int m)
{
    if (m < 2) return eInvalidInput;
    OD_SET(m_, m);
}

OdResult OdDbPolygonMesh::setNSize(int n)
{
    if (n < 2) return eInvalidInput;
    OD_SET(n_, n);
}

OdResult OdDbPolygonMesh::setMSurfaceDensity(int d)
{
    if (d < 0) return eInvalidInput;
    OD_SET(mDensity_, d);
}

OdResult OdDbPolygonMesh::setNSurfaceDensity(int d)
{
    if (d < 0) return eInvalidInput;
    OD_SET(nDensity_, d);
}

OdResult OdDbPolygonMesh::appendVertex(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    points_.append(p);
    return eOk;
}

OdResult OdDbPolygonMesh::getGeomExtents(OdGeExtents3d& ext) const
{
    return standin::PointsExtents(points_, ext);
}

OdResult OdDbPolygonMesh::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
    return eOk;
}

OdResult OdDbPolyFaceMesh::appendVertex(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    points_.append(p);
    return eOk;
}

OdResult OdDbPolyFaceMesh::appendFaceRecord(int16_t v1, int16_t v2, int16_t v3, int16_t v4)
{
    for (int16_t v : {v1, v2, v3, v4})
        if (std::abs((int)v) > points_.length()) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    faces_.push_back({v1, v2, v3, v4});
    return eOk;
}

OdResult OdDbPolyFaceMesh::getFaceAt(int i, int16_t vertices[4]) const
{
    if (i < 0 || i >= numFaces()) return eInvalidIndex;
    for (int k = 0; k < 4; ++k) vertices[k] = faces_[(size_t)i][(size_t)k];
    return eOk;
}

OdResult OdDbPolyFaceMesh::getGeomExtents(OdGeExtents3d& ext) const
{
    return standin::PointsExtents(points_, ext);
}

OdResult OdDbPolyFaceMesh::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
    return eOk;
}
