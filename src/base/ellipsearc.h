// Ellipse routines in two families.
//
// Axis ellipses: a centre, an axis end point and an axis ratio (R = the
// distance from the centre to the axis point, r = R * ratio). Their axis
// angles are degrees counter-clockwise from the direction that points from
// the axis point through the centre; the perimeter and arc-length routines
// take 180 - A, so that their own angles run clockwise from the axis point.
//
// Rectangle ellipses: the ellipse inscribed in an integer rectangle, y
// growing downwards, with compass degrees: 0 west (left), 90 north (top),
// 180 east, 270 south.
#pragma once

#include "base/pointrect.h"
#include "base/rvector3d.h"
#include "win32_types.h"

double CompassDegFromRad(double radians);
// Compass direction of point 2 seen from point 1.
double CompassAngle(double x1, double y1, double x2, double y2);
// Compass angles of an arc's start and end (exchanged when direction > 0),
// the end raised by 360 when below the start.
void ArcAnglesFromPoints(double cx, double cy, double sx, double sy, double ex, double ey,
                         double direction, double* outStart, double* outEnd);

// Where the ray at axis angle `angle` (degrees) meets the ellipse. A
// negative ratio gives (0, 0); a ratio of 0 counts as 1.
void EllipsePointXY(const RVector3d* centre, const RVector3d* axisPoint, double ratio, double angle,
                    double* outX, double* outY);
RVector3d EllipsePointAt(RVector3d centre, RVector3d axisPoint, double ratio, double angle);
double EllipsePerimeterApprox(double a, double b);
// Perimeter of the inscribed 360-gon.
double EllipsePerimeterChords(double a, double b);
// Length of the arc from startDeg to endDeg (normalised to follow it), by
// chords scaled towards the approximate perimeter. A negative perimeter
// argument is computed here.
double EllipseArcLength(double a, double b, double startDeg, double endDeg, double perimApprox,
                        double perimChords);
// End angle at which the arc from startDeg reaches `length`, by bisection.
double EllipseAngleForLength(double a, double b, double startDeg, double length, double perimApprox,
                             double perimChords);
// Rectangle to redraw for an arc drawn with the given line width.
Rect64 EllipseArcUpdateRect(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                            int lineWidth, double startDeg, double endDeg);
// The boundary counts as outside.
bool PointInEllipse(const RVector3d* centre, const RVector3d* axisPoint, double ratio, double px,
                    double py);
bool PointInEllipseSector(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                          double px, double py, double startDeg, double endDeg);
bool PointInEllipseSectorB(const RVector3d* centre, const RVector3d* axisPoint, double ratio,
                           double px, double py, double startDeg, double endDeg);

// Where the ray at compass direction `angle` meets the ellipse.
void RectEllipsePolarPoint(const Rect64* r, double angle, double* outX, double* outY);
void RectEllipsePolarPoint32(const RECT* r, double angle, double* outX, double* outY);
// The point at compass parametric angle `angle`.
void RectEllipseParamPoint(const Rect64* r, double angle, double* outX, double* outY);
// Parametric angle of the point that RectEllipsePolarPoint gives for angle.
double RectEllipsePolarToParam(const Rect64* r, double angle);
// Distance from p to the circular arc from s to e (exchanged when direction
// > 0) on the circle of the rectangle's half width.
int PointArcDistance(const Rect64* r, int64_t px, int64_t py, int64_t sx, int64_t sy, int64_t ex,
                     int64_t ey, double direction);
int PointEllipseArcDistance(const Rect64* r, int64_t px, int64_t py, double startDeg, double endDeg);
// Bounds of an arc of at most 180 degrees with startDeg in [0, 360); the
// whole rectangle for longer arcs.
Rect64 RectEllipseArcBounds(const Rect64* r, double startDeg, double endDeg);
RECT RectEllipseArcBounds32(const RECT* r, double startDeg, double endDeg);
// False for rectangles less than 2 units wide or high.
bool PointInRectEllipse32(const RECT* r, int x, int y);
bool PointInRectEllipse64(const Rect64* r, int64_t x, int64_t y);
bool PointInRectEllipseSector32(const RECT* r, int x, int y, double startDeg, double endDeg);
bool PointInRectEllipseSector64(const Rect64* r, int64_t x, int64_t y, double startDeg, double endDeg);
