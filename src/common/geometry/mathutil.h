// Numbers, tolerant comparison, arc centres and colour-index conversions.
#pragma once

#include "odgegeometry.h"

class CMathUtil {
public:
    CMathUtil() = default;
    virtual ~CMathUtil() = default;

    static double PI();
    // abs(a - b) < tol.
    static bool IsEqual(double a, double b, double tol);
    static bool IsEqual(const OdGePoint3d& p1, const OdGePoint3d& p2, double tol);
    // A random integer from minValue to maxValue (the bounds included).
    static int GetRand(int minValue, int maxValue);
    // Rounded to n decimals, halves upwards.
    static double Round(double value, int n);
    // Rounded to the nearest integer, halves away from zero.
    static int RoundToInt(double value);
    // The centre of the arc from start to end with that bulge; false for a
    // zero bulge (the centre is then not written).
    static bool GetArcCenter(const OdGePoint3d& start, const OdGePoint3d& end, double bulge, OdGePoint3d& center);
    static bool GetArcCenter2d(const OdGePoint2d& start, const OdGePoint2d& end, double bulge,
                               OdGePoint2d& center);
    // The colour index 1..254 nearest to an RGB value (red in the low byte).
    static int GetColorIndex(int rgb);
    // The RGB value of a colour index; 0 outside 0..255.
    static int ColorIndexToRGB(int index);
};
