// Circular arcs in the xy plane, built from a chord and a bulge (the tangent
// of a quarter of the included angle, as polyline vertices carry it) or
// through three points.
#pragma once

#include "base/rvector3d.h"

class RArc
{
public:
    RVector3d centre;
    double radius;
    // Directions of the start and end points seen from the centre.
    double startAngle;
    double endAngle;
    // 1 when built from a negative bulge; Sweep and Bulge ignore it.
    unsigned char clockwise;

    RArc() : radius(0), startAngle(0), endAngle(0), clockwise(0) {}
    RArc(const RVector3d& centre, double radius, double startAngle, double endAngle,
         unsigned char clockwise)
        : centre(centre), radius(radius), startAngle(startAngle), endAngle(endAngle), clockwise(clockwise)
    {
    }
    RArc(const RArc&) = default;

    // Points have z = 0.
    virtual RVector3d StartPoint() const { return PointAt(startAngle); }
    virtual RVector3d EndPoint() const { return PointAt(endAngle); }
    RVector3d PointAt(double angle) const;
    // Counter-clockwise sweep from start to end, in (0, 2 pi]: equal angles
    // give a full turn.
    double Sweep() const;
    double Bulge() const;
};

// A positive bulge runs counter-clockwise from p1 to p2; a negative one
// mirrors it and sets `clockwise`. A bulge of 0 has no arc: the radius and
// centre come out non-finite.
RArc ArcFromBulge(const RVector3d* p1, const RVector3d* p2, double bulge);
// The counter-clockwise arc through the three points, from p1 to p3 or from
// p3 to p1; the default arc when p1 = p2 or p2 = p3.
RArc ArcFromThreePoints(const RVector3d* p1, const RVector3d* p2, const RVector3d* p3);
double BulgeFromArcPoints(double cx, double cy, double sx, double sy, double ex, double ey,
                          unsigned char clockwise);
