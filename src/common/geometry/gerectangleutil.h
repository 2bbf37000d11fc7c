// Overlap of axis-parallel rectangles.
#pragma once

#include "odgegeometry.h"

class CGeRectangleUtil {
public:
    CGeRectangleUtil() = default;
    virtual ~CGeRectangleUtil() = default;

    // Whether the rectangles of opposite corners a1, a2 and b1, b2 overlap;
    // touching and containment count.
    static bool IsIntersect(const OdGePoint2d& a1, const OdGePoint2d& a2, const OdGePoint2d& b1,
                            const OdGePoint2d& b2);
};
