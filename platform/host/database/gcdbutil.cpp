#include "gcdbutil.h"

#include <cmath>

double gcutDistance(const double* p1, const double* p2)
{
    return std::sqrt((p2[0] - p1[0]) * (p2[0] - p1[0]) + (p2[1] - p1[1]) * (p2[1] - p1[1]) +
                     (p2[2] - p1[2]) * (p2[2] - p1[2]));
}

double gcutAngle(const double* p1, const double* p2)
{
    double a = std::atan2(p2[1] - p1[1], p2[0] - p1[0]);
    return a < 0 ? a + 2 * M_PI : a;
}

void gcutPolar(const double* p, double angle, double dist, double* result)
{
    double x = p[0] + dist * std::cos(angle), y = p[1] + dist * std::sin(angle), z = p[2];
    result[0] = x;
    result[1] = y;
    result[2] = z;
}
