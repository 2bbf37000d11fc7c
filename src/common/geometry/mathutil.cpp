#include "common/geometry/mathutil.h"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "gcdbutil.h"
#include "odcmcolor.h"

double CMathUtil::PI() { return std::atan(1.0) * 4; }

bool CMathUtil::IsEqual(double a, double b, double tol) { return std::fabs(a - b) < tol; }

bool CMathUtil::IsEqual(const OdGePoint3d& p1, const OdGePoint3d& p2, double tol)
{
    return IsEqual(p1.x, p2.x, tol) && IsEqual(p1.y, p2.y, tol) && IsEqual(p1.z, p2.z, tol);
}

int CMathUtil::GetRand(int minValue, int maxValue)
{
    double r = std::rand();
    return minValue + RoundToInt(r / RAND_MAX * (maxValue - minValue));
}

double CMathUtil::Round(double value, int n)
{
    double p = n == 2 ? 10.0 * 10.0 : std::pow(10.0, n);
    return std::floor(value * p + 0.5) / p;
}

// lround gives no defined value beyond the range: this saturates there, and
// NaN gives 0.
int CMathUtil::RoundToInt(double value)
{
    const double r = std::round(value);
    if (std::isnan(r)) return 0;
    return r >= 2147483647.0 ? INT_MAX : r <= -2147483648.0 ? INT_MIN : (int)r;
}

bool CMathUtil::GetArcCenter(const OdGePoint3d& start, const OdGePoint3d& end, double bulge, OdGePoint3d& center)
{
    if (bulge == 0.0) return false;
    OdGePoint3d a = start, b = end;
    if (bulge < 0) {
        a = end;
        b = start;
        bulge = -bulge;
    }
    double pa[3] = {a.x, a.y, a.z}, pb[3] = {b.x, b.y, b.z};
    double d = gcutDistance(pa, pb);
    double half = d / 2;
    double h = bulge * half;
    double r = (half * half + h * h) / (2 * h);
    double ang = gcutAngle(pa, pb);
    double mid[3], c[3];
    gcutPolar(pa, ang, half, mid);
    gcutPolar(mid, ang + PI() / 2, r - h, c);
    center.set(c[0], c[1], c[2]);
    return true;
}

bool CMathUtil::GetArcCenter2d(const OdGePoint2d& start, const OdGePoint2d& end, double bulge, OdGePoint2d& center)
{
    OdGePoint3d c;
    if (!GetArcCenter(OdGePoint3d(start.x, start.y, 0), OdGePoint3d(end.x, end.y, 0), bulge, c)) return false;
    center.set(c.x, c.y);
    return true;
}

int CMathUtil::GetColorIndex(int rgb)
{
    int best = 1, bestDist = -1;
    for (int i = 1; i <= 254; ++i) {
        int c = (int)gcedGetRGB(i);
        int dist = 0;
        for (int shift = 0; shift < 24; shift += 8) dist += std::abs(((c >> shift) & 0xFF) - ((rgb >> shift) & 0xFF));
        if (bestDist < 0 || dist < bestDist) {
            bestDist = dist;
            best = i;
        }
    }
    return best;
}

int CMathUtil::ColorIndexToRGB(int index)
{
    if (index < 0 || index > 255) return 0;
    return (int)(gcedGetRGB(index) & 0xFFFFFF);
}
