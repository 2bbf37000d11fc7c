// Drawing files: the plain curves (LINE, POINT, CIRCLE, ARC, ELLIPSE) and
// the filled triangles and quadrilaterals (SOLID). Each kind's codes are
// named once below; its description for the table (dxf_kinds.h), its
// reader and its writer all use those names, so a code added to one is in
// all three.
#include <cmath>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// The codes of each subclass, and the list the description gives them in
// (a point's x code stands for its y and z).
struct LineCodes {
    static constexpr const char* kMarker = "AcDbLine";
    static constexpr int kThickness = 39, kStart = 10, kEnd = 11, kNormal = 210;
    static constexpr int kAll[] = {kThickness, kStart, kEnd, kNormal};
    static constexpr Default kDefaults[] = {{kThickness, "0.0"}, {kNormal, ""}};
    static constexpr int kPoints[] = {kStart, kEnd}, kLengths[] = {kThickness}, kNormals[] = {kNormal};
};
struct PointCodes {
    static constexpr const char* kMarker = "AcDbPoint";
    static constexpr int kPosition = 10, kThickness = 39, kNormal = 210, kAngle = 50;
    static constexpr int kAll[] = {kPosition, kThickness, kNormal, kAngle};
    static constexpr Default kDefaults[] = {{kThickness, "0.0"}, {kAngle, "0.0"}, {kNormal, ""}};
    // Its angle (of its plane's x axis) stays as read.
    static constexpr int kPoints[] = {kPosition}, kLengths[] = {kThickness}, kNormals[] = {kNormal};
};
struct CircleCodes {
    static constexpr const char* kMarker = "AcDbCircle";
    static constexpr int kThickness = 39, kCenter = 10, kRadius = 40, kNormal = 210;
    static constexpr int kAll[] = {kThickness, kCenter, kRadius, kNormal};
    static constexpr Default kDefaults[] = {{kThickness, "0.0"}, {kNormal, ""}};
    static constexpr int kPlanePoints[] = {kCenter}, kLengths[] = {kRadius, kThickness}, kNormals[] = {kNormal};
};
// An arc is a circle's subclass, then its own.
struct ArcCodes {
    static constexpr const char* kMarker = "AcDbArc";
    static constexpr int kStartAngle = 50, kEndAngle = 51;
    static constexpr int kAll[] = {kStartAngle, kEndAngle};
    static constexpr int kAngles[] = {kStartAngle, kEndAngle};
};
struct EllipseCodes {
    static constexpr const char* kMarker = "AcDbEllipse";
    static constexpr int kCenter = 10, kMajorAxis = 11, kNormal = 210, kRatio = 40, kStartParam = 41, kEndParam = 42;
    static constexpr int kAll[] = {kCenter, kMajorAxis, kNormal, kRatio, kStartParam, kEndParam};
    static constexpr Default kMeant[] = {{kNormal, ""}};
    static constexpr int kPoints[] = {kCenter}, kVectors[] = {kMajorAxis}, kNormals[] = {kNormal};
};
// A solid's fourth corner is its third when it has three.
struct SolidCodes {
    static constexpr const char* kMarker = "AcDbTrace";
    static constexpr int kCorner = 10;  // the corners are 10 to 13
    static constexpr int kThickness = 39, kNormal = 210;
    static constexpr int kAll[] = {kCorner, kCorner + 1, kCorner + 2, kCorner + 3, kThickness, kNormal};
    static constexpr Default kDefaults[] = {{kThickness, "0.0"}, {kNormal, ""}};
    static constexpr int kPlanePoints[] = {kCorner, kCorner + 1, kCorner + 2, kCorner + 3},
                         kLengths[] = {kThickness}, kNormals[] = {kNormal};
};

}  // namespace

std::vector<EntityKind> CurveKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass kLine = Describe<LineCodes>(), kPoint = Describe<PointCodes>(),
                          kCircle = Describe<CircleCodes>(), kArc = Describe<ArcCodes>(),
                          kEllipse = Describe<EllipseCodes>(), kSolid = Describe<SolidCodes>();
    // Readers take these kinds' values by their codes, whichever marker
    // they follow.
    return {
        {"LINE", &OdDbLine::desc, {&kLine}, &L::readLine, &W::writeLine, {}, {}, kByCode},
        {"POINT", &OdDbPoint::desc, {&kPoint}, &L::readPoint, &W::writePoint, {}, {}, kByCode},
        {"CIRCLE", &OdDbCircle::desc, {&kCircle}, &L::readCircle, &W::writeCircle, {}, {}, kByCode},
        {"ARC", &OdDbArc::desc, {&kCircle, &kArc}, &L::readCircle, &W::writeArc, {}, {}, kByCode},
        {"ELLIPSE", &OdDbEllipse::desc, {&kEllipse}, &L::readEllipse, &W::writeEllipse, {}, {}, kByCode},
        {"SOLID", &OdDbSolid::desc, {&kSolid}, &L::readSolid, &W::writeSolid, {}, {}, kByCode},
    };
}

// ---- reading ----

OdDbEntity* Loader::readLine(const EntityRecord& item)
{
    using C = LineCodes;
    const View& v = item.v;
    auto* l = new OdDbLine(v.point(C::kStart), v.point(C::kEnd));
    l->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
    const OdGeVector3d given = v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1));
    l->setNormal(UnitNormal(given));
    DxfAccess::setFileNormal(l, given, l->normal());
    return l;
}

OdDbEntity* Loader::readPoint(const EntityRecord& item)
{
    using C = PointCodes;
    const View& v = item.v;
    auto* p = new OdDbPoint(v.point(C::kPosition));
    p->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
    const OdGeVector3d given = v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1));
    p->setNormal(UnitNormal(given));
    DxfAccess::setFileNormal(p, given, p->normal());
    p->setEcsRotation(v.real(C::kAngle, kDefaultOf<C, C::kAngle>) * kDegToRad);
    return p;
}

// A circle, or an arc: the circle's values, then the arc's angles.
OdDbEntity* Loader::readCircle(const EntityRecord& item)
{
    using C = CircleCodes;
    const View& v = item.v;
    const std::string_view type = item.recs[item.i].type;
    const OdGeVector3d given = v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1));
    OdGeVector3d n = UnitNormal(given);
    const OdGePoint3d plane = v.point(C::kCenter);
    OdGePoint3d c = OcsToWcs(plane, n);
    double r = v.real(C::kRadius, 0);
    if (!(r > 0)) return nullptr;
    if (type == "CIRCLE") {
        auto* ci = new OdDbCircle(c, n, r);
        ci->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
        DxfAccess::setFileNormal(ci, given, ci->normal());
        rememberPlane(ci, ci->normal(), {{plane, ci->center()}});
        return ci;
    }
    const double start = v.real(ArcCodes::kStartAngle, 0), end = v.real(ArcCodes::kEndAngle, 0);
    auto* a = new OdDbArc(c, n, r, OdGeNormalizeAngle(start * kDegToRad), OdGeNormalizeAngle(end * kDegToRad));
    a->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
    DxfAccess::setFileNormal(a, given, a->normal());
    DxfAccess::setArcFileAngles(a, start, end);
    rememberPlane(a, a->normal(), {{plane, a->center()}});
    return a;
}

OdDbEntity* Loader::readEllipse(const EntityRecord& item)
{
    using C = EllipseCodes;
    const View& v = item.v;
    OdGeVector3d n = UnitNormal(v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1)));
    OdGeVector3d maj = v.vector(C::kMajorAxis, nullptr, OdGeVector3d(1, 0, 0));
    maj = maj - n * maj.dotProduct(n);  // square to the normal
    double ratio = v.real(C::kRatio, 1);
    double t0 = v.real(C::kStartParam, 0), t1 = v.real(C::kEndParam, 2 * M_PI);
    if (!Finite(maj) || std::fabs(t1 - t0) > 4 * M_PI) return nullptr;
    auto* e = new OdDbEllipse();
    if (e->set(v.point(C::kCenter), n, maj, ratio, EllipseAngleOfParam(ratio, t0), EllipseAngleOfParam(ratio, t1)) == eOk) {
        const OdGeVector3d given = v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1));
        DxfAccess::setEllipseParams(e, t0, t1, Finite(given) && !given.isZeroLength() ? given : e->normal());
        return e;
    }
    delete e;
    return nullptr;
}

OdDbEntity* Loader::readSolid(const EntityRecord& item)
{
    using C = SolidCodes;
    const View& v = item.v;
    OdGeVector3d n = UnitNormal(v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1)));
    OdGePoint3d p[4] = {v.point(C::kCorner), v.point(C::kCorner + 1), v.point(C::kCorner + 2),
                        v.point(C::kCorner + 3, nullptr, v.point(C::kCorner + 2))};
    auto* so = new OdDbSolid(ToWorld(p[0], n), ToWorld(p[1], n), ToWorld(p[2], n), ToWorld(p[3], n));
    so->setNormal(n);
    std::vector<DxfKept::PlanePoint> points;
    for (int k = 0; k < 4; ++k) {
        OdGePoint3d w;
        so->getPointAt(k, w);
        points.push_back({p[k], w});
    }
    rememberPlane(so, so->normal(), std::move(points));
    so->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
    return so;
}

// ---- writing ----

void DxfOut::writeLine(const OdDbEntity* e)
{
    using C = LineCodes;
    auto* l = static_cast<OdDbLine*>(const_cast<OdDbEntity*>(e));
    entityCommon("LINE", e);
    marker(C::kMarker);
    if (l->thickness() != kDefaultOf<C, C::kThickness>) real(C::kThickness, l->thickness());
    point(C::kStart, l->startPoint());
    point(C::kEnd, l->endPoint());
    const OdGeVector3d n = DxfAccess::fileNormal(l, l->normal());
    if (!IsPlusZ(l->normal()) || DxfAccess::hasFileNormal(l, l->normal())) point(C::kNormal, AsPoint(n));
}

void DxfOut::writePoint(const OdDbEntity* e)
{
    using C = PointCodes;
    auto* pt = static_cast<OdDbPoint*>(const_cast<OdDbEntity*>(e));
    entityCommon("POINT", e);
    marker(C::kMarker);
    point(C::kPosition, pt->position());
    if (pt->thickness() != kDefaultOf<C, C::kThickness>) real(C::kThickness, pt->thickness());
    const OdGeVector3d n = DxfAccess::fileNormal(pt, pt->normal());
    if (!IsPlusZ(pt->normal()) || DxfAccess::hasFileNormal(pt, pt->normal())) point(C::kNormal, AsPoint(n));
    if (pt->ecsRotation() != kDefaultOf<C, C::kAngle> * kDegToRad) real(C::kAngle, Degrees(pt->ecsRotation()));
}

// A circle's or an arc's centre goes in the coordinates of its own plane.
void DxfOut::circleBody(const OdDbEntity* e, const OdGePoint3d& center, double radius, const OdGeVector3d& normal,
                        double thickness)
{
    using C = CircleCodes;
    marker(C::kMarker);
    if (thickness != kDefaultOf<C, C::kThickness>) real(C::kThickness, thickness);
    point(C::kCenter, inPlane(e, 0, center, normal));
    real(C::kRadius, radius);
    point(C::kNormal, AsPoint(DxfAccess::fileNormal(e, normal)));
}

void DxfOut::writeCircle(const OdDbEntity* e)
{
    auto* c = static_cast<OdDbCircle*>(const_cast<OdDbEntity*>(e));
    entityCommon("CIRCLE", e);
    circleBody(e, c->center(), c->radius(), c->normal(), c->thickness());
}

void DxfOut::writeArc(const OdDbEntity* e)
{
    using C = ArcCodes;
    auto* a = static_cast<OdDbArc*>(const_cast<OdDbEntity*>(e));
    entityCommon("ARC", e);
    circleBody(e, a->center(), a->radius(), a->normal(), a->thickness());
    marker(C::kMarker);
    real(C::kStartAngle, DxfAccess::arcStartDegrees(a, Degrees(a->startAngle())));
    real(C::kEndAngle, DxfAccess::arcEndDegrees(a, Degrees(a->endAngle())));
}

void DxfOut::writeEllipse(const OdDbEntity* e)
{
    using C = EllipseCodes;
    auto* el = static_cast<OdDbEllipse*>(const_cast<OdDbEntity*>(e));
    double s, t;
    if (!DxfAccess::ellipseFileParams(el, s, t)) {
        el->getStartParam(s);
        el->getEndParam(t);
    }
    OdGeVector3d maj = el->majorAxis(), n = DxfAccess::ellipseNormal(el);
    entityCommon("ELLIPSE", e);
    marker(C::kMarker);
    point(C::kCenter, el->center());
    point(C::kMajorAxis, AsPoint(maj));
    point(C::kNormal, AsPoint(n));
    real(C::kRatio, el->radiusRatio());
    real(C::kStartParam, s);
    real(C::kEndParam, t);
}

void DxfOut::writeSolid(const OdDbEntity* e)
{
    using C = SolidCodes;
    auto* so = static_cast<OdDbSolid*>(const_cast<OdDbEntity*>(e));
    entityCommon("SOLID", e);
    marker(C::kMarker);
    for (int i = 0; i < 4; ++i) {
        OdGePoint3d p;
        so->getPointAt(i, p);
        point(C::kCorner + i, inPlane(so, (size_t)i, p, so->normal()));
    }
    if (so->thickness() != kDefaultOf<C, C::kThickness>) real(C::kThickness, so->thickness());
    if (!IsPlusZ(so->normal())) point(C::kNormal, AsPoint(so->normal()));
}

}  // namespace dxf
}  // namespace standin
