#include "oddbdimension.h"

#include "block_graphics.h"
#include "dxf_internal.h"
#include "dxf_kept.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"

ODRX_DEFINE_MEMBERS(OdDbDimension, OdDbEntity, L"AcDbDimension")
ODRX_DEFINE_MEMBERS(OdDbAlignedDimension, OdDbDimension, L"AcDbAlignedDimension")
ODRX_DEFINE_MEMBERS(OdDbRotatedDimension, OdDbDimension, L"AcDbRotatedDimension")
ODRX_DEFINE_MEMBERS(OdDbRadialDimension, OdDbDimension, L"AcDbRadialDimension")
ODRX_DEFINE_MEMBERS(OdDbDiametricDimension, OdDbDimension, L"AcDbDiametricDimension")
ODRX_DEFINE_MEMBERS(OdDb2LineAngularDimension, OdDbDimension, L"AcDb2LineAngularDimension")
ODRX_DEFINE_MEMBERS(OdDb3PointAngularDimension, OdDbDimension, L"AcDb3PointAngularDimension")
ODRX_DEFINE_MEMBERS(OdDbOrdinateDimension, OdDbDimension, L"AcDbOrdinateDimension")

namespace {

OdGePoint3d Mid(const OdGePoint3d& a, const OdGePoint3d& b)
{
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// The middle of the dimension line through dimLine parallel to x1 -> x2.
OdGePoint3d DimLineMiddle(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& dimLine)
{
    OdGeVector3d along = x2 - x1;
    OdGeVector3d off = dimLine - x1;
    double len2 = along.dotProduct(along);
    if (len2 > 0) off = off - along * (off.dotProduct(along) / len2);
    return Mid(x1, x2) + off;
}

}  // namespace

OdDbDimension::OdDbDimension(const OdGePoint3dArray& points, const wchar_t* text, OdDbObjectId style,
                             const OdGePoint3d& textPosition)
    : points_(points), text_(text ? text : L""), style_(style), textPos_(textPosition)
{
}

OdResult OdDbDimension::setTextPosition(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    textPos_ = p;
    return eOk;
}

OdResult OdDbDimension::setDimensionText(const wchar_t* text)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    text_ = text ? text : L"";
    return eOk;
}

OdResult OdDbDimension::setDimensionStyle(OdDbObjectId id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    style_ = id;
    return eOk;
}

namespace {
const int kDimtmove = 279;
}

int OdDbDimension::dimtmove() const
{
    // "DSTYLE" { (variable, value) ... }
    OdResBuf* data = xData(L"ACAD");
    int v = 0;
    for (const OdResBuf* rb = data; rb && rb->next(); rb = rb->next())
        if (rb->restype() == 1070 && rb->getInt16() == kDimtmove && rb->next()->restype() == 1070) {
            v = rb->next()->getInt16();
            break;
        }
    OdResBuf::releaseChain(data);
    return v;
}

OdResult OdDbDimension::setDimtmove(int v)
{
    if (v < 0 || v > 2) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    OdResBuf* data = xData(L"ACAD");
    bool set = false;
    OdResBuf* close = nullptr;
    for (OdResBuf* rb = data; rb; rb = rb->next()) {
        if (rb->restype() == 1070 && rb->getInt16() == kDimtmove && rb->next() && rb->next()->restype() == 1070) {
            rb->next()->setInt16((int16_t)v);
            set = true;
            break;
        }
        if (rb->restype() == 1002 && rb->getString() == L"}") close = rb;
    }
    if (!set && v == 0) {
        OdResBuf::releaseChain(data);
        return eOk;
    }
    if (!set && close) {
        // Into the style's overrides, before their closing brace.
        OdResBuf* before = data;
        while (before->next() != close) before = before->next();
        OdResBuf* code = before->setNext(OdResBuf::newRb(1070, (int32_t)kDimtmove));
        code->setInt16((int16_t)kDimtmove);
        OdResBuf* value = code->setNext(new OdResBuf(1070));
        value->setInt16((int16_t)v);
        value->setNext(close);
    } else if (!set) {
        OdResBuf::releaseChain(data);
        data = OdResBuf::newRb(1001, OdString(L"ACAD"));
        OdResBuf* tail = data->setNext(OdResBuf::newRb(1000, OdString(L"DSTYLE")));
        tail = tail->setNext(OdResBuf::newRb(1002, OdString(L"{")));
        tail = tail->setNext(new OdResBuf(1070));
        tail->setInt16((int16_t)kDimtmove);
        tail = tail->setNext(new OdResBuf(1070));
        tail->setInt16((int16_t)v);
        tail->setNext(OdResBuf::newRb(1002, OdString(L"}")));
    }
    putXData(data);
    OdResBuf::releaseChain(data);
    return eOk;
}

OdResult OdDbDimension::setDimBlockId(OdDbObjectId id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    block_ = id;
    return eOk;
}

OdResult OdDbDimension::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto& p : points_) ext.addPoint(p);
    ext.addPoint(textPos_);
    return eOk;
}

OdDbDimension::OdDbDimension(const OdDbDimension& o)
    : OdDbEntity(o), points_(o.points_), text_(o.text_), style_(o.style_), textPos_(o.textPos_)
{
}

namespace {

// The dimension's normal (210), which it keeps as the file gave it.
OdGeVector3d KeptNormal(const standin::DxfKept* kept)
{
    OdGeVector3d n(0, 0, 1);
    if (!kept) return n;
    const auto real = [](const standin::KeptGroup& g, int code) {
        return g.code == code && g.kind == (uint8_t)standin::dxf::Kind::kReal && std::isfinite(g.real);
    };
    for (const standin::KeptRun& run : kept->runs)
        for (size_t i = 0; i + 2 < run.groups.size(); ++i)
            if (real(run.groups[i], 210) && real(run.groups[i + 1], 220) && real(run.groups[i + 2], 230)) {
                const OdGeVector3d given(run.groups[i].real, run.groups[i + 1].real, run.groups[i + 2].real);
                return given.isZeroLength() ? n : given;
            }
    return n;
}

// A point in the plane of the normal, moved as the world moves: a
// translation adds its part in that plane to each number once.
void TransformPlanePoint(OdGePoint3d& p, const OdGeVector3d& normal, const OdGeMatrix3d& m)
{
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    const OdGeVector3d z = normal.normal();
    OdGeVector3d d;
    if (m.isTranslation(&d)) {
        p.set(OdGeMoved(p.x, d.dotProduct(x)), OdGeMoved(p.y, d.dotProduct(y)), OdGeMoved(p.z, d.dotProduct(z)));
        return;
    }
    OdGePoint3d w = OdGePoint3d(0, 0, 0) + x * p.x + y * p.y + z * p.z;
    w.transformBy(m);
    const OdGeVector3d v = w - OdGePoint3d(0, 0, 0);
    p.set(v.dotProduct(x), v.dotProduct(y), v.dotProduct(z));
}

// Points of the record the dimension does not model (a 3-point angular
// one's 16, the 12 of a clone's insertion), kept as the file gave them, go
// with it: a point is x (10 to 18) with y and z after it when given; 12
// and 16 are in the dimension's plane, the others in the world.
void TransformKeptPoints(standin::DxfKept* kept, const OdGeMatrix3d& m, const OdGeVector3d& normal)
{
    if (!kept) return;
    for (standin::KeptRun& run : kept->runs) {
        std::vector<standin::KeptGroup>& g = run.groups;
        const auto real = [&](size_t k, int code) { return k < g.size() && g[k].code == code && g[k].kind == (uint8_t)standin::dxf::Kind::kReal; };
        for (size_t i = 0; i < g.size(); ++i) {
            const int code = g[i].code;
            if (code < 10 || code > 18 || !real(i, code)) continue;
            OdGePoint3d p(g[i].real, real(i + 1, code + 10) ? g[i + 1].real : 0,
                          real(i + 1, code + 10) && real(i + 2, code + 20) ? g[i + 2].real : 0);
            if (code == 12 || code == 16) TransformPlanePoint(p, normal, m);
            else p.transformBy(m);
            g[i].real = p.x;
            if (!real(i + 1, code + 10)) continue;
            g[++i].real = p.y;
            if (real(i + 1, code + 20)) g[++i].real = p.z;
        }
    }
}

}  // namespace

// The file gives the text's middle (11) and a 2-line angular dimension's
// arc point (16) in the dimension's plane, its other points in the world.
OdResult OdDbDimension::subTransformBy(const OdGeMatrix3d& m)
{
    const OdGeVector3d normal = KeptNormal(keptRecord());
    const bool arcInPlane = isKindOf(OdDb2LineAngularDimension::desc());
    for (int i = 0; i < (int)points_.size(); ++i) {
        if (arcInPlane && i == 4) TransformPlanePoint(points_[i], normal, m);
        else points_[i].transformBy(m);
    }
    TransformPlanePoint(textPos_, normal, m);
    TransformKeptPoints(keptRecord(), m, normal);
    // The graphics a file gave it, in world coordinates, go along.
    standin::TransformBlockGraphics(block_, m);
    return eOk;
}

OdDbAlignedDimension::OdDbAlignedDimension(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& d,
                                           const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({x1, x2, d}, text, style, DimLineMiddle(x1, x2, d))
{
}

OdDbRotatedDimension::OdDbRotatedDimension(double rotation, const OdGePoint3d& x1, const OdGePoint3d& x2,
                                           const OdGePoint3d& d, const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({x1, x2, d}, text, style, DimLineMiddle(x1, x2, d)), rotation_(rotation)
{
}

OdDbRadialDimension::OdDbRadialDimension(const OdGePoint3d& center, const OdGePoint3d& chord, double leader,
                                         const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({center, chord}, text, style, chord), leader_(leader)
{
}

OdDbDiametricDimension::OdDbDiametricDimension(const OdGePoint3d& chord, const OdGePoint3d& farChord, double leader,
                                               const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({chord, farChord}, text, style, Mid(chord, farChord)), leader_(leader)
{
}

OdDb2LineAngularDimension::OdDb2LineAngularDimension(const OdGePoint3d& s1, const OdGePoint3d& e1,
                                                     const OdGePoint3d& s2, const OdGePoint3d& e2,
                                                     const OdGePoint3d& arc, const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({s1, e1, s2, e2, arc}, text, style, arc)
{
}

OdDb3PointAngularDimension::OdDb3PointAngularDimension(const OdGePoint3d& center, const OdGePoint3d& x1,
                                                       const OdGePoint3d& x2, const OdGePoint3d& arc,
                                                       const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({center, x1, x2, arc}, text, style, arc)
{
}

// The origin goes with the points measured from it.
OdResult OdDbOrdinateDimension::subTransformBy(const OdGeMatrix3d& m)
{
    origin_.transformBy(m);
    return OdDbDimension::subTransformBy(m);
}

OdResult OdDbOrdinateDimension::setOrigin(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    origin_ = p;
    return eOk;
}

OdDbOrdinateDimension::OdDbOrdinateDimension(bool useXAxis, const OdGePoint3d& defining, const OdGePoint3d& leaderEnd,
                                             const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({defining, leaderEnd}, text, style, leaderEnd), xAxis_(useXAxis)
{
}
