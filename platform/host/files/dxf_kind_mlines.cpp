// Drawing files: multilines (MLINE). Their codes are named once below; the
// description for the table (dxf_kinds.h), the reader and the writer all
// use those names.
#include <cmath>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// After the multiline's own values, each vertex: its point, direction and
// mitre, then for each element its parameters and its fill's, each list
// after its count. The start point and the vertex count the writer works
// out from the vertices (the count is checked against them).
struct MlineCodes {
    static constexpr const char* kMarker = "AcDbMline";
    static constexpr int kStyleName = 2, kStyle = 340, kScale = 40, kJustification = 70, kFlags = 71,
                         kVertexCount = 72, kElementCount = 73, kStart = 10, kNormal = 210, kVertex = 11,
                         kDirection = 12, kMitre = 13, kParamCount = 74, kParam = 41, kFillCount = 75, kFill = 42;
    static constexpr int kAll[] = {kStyleName, kStyle,  kScale,  kJustification, kFlags,     kVertexCount,
                                   kElementCount, kStart, kNormal, kVertex,      kDirection, kMitre,
                                   kParamCount,  kParam, kFillCount, kFill};
    static constexpr int kDerived[] = {kStart};
    static constexpr int kPoints[] = {kStart, kVertex}, kDirections[] = {kDirection, kMitre},
                         kLengths[] = {kScale, kParam, kFill}, kNormals[] = {kNormal};
};

}  // namespace

std::vector<EntityKind> MlineKinds()
{
    static const Subclass kMline = Describe<MlineCodes>();
    // The entity's values are read also after its marker, where some
    // writers put them.
    return {{"MLINE", &OdDbMline::desc, {&kMline}, &Loader::readMline, &DxfOut::writeMline, {}, {}, {false, 1}}};
}

// ---- reading ----

OdDbEntity* Loader::makeMline(const View& v)
{
    using C = MlineCodes;
    const char* sub = C::kMarker;
    auto* m = new OdDbMline();
    size_t from = v.subclassStart(sub);
    int64_t lines = v.integer(C::kElementCount, 0, sub);
    std::vector<OdDbMline::Segment> segs;
    // Each vertex holds the element count's elements: data that does not
    // fit it, or that comes before any vertex, is kept whole, as the file
    // wrote it.
    bool fits = lines >= 0 && lines <= 1024;
    for (size_t k = from; k < v.end() && !(v.at(k).code == C::kVertex && v.readable(k)); ++k) {
        const int code = v.at(k).code;
        for (int vertexCode : {C::kVertex + 10, C::kVertex + 20, C::kDirection, C::kDirection + 10, C::kDirection + 20,
                               C::kMitre, C::kMitre + 10, C::kMitre + 20, C::kParamCount, C::kParam, C::kFillCount,
                               C::kFill})
            if (v.readable(k) && code == vertexCode) fits = false;
    }
    for (size_t k = from; k < v.end() && fits; ++k) {
        if (!v.readable(k) || v.at(k).code != C::kVertex) continue;
        m->appendSeg(v.pointAt(k));
        // The vertex's direction, mitre and each line's distances, up to
        // the next vertex.
        OdDbMline::Segment seg;
        Cursor c(v, k + 1);
        OdGePoint2d xy;
        double z = 0;
        if (c.point2(C::kDirection, xy) && c.real(C::kDirection + 20, z)) seg.direction = OdGeVector3d(xy.x, xy.y, z);
        if (c.point2(C::kMitre, xy) && c.real(C::kMitre + 20, z)) seg.miter = OdGeVector3d(xy.x, xy.y, z);
        for (int64_t e = 0; e < lines && fits; ++e) {
            int64_t np = 0, nf = 0;
            OdGeDoubleArray params, fills;
            fits = c.integer(C::kParamCount, np) && np >= 0;
            for (int64_t q = 0; fits && q < np; ++q) {
                double x = 0;
                fits = c.real(C::kParam, x);
                params.append(x);
            }
            fits = fits && c.integer(C::kFillCount, nf) && nf >= 0;
            for (int64_t q = 0; fits && q < nf; ++q) {
                double x = 0;
                fits = c.real(C::kFill, x);
                fills.append(x);
            }
            seg.params.push_back(params);
            seg.fills.push_back(fills);
        }
        // An element more than the count says does not fit either.
        fits = fits && !c.at(C::kParamCount);
        segs.push_back(seg);
        k = c.pos() - 1;
    }
    const Group* count = v.find(C::kVertexCount, sub);
    if (!fits || (count && count->integer != (int64_t)segs.size())) {
        delete m;
        return nullptr;
    }
    m->setClosedMline(v.integer(C::kFlags, 0, sub) & 2);
    double scale = v.real(C::kScale, 1, sub);
    if (std::isfinite(scale) && scale != 0) m->setScale(scale);
    int64_t j = v.integer(C::kJustification, 0, sub);
    if (j >= 0 && j <= 2) m->setJustification((Mline::MlineJustification)j);
    m->setNormal(UnitNormal(v.vector(C::kNormal, sub, OdGeVector3d(0, 0, 1))));
    DxfAccess::mlineStyleName(m) = v.has(C::kStyleName, sub) ? OdString(v.text(C::kStyleName, sub)) : OdString(L"Standard");
    DxfAccess::mlineSegments(m) = segs;
    uint64_t style = v.ref(C::kStyle, sub);
    fixups_.push_back([this, m, style] {
        if (OdDbObjectId id = idOf(style); !id.isNull()) DxfAccess::setMlineStyle(m, id);
    });
    return m;
}

OdDbEntity* Loader::readMline(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    made = makeMline(v);
    return made;
}

// ---- writing ----

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
    using C = MlineCodes;
    entityCommon("MLINE", m);
    marker(C::kMarker);
    text(C::kStyleName, DxfAccess::mlineStyleName(m).str());
    if (style) handle(C::kStyle, style);
    real(C::kScale, m->scale());
    integer(C::kJustification, m->justification());
    integer(C::kFlags, (n > 0 ? 1 : 0) | (m->closedMline() ? 2 : 0));
    integer(C::kVertexCount, n);
    integer(C::kElementCount, (int64_t)lines);
    point(C::kStart, n > 0 ? m->vertexAt(0) : OdGePoint3d());
    point(C::kNormal, AsPoint(m->normal()));
    for (int i = 0; i < n; ++i) {
        OdGePoint3d p = m->vertexAt(i);
        point(C::kVertex, p);
        if (asRead) {
            const auto& seg = segs[(size_t)i];
            point(C::kDirection, AsPoint(seg.direction));
            point(C::kMitre, AsPoint(seg.miter));
            for (size_t k = 0; k < seg.params.size(); ++k) {
                integer(C::kParamCount, seg.params[k].length());
                for (double v : seg.params[k]) real(C::kParam, v);
                const OdGeDoubleArray none;
                const OdGeDoubleArray& fill = k < seg.fills.size() ? seg.fills[k] : none;
                integer(C::kFillCount, fill.length());
                for (double v : fill) real(C::kFill, v);
            }
            continue;
        }
        int next = i + 1 < n ? i + 1 : m->closedMline() ? 0 : i - 1;
        OdGeVector3d dir = next >= 0 && next != i ? m->vertexAt(next) - p : OdGeVector3d(1, 0, 0);
        if (next < i && !m->closedMline()) dir = -dir;
        dir = dir.isZeroLength() ? OdGeVector3d(1, 0, 0) : dir.normal();
        point(C::kDirection, AsPoint(dir));
        point(C::kMitre, OdGePoint3d(-dir.y, dir.x, 0));
        for (double offset : {0.5, -0.5}) {
            integer(C::kParamCount, 1);
            real(C::kParam, offset * m->scale());
            integer(C::kFillCount, 0);
        }
    }
}

void DxfOut::writeMline(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* ml = static_cast<OdDbMline*>(ent);
    mline(ml);
}

}  // namespace dxf
}  // namespace standin
