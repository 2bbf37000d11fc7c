// Drawing files: hatches (HATCH): boundary loops of a polyline or of
// edges (their edges in dxf_kind_hatch_edges.cpp), the pattern and its
// lines, seed points and a gradient. The codes are named once, in
// dxf_kind_hatch.h; the description for the table (dxf_kinds.h), the
// reader and the writer all use those names.
#include "dxf_kind_hatch.h"
#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

std::vector<EntityKind> HatchKinds()
{
    static const Subclass kHatch =
        Describe<HatchCodes, HatchLoopCodes, HatchEdgeCodes, HatchPatternLineCodes, HatchGradientCodes>();
    return {{"HATCH", &OdDbHatch::desc, {&kHatch}, &Loader::readHatch, &DxfOut::writeHatch}};
}

// ---- reading ----

OdDbEntity* Loader::makeHatch(const View& v)
{
    using C = HatchCodes;
    using L = HatchLoopCodes;
    using E = HatchEdgeCodes;
    using G = HatchGradientCodes;
    auto* h = new OdDbHatch();
    const char* sub = C::kMarker;
    h->setElevation(v.point(C::kElevation, sub).z);
    OdGeVector3d n = v.vector(C::kNormal, sub, OdGeVector3d(0, 0, 1));
    if (!n.isZeroLength()) h->setNormal(n);
    // The name the hatch can hold: up to a NUL, which ends it.
    const std::wstring pattern = v.text(C::kPatternName, sub).c_str();
    int64_t patternType = v.integer(C::kPatternType, 1, sub);
    bool solid = v.integer(C::kSolidFill, 0, sub) & 1;
    // The values before the loops, the loops, and the values after them.
    size_t start = v.subclassStart(sub);
    const Group* count = v.find(C::kLoopCount, sub);
    Cursor c(v, count ? v.indexOf(count) : v.end());
    int64_t declared = 0;
    c.integer(C::kLoopCount, declared);
    std::vector<std::vector<uint64_t>> sources;
    bool broken = false;
    // The loops that are there, whatever the count says (other readers
    // take every loop type after it for a loop).
    for (;;) {
        int64_t type = 0;
        if (broken || !c.integer(L::kType, type)) break;
        std::vector<uint64_t> src;
        if (type & OdDbHatch::kPolyline) {
            int64_t bulged = 0, closed = 1, nv = 0;
            c.integer(L::kBulged, bulged);
            c.integer(L::kClosed, closed);
            if (!c.integer(L::kCount, nv)) {
                broken = true;
                break;
            }
            OdGePoint2dArray verts;
            OdGeDoubleArray bulges;
            for (int64_t k = 0, cnt = c.bound(nv, 2); k < cnt; ++k) {
                OdGePoint2d p;
                if (!c.point2(L::kVertex, p)) break;
                double b = 0;
                if (c.at(L::kBulge)) c.real(L::kBulge, b);
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
            if (!c.integer(L::kCount, ne)) {
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
                OdGeCurve2d* edge = c.integer(E::kType, et) ? ReadHatchEdge(c, et, k + 1 == cnt, fit) : nullptr;
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
        if (c.integer(L::kSourceCount, ns))
            for (int64_t k = 0, cnt = c.bound(ns, 1); k < cnt; ++k)
                if (const Group* x = c.take(L::kSource)) src.push_back(x->handle);
        // A boundary object the file does not hold cannot be one of the
        // hatch's: the record is kept whole.
        for (uint64_t s : src)
            if (!std::binary_search(defined_.begin(), defined_.end(), s)) broken = true;
        sources.push_back(src);
    }
    if (broken) {
        // Loops the hatch cannot hold as read: the file's record is kept
        // whole instead.
        delete h;
        return nullptr;
    }
    // Without a count of loops there are none, and what follows them is
    // the whole subclass.
    size_t after = count ? std::max(c.pos(), start) : start;
    auto later = [&](int code) { return v.find(code, nullptr, 0, after); };
    // A single value no loop or edge gives is the hatch's wherever it is:
    // one before the loops, kept, would go back after them and be read
    // there the next time, so that a second save would differ.
    auto single = [&](int code) {
        const Group* g = later(code);
        return g ? g : v.find(code, nullptr, 0, start);
    };
    if (const Group* st = single(C::kStyle); st && st->integer >= 0 && st->integer <= 2)
        h->setHatchStyle((OdDbHatch::HatchStyle)st->integer);
    // A solid fill has no pattern: a pattern's angle, scale and doubling
    // given with one are kept as the file wrote them, wherever they are.
    // A hatch that names no pattern is one (it keeps the solid fill it
    // was made with).
    const bool solidFill = solid || pattern.empty() || Lower(pattern) == L"solid";
    double angle = 0, scale = 1;
    if (const Group* a = solidFill ? nullptr : single(C::kPatternAngle); a && a->kind == Kind::kReal)
        angle = a->real * kDegToRad;
    if (const Group* s = solidFill ? nullptr : single(C::kPatternScale); s && s->kind == Kind::kReal && s->real > 0)
        scale = s->real;
    if (const Group* d = solidFill ? nullptr : single(C::kPatternDouble)) h->setPatternDouble(d->integer != 0);
    // The pattern's lines as the file gives them.
    OdHatchPattern lines;
    if (const Group* nlines = solidFill ? nullptr : later(C::kPatternLineCount); nlines && nlines->integer > 0) {
        using P = HatchPatternLineCodes;
        Cursor lc(v, v.indexOf(nlines) + 1);
        for (int64_t l = 0, cnt = lc.bound(nlines->integer, 6); l < cnt; ++l) {
            OdHatchPatternLine line;
            double ang = 0, bx = 0, by = 0, ox = 0, oy = 0;
            int64_t dashes = 0;
            if (!lc.real(P::kAngle, ang) || !lc.real(P::kBaseX, bx) || !lc.real(P::kBaseY, by) ||
                !lc.real(P::kOffsetX, ox) || !lc.real(P::kOffsetY, oy) || !lc.integer(P::kDashCount, dashes))
                break;
            line.m_dLineAngle = ang * kDegToRad;
            line.m_basePoint.set(bx, by);
            line.m_patternOffset = OdGeVector2d(ox, oy);
            for (int64_t d = 0, nd = lc.bound(dashes, 1); d < nd; ++d) {
                double len = 0;
                if (!lc.real(P::kDash, len)) break;
                line.m_dashes.append(len);
            }
            lines.append(line);
        }
        if (lines.length() != nlines->integer) {
            delete h;
            return nullptr;
        }
    }
    // A solid fill's pattern where other writers give one, right after the
    // pattern type (angle, scale, doubling, lines): kept as the file gave
    // it, and written there again while the hatch is a solid fill. Kept
    // elsewhere, it goes back at the end of the values, where it is out of
    // this place again.
    const Group* typeGroup = later(C::kPatternType);
    if (const Group* before = typeGroup ? typeGroup : later(C::kStyle); solidFill && before) {
        using P = HatchPatternLineCodes;
        auto in = [](int code, std::initializer_list<int> codes) {
            return std::find(codes.begin(), codes.end(), code) != codes.end();
        };
        const auto heads = {C::kPatternAngle, C::kPatternScale, C::kPatternDouble, C::kPatternLineCount};
        const auto run = {C::kPatternAngle, C::kPatternScale, C::kPatternDouble, C::kPatternLineCount, P::kAngle,
                          P::kBaseX,        P::kBaseY,        P::kOffsetX,        P::kOffsetY,          P::kDashCount,
                          P::kDash};
        // Only values right after it: one past a group kept where it is
        // (a value that cannot be read) would be read there only once
        // saved, as the kept group goes back after the values.
        size_t at = v.indexOf(before) + 1;
        std::vector<KeptGroup> groups;
        if (at < v.end() && v.readable(at) && in(v.at(at).code, heads))
            while (at < v.end() && v.readable(at) && in(v.at(at).code, run)) groups.push_back(keptGroup(v.take(at++)));
        if (!groups.empty()) keptOf(h).solidPattern = std::move(groups);
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
    if (const Group* px = single(C::kPixelSize); px && px->kind == Kind::kReal) {
        h->setPixelSize(px->real);
        if (px->real == 0) keptFlags_ |= kZeroPixelSize;
    }
    if (const Group* seeds = later(C::kSeedCount); seeds && seeds->integer > 0) {
        Cursor sc(v, v.indexOf(seeds) + 1);
        for (int64_t s = 0, cnt = sc.bound(seeds->integer, 2); s < cnt; ++s) {
            OdGePoint2d p;
            if (!sc.point2(C::kSeed, p)) break;
            h->appendSeedPoint(p);
        }
    }
    if (const Group* g = later(G::kGradient); g && g->integer == 1) {
        h->setHatchObjectType(OdDbHatch::kGradientObject);
        const Group* name = later(G::kName);
        const Group* kind = later(G::kUserDefined);
        auto gtype = kind && kind->integer == 1 ? OdDbHatch::kUserDefinedGradient : OdDbHatch::kPreDefinedGradient;
        if (!name || h->setGradient(gtype, v.decode(*name).c_str()) != eOk) h->setGradient(gtype, L"LINEAR");
        if (const Group* a = later(G::kAngle)) h->setGradientAngle(a->real);
        if (const Group* one = later(G::kOneColour)) h->setGradientOneColorMode(one->integer != 0);
        if (const Group* shift = later(G::kShift)) h->setGradientShift(std::clamp(shift->real, 0.0, 1.0));
        if (const Group* tint = later(G::kTint)) h->setShadeTintValue(std::clamp(tint->real, 0.0, 1.0));
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        for (size_t i = after; i < v.end(); ++i) {
            if (!v.readable(i)) continue;
            const Group& x = v.at(i);
            if (x.code == G::kColourValue || x.code == G::kColourIndex || x.code == G::kColourRgb) v.take(i);
            if (x.code == G::kColourValue) {
                colors.append(OdCmColor(OdCmEntityColor::kByACI));
                colors.last().setColorIndex(7);
                values.append(x.real);
            } else if (x.code == G::kColourIndex && !colors.isEmpty() && x.integer >= 1 && x.integer <= 255) {
                colors.last().setColorIndex((int16_t)x.integer);
            } else if (x.code == G::kColourRgb && !colors.isEmpty()) {
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
    bool assoc = v.integer(C::kAssociative, 0, sub) != 0;
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

OdDbEntity* Loader::readHatch(const EntityRecord& item) { return makeHatch(item.v); }

// ---- writing ----

void DxfOut::hatch(const OdDbHatch* h)
{
    using C = HatchCodes;
    using L = HatchLoopCodes;
    using G = HatchGradientCodes;
    entityCommon("HATCH", h);
    marker(C::kMarker);
    point(C::kElevation, OdGePoint3d(0, 0, h->elevation()));
    point(C::kNormal, AsPoint(h->normal()));
    bool gradient = h->hatchObjectType() == OdDbHatch::kGradientObject;
    text(C::kPatternName, gradient ? L"SOLID" : h->patternName().str());
    integer(C::kSolidFill, gradient || h->isSolidFill() ? 1 : 0);
    integer(C::kAssociative, h->associative() ? 1 : 0);
    integer(C::kLoopCount, h->numLoops());
    for (int i = 0; i < h->numLoops(); ++i) {
        int type = h->loopTypeAt(i);
        integer(L::kType, type);
        OdGePoint2dArray verts;
        OdGeDoubleArray bulges;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (h->getLoopAt(i, type, verts, bulges) == eOk) {
            bool hasBulge = false;
            for (double b : bulges) hasBulge = hasBulge || b != 0;
            integer(L::kBulged, hasBulge ? 1 : 0);
            integer(L::kClosed, DxfAccess::loopClosed(h, i) ? 1 : 0);
            integer(L::kCount, verts.length());
            for (int k = 0; k < verts.length(); ++k) {
                point2(L::kVertex, verts[k].x, verts[k].y);
                if (hasBulge) real(L::kBulge, k < bulges.length() ? bulges[k] : 0.0);
            }
        } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
            integer(L::kCount, edges.length());
            hatchEdges(edges, edgeTypes, DxfAccess::loopFits(h, i));
        }
        std::vector<uint64_t> sources;
        for (const auto& id : DxfAccess::loopIds(h, i))
            if (written(id)) sources.push_back(id.getHandle());
        integer(L::kSourceCount, (int64_t)sources.size());
        for (uint64_t s : sources) handle(L::kSource, s);
    }
    integer(C::kStyle, h->hatchStyle());
    integer(C::kPatternType, h->patternType());
    if (!h->isSolidFill() && !gradient) {
        using P = HatchPatternLineCodes;
        real(C::kPatternAngle, Degrees(h->patternAngle()));
        real(C::kPatternScale, h->patternScale());
        integer(C::kPatternDouble, h->patternDouble() ? 1 : 0);
        integer(C::kPatternLineCount, h->numPatternDefinitions());
        for (int i = 0; i < h->numPatternDefinitions(); ++i) {
            double angle, bx, by, ox, oy;
            OdGeDoubleArray dashes;
            h->getPatternDefinitionAt(i, angle, bx, by, ox, oy, dashes);
            real(P::kAngle, Degrees(angle));
            real(P::kBaseX, bx);
            real(P::kBaseY, by);
            real(P::kOffsetX, ox);
            real(P::kOffsetY, oy);
            integer(P::kDashCount, dashes.length());
            for (double d : dashes) real(P::kDash, d);
        }
    }
    const DxfKept* kept = DxfAccess::kept(h);
    if (h->isSolidFill() || gradient)
        if (kept)
            for (const KeptGroup& g : kept->solidPattern) {
                check(g.code);
                w_.kept(g, 0);
            }
    if (h->pixelSize() != 0 || (kept && (kept->flags & kZeroPixelSize))) real(C::kPixelSize, h->pixelSize());
    integer(C::kSeedCount, h->numSeedPoints());
    for (int i = 0; i < h->numSeedPoints(); ++i) point2(C::kSeed, h->getSeedPointAt(i).x, h->getSeedPointAt(i).y);
    if (gradient) {
        unsigned count = 0;
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        h->getGradientColors(count, colors, values);
        integer(G::kGradient, 1);
        integer(G::kUserDefined, h->gradientType());
        integer(G::kOneColour, h->getGradientOneColorMode() ? 1 : 0);
        integer(G::kColourCount, colors.length());
        for (int i = 0; i < colors.length(); ++i) {
            real(G::kColourValue, i < values.length() ? values[i] : 0.0);
            color(G::kColourIndex, colors[i]);
            if (!colors[i].isByColor()) integer(G::kColourRgb, RgbOf(colors[i]));
        }
        real(G::kAngle, h->gradientAngle());
        real(G::kShift, h->gradientShift());
        real(G::kTint, h->shadeTintValue());
        text(G::kName, h->gradientName().str());
    }
}

void DxfOut::writeHatch(const OdDbEntity* e) { hatch(static_cast<const OdDbHatch*>(e)); }

}  // namespace dxf
}  // namespace standin
