// Plane geometry on points and segments: distances, intersections of
// segments, lines and circles, feet of perpendiculars, triangle and
// quadrilateral areas and tests, ray-triangle hits and point mapping
// between segments and triangles. Stateless free functions.
//
// Unless stated otherwise a routine reads only x and y of its RVector3d
// arguments. A quadrilateral q0..q3 has the boundary q0, q1, q3, q2.
#pragma once

#include "base/pointrect.h"
#include "base/rvector3d.h"
#include "win32_types.h"

double Distance2d(double x1, double y1, double x2, double y2);
double DistancePoint32(POINT a, POINT b);
// 1e16 when a difference is too large for its square to fit 64 bits.
double DistancePoint64(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
// Distance from p to the segment ab: to the perpendicular foot when it lies
// on the segment, else to the nearer end. `foot`, when given, receives the
// rounded perpendicular foot even when it lies beyond the segment.
double PointSegmentDistance32(POINT a, POINT b, POINT p, POINT* foot);
double PointSegmentDistance64(const Point64* a, const Point64* b, const Point64* p, Point64* foot);

// Also true when a segment has zero length.
bool SegmentsParallel32(POINT p1, POINT p2, POINT p3, POINT p4);
// True when segments ab and cd cross. Unless they are parallel, `out`
// receives the crossing of the two lines (x and y) whatever the result.
bool SegmentIntersection(RVector3d a, RVector3d b, RVector3d c, RVector3d d, RVector3d* out);
bool SegmentIntersection32(POINT a, POINT b, POINT c, POINT d, POINT* out);
bool SegmentIntersection64(const Point64* a, const Point64* b, const Point64* c, const Point64* d,
                           Point64* out);
// Crossings of segment p0p1 with the rectangle's edges (left, top, bottom,
// right), appended to `out` (room for four; a corner is stored once per
// edge) at *count, which is not reset. With a null `out` the first crossing
// returns true. Without crossings, true when the rectangle holds p0 or p1.
bool SegmentRectIntersections32(const RVector3d* p0, const RVector3d* p1, const RECT* r,
                                RVector3d* out, int* count);
bool SegmentRectIntersections64(const RVector3d* p0, const RVector3d* p1, const Rect64* r,
                                RVector3d* out, int* count);
// Foot of the perpendicular from p on the unbounded line ab.
RVector3d PerpendicularFoot(const RVector3d* a, const RVector3d* b, const RVector3d* p);
// Foot of the perpendicular from (ox, oy) on the perpendicular bisector of
// (x1, y1)-(x2, y2).
bool BisectorFoot(double x1, double y1, double x2, double y2, double ox, double oy, double* outX,
                  double* outY);
// False, outputs untouched, for (nearly) collinear points.
bool CircumCentre(double x1, double y1, double x2, double y2, double x3, double y3, double* outX,
                  double* outY);
bool IsCounterClockwise(const RVector3d* a, const RVector3d* b, const RVector3d* c);
// The directions a->b and b->c differ by less than one degree (no wrap at
// +-pi).
bool NearlyCollinear32(POINT a, POINT b, POINT c);
double Atan2Int(double y, int64_t x);

// Angle opposite side a of a triangle with sides a, b, c.
double TriangleAngle(double a, double b, double c);
// 0, 1 (tangent) or 2 crossings of the line p0p1 with the circle.
int LineCircleIntersections(const RVector3d* p0, const RVector3d* p1, const RVector3d* centre,
                            double radius, RVector3d* out1, RVector3d* out2);
// 0 when the circles do not meet, 1 when they touch (outside or inside), 2.
int CircleCircleIntersections(const RVector3d* c1, double r1, const RVector3d* c2, double r2,
                              RVector3d* out1, RVector3d* out2);

// Heron's formula on the 3-D side lengths; 0 for collinear points.
double TriangleArea(const RVector3d* a, const RVector3d* b, const RVector3d* c);
double QuadArea(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2, const RVector3d* q3);
double QuadAreaAroundPoint(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2,
                           const RVector3d* q3, const RVector3d* p);
// Segment ab crosses the line at y within [x0, x1].
bool CrossesHorizontal(double x0, double x1, double y, const RVector3d* a, const RVector3d* b);
// Segment ab crosses the line at x within [y0, y1].
bool CrossesVertical(double x, double y0, double y1, const RVector3d* a, const RVector3d* b);
bool PointInQuad(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2, const RVector3d* q3,
                 double px, double py);
bool QuadOverlapsRect(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2,
                      const RVector3d* q3, double minX, double minY, double maxX, double maxY);
// Moller-Trumbore in 3-D. Bounded: the hit must lie inside the triangle
// (t is not limited); unbounded: any hit of the triangle's plane.
bool RayTriangleIntersect(RVector3d orig, RVector3d dir, RVector3d t0, RVector3d t1, RVector3d t2,
                          bool unbounded, double* t, double* u, double* v);
// Where the line through p0 and p1 meets the triangle (the whole line
// counts, not only the segment).
bool SegmentTriangleHit(const RVector3d* p0, const RVector3d* p1, const RVector3d* t0,
                        const RVector3d* t1, const RVector3d* t2, RVector3d* out);
// Where the line meets the triangle's plane, inside the triangle or not.
bool LinePlaneHit(const RVector3d* p0, const RVector3d* p1, const RVector3d* t0, const RVector3d* t1,
                  const RVector3d* t2, RVector3d* out);
// 1, 2 or 3 for the first of a, b, c within tol of p on both axes; else 0.
int NearestVertexWithin(const Point64* a, const Point64* b, const Point64* c, const Point64* p,
                        int tol);
// Carries x by the similarity taking a1 to a2 and b1 to b2.
void MapPointBetweenSegments(const Point64* a1, const Point64* b1, const Point64* x,
                             const Point64* a2, const Point64* b2, Point64* out);
// Carries p from triangle abc to triangle def.
void MapPointBetweenTriangles(const Point64* a, const Point64* b, const Point64* c,
                              const Point64* p, const Point64* d, const Point64* e,
                              const Point64* f, Point64* out);
