// Drawing files: the edges of a hatch's boundary loops (lines, arcs,
// elliptic arcs, splines with their fit data) read and written, by the
// names of their codes (dxf_kind_hatch.h).
#include "dxf_kind_hatch.h"
#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// An arc edge's end is at most this many turns before its start.
const int kMaxEdgeTurns = 64;

}  // namespace

OdGeCurve2d* ReadHatchEdge(Cursor& c, int64_t type, bool lastEdge, OdDbHatch::SplineFit& fit)
{
    using E = HatchEdgeCodes;
    OdGePoint2d p, q;
    double r = 0, s = 0, e = 0;
    int64_t ccw = 1;
    switch (type) {
    case OdDbHatch::kLine:
        if (!c.point2(E::kStart, p) || !c.point2(E::kEnd, q)) return nullptr;
        return new OdGeLineSeg2d(p, q);
    case OdDbHatch::kCirArc: {
        if (!c.point2(E::kCenter, p) || !c.real(E::kRadius, r) || !c.real(E::kStartAngle, s) ||
            !c.real(E::kEndAngle, e) || !c.integer(E::kCounterClockwise, ccw))
            return nullptr;
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
        if (!c.point2(E::kCenter, p) || !c.point2(E::kMajorAxis, q) || !c.real(E::kRatio, ratio) ||
            !c.real(E::kStartAngle, s) || !c.real(E::kEndAngle, e) || !c.integer(E::kCounterClockwise, ccw))
            return nullptr;
        OdGeVector2d maj(q.x, q.y);
        if (maj.length() <= 0 || !(ratio > 0)) return nullptr;
        double t0 = EllipseParamOfAngle(ratio, s * kDegToRad), t1 = EllipseParamOfAngle(ratio, e * kDegToRad);
        if (!(t0 - t1 <= kMaxEdgeTurns * 2 * M_PI)) return nullptr;
        while (t1 < t0) t1 += 2 * M_PI;
        if (t1 - t0 > 4 * M_PI) return nullptr;
        OdGeVector2d minor(-maj.y, maj.x);
        if (ccw == 0) minor = minor * -1.0;
        auto* arc = new OdGeEllipArc2d(p, maj, minor, maj.length(), maj.length() * ratio, t0, t1);
        arc->setGivenAxis(maj, ratio);
        return arc;
    }
    case OdDbHatch::kSpline: {
        int64_t degree = 0, rational = 0, periodic = 0, nKnots = 0, nCtrl = 0;
        if (!c.integer(E::kDegree, degree) || !c.integer(E::kRational, rational) ||
            !c.integer(E::kPeriodic, periodic) || !c.integer(E::kKnotCount, nKnots) ||
            !c.integer(E::kControlCount, nCtrl))
            return nullptr;
        OdGeDoubleArray knots, weights;
        OdGePoint2dArray ctrl;
        for (int64_t k = 0, n = c.bound(nKnots, 1); k < n; ++k) {
            double x = 0;
            if (!c.real(E::kKnot, x)) return nullptr;
            knots.append(x);
        }
        for (int64_t k = 0, n = c.bound(nCtrl, 2); k < n; ++k) {
            OdGePoint2d cp;
            if (!c.point2(E::kControlPoint, cp)) return nullptr;
            ctrl.append(cp);
            double w = 1;
            if (rational && c.real(E::kWeight, w)) weights.append(w);
        }
        if (knots.length() != nKnots || ctrl.length() != nCtrl) return nullptr;
        // Fit data: its count shares the code of the loop's source count,
        // which follows the last edge; fit points or a second count tell
        // them apart.
        int64_t nFit = 0;
        Cursor look = c;
        if (look.integer(E::kFitCount, nFit) &&
            (look.at(E::kFitPoint) || (nFit == 0 && (look.at(HatchLoopCodes::kSourceCount) || !lastEdge)))) {
            c = look;
            for (int64_t k = 0, n = c.bound(nFit, 2); k < n; ++k) {
                OdGePoint2d fp;
                if (!c.point2(E::kFitPoint, fp)) return nullptr;
                fit.points.append(fp);
            }
            OdGePoint2d t;
            if (c.at(E::kStartTangent) && c.point2(E::kStartTangent, t)) {
                fit.hasStart = true;
                fit.start = OdGeVector2d(t.x, t.y);
            }
            if (c.at(E::kEndTangent) && c.point2(E::kEndTangent, t)) {
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

// The edges of a loop of edges; a spline's fit data from `fits`.
void DxfOut::hatchEdges(const OdGeVoidPointerArray& edges, const OdGeIntArray& edgeTypes,
                        const std::vector<OdDbHatch::SplineFit>& fits)
{
    using E = HatchEdgeCodes;
    for (int k = 0; k < edges.length(); ++k) {
        auto* c = static_cast<const OdGeCurve2d*>(edges[k]);
        int et = edgeTypes[k];
        integer(E::kType, et);
        if (et == OdDbHatch::kLine) {
            OdGePoint2d s = c->startPoint(), e = c->endPoint();
            point2(E::kStart, s.x, s.y);
            point2(E::kEnd, e.x, e.y);
        } else if (et == OdDbHatch::kCirArc) {
            // A clockwise arc is stored by the complements of its angles,
            // as drawing files keep them.
            auto* a = static_cast<const OdGeCircArc2d*>(c);
            double base = a->refVec().angle();
            double sign = a->isClockWise() ? -1 : 1;
            point2(E::kCenter, a->center().x, a->center().y);
            real(E::kRadius, a->radius());
            double s = Degrees(a->startAng() + sign * base), e = Degrees(a->endAng() + sign * base);
            // Angles past a whole turn go back as files write them.
            if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
            real(E::kStartAngle, s);
            real(E::kEndAngle, e);
            integer(E::kCounterClockwise, a->isClockWise() ? 0 : 1);
        } else if (et == OdDbHatch::kEllArc) {
            auto* a = static_cast<const OdGeEllipArc2d*>(c);
            OdGeVector2d maj;
            double ratio = 1;
            if (!a->givenAxis(maj, ratio)) {
                maj = a->majorAxis() * a->majorRadius();
                ratio = a->majorRadius() > 0 ? a->minorRadius() / a->majorRadius() : 1.0;
            }
            point2(E::kCenter, a->center().x, a->center().y);
            point2(E::kMajorAxis, maj.x, maj.y);
            real(E::kRatio, ratio);
            double s = EllipseDegrees(ratio, a->startAng()), e = EllipseDegrees(ratio, a->endAng());
            if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
            real(E::kStartAngle, s);
            real(E::kEndAngle, e);
            integer(E::kCounterClockwise, a->majorAxis().crossProduct(a->minorAxis()) >= 0 ? 1 : 0);
        } else {
            auto* s = static_cast<const OdGeSplineEnt2d*>(c);
            integer(E::kDegree, s->degree());
            integer(E::kRational, s->isRational() ? 1 : 0);
            integer(E::kPeriodic, 0);
            integer(E::kKnotCount, s->numKnots());
            integer(E::kControlCount, s->numControlPoints());
            for (int j = 0; j < s->numKnots(); ++j) real(E::kKnot, s->knotAt(j));
            for (int j = 0; j < s->numControlPoints(); ++j) {
                point2(E::kControlPoint, s->controlPointAt(j).x, s->controlPointAt(j).y);
                if (s->isRational()) real(E::kWeight, s->weightAt(j));
            }
            const OdDbHatch::SplineFit* fit = (size_t)k < fits.size() ? &fits[(size_t)k] : nullptr;
            integer(E::kFitCount, fit ? fit->points.length() : 0);
            if (fit) {
                for (const auto& p : fit->points) point2(E::kFitPoint, p.x, p.y);
                if (fit->hasStart) point2(E::kStartTangent, fit->start.x, fit->start.y);
                if (fit->hasEnd) point2(E::kEndTangent, fit->end.x, fit->end.y);
            }
        }
    }
}

}  // namespace dxf
}  // namespace standin
