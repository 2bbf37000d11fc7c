// Drawing files: the curves held in one record with their points, light
// polylines (LWPOLYLINE) and splines (SPLINE); the polylines of a sequence
// of vertex records are in dxf_kind_vertexpolylines.cpp. Each kind's codes
// are named once below; its description for the table (dxf_kinds.h), its
// reader and its writer all use those names.
#include <algorithm>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// A vertex's point is 2D (kVertex, y at kVertex + 10); its widths and
// bulge follow it. The count the writer works out from the vertices.
struct LightPolylineCodes {
    static constexpr const char* kMarker = "AcDbPolyline";
    static constexpr int kCount = 90, kFlags = 70, kConstantWidth = 43, kElevation = 38, kThickness = 39,
                         kVertex = 10, kStartWidth = 40, kEndWidth = 41, kBulge = 42, kNormal = 210;
    static constexpr int kAll[] = {kCount,  kFlags,      kConstantWidth, kElevation, kThickness,
                                   kVertex, kStartWidth, kEndWidth,      kBulge,     kNormal};
    static constexpr int kDerived[] = {kCount};
    static constexpr Default kDefaults[] = {{kElevation, "0.0"}, {kThickness, "0.0"}, {kNormal, ""}};
    // Without a constant width or any vertex's, every width is 0.
    static constexpr Default kMeant[] = {{kConstantWidth, "0.0"}};
    static constexpr int kPlanePoints[] = {kVertex}, kElevations[] = {kElevation},
                         kLengths[] = {kStartWidth, kEndWidth, kConstantWidth, kThickness}, kNormals[] = {kNormal};
};
// The counts the writer works out from the lists that follow them.
struct SplineCodes {
    static constexpr const char* kMarker = "AcDbSpline";
    static constexpr int kFlags = 70, kDegree = 71, kKnotCount = 72, kControlCount = 73, kFitCount = 74,
                         kKnot = 40, kWeight = 41, kControlPoint = 10, kFitPoint = 11;
    static constexpr int kAll[] = {kFlags, kDegree, kKnotCount, kControlCount, kFitCount,
                                   kKnot,  kWeight, kControlPoint, kFitPoint};
    static constexpr int kDerived[] = {kKnotCount, kControlCount, kFitCount};
    // Files may give its end tangents and its plane's normal, which it has
    // no values of.
    static constexpr int kStartTangent = 12, kEndTangent = 13, kNormal = 210;
    static constexpr int kPoints[] = {kControlPoint, kFitPoint}, kDirections[] = {kStartTangent, kEndTangent},
                         kNormals[] = {kNormal};
};

}  // namespace

std::vector<EntityKind> PolylineKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass kLightPolyline = Describe<LightPolylineCodes>(), kSpline = Describe<SplineCodes>();
    return {
        {"LWPOLYLINE", &OdDbPolyline::desc, {&kLightPolyline}, &L::readLightPolyline, &W::writePolyline},
        {"SPLINE", &OdDbSpline::desc, {&kSpline}, &L::readSpline, &W::writeSpline},
    };
}

// ---- reading ----

OdDbEntity* Loader::readLightPolyline(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    using C = LightPolylineCodes;
    auto* p = new OdDbPolyline();
    const char* sub = C::kMarker;
    double constWidth = v.real(C::kConstantWidth, kDefaultOf<C, C::kConstantWidth>, sub);
    if (!(constWidth >= 0)) constWidth = 0;
    int64_t flags = v.integer(C::kFlags, 0, sub);
    p->setClosed(flags & 1);
    p->setPlinegen(flags & 128);
    // The vertices stay in the polyline's plane, as the file gives them.
    p->setNormal(UnitNormal(v.vector(C::kNormal, sub, OdGeVector3d(0, 0, 1))));
    p->setElevation(v.real(C::kElevation, kDefaultOf<C, C::kElevation>, sub));
    p->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>, sub));
    size_t from = v.subclassStart(sub);
    // A vertex holds each of its values once, after its x: one given
    // twice, or before any vertex, would be another vertex's once saved,
    // so such a polyline is kept whole.
    bool twice = false;
    for (size_t k = from; k < v.end() && !(v.at(k).code == C::kVertex && v.readable(k)); ++k) {
        const int code = v.at(k).code;
        twice = twice || (v.readable(k) && (code == C::kVertex + 10 || code == C::kStartWidth ||
                                             code == C::kEndWidth || code == C::kBulge));
    }
    for (size_t k = from; k < v.end() && !twice; ++k) {
        if (!v.readable(k) || v.at(k).code != C::kVertex) continue;
        double x = v.take(k).real, y = 0, sw = constWidth, ew = constWidth, b = 0;
        // The vertex's values up to the next vertex, past markers: a value
        // the walk places in the polyline's subclass after another marker
        // is written after this vertex, and read there again.
        bool seen[4] = {false, false, false, false};
        size_t m = k + 1;
        for (; m < v.end() && !(v.at(m).code == C::kVertex && v.readable(m)); ++m) {
            const int code = v.at(m).code;
            const int slot = code == C::kVertex + 10 ? 0
                             : code == C::kStartWidth ? 1
                             : code == C::kEndWidth   ? 2
                             : code == C::kBulge      ? 3
                                                      : -1;
            if (slot < 0 || !v.readable(m)) continue;
            twice = twice || seen[slot];
            seen[slot] = true;
            const double value = v.take(m).real;
            if (slot == 0) y = value;
            else if (slot == 1 && value >= 0) sw = value;
            else if (slot == 2 && value >= 0) ew = value;
            else if (slot == 3) b = value;
        }
        p->addVertexAt(p->numVerts(), OdGePoint2d(x, y), b, sw, ew);
        k = m - 1;
    }
    if (v.has(C::kConstantWidth, sub)) keptFlags_ = 1;  // a constant width of its own
    if (twice) delete p;
    else made = p;
    return made;
}

OdDbEntity* Loader::makeSpline(const View& v)
{
    using C = SplineCodes;
    const char* sub = C::kMarker;
    int64_t flags = v.integer(C::kFlags, 0, sub), degree = v.integer(C::kDegree, 3, sub);
    OdGeDoubleArray knots, weights;
    OdGePoint3dArray ctrl, fit;
    size_t from = v.subclassStart(sub);
    for (size_t k = from; k < v.end(); ++k) {
        if (!v.readable(k)) continue;
        const Group& x = v.at(k);
        if (x.code == C::kKnot) knots.append(v.take(k).real);
        else if (x.code == C::kWeight) weights.append(v.take(k).real);
        else if (x.code == C::kControlPoint) ctrl.append(v.pointAt(k));
        else if (x.code == C::kFitPoint) fit.append(v.pointAt(k));
    }
    bool rational = (flags & 4) && weights.length() == ctrl.length();
    if (degree < 1 || degree > 25) return nullptr;
    OdDbSpline* s;
    if (ctrl.isEmpty() && fit.length() >= 2) {
        // Through the fit points, of the degree the file gave; saved again
        // by its fit points alone.
        s = new OdDbSpline(fit, OdGeVector3d(), OdGeVector3d(), (int)degree + 1);
        DxfAccess::setSplineFile(s, (int)flags, true, (int)degree);
    } else {
        s = new OdDbSpline((int)degree, rational, flags & 1, flags & 2, ctrl, knots,
                           rational ? weights : OdGeDoubleArray());
        DxfAccess::setSplineData(s, rational ? weights : OdGeDoubleArray(), fit);
        DxfAccess::setSplineFile(s, (int)flags, false);
        // Weights the file gave but the spline does not use are not lost.
        if (!rational && !weights.isEmpty()) {
            delete s;
            return nullptr;
        }
    }
    if (s->isNull()) {
        delete s;
        return nullptr;
    }
    return s;
}

OdDbEntity* Loader::readSpline(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    made = makeSpline(v);
    return made;
}

// ---- writing ----

void DxfOut::writePolyline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* pl = static_cast<OdDbPolyline*>(ent);
    using C = LightPolylineCodes;
    entityCommon("LWPOLYLINE", e);
    marker(C::kMarker);
    integer(C::kCount, pl->numVerts());
    integer(C::kFlags, (pl->isClosed() ? 1 : 0) | (pl->isPlinegen() ? 128 : 0));
    double width = 0;
    bool constant = pl->getConstantWidth(width) == eOk;
    if (constant) real(C::kConstantWidth, width);
    if (pl->elevation() != kDefaultOf<C, C::kElevation>) real(C::kElevation, pl->elevation());
    if (pl->thickness() != kDefaultOf<C, C::kThickness>) real(C::kThickness, pl->thickness());
    for (unsigned i = 0; i < pl->numVerts(); ++i) {
        OdGePoint2d p;
        double sw = 0, ew = 0;
        pl->getPointAt(i, p);
        pl->getWidthsAt(i, sw, ew);
        point2(C::kVertex, p.x, p.y);
        if (!constant) {
            real(C::kStartWidth, sw);
            real(C::kEndWidth, ew);
        }
        if (pl->getBulgeAt(i) != 0) real(C::kBulge, pl->getBulgeAt(i));
    }
    if (!IsPlusZ(pl->normal())) point(C::kNormal, AsPoint(pl->normal()));
}

void DxfOut::spline(const OdDbSpline* sp)
{
    const OdGeDoubleArray& weights = DxfAccess::weights(sp);
    const OdGePoint3dArray& fit = DxfAccess::fitPoints(sp);
    bool fitOnly = DxfAccess::splineFitOnly(sp);
    using C = SplineCodes;
    entityCommon("SPLINE", sp);
    marker(C::kMarker);
    // A spline of the drawing's own is written planar; a file's keeps the
    // flags it gave, but for those its shape decides.
    const int given = DxfAccess::splineFlags(sp);
    int flags = (given < 0 ? 8 : given & ~(1 | 4)) | (sp->isClosed() && !fitOnly ? 1 : 0) |
                (weights.isEmpty() ? 0 : 4);
    if (fitOnly) flags = std::max(given, 0);
    integer(C::kFlags, flags);
    integer(C::kDegree, fitOnly && DxfAccess::splineFitDegree(sp) > 0 ? DxfAccess::splineFitDegree(sp) : sp->degree());
    integer(C::kKnotCount, fitOnly ? 0 : sp->numKnots());
    integer(C::kControlCount, fitOnly ? 0 : sp->numControlPoints());
    integer(C::kFitCount, fit.length());
    if (!fitOnly) {
        for (double k : sp->knots()) real(C::kKnot, k);
        for (double wt : weights) real(C::kWeight, wt);
        for (int i = 0; i < sp->numControlPoints(); ++i) {
            OdGePoint3d p;
            sp->getControlPointAt(i, p);
            point(C::kControlPoint, p);
        }
    }
    for (const auto& p : fit) point(C::kFitPoint, p);
}

void DxfOut::writeSpline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* sp = static_cast<OdDbSpline*>(ent);
    spline(sp);
}

}  // namespace dxf
}  // namespace standin
