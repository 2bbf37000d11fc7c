// A sphere centred at the origin and points and lines in the plane.
//
// Sphere convention (degrees): latitude lat and longitude lon on radius r
// are x = r cos(lat) cos(lon), y = -r sin(lat), z = -r cos(lat) sin(lon);
// the polar axis is y and positive latitudes have negative y.
#pragma once

#include "base/rvector3d.h"

RVector3d LerpPoint(const RVector3d& a, const RVector3d& b, double t);
void SphereToXyz(double latitude, double longitude, double radius, RVector3d* out);
// (longitude, latitude, height above the sphere of radius R): longitude
// first, unlike the arguments of SphereToXyz.
RVector3d XyzToSphere(const RVector3d& v, double radius);
// Central angle t (radians) between a and b; b is changed: scaled by
// 1 / cos t and turned by a quarter turn about a; out = a - b.
double SphereTangentOffset(const RVector3d& a, RVector3d* b, RVector3d* out);
// q becomes q - p; the angle at p between c and q, negative (and out
// mirrored through the origin) when out falls on the far side.
double SignedSphereAngle(const RVector3d& c, const RVector3d& p, RVector3d* q, RVector3d* out);
// The nearer point where the ray from p through q meets the sphere of
// radius r; false when p is on or inside the sphere or the ray misses.
// q is moved along the ray to the distance |p| from p.
bool RaySphereHit(const RVector3d& p, RVector3d* q, double r, RVector3d* out);
// Distance from p to the line through a and b (a vertical or horizontal
// line by exact comparison; the z of p counts otherwise).
double PointLineDistance(const RVector3d& p, const RVector3d& a, const RVector3d& b);
// The same for the line through a at direction angle t (radians).
double PointLineDistanceByAngle(const RVector3d& p, const RVector3d& a, double t);
// Midpoint of the chord's middle and the point where the line through p
// parallel to the chord meets the chord's perpendicular bisector; z = 0.
RVector3d ChordBisectorMidpoint(const RVector3d& p, const RVector3d& a, const RVector3d& b);
// |x - p1| / |p0 - p1|, negative when x is nearer to p1 than to p0.
double SignedDistanceRatio(const RVector3d& p0, const RVector3d& p1, const RVector3d& x);
