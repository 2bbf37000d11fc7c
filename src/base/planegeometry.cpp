#include "base/planegeometry.h"

#include <algorithm>
#include <cmath>

// |a - b| without overflow.
static uint64_t AbsDiff64(int64_t a, int64_t b)
{
    return a > b ? (uint64_t)a - (uint64_t)b : (uint64_t)b - (uint64_t)a;
}

static bool InRange(double v, double e1, double e2)
{
    return std::min(e1, e2) <= v && v <= std::max(e1, e2);
}

double Distance2d(double x1, double y1, double x2, double y2)
{
    const double dx = x1 - x2, dy = y1 - y2;
    return std::sqrt(dx * dx + dy * dy);
}

double DistancePoint32(POINT a, POINT b)
{
    // Differences of 32-bit coordinates need 33 bits, their squares 66.
    const double dx = (double)((int64_t)a.x - b.x), dy = (double)((int64_t)a.y - b.y);
    return std::sqrt(dx * dx + dy * dy);
}

double DistancePoint64(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
{
    // The largest difference whose square fits a signed 64-bit integer.
    const uint64_t maxRoot = 3037000499u;
    const uint64_t dx = AbsDiff64(x1, x2), dy = AbsDiff64(y1, y2);
    if (dx > maxRoot || dy > maxRoot) return 1e16;
    return std::sqrt((double)(dx * dx) + (double)(dy * dy));
}

// Foot of the perpendicular from p on the line ab, which is neither
// vertical nor horizontal.
static void SlopeFoot(double ax, double ay, double bx, double by, double px, double py, double* fx,
                      double* fy)
{
    const double k = (by - ay) / (bx - ax), kn = -1 / k;
    const double c1 = ay - k * ax, c2 = py - kn * px;
    *fx = (c1 - c2) / (kn - k);
    *fy = c2 + kn * *fx;
}

static double PointSegment(double ax, double ay, double bx, double by, double px, double py,
                           double* fx, double* fy)
{
    const double toEnd = std::min(Distance2d(ax, ay, px, py), Distance2d(bx, by, px, py));
    if (ax != bx && ay != by) {
        SlopeFoot(ax, ay, bx, by, px, py, fx, fy);
        if (InRange(*fx, ax, bx) && InRange(*fy, ay, by)) return Distance2d(px, py, *fx, *fy);
        return toEnd;
    }
    *fx = ax == bx ? ax : px;
    *fy = ax == bx ? py : ay;
    if (ax == bx && InRange(py, ay, by)) return std::fabs(px - ax);
    if (ay == by && InRange(px, ax, bx)) return std::fabs(py - ay);
    return toEnd;
}

double PointSegmentDistance32(POINT a, POINT b, POINT p, POINT* foot)
{
    double fx, fy;
    const double d = PointSegment(a.x, a.y, b.x, b.y, p.x, p.y, &fx, &fy);
    if (foot) {
        foot->x = RoundToInt32(fx);
        foot->y = RoundToInt32(fy);
    }
    return d;
}

double PointSegmentDistance64(const Point64* a, const Point64* b, const Point64* p, Point64* foot)
{
    double fx, fy;
    const double d = PointSegment((double)a->x, (double)a->y, (double)b->x, (double)b->y,
                                  (double)p->x, (double)p->y, &fx, &fy);
    if (foot) {
        foot->x = RoundToInt64(fx);
        foot->y = RoundToInt64(fy);
    }
    return d;
}

// Sign and magnitude of a product of two factors below 2^32 in magnitude,
// so that two such products compare exactly.
static bool ProductsEqual(int64_t a, int64_t b, int64_t c, int64_t d)
{
    auto mag = [](int64_t v) { return v < 0 ? 0 - (uint64_t)v : (uint64_t)v; };
    const uint64_t ab = mag(a) * mag(b), cd = mag(c) * mag(d);
    const bool negAb = ab != 0 && ((a < 0) != (b < 0));
    const bool negCd = cd != 0 && ((c < 0) != (d < 0));
    return ab == cd && negAb == negCd;
}

bool SegmentsParallel32(POINT p1, POINT p2, POINT p3, POINT p4)
{
    return ProductsEqual((int64_t)p1.x - p2.x, (int64_t)p3.y - p4.y, (int64_t)p3.x - p4.x,
                         (int64_t)p1.y - p2.y);
}

bool SegmentIntersection(RVector3d a, RVector3d b, RVector3d c, RVector3d d, RVector3d* out)
{
    const double det = (b.y - a.y) * (c.x - d.x) - (b.x - a.x) * (c.y - d.y);
    if (det == 0) return false;
    const double t = ((c.y - d.y) * (a.x - c.x) - (c.x - d.x) * (a.y - c.y)) / det;
    const double u = ((b.x - a.x) * (a.y - c.y) - (b.y - a.y) * (a.x - c.x)) / det;
    out->x = a.x + (b.x - a.x) * t;
    out->y = a.y + (b.y - a.y) * t;
    return 0 <= t && t <= 1 && 0 <= u && u <= 1;
}

static RVector3d FromPoint(POINT p)
{
    return RVector3d(p.x, p.y, 0);
}

static RVector3d FromPoint(const Point64* p)
{
    return RVector3d((double)p->x, (double)p->y, 0);
}

bool SegmentIntersection32(POINT a, POINT b, POINT c, POINT d, POINT* out)
{
    // Starts from out so that parallel segments leave it as it was.
    RVector3d x = FromPoint(*out);
    const bool hit = SegmentIntersection(FromPoint(a), FromPoint(b), FromPoint(c), FromPoint(d), &x);
    out->x = TruncToInt32(x.x);
    out->y = TruncToInt32(x.y);
    return hit;
}

bool SegmentIntersection64(const Point64* a, const Point64* b, const Point64* c, const Point64* d,
                           Point64* out)
{
    RVector3d x = FromPoint(out);
    const bool hit = SegmentIntersection(FromPoint(a), FromPoint(b), FromPoint(c), FromPoint(d), &x);
    out->x = TruncToInt64(x.x);
    out->y = TruncToInt64(x.y);
    return hit;
}

template <class Contains>
static bool SegmentRect(const RVector3d* p0, const RVector3d* p1, double l, double t, double r,
                        double b, RVector3d* out, int* count, Contains contains)
{
    const RVector3d lt(l, t, 0), lb(l, b, 0), rt(r, t, 0), rb(r, b, 0);
    const RVector3d edges[4][2] = {{lt, lb}, {lt, rt}, {lb, rb}, {rt, rb}};
    bool found = false;
    for (const auto& e : edges) {
        RVector3d x;
        if (!SegmentIntersection(*p0, *p1, e[0], e[1], &x)) continue;
        if (!out) return true;
        out[(*count)++] = x;
        found = true;
    }
    return found || contains(*p0) || contains(*p1);
}

bool SegmentRectIntersections32(const RVector3d* p0, const RVector3d* p1, const RECT* r,
                                RVector3d* out, int* count)
{
    return SegmentRect(p0, p1, r->left, r->top, r->right, r->bottom, out, count,
                       [r](const RVector3d& p) {
                           POINT pt = {TruncToInt32(p.x), TruncToInt32(p.y)};
                           return PtInRect(r, pt) != 0;
                       });
}

bool SegmentRectIntersections64(const RVector3d* p0, const RVector3d* p1, const Rect64* r,
                                RVector3d* out, int* count)
{
    return SegmentRect(p0, p1, (double)r->left, (double)r->top, (double)r->right,
                       (double)r->bottom, out, count, [r](const RVector3d& p) {
                           const Point64 pt(TruncToInt64(p.x), TruncToInt64(p.y));
                           return r->Contains(&pt);
                       });
}

RVector3d PerpendicularFoot(const RVector3d* a, const RVector3d* b, const RVector3d* p)
{
    if (a->x == b->x) return RVector3d(a->x, p->y, 0);
    if (a->y == b->y) return RVector3d(p->x, a->y, 0);
    RVector3d f;
    SlopeFoot(a->x, a->y, b->x, b->y, p->x, p->y, &f.x, &f.y);
    return f;
}

bool BisectorFoot(double x1, double y1, double x2, double y2, double ox, double oy, double* outX,
                  double* outY)
{
    x1 -= ox, y1 -= oy, x2 -= ox, y2 -= oy;
    const double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    double fx = mx, fy = 0;
    if (std::fabs(y2 - y1) >= 1e-6) {
        // The bisector as alpha x + beta y + gamma = 0; the foot of the
        // origin on it is -(alpha, beta) gamma / (alpha^2 + beta^2).
        const double k = -(x2 - x1) / (y2 - y1);
        const double alpha = k, beta = -1, gamma = my - k * mx;
        const double n = alpha * alpha + beta * beta;
        fx = -alpha * gamma / n;
        fy = -beta * gamma / n;
    }
    *outX = fx + ox;
    *outY = fy + oy;
    return true;
}

bool CircumCentre(double x1, double y1, double x2, double y2, double x3, double y3, double* outX,
                  double* outY)
{
    const double u2 = x2 - x1, v2 = y2 - y1, u3 = x3 - x1, v3 = y3 - y1;
    const double a1 = 2 * u2, b1 = 2 * v2, c1 = u2 * u2 + v2 * v2;
    const double a2 = 2 * (u3 - u2), b2 = 2 * (v3 - v2), c2 = u3 * u3 + v3 * v3 - u2 * u2 - v2 * v2;
    const double det = b1 * a2 - b2 * a1;
    if (std::fabs(det) < 1e-6) return false;
    *outX = (b1 * c2 - b2 * c1) / det + x1;
    *outY = (a2 * c1 - a1 * c2) / det + y1;
    return true;
}

bool IsCounterClockwise(const RVector3d* a, const RVector3d* b, const RVector3d* c)
{
    const double alpha = a->AngleXYTo(*b), beta = a->AngleXYTo(*c);
    return std::fabs(alpha - beta) > kPi ? alpha > beta : beta > alpha;
}

double Atan2Int(double y, int64_t x)
{
    return std::atan2(y, (double)x);
}

bool NearlyCollinear32(POINT a, POINT b, POINT c)
{
    const double second = Atan2Int((double)c.y - b.y, (int64_t)c.x - b.x);
    const double first = Atan2Int((double)b.y - a.y, (int64_t)b.x - a.x);
    return std::fabs(second - first) < 0.017453292519943295;
}

double TriangleAngle(double a, double b, double c)
{
    if (a - b - c > 1e-8) return kPi;
    if (b - a - c > 1e-8 || c - a - b > 1e-8) return 0;
    return std::acos((b * b + c * c - a * a) / (2 * b * c));
}

int LineCircleIntersections(const RVector3d* p0, const RVector3d* p1, const RVector3d* centre,
                            double radius, RVector3d* out1, RVector3d* out2)
{
    *out1 = *out2 = RVector3d();
    if (radius < 1e-8) return 0;
    const RVector3d f = PerpendicularFoot(p0, p1, centre);
    const double d = f.DistanceTo(*centre);
    if (std::fabs(d - radius) < 1e-8) {
        *out1 = f;
        return 1;
    }
    if (d > radius) return 0;
    if (d >= 1e-8) {
        const RVector3d q = *centre + (f - *centre) * (radius / d);
        const double alpha = kHalfPi - std::asin(d / radius);
        *out1 = q;
        out1->RotateAround(alpha, *centre);
        *out2 = q;
        out2->RotateAround(-alpha, *centre);
        return 2;
    }
    // The line passes through the centre: its direction comes from a line
    // point other than the centre.
    const RVector3d* p = p0->DistanceTo(*centre) >= 1e-8 ? p0 : p1;
    const double len = p->DistanceTo(*centre);
    if (len < 1e-8) return 0;
    const RVector3d r = (*p - *centre) * (radius / len);
    *out1 = *centre + r;
    *out2 = *centre - r;
    return 2;
}

int CircleCircleIntersections(const RVector3d* c1, double r1, const RVector3d* c2, double r2,
                              RVector3d* out1, RVector3d* out2)
{
    *out1 = *out2 = RVector3d();
    const double d = c1->DistanceTo(*c2);
    if (r1 < 1e-8 || r2 < 1e-8 || d < 1e-8) return 0;
    if (d > r1 + r2 + 1e-8 || d < std::fabs(r1 - r2) - 1e-8) return 0;
    if (std::fabs(d - r1 - r2) < 1e-8) {
        *out1 = *c2 + (*c1 - *c2) * (r2 / d);
        return 1;
    }
    if (std::fabs(d - std::fabs(r1 - r2)) < 1e-8) {
        // Touching from inside: on the line of the centres, on the far side
        // of the larger circle's centre from the smaller one.
        *out1 = *c1 + (*c2 - *c1) * ((r1 > r2 ? r1 : -r1) / d);
        return 1;
    }
    const double alpha = TriangleAngle(r2, d, r1);
    const RVector3d q = *c1 + (*c2 - *c1) * (r1 / d);
    *out1 = q;
    out1->RotateAround(alpha, *c1);
    *out2 = q;
    out2->RotateAround(-alpha, *c1);
    return 2;
}

double TriangleArea(const RVector3d* a, const RVector3d* b, const RVector3d* c)
{
    const double ab = a->DistanceTo(*b), bc = b->DistanceTo(*c), ca = c->DistanceTo(*a);
    const double s = (ab + bc + ca) / 2;
    // Rounding can make the product of collinear points slightly negative.
    return std::sqrt(std::max(0.0, s * (s - ab) * (s - bc) * (s - ca)));
}

double QuadArea(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2, const RVector3d* q3)
{
    return TriangleArea(q0, q1, q2) + TriangleArea(q1, q3, q2);
}

double QuadAreaAroundPoint(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2,
                           const RVector3d* q3, const RVector3d* p)
{
    return TriangleArea(q0, q1, p) + TriangleArea(q1, q3, p) + TriangleArea(q2, q3, p) +
           TriangleArea(q0, q2, p);
}

bool CrossesHorizontal(double x0, double x1, double y, const RVector3d* a, const RVector3d* b)
{
    if (!InRange(y, a->y, b->y)) return false;
    const double t = (y - a->y) / (b->y - a->y);
    const double x = a->x + (b->x - a->x) * t;
    return x0 <= x && x <= x1;
}

bool CrossesVertical(double x, double y0, double y1, const RVector3d* a, const RVector3d* b)
{
    if (!InRange(x, a->x, b->x)) return false;
    const double t = (x - a->x) / (b->x - a->x);
    const double y = a->y + (b->y - a->y) * t;
    return y0 <= y && y <= y1;
}

struct Box
{
    double minX, minY, maxX, maxY;
    bool Holds(double x, double y) const { return minX <= x && x <= maxX && minY <= y && y <= maxY; }
};

static Box QuadBox(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2,
                   const RVector3d* q3)
{
    return {std::min({q0->x, q1->x, q2->x, q3->x}), std::min({q0->y, q1->y, q2->y, q3->y}),
            std::max({q0->x, q1->x, q2->x, q3->x}), std::max({q0->y, q1->y, q2->y, q3->y})};
}

bool PointInQuad(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2, const RVector3d* q3,
                 double px, double py)
{
    const Box box = QuadBox(q0, q1, q2, q3);
    if (!box.Holds(px, py)) return false;
    const RVector3d* edges[4][2] = {{q0, q1}, {q1, q3}, {q3, q2}, {q2, q0}};
    int crossings = 0;
    for (const auto& e : edges)
        if (CrossesHorizontal(px, box.maxX + 1, py, e[0], e[1])) ++crossings;
    return crossings % 2 == 1;
}

bool QuadOverlapsRect(const RVector3d* q0, const RVector3d* q1, const RVector3d* q2,
                      const RVector3d* q3, double minX, double minY, double maxX, double maxY)
{
    const Box rect = {minX, minY, maxX, maxY};
    for (const RVector3d* q : {q0, q1, q2, q3})
        if (rect.Holds(q->x, q->y)) return true;
    // Only disjoint boxes rule an overlap out: a rectangle can cross the
    // quadrilateral like a plus sign with no corner inside the other's box.
    const Box box = QuadBox(q0, q1, q2, q3);
    if (box.maxX < minX || maxX < box.minX || box.maxY < minY || maxY < box.minY) return false;
    const double corners[4][2] = {{minX, minY}, {maxX, minY}, {minX, maxY}, {maxX, maxY}};
    for (const auto& c : corners)
        if (PointInQuad(q0, q1, q2, q3, c[0], c[1])) return true;
    const RVector3d* edges[4][2] = {{q0, q1}, {q1, q3}, {q2, q3}, {q0, q2}};
    for (const auto& e : edges) {
        if (CrossesHorizontal(minX, maxX, minY, e[0], e[1]) ||
            CrossesHorizontal(minX, maxX, maxY, e[0], e[1]) ||
            CrossesVertical(minX, minY, maxY, e[0], e[1]) ||
            CrossesVertical(maxX, minY, maxY, e[0], e[1]))
            return true;
    }
    return false;
}

bool RayTriangleIntersect(RVector3d orig, RVector3d dir, RVector3d t0, RVector3d t1, RVector3d t2,
                          bool unbounded, double* t, double* u, double* v)
{
    *t = *u = *v = 0;
    const RVector3d e1 = t1 - t0, e2 = t2 - t0;
    const RVector3d p = RVector3d::Cross(dir, e2);
    double det = e1.Dot(p);
    RVector3d s = orig - t0;
    if (!(det > 0)) {
        s = t0 - orig;
        det = -det;
    }
    if (det < 0.0001) return false;
    *u = s.Dot(p);
    if (!unbounded && (*u < 0 || *u > det)) return false;
    const RVector3d q = RVector3d::Cross(s, e1);
    *v = dir.Dot(q);
    if (!unbounded && (*v < 0 || *u + *v > det)) return false;
    *t = e2.Dot(q);
    const double inv = 1 / det;
    *t *= inv;
    *u *= inv;
    *v *= inv;
    return true;
}

static bool LineTriangle(const RVector3d* p0, const RVector3d* p1, const RVector3d* t0,
                         const RVector3d* t1, const RVector3d* t2, bool unbounded, RVector3d* out)
{
    double t, u, v;
    if (!RayTriangleIntersect(*p0, *p1 - *p0, *t0, *t1, *t2, unbounded, &t, &u, &v)) return false;
    *out = *t0 + (*t1 - *t0) * u + (*t2 - *t0) * v;
    return true;
}

bool SegmentTriangleHit(const RVector3d* p0, const RVector3d* p1, const RVector3d* t0,
                        const RVector3d* t1, const RVector3d* t2, RVector3d* out)
{
    return LineTriangle(p0, p1, t0, t1, t2, false, out);
}

bool LinePlaneHit(const RVector3d* p0, const RVector3d* p1, const RVector3d* t0, const RVector3d* t1,
                  const RVector3d* t2, RVector3d* out)
{
    return LineTriangle(p0, p1, t0, t1, t2, true, out);
}

static bool WithinOnBothAxes(const Point64* p, const Point64* q, int tol)
{
    return tol >= 0 && AbsDiff64(p->x, q->x) <= (uint64_t)tol && AbsDiff64(p->y, q->y) <= (uint64_t)tol;
}

int NearestVertexWithin(const Point64* a, const Point64* b, const Point64* c, const Point64* p,
                        int tol)
{
    if (WithinOnBothAxes(p, a, tol)) return 1;
    if (WithinOnBothAxes(p, b, tol)) return 2;
    if (WithinOnBothAxes(p, c, tol)) return 3;
    return 0;
}

// Direction of to - from, taken in doubles.
static double Direction(const Point64* from, const Point64* to)
{
    return std::atan2((double)to->y - (double)from->y, (double)to->x - (double)from->x);
}

static double Length(const Point64* from, const Point64* to)
{
    return Distance2d((double)from->x, (double)from->y, (double)to->x, (double)to->y);
}

// A truncated coordinate one below or above the exact value that it nearly
// equals is moved onto it: 4.9999999 gives 5, not 4.
static int64_t SnapTruncated(double exact)
{
    int64_t v = TruncToInt64(exact);
    if (std::fabs((double)v - exact + 1) < 1e-6) ++v;
    if (std::fabs((double)v - exact - 1) < 1e-6) --v;
    return v;
}

void MapPointBetweenSegments(const Point64* a1, const Point64* b1, const Point64* x,
                             const Point64* a2, const Point64* b2, Point64* out)
{
    if (x->x == a1->x && x->y == a1->y) {
        *out = *a2;
        return;
    }
    const double phi = Direction(a2, b2) - (Direction(a1, b1) - Direction(a1, x));
    const double len = Length(a2, b2) * Length(a1, x) / Length(a1, b1);
    const double ex = (double)a2->x + len * std::cos(phi), ey = (double)a2->y + len * std::sin(phi);
    out->y = SnapTruncated(ey);
    out->x = SnapTruncated(ex);
}

void MapPointBetweenTriangles(const Point64* a, const Point64* b, const Point64* c,
                              const Point64* p, const Point64* d, const Point64* e,
                              const Point64* f, Point64* out)
{
    const Point64* v[3] = {a, b, c};
    const Point64* w[3] = {d, e, f};
    int k = NearestVertexWithin(a, b, c, p, 1);
    if (k != 0) {
        *out = *w[k - 1];
        return;
    }
    // The apex whose opposite edge is crossed most squarely by the line from
    // the point to the apex.
    k = 1;
    double best = 0;
    for (int i = 1; i <= 3; ++i) {
        const double alpha = Direction(v[i - 1], p), beta = Direction(v[(i + 1) % 3], v[i % 3]);
        double delta = std::fabs(alpha - beta);
        if (kPi < delta && delta < kTwoPi)
            delta = kTwoPi - delta;
        else if (2 * delta > kPi)
            delta = kPi - delta;
        if (delta > best) {
            best = delta;
            k = i;
        }
    }
    const Point64* apex = v[k - 1];
    const Point64* e1 = v[k % 3];
    const Point64* e2 = v[(k + 1) % 3];
    Point64 x(0, 0);
    SegmentIntersection64(p, apex, e1, e2, &x);
    Point64 y(0, 0);
    MapPointBetweenSegments(e1, e2, &x, w[k % 3], w[(k + 1) % 3], &y);
    MapPointBetweenSegments(&x, apex, p, &y, w[k - 1], out);
}
