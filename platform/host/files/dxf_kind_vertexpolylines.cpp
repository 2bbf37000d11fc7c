// Drawing files: the polylines of a sequence of vertex records (POLYLINE:
// 2-D and 3-D polylines, polygon meshes and polyface meshes), each vertex a
// VERTEX record after the polyline's own and a SEQEND after the last. Each
// record's codes are named once below; the descriptions for the table
// (dxf_kinds.h), the reader and the writer all use those names.
#include <algorithm>
#include <initializer_list>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// What every polyline's record holds: that vertices follow (always
// written), a point (the 2-D polyline's elevation, the origin for the
// others) and the flags that tell its kind. A mesh's points are the
// world's: it has no normal.
struct PolylineHeadCodes {
    static constexpr int kHasVertices = 66, kPoint = 10, kFlags = 70;
    enum Flag { kClosed = 1, kCurveFit = 2, kSplineFit = 4, k3d = 8, kMesh = 16, kNClosed = 32, kFaceMesh = 64,
                kLinetypeGeneration = 128 };
};
struct Polyline2dCodes : PolylineHeadCodes {
    static constexpr const char* kMarker = "AcDb2dPolyline";
    static constexpr int kThickness = 39, kStartWidth = 40, kEndWidth = 41, kCurveType = 75, kNormal = 210;
    static constexpr int kAll[] = {kHasVertices, kPoint,    kThickness, kFlags,
                                   kStartWidth,  kEndWidth, kCurveType, kNormal};
    static constexpr int kDerived[] = {kHasVertices};
    static constexpr Default kDefaults[] = {
        {kThickness, "0.0"}, {kStartWidth, "0.0"}, {kEndWidth, "0.0"}, {kCurveType, "0"}, {kNormal, ""}};
};
struct Polyline3dCodes : PolylineHeadCodes {
    static constexpr const char* kMarker = "AcDb3dPolyline";
    static constexpr int kCurveType = 75;
    static constexpr int kAll[] = {kHasVertices, kPoint, kFlags, kCurveType};
    static constexpr int kDerived[] = {kHasVertices, kPoint};
};
struct PolygonMeshCodes : PolylineHeadCodes {
    static constexpr const char* kMarker = "AcDbPolygonMesh";
    static constexpr int kMCount = 71, kNCount = 72, kMDensity = 73, kNDensity = 74, kSurfaceType = 75,
                         kNormal = 210;
    static constexpr int kAll[] = {kHasVertices, kPoint,    kFlags,       kMCount, kNCount,
                                   kMDensity,    kNDensity, kSurfaceType, kNormal};
    static constexpr int kDerived[] = {kHasVertices, kPoint};
    static constexpr int kPassed[] = {kNormal};
    static constexpr Default kDefaults[] = {{kMDensity, "0"}, {kNDensity, "0"}, {kSurfaceType, "0"}};
};
// The counts the writer works out from the mesh.
struct PolyFaceMeshCodes : PolylineHeadCodes {
    static constexpr const char* kMarker = "AcDbPolyFaceMesh";
    static constexpr int kVertexCount = 71, kFaceCount = 72, kNormal = 210;
    static constexpr int kAll[] = {kHasVertices, kPoint, kFlags, kVertexCount, kFaceCount, kNormal};
    static constexpr int kDerived[] = {kHasVertices, kPoint, kVertexCount, kFaceCount};
    static constexpr int kPassed[] = {kNormal};
};

// The vertex records. A 2-D vertex's point is in the polyline's plane, its
// elevation the polyline's.
struct VertexFlags {
    enum Flag { kCurveFitVertex = 1, kSplineFitVertex = 8, kSplineControl = 16, k3dVertex = 32, kMeshVertex = 64,
                kFaceMeshVertex = 128 };
};
struct Vertex2dCodes : VertexFlags {
    static constexpr const char* kMarker = "AcDb2dVertex";
    static constexpr int kPoint = 10, kStartWidth = 40, kEndWidth = 41, kBulge = 42, kFlags = 70;
    static constexpr int kAll[] = {kPoint, kStartWidth, kEndWidth, kBulge, kFlags};
    static constexpr Default kDefaults[] = {{kStartWidth, "0.0"}, {kEndWidth, "0.0"}, {kBulge, "0.0"}};
};
struct PointVertexCodes : VertexFlags {
    static constexpr int kPoint = 10, kFlags = 70;
    static constexpr int kAll[] = {kPoint, kFlags};
};
struct Vertex3dCodes : PointVertexCodes {
    static constexpr const char* kMarker = "AcDb3dPolylineVertex";
};
struct MeshVertexCodes : PointVertexCodes {
    static constexpr const char* kMarker = "AcDbPolygonMeshVertex";
};
struct FaceMeshVertexCodes : PointVertexCodes {
    static constexpr const char* kMarker = "AcDbPolyFaceMeshVertex";
};
// A face: the vertices at its corners, by their numbers from 1 (kCorner
// and the three after it; 0 for none). Its point is always the origin.
struct FaceRecordCodes : VertexFlags {
    static constexpr const char* kMarker = "AcDbFaceRecord";
    static constexpr int kPoint = 10, kFlags = 70, kCorner = 71;
    static constexpr int kAll[] = {kPoint, kFlags, kCorner, kCorner + 1, kCorner + 2, kCorner + 3};
    static constexpr int kDerived[] = {kPoint};
};

// A polyline's curve (or a mesh's surface) type: one its kind can hold is
// taken; another is refused, so that it is kept as the file gave it and a
// default the writer puts before it is the value read back.
int64_t HeldType(const View& v, int code, std::initializer_list<int64_t> held, int64_t otherwise)
{
    const Group* x = v.find(code);
    if (!x) return otherwise;
    if (x->kind == Kind::kInt && std::find(held.begin(), held.end(), x->integer) != held.end()) return x->integer;
    v.refuse(x);
    return otherwise;
}

// A polyline's curve type: any for a spline-fit one (5 makes it quadratic,
// others cubic), none but 0 for the others.
int64_t CurveTypeOf(const View& v, int code, int64_t flags)
{
    if (!(flags & PolylineHeadCodes::kSplineFit)) return HeldType(v, code, {0}, 0);
    return v.integer(code, 0);
}

}  // namespace

std::vector<EntityKind> VertexPolylineKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass k2d = Describe<Polyline2dCodes>(), k3d = Describe<Polyline3dCodes>(),
                          kMesh = Describe<PolygonMeshCodes>(), kFaceMesh = Describe<PolyFaceMeshCodes>();
    static const Subclass kVertex{"AcDbVertex", {}, {}}, k2dVertex = Describe<Vertex2dCodes>(),
                          k3dVertex = Describe<Vertex3dCodes>(), kMeshVertex = Describe<MeshVertexCodes>(),
                          kFaceMeshVertex = Describe<FaceMeshVertexCodes>(), kFace = Describe<FaceRecordCodes>();
    const int inMesh = VertexFlags::kMeshVertex;
    // A polyline's kind is in its flags, a mesh's first; a polyface
    // mesh's vertices and faces are told apart by theirs.
    using H = PolylineHeadCodes;
    const int mesh = H::kMesh, faces = H::kFaceMesh, in3d = H::k3d;
    return {
        {"POLYLINE", &OdDb2dPolyline::desc, {&k2d}, &L::readPolyline, &W::write2dPolyline,
         {{0, 0, {&kVertex, &k2dVertex}}}, {mesh | faces | in3d, 0}, kByCode},
        {"POLYLINE", &OdDb3dPolyline::desc, {&k3d}, &L::readPolyline, &W::write3dPolyline,
         {{0, 0, {&kVertex, &k3dVertex}}}, {mesh | faces | in3d, in3d}, kByCode},
        {"POLYLINE", &OdDbPolygonMesh::desc, {&kMesh}, &L::readPolyline, &W::writePolygonMesh,
         {{0, 0, {&kVertex, &kMeshVertex}}}, {mesh, mesh}, kByCode},
        {"POLYLINE", &OdDbPolyFaceMesh::desc, {&kFaceMesh}, &L::readPolyline, &W::writePolyFaceMesh,
         {{inMesh, inMesh, {&kVertex, &kFaceMeshVertex}}, {inMesh, 0, {&kFace}}}, {mesh | faces, faces}, kByCode},
    };
}

// ---- reading ----

OdDbEntity* Loader::makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to)
{
    using H = PolylineHeadCodes;
    using VF = VertexFlags;
    int64_t flags = v.integer(H::kFlags, 0);
    // The vertices and the end of the sequence follow the polyline.
    const std::string_view parent = v.written().size() > 1 ? v.written()[1] : "";
    std::vector<View> verts;
    size_t k = i + 1;
    for (; k < to && recs[k].type == "VERTEX"; ++k) {
        verts.push_back(view(recs[k], SubRecordSubclasses(parent, "VERTEX", (int)peekFlags(recs[k]))));
        untoldPart_ = untoldPart_ || verts.back().untold();
    }
    const Rec* seqend = k < to && recs[k].type == "SEQEND" ? &recs[k] : nullptr;
    if (seqend) ++k;
    i = k;
    // Each vertex is written as the kind its flags make it, a mesh's
    // vertices before its faces: records that read otherwise are kept
    // whole.
    const bool faceMesh = (flags & H::kFaceMesh) && !(flags & H::kMesh);
    bool faces = false;
    for (const auto& x : verts) {
        const int vf = (int)x.integer(PointVertexCodes::kFlags, 0);
        if (SubRecordSubclasses(parent, "VERTEX", vf) != x.written()) return nullptr;
        if (faceMesh && !(vf & VF::kMeshVertex)) faces = true;
        else if (faces && faceMesh) return nullptr;
    }
    OdDbEntity* made = nullptr;
    if (flags & H::kMesh) {
        using C = PolygonMeshCodes;
        int64_t m = v.integer(C::kMCount, 0), n = v.integer(C::kNCount, 0);
        OdGePoint3dArray pts;
        for (const auto& x : verts) pts.append(x.point(MeshVertexCodes::kPoint));
        if (m < 2 || n < 2 || m * n != pts.length()) return nullptr;
        const auto type = (OdDb::PolyMeshType)HeldType(
            v, C::kSurfaceType,
            {OdDb::kSimpleMesh, OdDb::kQuadSurfaceMesh, OdDb::kCubicSurfaceMesh, OdDb::kBezierSurfaceMesh},
            OdDb::kSimpleMesh);
        auto* mesh = new OdDbPolygonMesh(type, (int)m, (int)n, pts, flags & H::kClosed, flags & H::kNClosed);
        mesh->setMSurfaceDensity((int)std::max<int64_t>(0, v.integer(C::kMDensity, kDefaultIntegerOf<C, C::kMDensity>)));
        mesh->setNSurfaceDensity((int)std::max<int64_t>(0, v.integer(C::kNDensity, kDefaultIntegerOf<C, C::kNDensity>)));
        made = mesh;
    } else if (flags & H::kFaceMesh) {
        using F = FaceRecordCodes;
        auto* mesh = new OdDbPolyFaceMesh();
        for (const auto& x : verts)
            if (x.integer(F::kFlags, 0) & VF::kMeshVertex) mesh->appendVertex(x.point(FaceMeshVertexCodes::kPoint));
        for (const auto& x : verts) {
            if (x.integer(F::kFlags, 0) & VF::kMeshVertex) continue;
            int16_t f[4];
            for (int q = 0; q < 4; ++q) f[q] = (int16_t)x.integer(F::kCorner + q, 0);
            if (mesh->appendFaceRecord(f[0], f[1], f[2], f[3]) != eOk) {
                delete mesh;
                return nullptr;
            }
        }
        made = mesh;
    } else if (flags & H::k3d) {
        using C = Polyline3dCodes;
        using X = Vertex3dCodes;
        // Spline-fit polylines keep their frame as vertices; the generated
        // points are kept as the file gave them.
        OdGePoint3dArray pts;
        auto* p3 = new OdDb3dPolyline(CurveTypeOf(v, C::kCurveType, flags) == 5 ? OdDb::k3dQuadSplinePoly
                                      : (flags & H::kSplineFit)                  ? OdDb::k3dCubicSplinePoly
                                                                                 : OdDb::k3dSimplePoly,
                                      pts, flags & H::kClosed);
        for (const auto& x : verts) {
            int64_t vf = x.integer(X::kFlags, 0);
            p3->appendVertex(x.point(X::kPoint), (vf & X::kSplineControl)     ? OdDb::k3dControlVertex
                                                 : (vf & X::kSplineFitVertex) ? OdDb::k3dFitVertex
                                                                              : OdDb::k3dSimpleVertex);
        }
        made = p3;
    } else {
        using C = Polyline2dCodes;
        using X = Vertex2dCodes;
        const OdDb::Poly2dType type = CurveTypeOf(v, C::kCurveType, flags) == 5 ? OdDb::k2dQuadSplinePoly
                                      : (flags & H::kSplineFit)                  ? OdDb::k2dCubicSplinePoly
                                      : (flags & H::kCurveFit)                   ? OdDb::k2dFitCurvePoly
                                                                                 : OdDb::k2dSimplePoly;
        double elevation = v.point(C::kPoint).z;
        double sw = v.real(C::kStartWidth, kDefaultOf<C, C::kStartWidth>),
               ew = v.real(C::kEndWidth, kDefaultOf<C, C::kEndWidth>);
        auto* p = new OdDb2dPolyline(type, OdGePoint3dArray(), elevation, flags & H::kClosed, sw, ew);
        p->setNormal(UnitNormal(v.vector(C::kNormal, nullptr, OdGeVector3d(0, 0, 1))));
        p->setThickness(v.real(C::kThickness, kDefaultOf<C, C::kThickness>));
        p->setLinetypeGenerationOn(flags & H::kLinetypeGeneration);
        for (const auto& x : verts) {
            OdGePoint3d pt = x.point(X::kPoint);
            int64_t vf = x.integer(X::kFlags, 0);
            auto vt = (vf & X::kSplineControl)     ? OdDb::k2dSplineCtlVertex
                      : (vf & X::kSplineFitVertex) ? OdDb::k2dSplineFitVertex
                      : (vf & X::kCurveFitVertex)  ? OdDb::k2dCurveFitVertex
                                                   : OdDb::k2dVertex;
            p->appendVertex(OdGePoint3d(pt.x, pt.y, elevation), x.real(X::kBulge, kDefaultOf<X, X::kBulge>), x.real(X::kStartWidth, sw),
                            x.real(X::kEndWidth, ew), vt);
        }
        made = p;
    }
    // What each vertex and the sequence end hold beyond what is modelled
    // is kept with them.
    for (const auto& x : verts) {
        subRecs_.push_back(SubRecord{&x.rec(), x.written(), {}});
        subHandles_.push_back(x.handle());
    }
    if (seqend) {
        View sv = view(*seqend, SubRecordSubclasses(parent, "SEQEND", 0));
        subRecs_.push_back(SubRecord{seqend, sv.written(), {}});
        subHandles_.push_back(sv.handle());
    }
    return made;
}

OdDbEntity* Loader::readPolyline(const EntityRecord& item)
{
    return makePolyline(item.v, item.recs, item.i, item.to);
}

// ---- writing ----

// A polyline's record up to its flags: its subclass, that vertices follow
// and its point.
void DxfOut::polylineHead(const OdDbEntity* polyline, const char* subclass, const OdGePoint3d& point)
{
    using H = PolylineHeadCodes;
    entityCommon("POLYLINE", polyline);
    marker(subclass);
    integer(H::kHasVertices, 1);
    this->point(H::kPoint, point);
}

// A vertex record's head and its subclass markers, as its kind lists them.
void DxfOut::vertexHead(const OdDbEntity* polyline, size_t index, size_t count, int flags)
{
    subRecordHead("VERTEX", polyline, index, count);
    for (const Subclass* sub : KindOfEntity(polyline)->vertexSubclasses(flags)) marker(sub->marker);
}

void DxfOut::polyline2d(const OdDb2dPolyline* p2)
{
    using C = Polyline2dCodes;
    using X = Vertex2dCodes;
    const int kFlags[] = {0, C::kCurveFit, C::kSplineFit, C::kSplineFit}, kCurve[] = {0, 0, 5, 6};
    int type = p2->polyType();
    polylineHead(p2, C::kMarker, OdGePoint3d(0, 0, p2->elevation()));
    if (p2->thickness() != kDefaultOf<C, C::kThickness>) real(C::kThickness, p2->thickness());
    integer(C::kFlags, (p2->isClosed() ? C::kClosed : 0) | kFlags[type & 3] |
                           (p2->isLinetypeGenerationOn() ? C::kLinetypeGeneration : 0));
    if (p2->defaultStartWidth() != kDefaultOf<C, C::kStartWidth>) real(C::kStartWidth, p2->defaultStartWidth());
    if (p2->defaultEndWidth() != kDefaultOf<C, C::kEndWidth>) real(C::kEndWidth, p2->defaultEndWidth());
    if (kCurve[type & 3] != kDefaultIntegerOf<C, C::kCurveType>) integer(C::kCurveType, kCurve[type & 3]);
    if (!IsPlusZ(p2->normal())) point(C::kNormal, AsPoint(p2->normal()));
    const size_t records = (size_t)p2->numVerts() + 1;
    checkSubRecords(p2, records);
    for (int i = 0; i < p2->numVerts(); ++i) {
        OdGePoint3d p;
        double b, sw, ew;
        p2->getVertexAt(i, p, b, sw, ew);
        int vt = p2->vertexTypeAt(i);
        const int flags = vt == OdDb::k2dSplineCtlVertex   ? X::kSplineControl
                          : vt == OdDb::k2dSplineFitVertex ? X::kSplineFitVertex
                          : vt == OdDb::k2dCurveFitVertex  ? X::kCurveFitVertex
                                                           : 0;
        vertexHead(p2, (size_t)i, records, flags);
        // The polyline gives the elevation.
        point(X::kPoint, OdGePoint3d(p.x, p.y, 0));
        if (sw != kDefaultOf<X, X::kStartWidth>) real(X::kStartWidth, sw);
        if (ew != kDefaultOf<X, X::kEndWidth>) real(X::kEndWidth, ew);
        if (b != kDefaultOf<X, X::kBulge>) real(X::kBulge, b);
        integer(X::kFlags, flags);
    }
    seqend(p2, records);
}

void DxfOut::polyline3d(const OdDb3dPolyline* p3)
{
    using C = Polyline3dCodes;
    using X = Vertex3dCodes;
    const int kCurve[] = {0, 5, 6};
    int type = p3->polyType();
    polylineHead(p3, C::kMarker, OdGePoint3d());
    integer(C::kFlags, C::k3d | (p3->isClosed() ? C::kClosed : 0) | (type != 0 ? C::kSplineFit : 0));
    if (type >= 1 && type <= 2) integer(C::kCurveType, kCurve[type]);
    const size_t records = (size_t)p3->numVerts() + 1;
    checkSubRecords(p3, records);
    for (int i = 0; i < p3->numVerts(); ++i) {
        OdGePoint3d p;
        p3->getVertexAt(i, p);
        int vt = p3->vertexTypeAt(i);
        const int flags = X::k3dVertex | (vt == OdDb::k3dControlVertex ? X::kSplineControl
                                          : vt == OdDb::k3dFitVertex   ? X::kSplineFitVertex
                                                                       : 0);
        vertexHead(p3, (size_t)i, records, flags);
        point(X::kPoint, p);
        integer(X::kFlags, flags);
    }
    seqend(p3, records);
}

void DxfOut::polygonMesh(const OdDbPolygonMesh* m)
{
    using C = PolygonMeshCodes;
    using X = MeshVertexCodes;
    polylineHead(m, C::kMarker, OdGePoint3d());
    integer(C::kFlags, C::kMesh | (m->isMClosed() ? C::kClosed : 0) | (m->isNClosed() ? C::kNClosed : 0) |
                           (m->polyMeshType() != OdDb::kSimpleMesh ? C::kSplineFit : 0));
    integer(C::kMCount, m->mSize());
    integer(C::kNCount, m->nSize());
    if (m->mSurfaceDensity() != kDefaultIntegerOf<C, C::kMDensity>) integer(C::kMDensity, m->mSurfaceDensity());
    if (m->nSurfaceDensity() != kDefaultIntegerOf<C, C::kNDensity>) integer(C::kNDensity, m->nSurfaceDensity());
    if (m->polyMeshType() != kDefaultIntegerOf<C, C::kSurfaceType>) integer(C::kSurfaceType, m->polyMeshType());
    const size_t records = (size_t)m->numVertices() + 1;
    checkSubRecords(m, records);
    for (int i = 0; i < m->numVertices(); ++i) {
        vertexHead(m, (size_t)i, records, X::kMeshVertex);
        point(X::kPoint, m->vertexAt(i));
        integer(X::kFlags, X::kMeshVertex);
    }
    seqend(m, records);
}

void DxfOut::polyFaceMesh(const OdDbPolyFaceMesh* m)
{
    using C = PolyFaceMeshCodes;
    using X = FaceMeshVertexCodes;
    using F = FaceRecordCodes;
    polylineHead(m, C::kMarker, OdGePoint3d());
    integer(C::kFlags, C::kFaceMesh);
    integer(C::kVertexCount, m->numVertices());
    integer(C::kFaceCount, m->numFaces());
    size_t index = 0;
    const size_t records = (size_t)m->numVertices() + (size_t)m->numFaces() + 1;
    checkSubRecords(m, records);
    for (int i = 0; i < m->numVertices(); ++i) {
        vertexHead(m, index++, records, X::kMeshVertex | X::kFaceMeshVertex);
        point(X::kPoint, m->vertexAt(i));
        integer(X::kFlags, X::kMeshVertex | X::kFaceMeshVertex);
    }
    for (int i = 0; i < m->numFaces(); ++i) {
        int16_t v[4];
        m->getFaceAt(i, v);
        vertexHead(m, index++, records, F::kFaceMeshVertex);
        point(F::kPoint, OdGePoint3d());
        integer(F::kFlags, F::kFaceMeshVertex);
        for (int k = 0; k < 4; ++k)
            if (v[k] != 0) integer(F::kCorner + k, v[k]);
    }
    seqend(m, records);
}

void DxfOut::write2dPolyline(const OdDbEntity* e) { polyline2d(static_cast<const OdDb2dPolyline*>(e)); }
void DxfOut::write3dPolyline(const OdDbEntity* e) { polyline3d(static_cast<const OdDb3dPolyline*>(e)); }
void DxfOut::writePolygonMesh(const OdDbEntity* e) { polygonMesh(static_cast<const OdDbPolygonMesh*>(e)); }
void DxfOut::writePolyFaceMesh(const OdDbEntity* e) { polyFaceMesh(static_cast<const OdDbPolyFaceMesh*>(e)); }

}  // namespace dxf
}  // namespace standin
