// Drawing files: the entities of a file read, each kind into its object;
// what cannot be made into one is kept whole as a proxy.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_loader.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"

namespace standin {
namespace dxf {

void Loader::readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block)
{
    for (size_t i = from; i < to;) i = readEntity(recs, i, to, block);
}

size_t Loader::readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block)
{
    std::optional<View> view1;
    view1.emplace(view(recs[i], expected(recs[i], true)));
    OdDbObjectId owner = block;
    if (owner.isNull()) {
        // Entities of the entities section: the block their owner names,
        // else paper or model space.
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(view1->owner())));
        owner = btr ? btr->objectId()
                    : view1->integer(67, 0) == 1 ? record(blockNames_, L"*Paper_Space") : roots_.modelSpace;
    }
    size_t next = i;
    std::vector<OdDbAttribute*> attrs;
    std::vector<const Rec*> attrRecs;
    OdDbEntity* e = nullptr;
    for (int attempt = 0;; ++attempt) {
        strayEnd_ = nullptr;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        next = i;
        const size_t fixups = fixups_.size();
        e = makeEntity(*view1, recs, next, to, attrs, attrRecs);
        if (!e || DxfAccess::fileRecordOf(e)) break;
        // What the record turned out to be once read (a polyline's kind
        // told by flags in a part the writer does not write) is read again
        // as such, so that what it holds is split as it will be written; a
        // record that is read as one kind and says it is another is kept
        // whole.
        std::string type;
        std::vector<const char*> actual = WrittenSubclasses(e, type);
        if (actual == view1->written()) break;
        delete e;
        e = nullptr;
        for (auto* a : attrs) delete a;
        attrs.clear();
        attrRecs.clear();
        fixups_.resize(fixups);
        if (attempt == 1) {
            e = keptWhole(*view1, recs, i, next, to);
            break;
        }
        for (size_t k = i; k < std::max(next, i + 1) && k < to; ++k)
            for (size_t g = recs[k].b; g < recs[k].e; ++g) state_[g] &= (uint8_t)~(kTaken | kRefused);
        view1.emplace(view(recs[i], actual));
    }
    const View& v = *view1;
    if (next == i) ++next;
    if (!e) {
        for (auto* a : attrs) delete a;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        if (recs[i].type == "INSERT") {
            leaveOut(recs[i], "a block reference that names no block it can draw");
            for (size_t k = i + 1; k < next; ++k)
                leaveOut(recs[k], recs[k].type == "ATTRIB" ? "an attribute of that block reference"
                                                           : "the end of that block reference's attributes");
        } else {
            for (size_t k = i; k < next; ++k) leaveOut(recs[k], "a record of a sequence that follows no entity of its own");
        }
        strayEnd_ = nullptr;
        return next;
    }
    if (strayEnd_) leaveOut(*strayEnd_, "the end of a sequence of attributes after a reference without any");
    strayEnd_ = nullptr;
    common(e, v);
    OdDbObjectId id = place(e, v, owner);
    DxfAccess::addEntity(static_cast<OdDbBlockTableRecord*>(obj(owner)), id);
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        references_.push_back(Reference{id, owner, {&recs[i]}});
        references_.back().records.insert(references_.back().records.end(), attrRecs.begin(), attrRecs.end());
        for (size_t k = 0; k < attrs.size(); ++k) {
            View av = view(*attrRecs[k], expected(*attrRecs[k], true));
            common(attrs[k], av);
            DxfAccess::addAttribute(ref, place(attrs[k], av, id));
        }
    }
    return next;
}

void Loader::common(OdDbEntity* e, const View& v)
{
    e->setLayer(layerNamed(v.text(8)), false, true);
    std::wstring lt = v.text(6);
    OdDbObjectId ltId = lt.empty() ? OdDbObjectId() : record(linetypes_, lt);
    e->setLinetype(ltId.isNull() ? roots_.ltByLayer : ltId, false);
    OdCmColor c;
    int64_t aci = v.integer(62, 256);
    if (v.has(420)) {
        int64_t rgb = v.integer(420, 0);
        c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
        keepColourNumber(e, v, c);
    } else if (aci >= 0 && aci <= 256) {
        c.setColorIndex((int16_t)aci);
    }
    e->setColor(c, false);
    double s = v.real(48, 1);
    if (s > 0) e->setLinetypeScale(s, false);
    if (v.has(440)) {
        auto t = OdCmTransparency::fromSerialized((uint32_t)v.integer(440, 0));
        if (t.method() != OdCmTransparency::kErrorValue) e->setTransparency(t, false);
    }
    if (v.has(370)) DxfAccess::setLineWeight(e, (int)v.integer(370, OdDb::kLnWtByLayer));
    if (v.integer(60, 0) == 1) e->setVisibility(OdDb::kInvisible, false);
}

// An arc edge's end is at most this many turns before its start.
const int kMaxEdgeTurns = 64;

// One edge of a boundary loop, or null when its groups are broken; a
// spline's fit data goes to `fit`.
OdGeCurve2d* ReadEdge(Cursor& c, int64_t type, bool lastEdge, OdDbHatch::SplineFit& fit)
{
    OdGePoint2d p, q;
    double r = 0, s = 0, e = 0;
    int64_t ccw = 1;
    switch (type) {
    case OdDbHatch::kLine:
        if (!c.point2(10, p) || !c.point2(11, q)) return nullptr;
        return new OdGeLineSeg2d(p, q);
    case OdDbHatch::kCirArc: {
        if (!c.point2(10, p) || !c.real(40, r) || !c.real(50, s) || !c.real(51, e) || !c.integer(73, ccw)) return nullptr;
        double a0 = s * kDegToRad, a1 = e * kDegToRad;
        // Turned up a whole turn at a time: angles turns apart are broken
        // (a huge one would never come up).
        if (!(a0 - a1 <= kMaxEdgeTurns * 2 * M_PI)) return nullptr;
        while (a1 < a0) a1 += 2 * M_PI;
        if (!(r > 0) || a1 - a0 > 4 * M_PI) return nullptr;
        return new OdGeCircArc2d(p, r, a0, a1, OdGeVector2d::kXAxis, ccw == 0);
    }
    case OdDbHatch::kEllArc: {
        double ratio = 1;
        if (!c.point2(10, p) || !c.point2(11, q) || !c.real(40, ratio) || !c.real(50, s) || !c.real(51, e) ||
            !c.integer(73, ccw))
            return nullptr;
        OdGeVector2d maj(q.x, q.y);
        if (maj.length() <= 0 || !(ratio > 0)) return nullptr;
        double t0 = EllipseParamOfAngle(ratio, s * kDegToRad), t1 = EllipseParamOfAngle(ratio, e * kDegToRad);
        if (!(t0 - t1 <= kMaxEdgeTurns * 2 * M_PI)) return nullptr;
        while (t1 < t0) t1 += 2 * M_PI;
        if (t1 - t0 > 4 * M_PI) return nullptr;
        OdGeVector2d minor(-maj.y, maj.x);
        if (ccw == 0) minor = minor * -1.0;
        return new OdGeEllipArc2d(p, maj, minor, maj.length(), maj.length() * ratio, t0, t1);
    }
    case OdDbHatch::kSpline: {
        int64_t degree = 0, rational = 0, periodic = 0, nKnots = 0, nCtrl = 0;
        if (!c.integer(94, degree) || !c.integer(73, rational) || !c.integer(74, periodic) || !c.integer(95, nKnots) ||
            !c.integer(96, nCtrl))
            return nullptr;
        OdGeDoubleArray knots, weights;
        OdGePoint2dArray ctrl;
        for (int64_t k = 0, n = c.bound(nKnots, 1); k < n; ++k) {
            double x = 0;
            if (!c.real(40, x)) return nullptr;
            knots.append(x);
        }
        for (int64_t k = 0, n = c.bound(nCtrl, 2); k < n; ++k) {
            OdGePoint2d cp;
            if (!c.point2(10, cp)) return nullptr;
            ctrl.append(cp);
            double w = 1;
            if (rational && c.real(42, w)) weights.append(w);
        }
        if (knots.length() != nKnots || ctrl.length() != nCtrl) return nullptr;
        // Fit data: its count shares the code of the loop's source count,
        // which follows the last edge; fit points or a second count tell
        // them apart.
        int64_t nFit = 0;
        Cursor look = c;
        if (look.integer(97, nFit) && (look.at(11) || (nFit == 0 && (look.at(97) || !lastEdge)))) {
            c = look;
            for (int64_t k = 0, n = c.bound(nFit, 2); k < n; ++k) {
                OdGePoint2d fp;
                if (!c.point2(11, fp)) return nullptr;
                fit.points.append(fp);
            }
            OdGePoint2d t;
            if (c.at(12) && c.point2(12, t)) {
                fit.hasStart = true;
                fit.start = OdGeVector2d(t.x, t.y);
            }
            if (c.at(13) && c.point2(13, t)) {
                fit.hasEnd = true;
                fit.end = OdGeVector2d(t.x, t.y);
            }
        }
        if (degree < 1 || degree > 25 || !OdGeIsValidBSpline((int)degree, knots, ctrl.length(),
                                                                weights.length() == ctrl.length() ? weights : OdGeDoubleArray()))
            return nullptr;
        if (weights.length() == ctrl.length()) return new OdGeNurbCurve2d((int)degree, knots, ctrl, weights);
        return new OdGeNurbCurve2d((int)degree, knots, ctrl);
    }
    default: return nullptr;
    }
}

// A normal as read (a zero one, or one not finite, is +Z), of unit length.
// A normal as given, of unit length; +Z for none.
OdGeVector3d UnitNormal(const OdGeVector3d& n)
{
    return n.isZeroLength() || !Finite(n) ? OdGeVector3d(0, 0, 1) : n.normal();
}

OdGeVector3d NormalOf(const View& v, const char* sub) { return UnitNormal(v.vector(210, sub, OdGeVector3d(0, 0, 1))); }

bool IsPlusZ(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

OdGePoint3d ToWorld(const OdGePoint3d& p, const OdGeVector3d& n) { return IsPlusZ(n) ? p : OcsToWcs(p, n); }

OdDbEntity* Loader::makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to)
{
    int64_t flags = v.integer(70, 0);
    // The vertices and the end of the sequence follow the polyline.
    const std::string_view parent = v.written().size() > 1 ? v.written()[1] : "";
    std::vector<View> verts;
    size_t k = i + 1;
    for (; k < to && recs[k].type == "VERTEX"; ++k)
        verts.push_back(view(recs[k], SubRecordSubclasses(parent, "VERTEX", (int)peekFlags(recs[k]))));
    const Rec* seqend = k < to && recs[k].type == "SEQEND" ? &recs[k] : nullptr;
    if (seqend) ++k;
    i = k;
    // Each vertex is written as the kind its flags make it, a mesh's
    // vertices before its faces: records that read otherwise are kept
    // whole.
    bool faces = false;
    for (const auto& x : verts) {
        const int vf = (int)x.integer(70, 0);
        if (SubRecordSubclasses(parent, "VERTEX", vf) != x.written()) return nullptr;
        if ((flags & 64) && !(flags & 16) && !(vf & 64)) faces = true;
        else if (faces && (flags & 64) && !(flags & 16)) return nullptr;
    }
    OdDbEntity* made = nullptr;
    if (flags & 16) {
        int64_t m = v.integer(71, 0), n = v.integer(72, 0);
        OdGePoint3dArray pts;
        for (const auto& x : verts) pts.append(x.point(10));
        if (m < 2 || n < 2 || m * n != pts.length()) return nullptr;
        auto type = (OdDb::PolyMeshType)v.integer(75, 0);
        if (type != OdDb::kQuadSurfaceMesh && type != OdDb::kCubicSurfaceMesh && type != OdDb::kBezierSurfaceMesh)
            type = OdDb::kSimpleMesh;
        auto* mesh = new OdDbPolygonMesh(type, (int)m, (int)n, pts, flags & 1, flags & 32);
        mesh->setMSurfaceDensity((int)std::max<int64_t>(0, v.integer(73, 0)));
        mesh->setNSurfaceDensity((int)std::max<int64_t>(0, v.integer(74, 0)));
        made = mesh;
    } else if (flags & 64) {
        auto* mesh = new OdDbPolyFaceMesh();
        for (const auto& x : verts)
            if (x.integer(70, 0) & 64) mesh->appendVertex(x.point(10));
        for (const auto& x : verts) {
            if (x.integer(70, 0) & 64) continue;
            int16_t f[4];
            for (int q = 0; q < 4; ++q) f[q] = (int16_t)x.integer(71 + q, 0);
            if (mesh->appendFaceRecord(f[0], f[1], f[2], f[3]) != eOk) {
                delete mesh;
                return nullptr;
            }
        }
        made = mesh;
    } else if (flags & 8) {
        // Spline-fit polylines keep their frame as vertices; the generated
        // points are kept as the file gave them.
        OdGePoint3dArray pts;
        auto* p3 = new OdDb3dPolyline((flags & 4) ? (v.integer(75, 0) == 5 ? OdDb::k3dQuadSplinePoly : OdDb::k3dCubicSplinePoly)
                                                  : OdDb::k3dSimplePoly,
                                      pts, flags & 1);
        for (const auto& x : verts) {
            int64_t vf = x.integer(70, 0);
            p3->appendVertex(x.point(10), (vf & 16) ? OdDb::k3dControlVertex : (vf & 8) ? OdDb::k3dFitVertex
                                                                                        : OdDb::k3dSimpleVertex);
        }
        made = p3;
    } else {
        OdDb::Poly2dType type = (flags & 4) ? (v.integer(75, 0) == 5 ? OdDb::k2dQuadSplinePoly : OdDb::k2dCubicSplinePoly)
                                : (flags & 2) ? OdDb::k2dFitCurvePoly
                                              : OdDb::k2dSimplePoly;
        double elevation = v.point(10).z;
        double sw = v.real(40, 0), ew = v.real(41, 0);
        auto* p = new OdDb2dPolyline(type, OdGePoint3dArray(), elevation, flags & 1, sw, ew);
        p->setNormal(NormalOf(v, nullptr));
        p->setThickness(v.real(39, 0));
        p->setLinetypeGenerationOn(flags & 128);
        for (const auto& x : verts) {
            OdGePoint3d pt = x.point(10);
            int64_t vf = x.integer(70, 0);
            auto vt = (vf & 16) ? OdDb::k2dSplineCtlVertex : (vf & 8) ? OdDb::k2dSplineFitVertex
                      : (vf & 1) ? OdDb::k2dCurveFitVertex : OdDb::k2dVertex;
            p->appendVertex(OdGePoint3d(pt.x, pt.y, elevation), x.real(42, 0), x.real(40, sw), x.real(41, ew), vt);
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

OdDbEntity* Loader::makeHatch(const View& v)
{
    auto* h = new OdDbHatch();
    const char* sub = "AcDbHatch";
    h->setElevation(v.point(10, sub).z);
    OdGeVector3d n = v.vector(210, sub, OdGeVector3d(0, 0, 1));
    if (!n.isZeroLength()) h->setNormal(n);
    std::wstring pattern = v.text(2, sub);
    int64_t patternType = v.integer(76, 1, sub);
    bool solid = v.integer(70, 0, sub) & 1;
    // The values before the loops, the loops, and the values after them.
    size_t start = v.subclassStart(sub);
    const Group* count = v.find(91, sub);
    Cursor c(v, count ? v.indexOf(count) : v.end());
    int64_t loops = 0;
    c.integer(91, loops);
    std::vector<std::vector<uint64_t>> sources;
    bool broken = false;
    for (int64_t l = 0, nl = c.bound(loops, 2); l < nl && !broken; ++l) {
        int64_t type = 0;
        if (!c.integer(92, type)) {
            broken = true;
            break;
        }
        std::vector<uint64_t> src;
        if (type & OdDbHatch::kPolyline) {
            int64_t bulged = 0, closed = 1, nv = 0;
            c.integer(72, bulged);
            c.integer(73, closed);
            if (!c.integer(93, nv)) {
                broken = true;
                break;
            }
            OdGePoint2dArray verts;
            OdGeDoubleArray bulges;
            for (int64_t k = 0, cnt = c.bound(nv, 2); k < cnt; ++k) {
                OdGePoint2d p;
                if (!c.point2(10, p)) break;
                double b = 0;
                if (c.at(42)) c.real(42, b);
                verts.append(p);
                bulges.append(b);
            }
            if (verts.length() != nv || h->appendLoop((int)type, verts, bulges) != eOk) {
                broken = true;
                break;
            }
            DxfAccess::setLoopClosed(h, h->numLoops() - 1, closed != 0);
        } else {
            int64_t ne = 0;
            if (!c.integer(93, ne)) {
                broken = true;
                break;
            }
            std::vector<OdGeCurve2d*> edges;
            OdGeIntArray types;
            std::vector<OdDbHatch::SplineFit> fits;
            bool anyFit = false;
            for (int64_t k = 0, cnt = c.bound(ne, 2); k < cnt; ++k) {
                int64_t et = 0;
                OdDbHatch::SplineFit fit;
                OdGeCurve2d* edge = c.integer(72, et) ? ReadEdge(c, et, k + 1 == cnt, fit) : nullptr;
                if (!edge) break;
                edges.push_back(edge);
                types.append((int)et);
                anyFit = anyFit || !fit.points.isEmpty() || fit.hasStart || fit.hasEnd;
                fits.push_back(fit);
            }
            broken = (int64_t)edges.size() != ne || edges.empty();
            if (!broken) {
                // Kept in the order the file gave, joined or not: a loop
                // with a gap is the file's to mend.
                DxfAccess::appendLoopAsRead(h, (int)type, edges, types, anyFit ? fits : std::vector<OdDbHatch::SplineFit>());
            }
            for (auto* e : edges) delete e;
            if (broken) break;
        }
        int64_t ns = 0;
        if (c.integer(97, ns))
            for (int64_t k = 0, cnt = c.bound(ns, 1); k < cnt; ++k)
                if (const Group* x = c.take(330)) src.push_back(x->handle);
        // A boundary object the file does not hold cannot be one of the
        // hatch's: the record is kept whole.
        for (uint64_t s : src)
            if (!std::binary_search(defined_.begin(), defined_.end(), s)) broken = true;
        sources.push_back(src);
    }
    if (broken || h->numLoops() != loops) {
        // Loops the hatch cannot hold as read: the file's record is kept
        // whole instead.
        delete h;
        return nullptr;
    }
    // Without a count of loops there are none, and what follows them is
    // the whole subclass.
    size_t after = count ? std::max(c.pos(), start) : start;
    auto later = [&](int code) { return v.find(code, nullptr, 0, after); };
    if (const Group* st = later(75); st && st->integer >= 0 && st->integer <= 2)
        h->setHatchStyle((OdDbHatch::HatchStyle)st->integer);
    // A solid fill has no pattern: a pattern's angle, scale and doubling
    // given with one are kept as the file wrote them, wherever they are.
    const bool solidFill = solid || Lower(pattern) == L"solid";
    double angle = 0, scale = 1;
    if (const Group* a = solidFill ? nullptr : later(52); a && a->kind == Kind::kReal) angle = a->real * kDegToRad;
    if (const Group* s = solidFill ? nullptr : later(41); s && s->kind == Kind::kReal && s->real > 0) scale = s->real;
    if (const Group* d = solidFill ? nullptr : later(77)) h->setPatternDouble(d->integer != 0);
    // The pattern's lines as the file gives them.
    OdHatchPattern lines;
    if (const Group* nlines = later(78); nlines && nlines->integer > 0) {
        Cursor lc(v, v.indexOf(nlines) + 1);
        for (int64_t l = 0, cnt = lc.bound(nlines->integer, 6); l < cnt; ++l) {
            OdHatchPatternLine line;
            double ang = 0, bx = 0, by = 0, ox = 0, oy = 0;
            int64_t dashes = 0;
            if (!lc.real(53, ang) || !lc.real(43, bx) || !lc.real(44, by) || !lc.real(45, ox) || !lc.real(46, oy) ||
                !lc.integer(79, dashes))
                break;
            line.m_dLineAngle = ang * kDegToRad;
            line.m_basePoint.set(bx, by);
            line.m_patternOffset = OdGeVector2d(ox, oy);
            for (int64_t d = 0, nd = lc.bound(dashes, 1); d < nd; ++d) {
                double len = 0;
                if (!lc.real(49, len)) break;
                line.m_dashes.append(len);
            }
            lines.append(line);
        }
        if (lines.length() != nlines->integer) {
            delete h;
            return nullptr;
        }
    }
    // The pattern's origin: the base point of its first line (set first:
    // the lines are the file's as they are).
    if (!lines.isEmpty()) h->setOriginPoint(lines[0].m_basePoint);
    if (solidFill) {
        h->setPattern(OdDbHatch::kPreDefined, L"SOLID");
    } else if (!pattern.empty()) {
        auto type = patternType == 0 ? OdDbHatch::kUserDefined : patternType == 2 ? OdDbHatch::kCustomDefined
                                                                                  : OdDbHatch::kPreDefined;
        h->setPattern(type, pattern.c_str(), angle, scale, lines);
    }
    if (h->isSolidFill()) {
        h->setPatternAngle(angle);
        h->setPatternScale(scale);
    }
    if (const Group* px = later(47); px && px->kind == Kind::kReal) h->setPixelSize(px->real);
    if (const Group* seeds = later(98); seeds && seeds->integer > 0) {
        Cursor sc(v, v.indexOf(seeds) + 1);
        for (int64_t s = 0, cnt = sc.bound(seeds->integer, 2); s < cnt; ++s) {
            OdGePoint2d p;
            if (!sc.point2(10, p)) break;
            h->appendSeedPoint(p);
        }
    }
    if (const Group* g = later(450); g && g->integer == 1) {
        h->setHatchObjectType(OdDbHatch::kGradientObject);
        const Group* name = later(470);
        const Group* kind = later(451);
        auto gtype = kind && kind->integer == 1 ? OdDbHatch::kUserDefinedGradient : OdDbHatch::kPreDefinedGradient;
        if (!name || h->setGradient(gtype, v.decode(*name).c_str()) != eOk) h->setGradient(gtype, L"LINEAR");
        if (const Group* a = later(460)) h->setGradientAngle(a->real);
        if (const Group* one = later(452)) h->setGradientOneColorMode(one->integer != 0);
        if (const Group* shift = later(461)) h->setGradientShift(std::clamp(shift->real, 0.0, 1.0));
        if (const Group* tint = later(462)) h->setShadeTintValue(std::clamp(tint->real, 0.0, 1.0));
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        for (size_t i = after; i < v.end(); ++i) {
            if (!v.readable(i)) continue;
            const Group& x = v.at(i);
            if (x.code == 463 || x.code == 63 || x.code == 421) v.take(i);
            if (x.code == 463) {
                colors.append(OdCmColor(OdCmEntityColor::kByACI));
                colors.last().setColorIndex(7);
                values.append(x.real);
            } else if (x.code == 63 && !colors.isEmpty() && x.integer >= 1 && x.integer <= 255) {
                colors.last().setColorIndex((int16_t)x.integer);
            } else if (x.code == 421 && !colors.isEmpty()) {
                // A colour index with its own value (as files give both)
                // stays an index.
                OdCmColor& c = colors.last();
                const uint32_t bgr = c.isByACI() ? gcedGetRGB(c.colorIndex()) : 0;
                const int64_t aciRgb = (int64_t)(bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
                if (!c.isByACI() || aciRgb != (x.integer & 0xFFFFFF))
                    c.setRGB((uint8_t)(x.integer >> 16), (uint8_t)(x.integer >> 8), (uint8_t)x.integer);
            }
        }
        if (colors.length() >= 2) h->setGradientColors((unsigned)colors.length(), colors.asArrayPtr(), values.asArrayPtr());
    }
    bool assoc = v.integer(71, 0, sub) != 0;
    h->setAssociative(assoc);
    if (assoc && !sources.empty()) {
        fixups_.push_back([this, h, sources] {
            for (int l = 0; l < h->numLoops() && l < (int)sources.size(); ++l) {
                OdDbObjectIdArray ids;
                for (uint64_t s : sources[(size_t)l])
                    if (OdDbObjectId id = idOf(s); !id.isNull()) ids.append(id);
                DxfAccess::setLoopIds(h, l, ids);
            }
        });
    }
    return h;
}

// A record the database cannot make into an entity of its own, kept whole.
OdDbEntity* Loader::proxy(const View& v)
{
    auto* p = new OdDbProxyEntity();
    std::string_view type = v.type();
    DxfAccess::fileRecord(p).dxfName = std::wstring(type.begin(), type.end());
    DxfAccess::fileRecord(p).fromFile = true;
    return p;
}

OdDbEntity* Loader::readPolyline(const EntityRecord& item)
{
    const View& v = item.v;
    const std::vector<Rec>& recs = item.recs;
    size_t& i = item.i;
    const size_t to = item.to;
    OdDbEntity* made = nullptr;
    made = makePolyline(v, recs, i, to);
    return made;
}

OdDbEntity* Loader::readHatch(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    made = makeHatch(v);
    return made;
}

OdDbEntity* Loader::makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                               std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs)
{
    std::string_view type = recs[i].type;
    const size_t first = i;
    OdDbEntity* made = nullptr;
    // Each kind's record is read by its reader (dxf_kinds.h).
    if (const EntityKind* kind = KindOfType(type); kind && kind->read) {
        EntityRecord r{v, recs, i, to, attrs, attrRecs};
        made = (this->*kind->read)(r);
        if (made || r.done) return made;
    }
    // Parts of sequences belong to the entity before them, and a block's
    // begin and end are no entities: kept among a block's entities they
    // would end it early when the file is read again. Everything else the
    // database cannot make is kept whole.
    if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB" || type == "BLOCK" || type == "ENDBLK")
        return nullptr;
    return keptWhole(v, recs, first, i, to);
}

OdDbEntity* Loader::keptWhole(const View& v, const std::vector<Rec>& recs, size_t first, size_t next, size_t to)
{
    keptFlags_ = 0;
    subRecs_.clear();
    subHandles_.clear();
    planePoints_.clear();
    // The records of its sequence (a polyline's vertices and end) go with
    // it, each kept whole.
    for (size_t k = first + 1; k < next && k < to; ++k) {
        View sv = view(recs[k], {});
        subRecs_.push_back(SubRecord{&recs[k], {}, recs[k].type});
        subHandles_.push_back(sv.handle());
    }
    return proxy(v);
}

// Block references that would draw a block inside itself, or nest deeper
// than drawing can follow, are erased: first the references that close a
// cycle, then, going down from the blocks nothing refers to, those below
// the deepest level. Both walks keep their own stacks: a file may chain any
// number of blocks.
void Loader::dropCyclicReferences()
{
    std::map<OdDbObjectId, std::vector<std::pair<OdDbObjectId, OdDbObjectId>>> refsIn;  // block -> (ref, target)
    std::set<OdDbObjectId> blocks;
    std::map<OdDbObjectId, const Reference*> recordsOf;
    for (const Reference& r : references_) recordsOf[r.ref] = &r;
    for (const auto& [ref, block, records] : references_) {
        OdDbObjectId target = static_cast<OdDbBlockReference*>(obj(ref))->blockTableRecord();
        refsIn[block].emplace_back(ref, target);
        blocks.insert(block);
        blocks.insert(target);
    }
    // Said with its attributes, which go with it.
    auto drop = [&](OdDbObjectId ref, const char* why) {
        DxfAccess::markErased(obj(ref));
        leftOut_.push_back((uint64_t)ref.getHandle());
        const std::vector<const Rec*>& records = recordsOf[ref]->records;
        leaveOut(*records.front(), std::string("a block reference left out as ") + why);
        for (size_t k = 1; k < records.size(); ++k) leaveOut(*records[k], "an attribute of that block reference");
    };
    enum { kNew, kOnPath, kDone };
    std::map<OdDbObjectId, int> state;
    for (OdDbObjectId root : blocks) {
        if (state[root] != kNew) continue;
        std::vector<std::pair<OdDbObjectId, size_t>> stack{{root, 0}};
        state[root] = kOnPath;
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            const auto& refs = refsIn[block];
            if (next == refs.size()) {
                state[block] = kDone;
                stack.pop_back();
                continue;
            }
            auto [ref, target] = refs[next++];
            if (state[target] == kOnPath) drop(ref, "it would draw its block inside itself");
            else if (state[target] == kNew) {
                state[target] = kOnPath;
                stack.emplace_back(target, 0);
            }
        }
    }
    auto live = [this](OdDbObjectId ref) { return !obj(ref)->isErased(); };
    std::map<OdDbObjectId, int> pending, level;
    for (const auto& [block, refs] : refsIn)
        for (const auto& [ref, target] : refs)
            if (live(ref)) ++pending[target];
    std::vector<OdDbObjectId> ready;
    for (OdDbObjectId b : blocks)
        if (pending[b] == 0) ready.push_back(b);
    while (!ready.empty()) {
        OdDbObjectId block = ready.back();
        ready.pop_back();
        for (const auto& [ref, target] : refsIn[block]) {
            if (!live(ref)) continue;
            if (level[block] + 1 > kMaxBlockDepth) drop(ref, "blocks nest too deep below it to be drawn");
            else level[target] = std::max(level[target], level[block] + 1);
            if (--pending[target] == 0) ready.push_back(target);
        }
    }
}

}  // namespace dxf
}  // namespace standin
