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

// A circle's or an arc's centre goes in the coordinates of its own plane.
void DxfOut::circleBody(const OdDbEntity* e, const OdGePoint3d& center, double radius, const OdGeVector3d& normal,
                        double thickness)
{
    marker("AcDbCircle");
    if (thickness != 0) real(39, thickness);
    point(10, inPlane(e, 0, center, normal));
    real(40, radius);
    point(210, AsPoint(normal));
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

void DxfOut::text(const OdDbText* t, const char* type)
{
    entityCommon(type, t);
    OdGeVector3d n = t->normal();
    marker("AcDbText");
    if (t->thickness() != 0) real(39, t->thickness());
    point(10, inPlane(t, 0, t->position(), n));
    real(40, t->height());
    text(1, t->textString().str());
    if (t->rotation() != 0) real(50, Degrees(t->rotation()));
    if (t->widthFactor() != 1) real(41, t->widthFactor());
    if (t->oblique() != 0) real(51, Degrees(t->oblique()));
    OdString style = nameOf(t->textStyle());
    if (!style.isEmpty()) text(7, style.str());
    int generation = (t->isMirroredInX() ? 2 : 0) | (t->isMirroredInY() ? 4 : 0);
    if (generation) integer(71, generation);
    integer(72, t->horizontalMode());
    if (!t->isDefaultAlignment()) point(11, inPlane(t, 1, t->alignmentPoint(), n));
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    if (auto* def = OdRxCast<OdDbAttributeDefinition>(const_cast<OdDbText*>(t))) {
        marker("AcDbAttributeDefinition");
        text(3, def->prompt().str());
        text(2, def->tag().str());
        integer(70, (def->isInvisible() ? 1 : 0) | (def->isConstant() ? 2 : 0) | (def->isVerifiable() ? 4 : 0) |
                        (def->isPreset() ? 8 : 0));
        integer(73, def->fieldLength());
        integer(74, t->verticalMode());
    } else if (auto* att = OdRxCast<OdDbAttribute>(const_cast<OdDbText*>(t))) {
        marker("AcDbAttribute");
        text(2, att->tag().str());
        integer(70, (att->isInvisible() ? 1 : 0) | (att->isConstant() ? 2 : 0) | (att->isVerifiable() ? 4 : 0) |
                        (att->isPreset() ? 8 : 0));
        integer(73, att->fieldLength());
        integer(74, t->verticalMode());
    } else {
        marker("AcDbText");
        integer(73, t->verticalMode());
    }
}

void DxfOut::mtext(const OdDbMText* mt)
{
    entityCommon("MTEXT", mt);
    marker("AcDbMText");
    point(10, mt->location());
    real(40, mt->textHeight());
    real(41, mt->width());
    integer(71, mt->attachment());
    integer(72, mt->flowDirection());
    std::wstring s = mt->contents().str();
    // Long contents go in pieces of 250 characters, the last under 1.
    size_t pos = 0;
    for (; s.size() - pos > 250; pos += 250) text(3, s.substr(pos, 250));
    text(1, s.substr(pos));
    OdString style = nameOf(mt->textStyle());
    if (!style.isEmpty()) text(7, style.str());
    OdGeVector3d n = mt->normal(), ax, ay;
    OdGePlaneAxes(n, ax, ay);
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    const OdGePoint3d direction = AsPoint(ax * std::cos(mt->rotation()) + ay * std::sin(mt->rotation()));
    point(11, asRead(mt, 0, direction, n, direction));
    if (mt->rotation() != 0) real(50, Degrees(mt->rotation()));
    integer(73, mt->lineSpacingStyle());
    real(44, mt->lineSpacingFactor());
    int fill = DxfAccess::mtextFill(mt);
    if (fill != 0) {
        integer(90, fill);
        double scale = 1.5;
        mt->getBackgroundScaleFactor(scale);
        OdCmColor c;
        mt->getBackgroundFillColor(c);
        color(63, c);
        real(45, scale);
        OdCmTransparency t;
        mt->getBackgroundTransparency(t);
        integer(441, t.serializeOut());
    }
}

void DxfOut::insert(const OdDbBlockReference* r)
{
    std::vector<const OdDbAttribute*> attrs;
    for (const auto& a : DxfAccess::attributes(r))
        if (written(a)) attrs.push_back(static_cast<const OdDbAttribute*>(obj(a)));
    auto* minsert = OdRxCast<OdDbMInsertBlock>(const_cast<OdDbBlockReference*>(r));
    OdGeVector3d n = r->normal();
    entityCommon("INSERT", r);
    marker(minsert ? "AcDbMInsertBlock" : "AcDbBlockReference");
    if (!attrs.empty()) integer(66, 1);
    text(2, nameOf(r->blockTableRecord()).str());
    point(10, inPlane(r, 0, r->position(), n));
    real(41, r->scaleFactors().sx);
    real(42, r->scaleFactors().sy);
    real(43, r->scaleFactors().sz);
    real(50, Degrees(r->rotation()));
    if (minsert) {
        integer(70, minsert->columns());
        integer(71, minsert->rows());
        real(44, minsert->columnSpacing());
        real(45, minsert->rowSpacing());
    }
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    if (attrs.empty()) return;
    for (auto* a : attrs) text(a, "ATTRIB");
    seqend(r, 1);
}

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

void DxfOut::spline(const OdDbSpline* sp)
{
    const OdGeDoubleArray& weights = DxfAccess::weights(sp);
    const OdGePoint3dArray& fit = DxfAccess::fitPoints(sp);
    bool fitOnly = DxfAccess::splineFitOnly(sp);
    entityCommon("SPLINE", sp);
    marker("AcDbSpline");
    int flags = (DxfAccess::splineFlags(sp) & ~(1 | 4)) | (sp->isClosed() && !fitOnly ? 1 : 0) |
                (weights.isEmpty() ? 0 : 4);
    if (!fitOnly && DxfAccess::splineFlags(sp) == 0) flags |= 8;
    if (fitOnly) flags = DxfAccess::splineFlags(sp);
    integer(70, flags);
    integer(71, fitOnly && DxfAccess::splineFitDegree(sp) > 0 ? DxfAccess::splineFitDegree(sp) : sp->degree());
    integer(72, fitOnly ? 0 : sp->numKnots());
    integer(73, fitOnly ? 0 : sp->numControlPoints());
    integer(74, fit.length());
    if (!fitOnly) {
        for (double k : sp->knots()) real(40, k);
        for (double wt : weights) real(41, wt);
        for (int i = 0; i < sp->numControlPoints(); ++i) {
            OdGePoint3d p;
            sp->getControlPointAt(i, p);
            point(10, p);
        }
    }
    for (const auto& p : fit) point(11, p);
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

void DxfOut::dimension(const OdDbDimension* d)
{
    entityCommon("DIMENSION", d);
    marker("AcDbDimension");
    OdDbObjectId block = d->dimBlockId();
    if (!written(block) || !OdRxCast<OdDbBlockTableRecord>(obj(block))) {
        // A dimension without a block of its own gets an empty one.
        DimensionBlock& made = dimensionBlocks_[d];
        do made.name = L"*D" + std::to_wstring(nextDimensionBlock_++);
        while (blockNames_.count(made.name));
        made.record = synthetic();
        // It names the block made for it whatever the file named.
        w_.setTag(GroupWriter::kFrame);
        text(2, made.name);
        w_.setTag(GroupWriter::kValue);
    } else {
        text(2, nameOf(block).str());
    }
    int type = 0;
    OdGePoint3d defPoint;
    const char* sub = nullptr;
    auto* md = const_cast<OdDbDimension*>(d);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        type = 1, defPoint = a->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        type = 0, defPoint = r->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        type = 2, defPoint = a2->xLine2End(), sub = "AcDb2LineAngularDimension";
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        type = 3, defPoint = dd->farChordPoint(), sub = "AcDbDiametricDimension";
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        type = 4, defPoint = rd->center(), sub = "AcDbRadialDimension";
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        type = 5, defPoint = a3->arcPoint(), sub = "AcDb3PointAngularDimension";
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        type = 6 | (o->isUsingXAxis() ? 64 : 0), defPoint = o->origin(), sub = "AcDbOrdinateDimension";
    }
    point(10, defPoint);
    point(11, d->textPosition());
    // The type, and of the file's flags those the type does not say.
    const DxfKept* k = DxfAccess::kept(d);
    int flags = k ? k->flags : 128;
    integer(70, type | (flags & ~(7 | 64)));
    text(1, d->dimensionText().str());
    OdString style = nameOf(d->dimensionStyle());
    text(3, style.isEmpty() ? L"Standard" : style.str());
    if (!sub) return;
    marker(sub);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        point(13, a->xLine1Point());
        point(14, a->xLine2Point());
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        point(13, r->xLine1Point());
        point(14, r->xLine2Point());
        real(50, Degrees(r->rotation()));
        marker("AcDbRotatedDimension");
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        point(13, a2->xLine1Start());
        point(14, a2->xLine1End());
        point(15, a2->xLine2Start());
        point(16, a2->arcPoint());
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        point(15, dd->chordPoint());
        real(40, dd->leaderLength());
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        point(15, rd->chordPoint());
        real(40, rd->leaderLength());
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        point(13, a3->xLine1Point());
        point(14, a3->xLine2Point());
        point(15, a3->centerPoint());
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        point(13, o->definingPoint());
        point(14, o->leaderEndPoint());
    }
}

// A multiline as the file gave it, or, made in memory, of the host's
// standard style (two lines half a unit either side, times the scale).
void DxfOut::mline(const OdDbMline* m)
{
    int n = m->numVertices();
    uint64_t style = handleOf(m->style());
    if (!style)
        if (auto* nod = OdRxCast<OdDbDictionary>(obj(db_->getNamedObjectsDictionaryId()))) {
            OdDbObjectId styles, standard;
            auto* dict = nod->getAt(L"ACAD_MLINESTYLE", styles) == eOk ? OdRxCast<OdDbDictionary>(obj(styles)) : nullptr;
            if (dict && dict->getAt(L"Standard", standard) == eOk) style = handleOf(standard);
        }
    const auto& segs = DxfAccess::mlineSegments(m);
    bool asRead = (int)segs.size() == n && n > 0;
    size_t lines = asRead ? segs[0].params.size() : 2;
    entityCommon("MLINE", m);
    marker("AcDbMline");
    text(2, DxfAccess::mlineStyleName(m).str());
    if (style) handle(340, style);
    real(40, m->scale());
    integer(70, m->justification());
    integer(71, (n > 0 ? 1 : 0) | (m->closedMline() ? 2 : 0));
    integer(72, n);
    integer(73, (int64_t)lines);
    point(10, n > 0 ? m->vertexAt(0) : OdGePoint3d());
    point(210, AsPoint(m->normal()));
    for (int i = 0; i < n; ++i) {
        OdGePoint3d p = m->vertexAt(i);
        point(11, p);
        if (asRead) {
            const auto& seg = segs[(size_t)i];
            point(12, AsPoint(seg.direction));
            point(13, AsPoint(seg.miter));
            for (size_t k = 0; k < seg.params.size(); ++k) {
                integer(74, seg.params[k].length());
                for (double v : seg.params[k]) real(41, v);
                const OdGeDoubleArray none;
                const OdGeDoubleArray& fill = k < seg.fills.size() ? seg.fills[k] : none;
                integer(75, fill.length());
                for (double v : fill) real(42, v);
            }
            continue;
        }
        int next = i + 1 < n ? i + 1 : m->closedMline() ? 0 : i - 1;
        OdGeVector3d dir = next >= 0 && next != i ? m->vertexAt(next) - p : OdGeVector3d(1, 0, 0);
        if (next < i && !m->closedMline()) dir = -dir;
        dir = dir.isZeroLength() ? OdGeVector3d(1, 0, 0) : dir.normal();
        point(12, AsPoint(dir));
        point(13, OdGePoint3d(-dir.y, dir.x, 0));
        for (double offset : {0.5, -0.5}) {
            integer(74, 1);
            real(41, offset * m->scale());
            integer(75, 0);
        }
    }
}

void DxfOut::writeLine(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* l = static_cast<OdDbLine*>(ent);
    entityCommon("LINE", e);
    marker("AcDbLine");
    if (l->thickness() != 0) real(39, l->thickness());
    point(10, l->startPoint());
    point(11, l->endPoint());
    if (!IsPlusZ(l->normal())) point(210, AsPoint(l->normal()));
}

void DxfOut::writeCircle(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* c = static_cast<OdDbCircle*>(ent);
    entityCommon("CIRCLE", e);
    circleBody(e, c->center(), c->radius(), c->normal(), c->thickness());
}

void DxfOut::writeArc(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* a = static_cast<OdDbArc*>(ent);
    entityCommon("ARC", e);
    circleBody(e, a->center(), a->radius(), a->normal(), a->thickness());
    marker("AcDbArc");
    real(50, Degrees(a->startAngle()));
    real(51, Degrees(a->endAngle()));
}

void DxfOut::writeEllipse(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* el = static_cast<OdDbEllipse*>(ent);
    double s, t;
    el->getStartParam(s);
    el->getEndParam(t);
    OdGeVector3d maj = el->majorAxis(), n = el->normal();
    entityCommon("ELLIPSE", e);
    marker("AcDbEllipse");
    point(10, el->center());
    point(11, AsPoint(maj));
    point(210, AsPoint(n));
    real(40, el->radiusRatio());
    real(41, s);
    real(42, t);
}

void DxfOut::writePolyline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* pl = static_cast<OdDbPolyline*>(ent);
    entityCommon("LWPOLYLINE", e);
    marker("AcDbPolyline");
    integer(90, pl->numVerts());
    integer(70, (pl->isClosed() ? 1 : 0) | (pl->isPlinegen() ? 128 : 0));
    double width = 0;
    bool constant = pl->getConstantWidth(width) == eOk;
    if (constant) real(43, width);
    if (pl->elevation() != 0) real(38, pl->elevation());
    if (pl->thickness() != 0) real(39, pl->thickness());
    for (unsigned i = 0; i < pl->numVerts(); ++i) {
        OdGePoint2d p;
        double sw = 0, ew = 0;
        pl->getPointAt(i, p);
        pl->getWidthsAt(i, sw, ew);
        point2(10, p.x, p.y);
        if (!constant) {
            real(40, sw);
            real(41, ew);
        }
        if (pl->getBulgeAt(i) != 0) real(42, pl->getBulgeAt(i));
    }
    if (!IsPlusZ(pl->normal())) point(210, AsPoint(pl->normal()));
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

void DxfOut::writeSpline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* sp = static_cast<OdDbSpline*>(ent);
    spline(sp);
}

void DxfOut::writePoint(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* pt = static_cast<OdDbPoint*>(ent);
    entityCommon("POINT", e);
    marker("AcDbPoint");
    point(10, pt->position());
    if (pt->thickness() != 0) real(39, pt->thickness());
    if (!IsPlusZ(pt->normal())) point(210, AsPoint(pt->normal()));
    if (pt->ecsRotation() != 0) real(50, Degrees(pt->ecsRotation()));
}

void DxfOut::writeText(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* t = static_cast<OdDbText*>(ent);
    text(t, OdRxCast<OdDbAttributeDefinition>(ent) ? "ATTDEF" : OdRxCast<OdDbAttribute>(ent) ? "ATTRIB" : "TEXT");
}

void DxfOut::writeMText(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* mt = static_cast<OdDbMText*>(ent);
    mtext(mt);
}

void DxfOut::writeBlockReference(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* r = static_cast<OdDbBlockReference*>(ent);
    insert(r);
}

void DxfOut::writeHatch(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* h = static_cast<OdDbHatch*>(ent);
    hatch(h);
}

void DxfOut::writeSolid(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* so = static_cast<OdDbSolid*>(ent);
    entityCommon("SOLID", e);
    marker("AcDbTrace");
    for (int i = 0; i < 4; ++i) {
        OdGePoint3d p;
        so->getPointAt(i, p);
        point(10 + i, inPlane(so, (size_t)i, p, so->normal()));
    }
    if (so->thickness() != 0) real(39, so->thickness());
    if (!IsPlusZ(so->normal())) point(210, AsPoint(so->normal()));
}

void DxfOut::writeRasterImage(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* img = static_cast<OdDbRasterImage*>(ent);
    OdGePoint3d origin;
    OdGeVector3d u, v;
    img->getOrientation(origin, u, v);
    auto* def = OdRxCast<OdDbRasterImageDef>(obj(img->imageDefId()));
    OdGeVector2d size = def ? def->size() : OdGeVector2d();
    if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
    entityCommon("IMAGE", e);
    marker("AcDbRasterImage");
    integer(90, 0);
    point(10, origin);
    point(11, AsPoint(u / size.x));
    point(12, AsPoint(v / size.y));
    point2(13, size.x, size.y);
    handle(340, handleOf(img->imageDefId()));
    int display = 0;
    for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                     OdDbRasterImage::kTransparent})
        if (img->isSetDisplayOpt(opt)) display |= opt;
    integer(70, display);
    integer(280, img->isSetDisplayOpt(OdDbRasterImage::kClip) ? 1 : 0);
    softInteger(281, 50);
    softInteger(282, 50);
    softInteger(283, 0);
    if (!keptHas(71) && !keptHas(91) && !keptHas(14)) {
        w_.integer(71, 1);
        w_.integer(91, 2);
        w_.point2(14, -0.5, -0.5);
        w_.point2(14, size.x - 0.5, size.y - 0.5);
    }
}

void DxfOut::writeDimension(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* d = static_cast<OdDbDimension*>(ent);
    dimension(d);
}

void DxfOut::writeMline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* ml = static_cast<OdDbMline*>(ent);
    mline(ml);
}

void DxfOut::entity(const OdDbEntity* e)
{
    // Each kind is written by its writer (dxf_kinds.cpp).
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
