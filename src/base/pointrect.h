// Small value types and scalar routines of the geometry library: the 64-bit
// integer point and rectangle (y growing downwards, as RECT), rotated
// rectangles, angle normalisation, interpolation and two-axis frames.
#pragma once

#include <cstdint>

#include "base/rvector3d.h"
#include "win32_types.h"

struct Point64
{
    int64_t x;
    int64_t y;
    Point64(int64_t x, int64_t y) : x(x), y(y) {}
};

// All four fields -1 is the empty marker: AddPoint treats it as holding no
// point yet.
struct Rect64
{
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;

    Rect64() : left(0), top(0), right(0), bottom(0) {}
    Rect64(int64_t l, int64_t t, int64_t r, int64_t b) : left(l), top(t), right(r), bottom(b) {}
    static Rect64 Empty() { return Rect64(-1, -1, -1, -1); }

    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
    // Left and top inside, right and bottom outside.
    bool Contains(const Point64* p) const;
    // Adding (-1, -1) to the empty marker gives (-1, -1, 0, 0).
    void AddPoint(int64_t x, int64_t y);
    void Inflate(int64_t dx, int64_t dy);
};

Rect64 Rect64FromRect(const RECT* r);
// Keeps the low 32 bits of each field.
RECT RectFromRect64(const Rect64* r);
void RectAddPoint32(RECT* r, int x, int y);
void RectInflate32(RECT* r, int dx, int dy);

// Double to integer conversions; out-of-range values clamp and NaN gives 0.
int32_t TruncToInt32(double v);
int64_t TruncToInt64(double v);
// Half away from zero.
int32_t RoundToInt32(double v);
int64_t RoundToInt64(double v);

// Corners (lt, rt, lb, rb) and side middles (l, r, t, b) of a w x h
// rectangle about `centre` (x, y) turned by +angle degrees; each output is
// written only when given. labelPoint and labelSize need both x middles.
void RotatedRectPoints(const double* centre, double w, double h, double angle,
                       RVector3d* lt, RVector3d* rt, RVector3d* lb, RVector3d* rb,
                       RVector3d* l, RVector3d* r, RVector3d* t, RVector3d* b,
                       RVector3d* labelPoint, int* labelSize);
// Bounds of r turned about the pivot by -angle degrees; the turned corners
// (lt, rt, lb, rb) go to `corners` (four points) when given.
Rect64 RotatedRectBounds(Rect64 r, RVector3d pivot, double angle, RVector3d* corners);
Rect64 RotatedRectBoundsAtCorner(const Rect64* r, double angle, RVector3d* corners);
RECT RotatedRectBoundsAtCorner32(const RECT* r, double angle, RVector3d* corners);
RECT RotatedRectBounds32(const RECT* r, const RVector3d* pivot, double angle, RVector3d* corners);
// Turns p about the centre by -angle degrees (clockwise in a y-up frame).
void RotatePointAboutDeg(const RVector3d* centre, RVector3d* p, double angle);

bool Interpolate(double x1, double y1, double x2, double y2, double x, double* out);
bool LinePointAtX(double px, double py, double pz, double qx, double qy, double qz, double x,
                  double* outY, double* outZ);
void Bilinear(double f00, double f10, double f01, double f11, double u, double v, double* out);
void RotateXY(double* x, double* y, double angle);
void RotateXYDeg(double* x, double* y, double angle);
// Undoes a scaling followed by a rotation (degrees); false for scale 0.
bool ToScaledFrame(double x, double y, double scale, double angle, double* outX, double* outY);
// Multiplies by scale when angle > 0, else divides; then turns by angle.
void ScaleRotateToInt(double angle, double scale, double x, double y, int* outX, int* outY);
// Coordinates of P along O->A and perpendicular to it, as fractions of
// |A - O| and |B - O|, clamped to [-1, 1].
RVector3d FrameCoordinates(const RVector3d* o, const RVector3d* a, const RVector3d* b,
                           const RVector3d* p);
RVector3d FromFrameCoordinates(const RVector3d* o, const RVector3d* a, const RVector3d* b,
                               const RVector3d* coords);

// Brings a into [base, base + 360] (1e-6 of slack above); with bumpEqual an
// angle equal to base becomes base + 360. Non-finite input gives NaN.
double NormalizeDeg(double a, double base, bool bumpEqual);
double NormalizeRad(double a, double base, bool bumpEqual);
// Brings value into [lo, hi) by whole periods; unchanged when lo >= hi or
// the period does not match hi - lo (a period up to 1e-6 means hi - lo).
double WrapIntoRange(double value, double lo, double hi, double period);
// Difference of two directions in [0, 180] degrees.
double AngleDifferenceDeg(double a, double b);
void ExtendBounds(double* minPt, double* maxPt, double x, double y);
// Great-circle distance of two (longitude, latitude) points in degrees.
double HaversineDistance(double lon1, double lat1, double lon2, double lat2, double radius);
