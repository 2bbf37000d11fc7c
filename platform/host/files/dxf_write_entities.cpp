// Drawing files: the entities of a file written, each kind by its writer.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_out.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

// The block's live entities; those a file cannot carry are named in the
// losses instead.
void DxfOut::writeEntities(const OdDbBlockTableRecord* block)
{
    for (const auto& e : block->entityIds()) {
        OdDbObject* o = obj(e);
        if (!o || o->isErased()) continue;
        if (const wchar_t* why = cannotGo(o)) {
            lose(o, why);
            continue;
        }
        if (auto* ent = OdRxCast<OdDbEntity>(o)) entity(ent);
    }
}

OdGePoint3d DxfOut::asRead(const OdDbEntity* e, size_t slot, const OdGePoint3d& now, const OdGeVector3d& normal,
                           const OdGePoint3d& otherwise) const
{
    auto same = [](const OdGePoint3d& a, const OdGePoint3d& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    const DxfKept* k = DxfAccess::kept(e);
    if (k && slot < k->planePoints.size() && same(k->planePoints[slot].world, now) &&
        normal.x == k->planeNormal.x && normal.y == k->planeNormal.y && normal.z == k->planeNormal.z)
        return k->planePoints[slot].plane;
    return otherwise;
}

void DxfOut::entityCommon(const std::string& type, const OdDbEntity* e)
{
    begin(type, e, e->ownerId());
    marker("AcDbEntity");
    if (e->ownerId() == paperSpace_) integer(67, 1);
    OdString layer = nameOf(e->layerId());
    text(8, layer.isEmpty() ? L"0" : layer.str());
    OdString lt = nameOf(e->linetypeId());
    if (!lt.isEmpty() && lt.iCompare(L"ByLayer") != 0) text(6, lt.str());
    color(62, e->color());
    if (e->linetypeScale() != 1.0) real(48, e->linetypeScale());
    if (e->transparency().method() != OdCmTransparency::kByLayer) integer(440, e->transparency().serializeOut());
    if (e->lineWeight() != OdDb::kLnWtByLayer) integer(370, e->lineWeight());
    if (e->visibility() == OdDb::kInvisible) integer(60, 1);
}

void DxfOut::checkSubRecords(const OdDbEntity* parent, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    if (!kept || kept->subRecords.empty() || kept->subRecords.size() == count) return;
    if (std::any_of(kept->subRecords.begin(), kept->subRecords.end(), [](const auto& s) { return s && !s->runs.empty(); }))
        lose(parent, L"what the file gave its vertices beyond their points no longer fits them and is not saved");
}

uint64_t DxfOut::recordHandle(uint64_t fromFile)
{
    // Handles below the seed that no object has are the file's; each goes
    // to one record.
    if (fromFile && fromFile < (uint64_t)db_->handseed() && !DxfAccess::hasHandle(db_, fromFile) &&
        recordHandles_.insert(fromFile).second)
        return fromFile;
    return synthetic();
}

// The head of a record a sequence is made of (vertices, its end): it goes
// with the entity, under the handle the file gave it or one of its own.
void DxfOut::subRecordHead(const char* type, const OdDbEntity* parent, size_t index, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    const DxfKept* mine = kept && kept->subRecords.size() == count ? kept->subRecords[index].get() : nullptr;
    const uint64_t fromFile = kept && kept->subHandles.size() == count ? kept->subHandles[index] : 0;
    open(type, nullptr, mine, parent, (int)index, count);
    head(recordHandle(fromFile), parent->handle());
    marker("AcDbEntity");
    if (parent->ownerId() == paperSpace_) integer(67, 1);
    text(8, nameOf(parent->layerId()).str());
}

void DxfOut::seqend(const OdDbEntity* parent, size_t count) { subRecordHead("SEQEND", parent, count - 1, count); }

void DxfOut::polyline2d(const OdDb2dPolyline* p2)
{
    const int kFlags[] = {0, 2, 4, 4}, kCurve[] = {0, 0, 5, 6};
    int type = p2->polyType();
    entityCommon("POLYLINE", p2);
    marker("AcDb2dPolyline");
    integer(66, 1);
    point(10, OdGePoint3d(0, 0, p2->elevation()));
    if (p2->thickness() != 0) real(39, p2->thickness());
    integer(70, (p2->isClosed() ? 1 : 0) | kFlags[type & 3] | (p2->isLinetypeGenerationOn() ? 128 : 0));
    if (p2->defaultStartWidth() != 0) real(40, p2->defaultStartWidth());
    if (p2->defaultEndWidth() != 0) real(41, p2->defaultEndWidth());
    if (kCurve[type & 3]) integer(75, kCurve[type & 3]);
    if (!IsPlusZ(p2->normal())) point(210, AsPoint(p2->normal()));
    const size_t records = (size_t)p2->numVerts() + 1;
    checkSubRecords(p2, records);
    for (int i = 0; i < p2->numVerts(); ++i) {
        OdGePoint3d p;
        double b, sw, ew;
        p2->getVertexAt(i, p, b, sw, ew);
        subRecordHead("VERTEX", p2, (size_t)i, records);
        marker("AcDbVertex");
        marker("AcDb2dVertex");
        // The polyline gives the elevation.
        point(10, OdGePoint3d(p.x, p.y, 0));
        if (sw != 0) real(40, sw);
        if (ew != 0) real(41, ew);
        if (b != 0) real(42, b);
        int vt = p2->vertexTypeAt(i);
        integer(70, vt == OdDb::k2dSplineCtlVertex ? 16 : vt == OdDb::k2dSplineFitVertex ? 8 : vt == OdDb::k2dCurveFitVertex ? 1 : 0);
    }
    seqend(p2, records);
}

void DxfOut::polyline3d(const OdDb3dPolyline* p3)
{
    const int kCurve[] = {0, 5, 6};
    int type = p3->polyType();
    entityCommon("POLYLINE", p3);
    marker("AcDb3dPolyline");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 8 | (p3->isClosed() ? 1 : 0) | (type != 0 ? 4 : 0));
    if (type >= 1 && type <= 2) integer(75, kCurve[type]);
    checkSubRecords(p3, (size_t)p3->numVerts() + 1);
    for (int i = 0; i < p3->numVerts(); ++i) {
        OdGePoint3d p;
        p3->getVertexAt(i, p);
        subRecordHead("VERTEX", p3, (size_t)i, (size_t)p3->numVerts() + 1);
        marker("AcDbVertex");
        marker("AcDb3dPolylineVertex");
        point(10, p);
        int vt = p3->vertexTypeAt(i);
        integer(70, 32 | (vt == OdDb::k3dControlVertex ? 16 : vt == OdDb::k3dFitVertex ? 8 : 0));
    }
    seqend(p3, (size_t)p3->numVerts() + 1);
}

void DxfOut::polygonMesh(const OdDbPolygonMesh* m)
{
    entityCommon("POLYLINE", m);
    marker("AcDbPolygonMesh");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 16 | (m->isMClosed() ? 1 : 0) | (m->isNClosed() ? 32 : 0) |
                    (m->polyMeshType() != OdDb::kSimpleMesh ? 4 : 0));
    integer(71, m->mSize());
    integer(72, m->nSize());
    if (m->mSurfaceDensity()) integer(73, m->mSurfaceDensity());
    if (m->nSurfaceDensity()) integer(74, m->nSurfaceDensity());
    if (m->polyMeshType() != OdDb::kSimpleMesh) integer(75, m->polyMeshType());
    checkSubRecords(m, (size_t)m->numVertices() + 1);
    for (int i = 0; i < m->numVertices(); ++i) {
        subRecordHead("VERTEX", m, (size_t)i, (size_t)m->numVertices() + 1);
        marker("AcDbVertex");
        marker("AcDbPolygonMeshVertex");
        point(10, m->vertexAt(i));
        integer(70, 64);
    }
    seqend(m, (size_t)m->numVertices() + 1);
}

void DxfOut::polyFaceMesh(const OdDbPolyFaceMesh* m)
{
    entityCommon("POLYLINE", m);
    marker("AcDbPolyFaceMesh");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 64);
    integer(71, m->numVertices());
    integer(72, m->numFaces());
    size_t index = 0;
    const size_t records = (size_t)m->numVertices() + (size_t)m->numFaces() + 1;
    checkSubRecords(m, records);
    for (int i = 0; i < m->numVertices(); ++i) {
        subRecordHead("VERTEX", m, index++, records);
        marker("AcDbVertex");
        marker("AcDbPolyFaceMeshVertex");
        point(10, m->vertexAt(i));
        integer(70, 64 | 128);
    }
    for (int i = 0; i < m->numFaces(); ++i) {
        int16_t v[4];
        m->getFaceAt(i, v);
        subRecordHead("VERTEX", m, index++, records);
        marker("AcDbFaceRecord");
        point(10, OdGePoint3d());
        integer(70, 128);
        for (int k = 0; k < 4; ++k)
            if (v[k] != 0) integer(71 + k, v[k]);
    }
    seqend(m, records);
}

void DxfOut::hatch(const OdDbHatch* h)
{
    entityCommon("HATCH", h);
    marker("AcDbHatch");
    point(10, OdGePoint3d(0, 0, h->elevation()));
    point(210, AsPoint(h->normal()));
    bool gradient = h->hatchObjectType() == OdDbHatch::kGradientObject;
    text(2, gradient ? L"SOLID" : h->patternName().str());
    integer(70, gradient || h->isSolidFill() ? 1 : 0);
    integer(71, h->associative() ? 1 : 0);
    integer(91, h->numLoops());
    for (int i = 0; i < h->numLoops(); ++i) {
        int type = h->loopTypeAt(i);
        integer(92, type);
        OdGePoint2dArray verts;
        OdGeDoubleArray bulges;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (h->getLoopAt(i, type, verts, bulges) == eOk) {
            bool hasBulge = false;
            for (double b : bulges) hasBulge = hasBulge || b != 0;
            integer(72, hasBulge ? 1 : 0);
            integer(73, DxfAccess::loopClosed(h, i) ? 1 : 0);
            integer(93, verts.length());
            for (int k = 0; k < verts.length(); ++k) {
                point2(10, verts[k].x, verts[k].y);
                if (hasBulge) real(42, k < bulges.length() ? bulges[k] : 0.0);
            }
        } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
            const auto& fits = DxfAccess::loopFits(h, i);
            integer(93, edges.length());
            for (int k = 0; k < edges.length(); ++k) {
                auto* c = static_cast<const OdGeCurve2d*>(edges[k]);
                int et = edgeTypes[k];
                integer(72, et);
                if (et == OdDbHatch::kLine) {
                    OdGePoint2d s = c->startPoint(), e = c->endPoint();
                    point2(10, s.x, s.y);
                    point2(11, e.x, e.y);
                } else if (et == OdDbHatch::kCirArc) {
                    // A clockwise arc is stored by the complements of its
                    // angles, as drawing files keep them.
                    auto* a = static_cast<const OdGeCircArc2d*>(c);
                    double base = a->refVec().angle();
                    double sign = a->isClockWise() ? -1 : 1;
                    point2(10, a->center().x, a->center().y);
                    real(40, a->radius());
                    double s = (a->startAng() + sign * base) * kRadToDeg, e = (a->endAng() + sign * base) * kRadToDeg;
                    // Angles past a whole turn go back as files write them.
                    if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
                    real(50, s);
                    real(51, e);
                    integer(73, a->isClockWise() ? 0 : 1);
                } else if (et == OdDbHatch::kEllArc) {
                    auto* a = static_cast<const OdGeEllipArc2d*>(c);
                    OdGeVector2d maj = a->majorAxis() * a->majorRadius();
                    double ratio = a->majorRadius() > 0 ? a->minorRadius() / a->majorRadius() : 1.0;
                    point2(10, a->center().x, a->center().y);
                    point2(11, maj.x, maj.y);
                    real(40, ratio);
                    double s = EllipseAngleOfParam(ratio, a->startAng()) * kRadToDeg;
                    double e = EllipseAngleOfParam(ratio, a->endAng()) * kRadToDeg;
                    if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
                    real(50, s);
                    real(51, e);
                    integer(73, a->majorAxis().crossProduct(a->minorAxis()) >= 0 ? 1 : 0);
                } else {
                    auto* s = static_cast<const OdGeSplineEnt2d*>(c);
                    integer(94, s->degree());
                    integer(73, s->isRational() ? 1 : 0);
                    integer(74, 0);
                    integer(95, s->numKnots());
                    integer(96, s->numControlPoints());
                    for (int j = 0; j < s->numKnots(); ++j) real(40, s->knotAt(j));
                    for (int j = 0; j < s->numControlPoints(); ++j) {
                        point2(10, s->controlPointAt(j).x, s->controlPointAt(j).y);
                        if (s->isRational()) real(42, s->weightAt(j));
                    }
                    const OdDbHatch::SplineFit* fit = (size_t)k < fits.size() ? &fits[(size_t)k] : nullptr;
                    integer(97, fit ? fit->points.length() : 0);
                    if (fit) {
                        for (const auto& p : fit->points) point2(11, p.x, p.y);
                        if (fit->hasStart) point2(12, fit->start.x, fit->start.y);
                        if (fit->hasEnd) point2(13, fit->end.x, fit->end.y);
                    }
                }
            }
        }
        std::vector<uint64_t> sources;
        for (const auto& id : DxfAccess::loopIds(h, i))
            if (written(id)) sources.push_back(id.getHandle());
        integer(97, (int64_t)sources.size());
        for (uint64_t s : sources) handle(330, s);
    }
    integer(75, h->hatchStyle());
    integer(76, h->patternType());
    if (!h->isSolidFill() && !gradient) {
        real(52, Degrees(h->patternAngle()));
        real(41, h->patternScale());
        integer(77, h->patternDouble() ? 1 : 0);
        integer(78, h->numPatternDefinitions());
        for (int i = 0; i < h->numPatternDefinitions(); ++i) {
            double angle, bx, by, ox, oy;
            OdGeDoubleArray dashes;
            h->getPatternDefinitionAt(i, angle, bx, by, ox, oy, dashes);
            real(53, Degrees(angle));
            real(43, bx);
            real(44, by);
            real(45, ox);
            real(46, oy);
            integer(79, dashes.length());
            for (double d : dashes) real(49, d);
        }
    }
    if (h->pixelSize() != 0) real(47, h->pixelSize());
    integer(98, h->numSeedPoints());
    for (int i = 0; i < h->numSeedPoints(); ++i) point2(10, h->getSeedPointAt(i).x, h->getSeedPointAt(i).y);
    if (gradient) {
        unsigned count = 0;
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        h->getGradientColors(count, colors, values);
        integer(450, 1);
        integer(451, h->gradientType());
        integer(452, h->getGradientOneColorMode() ? 1 : 0);
        integer(453, colors.length());
        for (int i = 0; i < colors.length(); ++i) {
            real(463, i < values.length() ? values[i] : 0.0);
            color(63, colors[i]);
            if (!colors[i].isByColor()) integer(421, RgbOf(colors[i]));
        }
        real(460, h->gradientAngle());
        real(461, h->gradientShift());
        real(462, h->shadeTintValue());
        text(470, h->gradientName().str());
    }
}

void DxfOut::write2dPolyline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* p2 = static_cast<OdDb2dPolyline*>(ent);
    polyline2d(p2);
}

void DxfOut::write3dPolyline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* p3 = static_cast<OdDb3dPolyline*>(ent);
    polyline3d(p3);
}

void DxfOut::writePolygonMesh(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* pm = static_cast<OdDbPolygonMesh*>(ent);
    polygonMesh(pm);
}

void DxfOut::writePolyFaceMesh(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* pf = static_cast<OdDbPolyFaceMesh*>(ent);
    polyFaceMesh(pf);
}

void DxfOut::writeHatch(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* h = static_cast<OdDbHatch*>(ent);
    hatch(h);
}

void DxfOut::entity(const OdDbEntity* e)
{
    // Each kind is written by its writer (dxf_kinds.h).
    if (const EntityKind* kind = KindOfEntity(e)) {
        (this->*kind->write)(e);
        return;
    }
    // A record kept whole.
    if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(e)) {
        std::string type(f->dxfName.begin(), f->dxfName.end());
        entityCommon(type, e);
        // The records of its sequence, as they came.
        const DxfKept* kept = DxfAccess::kept(e);
        const size_t n = kept ? kept->subRecords.size() : 0;
        for (size_t i = 0; i < n; ++i) {
            const DxfKept* record = kept->subRecords[i].get();
            if (!record || record->dxfType.empty()) continue;
            open(record->dxfType, nullptr, record, e, (int)i, n);
            head(recordHandle(kept->subHandles.size() == n ? kept->subHandles[i] : 0), e->handle());
        }
    }
}

}  // namespace dxf
}  // namespace standin
